#!/usr/bin/env bash
# Builds the parser's speed check in a Release tree (no sanitizers) and runs it; exit 1 when
# it fails (see StationTableBench.cpp).   usage: bench/run-speed-check.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: bench/run-speed-check.sh BUILD_DIR}
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Release -DHV_BENCH=ON -DHV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_station_table >/dev/null
"$build/bench/bench_station_table"
