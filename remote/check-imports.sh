#!/usr/bin/env bash
# Fails when a program imports a DLL that is not part of every Windows installation
# (for instance a compiler runtime DLL that would have to be shipped beside it).
# usage: check-imports.sh OBJDUMP PROGRAM
set -euo pipefail
objdump=$1 program=$2
imports=$("$objdump" -p "$program" | awk '/DLL Name:/{print tolower($3)}')
if [ -z "$imports" ]; then echo "$program: no import table found"; exit 1; fi
bad=$(grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|advapi32\.dll|shell32\.dll|wsock32\.dll|ws2_32\.dll|comctl32\.dll|msvcrt\.dll|api-ms-win-.*\.dll' <<<"$imports" || true)
if [ -n "$bad" ]; then echo "$program imports non-system DLLs:"; echo "$bad"; exit 1; fi
echo "$(basename "$program") imports only system DLLs: $(tr '\n' ' ' <<<"$imports")"
