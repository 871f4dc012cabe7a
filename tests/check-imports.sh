#!/usr/bin/env bash
# Fails when a 32-bit deliverable imports a function that Windows XP SP3 lacks (the loader
# would refuse the module there, and the simulator would start without it, silently), or
# one from a DLL that not every Windows has. Every import needs a line in the allow-list
# (tests/imports-allowed.txt: "DLL function version", its header says where to look).
# usage: check-imports.sh OBJDUMP ALLOW-LIST BINARY...
set -euo pipefail
objdump=$1 list=$2; shift 2
status=0
for binary in "$@"; do
  name=$(basename "$binary")
  # "DLL Name: X" opens a DLL's block of rows "<tab>vma<tab>hint  name" ("<none>": by ordinal).
  imports=$("$objdump" -p "$binary" | awk '/^[ \t]*DLL Name:/ { dll = $3; next } /^ [0-9a-f]+\t/ { dll = ""; next }
    dll != "" && /^\t[0-9a-f]+\t/ { fn = $NF; if (fn == "<none>") fn = "#" $(NF-1); print dll, fn }')
  [ -n "$imports" ] || { echo "$name: no import table found"; status=1; continue; }
  awk -v name="$name" -v list="$list" '
    BEGIN { split("95 98 NT4 2000 XP XPSP1 XPSP2 XPSP3", v); for (i in v) old[v[i]] = 1
            split("Vista 7 8 8.1 10", v); for (i in v) new[v[i]] = 1 }
    FILENAME == list {
      sub(/#.*/, ""); if (NF == 0) next
      if (NF != 3 || !($3 in old || $3 in new)) { print list " line " FNR ": not \"DLL function version\""; bad++ }
      version[tolower($1) " " $2] = $3; next
    }
    { key = tolower($1) " " $2 }
    tolower($1) !~ /^(kernel32|user32|gdi32|advapi32|shell32|wininet|wsock32|ws2_32|comctl32|msvcrt)\.dll$/ {
      print name " imports " $2 " from " $1 ", which not every Windows has: link that code in statically."; bad++; next }
    !(key in version) {
      print name " imports " $1 "!" $2 ", which is not on the allow-list " list ". Look up its minimum supported client; if it is Windows XP SP3 or older, add its line, else stop using it."; bad++; next }
    !(version[key] in old) {
      print name " imports " $1 "!" $2 ", which needs Windows " version[key] " (" list "): newer than Windows XP SP3, the floor. Replace it."; bad++ }
    END { exit bad ? 1 : 0 }' "$list" - <<<"$imports" || { status=1; continue; }
  echo "$name: $(wc -l <<<"$imports") imports, all on the allow-list and in Windows XP SP3"
done
exit "$status"
