#!/usr/bin/env bash
# Checks a release made by scripts/release.sh: the zip holds exactly the promised files;
# both binaries carry the project's version and their own names in their version resource
# and no debug sections or symbols; packing the staged folder again after its file times
# changed gives the same bytes; the pilot's texts agree (check-docs.py); SHA256SUMS matches.
# usage: tests/release/check-release.sh [ROOT]   (reads ROOT/dist and ROOT/build/release)
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
version=$(cat "$root/build/release/i686/hallvoxen-version.txt")
name=Hallvoxen-$version
zip=$root/dist/$name.zip
failures=0
fail() { echo "release check FAILED: $*"; failures=$((failures + 1)); }

expected="CHANGELOG.txt Hallvoxen.dll Hallvoxen.ini LICENSE.txt Pelkorin.exe docs/pelkorin-about.png
docs/pelkorin-menu.png docs/pilot-guide.md docs/settings-failed.png docs/settings-off.png
docs/settings-vatsim.png docs/tray-contact.png docs/tray-no-contact.png"
listed=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
[ "$listed" = "$(for f in $expected; do echo "$name/$f"; done)" ] || fail "the zip's files are not the promised ones:"$'\n'"$listed"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$unpacked"
for binary in Hallvoxen.dll Pelkorin.exe; do
  file=$unpacked/$name/$binary
  resource=$(i686-w64-mingw32-windres -J coff -O rc -i "$file" | sed -n '/VERSIONINFO/,$p')
  for want in "FILEVERSION ${version//./, }, 0" "PRODUCTVERSION ${version//./, }, 0" "\"FileVersion\", \"$version\"" \
              "\"ProductVersion\", \"$version\"" '"ProductName", "Hallvoxen"' "\"OriginalFilename\", \"$binary\""; do
    grep -qF "$want" <<<"$resource" || fail "$binary: no $want in its version resource"
  done
  sections=$(i686-w64-mingw32-objdump -h "$file")
  grep -q 'file format pei-i386' <<<"$sections" || fail "$binary is not a 32-bit Windows binary"
  if grep -Eq '\.(debug|stab|zdebug)' <<<"$sections"; then fail "$binary has debug sections"; fi
  i686-w64-mingw32-objdump -t "$file" 2>/dev/null | grep -q '\[ *[0-9]*\](sec' && fail "$binary keeps its symbol table"
done

find "$root/build/release/stage/$name" -exec touch {} +
python3 "$root/scripts/release-zip.py" "$root/build/release/stage/$name" "$unpacked/again.zip" \
  "$(cat "$root/build/release/source-date-epoch")"
cmp -s "$unpacked/again.zip" "$zip" || fail "packing the same files again gives another zip"
python3 "$(dirname "$0")/check-docs.py" "$unpacked/$name" "$version" || fail "the pilot's texts disagree"
(cd "$root/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match dist/"

[ "$failures" -eq 0 ] || exit 1
echo "release $version: zip contents, version resources, no debug sections, reproducible zip, checksums: OK"
