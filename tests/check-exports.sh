#!/usr/bin/env bash
# Checks a module's export table (names and ordinals) and that it imports only system DLLs.
# usage: check-exports.sh OBJDUMP DLL
set -euo pipefail
objdump=$1 dll=$2
table=$("$objdump" -p "$dll")

expected=(
  "1 Linkage"
  "2 ImportTable"
  "3 HALLVOXEN_Set_Mode"
  "4 HALLVOXEN_Get_Status"
  "5 HALLVOXEN_Get_Server"
  "6 HALLVOXEN_Select_Server"
)
actual=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{gsub(/[\[\]]/,""); print $1+1, $2; next} on{exit}' <<<"$table" | sort -n)
want=$(printf '%s\n' "${expected[@]}" | sort -n)
if [ "$actual" != "$want" ]; then
  echo "export table differs"; echo "expected:"; echo "$want"; echo "actual:"; echo "$actual"; exit 1
fi

# Imports: only DLLs that every Windows has.
bad=$(grep -i 'DLL Name' <<<"$table" | awk '{print tolower($3)}' | grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|advapi32\.dll|shell32\.dll|wininet\.dll|wsock32\.dll|ws2_32\.dll|comctl32\.dll|msvcrt\.dll|api-ms-win-.*\.dll' || true)
if [ -n "$bad" ]; then echo "imports non-system DLLs: $bad"; exit 1; fi
echo "exports and imports OK"
