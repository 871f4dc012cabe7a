#!/usr/bin/env bash
# Takes the pictures of the README and the pilot's guide under Wine and Xvfb, into docs/:
#   settings-off.png, settings-vatsim.png, settings-failed.png
#                        the settings dialog of the real module, on the bundled sample
#                        data: control off; the VATSIM list; IVAO, whose server failed
#   pelkorin-menu.png, pelkorin-about.png
#                        Pelkorin's tray popup menu and its About box
#   tray-contact.png, tray-no-contact.png
#                        Pelkorin's two tray icons, drawn twice their size
# usage: scripts/screenshots.sh [X86_64_BUILD_DIR]   (default build/x86_64)
# The build must hold bin/Hallvoxen.dll, bin/hallvoxen_dialog_pictures.exe,
# bin/Pelkorin.exe, bin/standin_roger.exe and bin/pelkorin_pose.exe.
#
# The station list asks for the FIXEDSYS font, which a bare Wine prefix lacks (it would
# fall back to a proportional font). The pictures' prefix gets Wine's own Fixedsys and
# MS Sans Serif bitmap fonts from Debian's fonts-wine package, copied into its Fonts
# folder; nothing is installed system-wide and the module asks for what it always asks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x86_64}" && pwd)
bin=$build/bin
for program in Hallvoxen.dll hallvoxen_dialog_pictures.exe Pelkorin.exe standin_roger.exe pelkorin_pose.exe; do
  [ -f "$bin/$program" ] || { echo "missing $bin/$program (build the x86_64 tree first)"; exit 1; }
done
command -v import >/dev/null || { echo "ImageMagick's import is missing (scripts/install-deps.sh)"; exit 1; }

fonts=$build/fonts-wine
if [ ! -f "$fonts/vgafix.fon" ]; then
  rm -rf "$fonts.tmp" && mkdir -p "$fonts.tmp" "$fonts"
  (cd "$fonts.tmp" && apt-get download -q fonts-wine >/dev/null 2>&1 && dpkg-deb -x fonts-wine_*.deb .)
  cp "$fonts.tmp/usr/share/wine/fonts/vgafix.fon" "$fonts.tmp/usr/share/wine/fonts/sserife.fon" "$fonts/"
  rm -rf "$fonts.tmp"
fi

# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"
trap wine_session_stop EXIT
wine_session_start "$build/wineprefix-screenshots"
cp "$fonts"/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"
wine=/usr/lib/wine/wine64
mkdir -p "$root/docs"

# ---- the settings dialog: the program poses it and waits for a line after each picture
coproc pictures { "$wine" "$bin/hallvoxen_dialog_pictures.exe" 2>&1; }
pictures_pid=$pictures_PID   # bash forgets it once the program has ended
taken=0
while read -r state x y w h <&"${pictures[0]}"; do
  h=${h%$'\r'}
  case $state in
    off|vatsim|failed) ;;
    *) echo "$state $x $y $w $h"; continue ;;
  esac
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$root/docs/settings-$state.png"
  echo "docs/settings-$state.png (${w}x${h})"
  taken=$((taken + 1))
  echo go >&"${pictures[1]}"
done
wait "$pictures_pid" || { echo "the settings dialog could not be posed"; exit 1; }
[ "$taken" -eq 3 ] || { echo "only $taken pictures of the settings dialog"; exit 1; }

# ---- Pelkorin
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
shoot menu pelkorin-menu.png
shoot about pelkorin-about.png

"$wine" "$bin/pelkorin_pose.exe" exit </dev/null >/dev/null 2>&1
"$wine" reg delete "$key" /f </dev/null >/dev/null 2>&1

# ---- the tray icons, from the pictures the program's icons are made of
for icon in contact no-contact; do
  convert "$root/remote/resources/tray_${icon//-/_}.xpm" -scale 200% -define png:exclude-chunks=date,time "$root/docs/tray-$icon.png"
  echo "docs/tray-$icon.png"
done
