#!/usr/bin/env bash
# Fails when a 32-bit binary holds an instruction that a Pentium III or an Athlon XP cannot
# execute. The i686 build compiles with -march=i686 -mno-sse -mfpmath=387, so:
# - no MMX, SSE or AVX register at all: SSE1 would run, but SSE1 and SSE2 uses of an xmm
#   register share mnemonics (pxor, movq, ...), and the build needs none;
# - none of the later instructions on general registers or the x87 unit (the deny list:
#   SSE2's fences and movnti, fisttp, popcnt, lzcnt, BMI, ...). cmov, fcomi and fcmov are
#   Pentium Pro; tzcnt runs as bsf on older CPUs, and GCC emits it only where both agree.
# One exception: the rdrand/rdseed of libstdc++'s cpuid-guarded random_device helpers,
# linked in behind every std::string exception and never run by the deliverables.
# The linker appends the constructor lists to .text, from __CTOR_LIST__ on (the exception
# tables go to .rdata: cmake/ExceptionTablesInRdata.cmake): decoding stops at that label,
# which must be there, and .text must be the only code section.
# usage: check-instructions.sh OBJDUMP BINARY...
set -euo pipefail
objdump=$1; shift
status=0
for binary in "$@"; do
  name=$(basename "$binary")
  code_sections=$("$objdump" -h "$binary" | awk '/^ *[0-9]+ /{s=$2; getline; if (/CODE/) print s}')
  if [ "$code_sections" != ".text" ]; then
    echo "$name: code sections are '$(tr '\n' ' ' <<<"$code_sections")', expected .text only"; status=1; continue
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
    /^[0-9a-f]+ <.*>:$/ { symbol = substr($2, 2, length($2) - 3); if (symbol ~ /^_*CTOR_LIST__$/) end = 1; next }
    /^ *[0-9a-f]+:\t/ {
      split($0, field, "\t"); insn = field[2]
      split(insn, word, " "); mnemonic = word[1]
      if (mnemonic ~ /^(lock|rep|repz|repnz|repe|repne|data16|addr16|cs|ds|es|fs|gs|ss)$/) mnemonic = word[2]
      why = ""
      if (insn ~ /%[xyz]?mm[0-9]/) why = "uses an MMX/SSE/AVX register"
      else if (mnemonic in denied) why = "is not a Pentium III instruction"
      if (why != "" && mnemonic ~ /^rd(rand|seed)$/ &&
          symbol ~ /^(\.text\$)?_?_ZNSt12_GLOBAL__N_1(12__x86_rdrand|12__x86_rdseed|19__x86_rdseed_rdrand)EPv$/) why = ""
      if (why != "" && ++count <= 20) printf "%s: %s in %s: %s %s\n", name, field[1], symbol, insn, why
    }
    END {
      if (!end) print name ": no __CTOR_LIST__ label, so code cannot be told from the data after it (stripped binary?)"
      if (count > 20) printf "%s: %d such instructions in all\n", name, count
      exit (count || !end) ? 1 : 0
    }') || { status=1; echo "$report"; continue; }
  echo "$name: no instruction beyond the Pentium III"
done
[ "$status" -eq 0 ] || echo "The i686 deliverables must run on a Pentium III: build the code named above without SSE2."
exit "$status"
