#!/usr/bin/env bash
# Installs what is missing, builds all three builds and runs every test:
#   native (clang, AddressSanitizer + UndefinedBehaviorSanitizer): unit tests, a short fuzz run;
#   i686 mingw-w64: the deliverables, with their exports, imports and instructions checked,
#     then run for real under 32-bit Wine (tests/smoke32);
#   x86_64 mingw-w64: the module, the tray program and the Win32 tests under wine64 + Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

"$root/scripts/install-deps.sh"

step() { printf '\n==== %s\n' "$*"; }

step "native build and tests"
cmake -S . -B build/native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHV_SANITIZE=ON -DHV_FUZZ=ON >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"
fuzz/run-fuzz.sh build/native 20                 # each of the three targets for 20 s

step "native speed check (Release build)"
bench/run-speed-check.sh build/native-release

step "i686 deliverables"
cmake -S . -B build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/i686 -j"$jobs"
ctest --test-dir build/i686 --output-on-failure

step "i686 deliverables run under 32-bit Wine (emulated Pentium III where the kernel lacks IA-32)"
tests/smoke32/run.sh build/i686/bin

step "release: zip contents, version resources, reproducible zip; the installer under 32-bit Wine"
scripts/release.sh --working-tree
tests/release/check-release.sh
tests/release/installer-test.sh

step "x86_64 build and Win32 tests under wine64"
cmake -S . -B build/x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
cmake --build build/x86_64 -j"$jobs"
rm -rf build/x86_64/wineprefix   # a fresh prefix each run
scripts/wine-ctest.sh build/x86_64

step "all tests passed"
