#!/usr/bin/env bash
# Takes the screenshots of Pelkorin for the README under Wine and Xvfb: its tray popup
# menu and its About box, written to docs/pelkorin-menu.png and docs/pelkorin-about.png.
# usage: scripts/screenshots.sh [X86_64_BUILD_DIR]   (default build/x86_64)
# The build must hold bin/Pelkorin.exe, bin/standin_roger.exe and bin/pelkorin_pose.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x86_64}" && pwd)
bin=$build/bin
for program in Pelkorin standin_roger pelkorin_pose; do
  [ -f "$bin/$program.exe" ] || { echo "missing $bin/$program.exe (build the x86_64 tree first)"; exit 1; }
done
command -v import >/dev/null || { echo "ImageMagick's import is missing (scripts/install-deps.sh)"; exit 1; }

# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"
trap wine_session_stop EXIT
wine_session_start "$build/wineprefix-screenshots"
wine=/usr/lib/wine/wine64
key='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\roger.exe'

"$wine" reg add "$key" /ve /d "Z:${bin//\//\\}\\standin_roger.exe" /f </dev/null >/dev/null 2>&1
"$wine" "$bin/Pelkorin.exe" </dev/null >/dev/null 2>&1 &

shoot() {  # shoot POSE FILE
  local area x y w h
  area=$("$wine" "$bin/pelkorin_pose.exe" "$1" </dev/null 2>/dev/null | tr -d '\r')
  read -r x y w h <<<"$area"
  [ -n "${h:-}" ] || { echo "Pelkorin did not show its $1"; exit 1; }
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$root/docs/$2"
  "$wine" "$bin/pelkorin_pose.exe" close </dev/null >/dev/null 2>&1
  echo "docs/$2 (${w}x${h})"
}
mkdir -p "$root/docs"
shoot menu pelkorin-menu.png
shoot about pelkorin-about.png

"$wine" "$bin/pelkorin_pose.exe" exit </dev/null >/dev/null 2>&1
"$wine" reg delete "$key" /f </dev/null >/dev/null 2>&1
