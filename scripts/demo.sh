#!/usr/bin/env bash
# The main job on our sample data (until the scripted flight lands: builds the deliverables).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DHV_TESTS=OFF >/dev/null
cmake --build build/i686 -j"$(nproc)"
ls -l build/i686/bin
