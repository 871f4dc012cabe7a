#!/usr/bin/env bash
# The main job on our sample data: a scripted flight under Wine. A loopback HTTP server
# serves samples/networks as the VATSIM and IVAO status servers would, a substitute
# simulator loads Hallvoxen.dll, a stand-in RogerWilco records its command lines, and the
# flight tunes COM1, flies and switches networks, printing what the module does at each
# step. Exits non-zero when a step does not show what it should.
#
# usage: scripts/demo.sh [BUILD_ROOT]   (default build: BUILD_ROOT/x86_64 for the demo,
#                                        BUILD_ROOT/i686 for the deliverables)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
builds=$(mkdir -p "${1:-build}" && cd "${1:-build}" && pwd)

step() { printf '==== %s\n' "$*"; }
# Runs a command with its output in a log file; shows the log's end if it fails.
logged() {
  local log=$1; shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "failed; the whole output is in $log"
    exit 1
  fi
}

step "installing what is missing (Debian packages)"
scripts/install-deps.sh

step "building the module and the demo for x86_64 Windows ($builds/x86_64)"
mkdir -p "$builds/x86_64"
logged "$builds/x86_64/demo-build.log" bash -c "
  cmake -S '$root' -B '$builds/x86_64' -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DHV_TESTS=ON &&
  cmake --build '$builds/x86_64' --target hallvoxen_demo -j2"

# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"
trap wine_session_stop EXIT
prefix=$builds/x86_64/wineprefix-demo
if [ -f "$prefix/.prepared" ]; then
  step "starting Wine"
else
  step "starting Wine with a new prefix ($prefix; once, about 20 s)"
fi
wine_session_start "$prefix"

step "the flight"
echo
demo_status=0
"$root/scripts/wine-exec.sh" "$builds/x86_64/bin/hallvoxen_demo.exe" </dev/null || demo_status=$?
wine_session_stop
trap - EXIT
echo

step "building the deliverables for 32-bit Windows ($builds/i686/bin)"
mkdir -p "$builds/i686"
logged "$builds/i686/demo-build.log" bash -c "
  cmake -S '$root' -B '$builds/i686' -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release -DHV_TESTS=OFF &&
  cmake --build '$builds/i686' --target Hallvoxen Pelkorin -j2"
ls -l "$builds/i686/bin/Hallvoxen.dll" "$builds/i686/bin/Pelkorin.exe"

if [ "$demo_status" -ne 0 ]; then
  step "the demo FAILED (exit $demo_status)"
  exit 1
fi
step "the demo ran as expected"
