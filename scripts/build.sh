#!/usr/bin/env bash
# Builds the deliverables for 32-bit Windows: build/i686/bin/Hallvoxen.dll and Pelkorin.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DHV_TESTS=OFF >/dev/null
cmake --build build/i686 -j"$(nproc)"
ls -l build/i686/bin
