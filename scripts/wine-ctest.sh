#!/usr/bin/env bash
# Runs CTest of an x86_64 build under wine64 in a private Xvfb session and Wine prefix.
# usage: scripts/wine-ctest.sh BUILD_DIR [ctest arguments...]
# The prefix is BUILD_DIR/wineprefix, made once and reused.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd); shift
# shellcheck source=scripts/wine-session.sh
source "$root/scripts/wine-session.sh"
trap wine_session_stop EXIT
wine_session_start "$build/wineprefix"
ctest --test-dir "$build" --output-on-failure "$@"
