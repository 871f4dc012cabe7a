#!/usr/bin/env bash
# Checks the module's export table: exactly these names at these ordinals.
# usage: check-exports.sh OBJDUMP DLL
set -eu   # no pipefail: awk stops reading after the table
want=$'1 Linkage\n2 ImportTable\n3 HALLVOXEN_Set_Mode\n4 HALLVOXEN_Get_Status\n5 HALLVOXEN_Get_Server\n6 HALLVOXEN_Select_Server'
# Rows "[i] name" of the name table; the ordinal is i + 1 (base 1).
actual=$("$1" -p "$2" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{gsub(/[\[\]]/,""); print $1+1, $2; next} on{exit}' | sort -n)
[ "$actual" = "$want" ] || { printf 'export table differs\nexpected:\n%s\nactual:\n%s\n' "$want" "$actual"; exit 1; }
echo "exports OK"
