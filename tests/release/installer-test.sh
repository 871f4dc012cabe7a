#!/usr/bin/env bash
# Runs the release's installer under 32-bit Wine (NSIS installers are 32-bit programs):
#   1. FS2002 registered and a pilot's Hallvoxen.ini in Modules: "setup /S /AUTOSTART"
#      installs the module and Pelkorin with its shortcuts, keeps the INI and registers
#      the uninstaller in Add/Remove Programs;
#   2. the silent uninstaller (it runs from a copy of itself) removes all that but the INI;
#   3. no FS2002 registered: "setup /S /D=folder" installs there, with the sample INI.
# HV_WINE32_EMULATE=1 runs the 32-bit programs under qemu even where the kernel could.
# usage: tests/release/installer-test.sh [ROOT]   (uses ROOT/dist, ROOT/build/release and
#                                                   the prefix in ROOT/build/release-wine32)
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
version=$(cat "$root/build/release/i686/hallvoxen-version.txt")
setup=$root/dist/Hallvoxen-$version-setup.exe
stage=$root/build/release/stage/Hallvoxen-$version
[ -f "$setup" ] || { echo "no $setup: run scripts/release.sh first"; exit 1; }

# shellcheck source=scripts/wine32-session.sh
source "$root/scripts/wine32-session.sh"
[ "${HV_WINE32_EMULATE:-0}" = 1 ] && wine32_private_namespace "$0" "$@"
wine32_enable_i386
trap wine32_session_stop EXIT
wine32_session_start "$root/build/release-wine32/prefix"
c=$WINEPREFIX/drive_c
wine64=/usr/lib/wine/wine64
limit=$((WINE32_EMULATED ? 900 : 120))   # seconds for one 32-bit process

failures=0
fail() { echo "installer test FAILED: $*"; failures=$((failures + 1)); }
reg32() { "$wine64" reg "$@" /reg:32 </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
sim_key='HKLM\Software\Microsoft\Microsoft Games\Flight Simulator\8.0'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hallvoxen'
app="$c/Program Files (x86)/Hallvoxen"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs"
run() {  # run PROGRAM ARGS...: one 32-bit process, its exit status checked
  local status=0
  wine32_run "$limit" "$@" </dev/null >/dev/null 2>&1 || status=$?
  [ "$status" -eq 0 ] || fail "${*##*/} ended with $status"
}
same() { cmp -s "$1" "$2" || fail "${2#"$c"/} is not ${1##*/} ${3:-of the release}"; }
absent() { for f in "$@"; do [ ! -e "$f" ] || fail "still there: ${f#"$c"/}"; done; }

# A clean slate in the kept prefix: no earlier install, no simulator.
reg32 delete "$uninstall_key" /f >/dev/null || true
reg32 delete "$sim_key" /f >/dev/null || true
rm -rf "$c/FS2002" "$c/FlightSims" "$app" "$menu/Hallvoxen" "$menu/StartUp/Pelkorin.lnk"

echo "1. installing with FS2002 registered and a pilot's Hallvoxen.ini"
mkdir -p "$c/FS2002/Modules"
: >"$c/FS2002/FS2002.EXE"
printf '[GENERAL]\r\nServer=IVAO\r\nRangeCheck=OFF\r\n' | tee "$WINEPREFIX/pilot.ini" >"$c/FS2002/Modules/Hallvoxen.ini"
reg32 add "$sim_key" /v "EXE Path" /d 'C:\FS2002\FS2002.EXE' /f >/dev/null
run "$setup" /S /AUTOSTART
same "$stage/Hallvoxen.dll" "$c/FS2002/Modules/Hallvoxen.dll"
same "$WINEPREFIX/pilot.ini" "$c/FS2002/Modules/Hallvoxen.ini" "(the pilot's file)"
same "$stage/Pelkorin.exe" "$app/Pelkorin.exe"
for f in "$app/Uninstall.exe" "$app/docs/pilot-guide.md" "$menu/Hallvoxen/Pelkorin.lnk" \
         "$menu/Hallvoxen/Uninstall Hallvoxen.lnk" "$menu/StartUp/Pelkorin.lnk"; do
  [ -e "$f" ] || fail "missing: ${f#"$c"/}"
done
entry=$(reg32 query "$uninstall_key") || fail "no Add/Remove Programs entry"
for want in "DisplayVersion.*$version" 'UninstallString.*"C:\\Program Files \(x86\)\\Hallvoxen\\Uninstall.exe"' \
            'FS2002Folder.*C:\\FS2002$'; do
  grep -Eq "$want" <<<"$entry" || fail "Add/Remove Programs entry lacks $want"
done

echo "2. uninstalling silently"
echo "a line the module wrote" >"$c/FS2002/Modules/Hallvoxen.log"
run "$app/Uninstall.exe" /S
for ((waited = 0; waited < limit; waited++)); do [ -e "$app" ] || break; sleep 1; done  # the copy's work
absent "$c/FS2002/Modules/Hallvoxen.dll" "$c/FS2002/Modules/Hallvoxen.log" "$app" "$menu/Hallvoxen" "$menu/StartUp/Pelkorin.lnk"
same "$WINEPREFIX/pilot.ini" "$c/FS2002/Modules/Hallvoxen.ini" "(the pilot's file)"
! reg32 query "$uninstall_key" >/dev/null || fail "the Add/Remove Programs entry is still there"

echo "3. installing with no FS2002 registered, into /D="
reg32 delete "$sim_key" /f >/dev/null
mkdir -p "$c/FlightSims/FS2002"
run "$setup" /S '/D=C:\FlightSims\FS2002'
same "$stage/Hallvoxen.dll" "$c/FlightSims/FS2002/Modules/Hallvoxen.dll"
same "$stage/Hallvoxen.ini" "$c/FlightSims/FS2002/Modules/Hallvoxen.ini"
absent "$app/Pelkorin.exe" "$menu/Hallvoxen/Pelkorin.lnk"
grep -Eq 'FS2002Folder.*C:\\FlightSims\\FS2002$' <<<"$(reg32 query "$uninstall_key")" || fail "the uninstaller does not know the /D= folder"

[ "$failures" -eq 0 ] || exit 1
echo "installer under 32-bit Wine: install, keep the INI, register, uninstall, install into /D=: OK"
