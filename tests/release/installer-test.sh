#!/usr/bin/env bash
# Runs the release's installer as a pilot's Windows would, under 32-bit Wine (the NSIS
# installer is a 32-bit program), in four process starts (each about a minute when
# 32-bit Wine runs emulated):
#   1. FS2002 registered ("EXE Path" naming FS2002.EXE) and a pilot's Hallvoxen.ini in
#      Modules: "setup /S /AUTOSTART" puts Hallvoxen.dll into Modules and Pelkorin, its
#      Start-menu and start-up entries into Program Files, keeps the INI, and registers
#      the uninstaller in Add/Remove Programs;
#   2. the uninstaller, silently (two processes: it runs from a copy of itself): removes
#      the module and its log, Pelkorin, the shortcuts, the registration and its own
#      folder, and keeps the INI;
#   3. no FS2002 registered: "setup /S /D=folder" installs into that folder, with the
#      sample Hallvoxen.ini since there was none, and without Pelkorin.
# HV_WINE32_EMULATE=1 runs the 32-bit programs under qemu even where the kernel could.
# usage: tests/release/installer-test.sh [ROOT]   (default: this tree; uses ROOT/dist and
#                                                   ROOT/build/release, prefix in
#                                                   ROOT/build/release-wine32)
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
version=$(cat "$root/build/release/i686/hallvoxen-version.txt")
setup=$root/dist/Hallvoxen-$version-setup.exe
stage=$root/build/release/stage/Hallvoxen-$version
[ -f "$setup" ] || { echo "no $setup: run scripts/release.sh first"; exit 1; }

# shellcheck source=scripts/wine32-session.sh
source "$root/scripts/wine32-session.sh"
[ "${HV_WINE32_EMULATE:-0}" = 1 ] && wine32_private_namespace "$0" "$@"   # emulated even where not needed
wine32_enable_i386
trap wine32_session_stop EXIT
wine32_session_start "$root/build/release-wine32/prefix"
c=$WINEPREFIX/drive_c
wine64=/usr/lib/wine/wine64
limit=$((WINE32_EMULATED ? 900 : 120))   # seconds for one 32-bit process

failures=0
fail() { echo "installer test FAILED: $*"; failures=$((failures + 1)); }
reg32() {  # reg32 ARGS...: reg.exe on the 32-bit view, its output without CRs, its status
  local out status=0
  out=$("$wine64" reg "$@" /reg:32 </dev/null 2>/dev/null) || status=$?
  tr -d '\r' <<<"$out"
  return $status
}
sim_key='HKLM\Software\Microsoft\Microsoft Games\Flight Simulator\8.0'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hallvoxen'
app="$c/Program Files (x86)/Hallvoxen"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs"
run() {  # run WHAT PROGRAM ARGS...: one 32-bit process, its exit status checked
  local what=$1 started=$SECONDS status=0
  shift
  wine32_run "$limit" "$@" </dev/null >/dev/null 2>&1 || status=$?
  echo "  $what: exit $status after $((SECONDS - started)) s"
  [ "$status" -eq 0 ] || fail "$what ended with $status"
}
present() { for f in "$@"; do [ -e "$f" ] || fail "missing: ${f#"$c"/}"; done; }
absent() { for f in "$@"; do [ ! -e "$f" ] || fail "still there: ${f#"$c"/}"; done; }

# A clean slate in the kept prefix: no earlier install, no simulator.
"$wine64" reg delete "$uninstall_key" /reg:32 /f </dev/null >/dev/null 2>&1 || true
"$wine64" reg delete "$sim_key" /reg:32 /f </dev/null >/dev/null 2>&1 || true
rm -rf "$c/FS2002" "$c/FlightSims" "$app" "$menu/Hallvoxen" "$menu/StartUp/Pelkorin.lnk"

echo "1. installing with FS2002 registered and a pilot's Hallvoxen.ini"
mkdir -p "$c/FS2002/Modules"
: >"$c/FS2002/FS2002.EXE"
printf '[GENERAL]\r\nServer=IVAO\r\nRangeCheck=OFF\r\n' >"$c/FS2002/Modules/Hallvoxen.ini"
cp "$c/FS2002/Modules/Hallvoxen.ini" "$WINEPREFIX/pilot.ini"
"$wine64" reg add "$sim_key" /v "EXE Path" /d 'C:\FS2002\FS2002.EXE' /reg:32 /f </dev/null >/dev/null 2>&1
run "setup /S /AUTOSTART" "$setup" /S /AUTOSTART
cmp -s "$stage/Hallvoxen.dll" "$c/FS2002/Modules/Hallvoxen.dll" || fail "Modules\\Hallvoxen.dll is not the release's"
cmp -s "$WINEPREFIX/pilot.ini" "$c/FS2002/Modules/Hallvoxen.ini" || fail "the pilot's Hallvoxen.ini was changed"
cmp -s "$stage/Pelkorin.exe" "$app/Pelkorin.exe" || fail "Program Files\\Hallvoxen\\Pelkorin.exe is not the release's"
present "$app/Uninstall.exe" "$app/docs/pilot-guide.md" "$app/LICENSE.txt" "$menu/Hallvoxen/Pelkorin.lnk" \
  "$menu/Hallvoxen/Uninstall Hallvoxen.lnk" "$menu/StartUp/Pelkorin.lnk"
entry=$(reg32 query "$uninstall_key") || fail "no Add/Remove Programs entry"
for want in "DisplayName.*Hallvoxen $version" "DisplayVersion.*$version" \
            'UninstallString.*"C:\\Program Files \(x86\)\\Hallvoxen\\Uninstall.exe"' 'FS2002Folder.*C:\\FS2002$'; do
  grep -Eq "$want" <<<"$entry" || fail "Add/Remove Programs entry lacks $want"
done

echo "2. uninstalling silently"
echo "a line the module wrote" >"$c/FS2002/Modules/Hallvoxen.log"
# As on Windows, the uninstaller copies itself to the temporary folder, starts the copy
# and ends; the copy does the work and removes the folder last.
run "Uninstall /S" "$app/Uninstall.exe" /S
waited=0
while [ -e "$app" ] && [ "$waited" -lt "$limit" ]; do sleep 1; waited=$((waited + 1)); done
echo "  its copy in the temporary folder: done after $waited s more"
absent "$c/FS2002/Modules/Hallvoxen.dll" "$c/FS2002/Modules/Hallvoxen.log" "$app" "$menu/Hallvoxen" "$menu/StartUp/Pelkorin.lnk"
cmp -s "$WINEPREFIX/pilot.ini" "$c/FS2002/Modules/Hallvoxen.ini" || fail "the uninstaller did not keep Hallvoxen.ini"
! reg32 query "$uninstall_key" >/dev/null || fail "the Add/Remove Programs entry is still there"

echo "3. installing with no FS2002 registered, into /D="
"$wine64" reg delete "$sim_key" /reg:32 /f </dev/null >/dev/null 2>&1
mkdir -p "$c/FlightSims/FS2002"
run "setup /S /D=C:\\FlightSims\\FS2002" "$setup" /S '/D=C:\FlightSims\FS2002'
cmp -s "$stage/Hallvoxen.dll" "$c/FlightSims/FS2002/Modules/Hallvoxen.dll" || fail "no Hallvoxen.dll in the /D= folder's Modules"
cmp -s "$stage/Hallvoxen.ini" "$c/FlightSims/FS2002/Modules/Hallvoxen.ini" || fail "no sample Hallvoxen.ini where there was none"
absent "$app/Pelkorin.exe" "$menu/Hallvoxen/Pelkorin.lnk"
grep -Eq 'FS2002Folder.*C:\\FlightSims\\FS2002$' <<<"$(reg32 query "$uninstall_key")" ||
  fail "the uninstaller does not know the /D= folder"

[ "$failures" -eq 0 ] || exit 1
echo "installer under 32-bit Wine: install, keep the INI, register, uninstall, install into /D=: OK"
