#!/usr/bin/env bash
# Builds a release into dist/:
#   Hallvoxen-VERSION.zip        the stripped 32-bit Hallvoxen.dll and Pelkorin.exe, a
#                                commented sample Hallvoxen.ini, the pilot's guide with its
#                                pictures, the licence and the change log
#   Hallvoxen-VERSION-setup.exe  the installer (NSIS)
#   SHA256SUMS                   of the two
# VERSION is the one of project() in CMakeLists.txt.
#
# The build starts from a clean copy of the sources in build/release/src: the files of
# the last commit (or of the commit given), or with --working-tree the files git would
# see as they are now (for the tests); no build output gets in. The zip's timestamps are
# the time of that commit and its files are in sorted order, so the same sources give
# the same zip.
#
# usage: scripts/release.sh [COMMIT | --working-tree]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
from=commit
commit=$(git rev-parse --verify HEAD)
case "${1:-}" in
  "") ;;
  --working-tree) from=working-tree ;;
  -*) echo "usage: scripts/release.sh [COMMIT | --working-tree]" >&2; exit 2 ;;
  *) commit=$(git rev-parse --verify "$1^{commit}") ;;
esac

scripts/install-deps.sh

work=$root/build/release
rm -rf "$work"
mkdir -p "$work/src"
if [ "$from" = commit ]; then
  git archive "$commit" | tar -x -C "$work/src"
else
  git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar -c --null -T - | tar -x -C "$work/src"
fi
epoch=$(git log -1 --format=%ct "$commit")
echo "$epoch" >"$work/source-date-epoch"   # for tests/release/check-release.sh

# The deliverables: 32-bit, Release, stripped, and without the link time in their headers.
flags="-s -Wl,--no-insert-timestamp"
cmake -S "$work/src" -B "$work/i686" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DHV_TESTS=OFF \
  -DCMAKE_SHARED_LINKER_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$work/configure.log"
cmake --build "$work/i686" --target Hallvoxen Pelkorin -j"$(nproc)" >"$work/build.log" ||
  { tail -n 30 "$work/build.log"; exit 1; }
version=$(cat "$work/i686/hallvoxen-version.txt")
name=Hallvoxen-$version

# The zip's folder. Text files get Windows line ends: pilots open them in Notepad.
stage=$work/stage/$name
mkdir -p "$stage/docs"
cp "$work/i686/bin/Hallvoxen.dll" "$work/i686/bin/Pelkorin.exe" "$stage/"
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
crlf "$work/src/samples/Hallvoxen.ini" "$stage/Hallvoxen.ini"
crlf "$work/src/LICENSE" "$stage/LICENSE.txt"
crlf "$work/src/CHANGELOG.md" "$stage/CHANGELOG.txt"
crlf "$work/src/docs/pilot-guide.md" "$stage/docs/pilot-guide.md"
# The guide's pictures: exactly those it shows.
grep -o '](\([a-z0-9-]*\.png\))' "$work/src/docs/pilot-guide.md" | sed 's/^](//; s/)$//' | sort -u |
  while read -r picture; do cp "$work/src/docs/$picture" "$stage/docs/"; done
find "$stage" -exec touch -h -d "@$epoch" {} +

mkdir -p dist
rm -f "dist/$name.zip" "dist/$name-setup.exe" dist/SHA256SUMS
python3 scripts/release-zip.py "$stage" "dist/$name.zip" "$epoch"
makensis -V2 -DVERSION="$version" -DINPUT="$stage" -DOUTFILE="$root/dist/$name-setup.exe" \
  "$work/src/installer/Hallvoxen.nsi" >"$work/makensis.log" || { cat "$work/makensis.log"; exit 1; }
(cd dist && sha256sum "$name.zip" "$name-setup.exe" >SHA256SUMS)

echo "release $version in dist/:"
ls -l "dist/$name.zip" "dist/$name-setup.exe" dist/SHA256SUMS
