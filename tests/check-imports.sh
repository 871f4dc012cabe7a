#!/usr/bin/env bash
# Fails when a 32-bit deliverable imports a function that Windows XP SP3 lacks: the loader
# would refuse the module there, and the simulator would start without it, silently.
# Every imported function must have a line in the allow-list (tests/imports-allowed.txt),
# written after looking up its documented minimum Windows version; a function imported
# from a DLL that is not part of every Windows fails too (a runtime DLL to ship beside it).
# usage: check-imports.sh OBJDUMP ALLOW-LIST BINARY...
set -euo pipefail
objdump=$1 list=$2; shift 2
status=0
for binary in "$@"; do
  name=$(basename "$binary")
  # "DLL Name: X" opens a DLL's block; its rows are "<tab>vma<tab>hint  name" (or
  # "<none>" for an import by ordinal, reported as #hint).
  imports=$("$objdump" -p "$binary" | awk '
    /^[ \t]*DLL Name:/ { dll = $3; next }
    /^ [0-9a-f]+\t/    { dll = ""; next }
    dll != "" && /^\t[0-9a-f]+\t/ { fn = $NF; if (fn == "<none>") fn = "#" $(NF-1); print dll, fn }')
  if [ -z "$imports" ]; then echo "$name: no import table found"; status=1; continue; fi
  report=$(awk -v name="$name" -v list="$list" '
    BEGIN { system_dll = "^(kernel32|user32|gdi32|advapi32|shell32|wininet|wsock32|ws2_32|comctl32|msvcrt)\\.dll$"
            split("95 98 NT4 2000 XP XPSP1 XPSP2 XPSP3", v, " "); for (i in v) floor_ok[v[i]] = 1
            split("Vista 7 8 8.1 10", v, " "); for (i in v) too_new[v[i]] = 1 }
    FILENAME == list {
      sub(/#.*/, ""); if (NF == 0) next
      if (NF != 3 || !($3 in floor_ok || $3 in too_new)) {
        printf "%s line %d: expected \"DLL function version\" with a version of %s\n", list, FNR, "95 98 NT4 2000 XP XPSP1 XPSP2 XPSP3 Vista 7 8 8.1 10"; bad++; next
      }
      key = tolower($1) " " $2; version[key] = $3; next
    }
    {
      dll = $1; fn = $2; key = tolower(dll) " " fn
      if (tolower(dll) !~ system_dll) {
        printf "%s imports %s from %s, which is not a system DLL of every Windows: link that code in statically.\n", name, fn, dll; bad++
      } else if (!(key in version)) {
        printf "%s imports %s!%s, which is not on the allow-list %s. Look up its minimum supported client (learn.microsoft.com, Requirements; for msvcrt.dll: whether the msvcrt.dll of Windows XP SP3 exports it); if that is Windows XP SP3 or older, add the line \"%s %s <version>  # where you found it\", else stop using it.\n", name, dll, fn, list, dll, fn; bad++
      } else if (!(version[key] in floor_ok)) {
        printf "%s imports %s!%s, which needs Windows %s (%s): newer than Windows XP SP3, the floor. Replace it.\n", name, dll, fn, version[key], list; bad++
      }
    }
    END { exit bad ? 1 : 0 }' "$list" - <<<"$imports") || { status=1; echo "$report"; continue; }
  echo "$name: $(wc -l <<<"$imports") imports, all on the allow-list and in Windows XP SP3"
done
exit "$status"
