#!/usr/bin/env bash
# Fails when a 32-bit binary holds an instruction that a Pentium III or an Athlon XP cannot
# execute. The i686 build compiles with -march=i686 -mno-sse -mfpmath=387, so the rule is:
# - no MMX, SSE or AVX register at all (%mm, %xmm, %ymm, %zmm). SSE1 would run on those CPUs,
#   but telling an SSE1 use of an xmm register from an SSE2 one by mnemonic is error-prone
#   (pxor, movq, movd, ... exist in both), and the build needs none;
# - none of the later instructions that work on general registers or the x87 unit
#   (the deny list below: SSE2's fences and movnti, SSE3's fisttp, popcnt, lzcnt, BMI, ...).
#   cmov, fcomi and fcmov (Pentium Pro) are fine. tzcnt is fine: its encoding is
#   "rep bsf", which older CPUs execute as bsf, and GCC emits it only where the operand is
#   not zero and both give the same result.
# One exception: libstdc++'s std::random_device helpers (__x86_rdrand, __x86_rdseed,
# __x86_rdseed_rdrand) hold rdrand/rdseed. The static libstdc++ links them in behind every
# std::string exception (functexcept -> cow-stdexcept -> cow-string-inst -> random), the
# deliverables never construct a random_device, and libstdc++ picks these helpers only after
# cpuid reports the instruction. Exactly those mnemonics in exactly those functions pass.
# objdump -d decodes the whole .text section, but the linker script appends data to it:
# the constructor and destructor lists (from __CTOR_LIST__ on) and the exception tables
# (.gcc_except_table). Decoding stops at __CTOR_LIST__, so only code is checked; the
# check insists on that label, and on .text being the only code section.
# usage: check-instructions.sh OBJDUMP BINARY...
set -euo pipefail
objdump=$1; shift
status=0
for binary in "$@"; do
  name=$(basename "$binary")
  code_sections=$("$objdump" -h "$binary" | awk '/^ *[0-9]+ /{s=$2; getline; if (/CODE/) print s}')
  if [ "$code_sections" != ".text" ]; then
    echo "$name: code sections are '$(tr '\n' ' ' <<<"$code_sections")', expected .text only: extend this check"
    status=1; continue
  fi
  report=$("$objdump" -d --no-show-raw-insn "$binary" | awk -v name="$name" '
    BEGIN {
      n = split("clflush clflushopt clwb lfence mfence movnti fisttp fisttps fisttpl fisttpll " \
                "monitor mwait popcnt lzcnt crc32 crc32b crc32w crc32l movbe rdrand rdseed rdtscp " \
                "rdpid andn bextr blsi blsmsk blsr bzhi pdep pext rorx sarx shlx shrx mulx adcx adox " \
                "xgetbv xsetbv xsave xsaveopt xsavec xrstor cmpxchg16b prefetchw prefetchwt1 " \
                "femms vzeroupper vzeroall", deny, " ")
      for (i = 1; i <= n; i++) denied[deny[i]] = 1
    }
    end { next }  # read on to the end: objdump must not die of a closed pipe
    /^[0-9a-f]+ <.*>:$/ {
      symbol = substr($2, 2, length($2) - 3)
      if (symbol ~ /^_*CTOR_LIST__$/) end = 1
      next
    }
    /^ *[0-9a-f]+:\t/ {
      split($0, field, "\t"); insn = field[2]
      split(insn, word, " "); mnemonic = word[1]
      if (mnemonic ~ /^(lock|rep|repz|repnz|repe|repne|data16|addr16|cs|ds|es|fs|gs|ss)$/) mnemonic = word[2]
      why = ""
      if (insn ~ /%[xyz]?mm[0-9]/) why = "uses an MMX/SSE/AVX register"
      else if (mnemonic in denied) why = "is not a Pentium III instruction"
      if (why != "" && mnemonic ~ /^rd(rand|seed)$/ &&
          symbol ~ /^(\.text\$)?_?_ZNSt12_GLOBAL__N_1(12__x86_rdrand|12__x86_rdseed|19__x86_rdseed_rdrand)EPv$/) {
        accepted++; why = ""
      }
      if (why != "") {
        count++; in_symbol[symbol]++
        if (count <= 10) printf "%s: %s in %s: %s %s\n", name, field[1], symbol, insn, why
      }
    }
    END {
      if (!end) print name ": no __CTOR_LIST__ label, so code cannot be told from the data after it (stripped binary?)"
      if (count > 10) {
        printf "%s: %d such instructions in all, by function:\n", name, count
        for (s in in_symbol) if (shown++ < 30) printf "  %5d  %s\n", in_symbol[s], s
      }
      if (count || !end) exit 1
      if (accepted) printf "(%d rdrand/rdseed accepted in the cpuid-guarded random_device helpers of libstdc++)\n", accepted
    }') || { status=1; echo "$report"; continue; }
  echo "$name: no instruction beyond the Pentium III $report"
done
if [ "$status" -ne 0 ]; then
  echo "The i686 deliverables must run on a Pentium III: no SSE2 or later. Find where the"
  echo "instructions come from (the symbol named above) and build that code without them."
fi
exit "$status"
