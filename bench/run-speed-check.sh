#!/usr/bin/env bash
# Builds the parser's speed check in a Release tree (no sanitizers) and runs it; exit 1 when
# it fails (see StationTableBench.cpp).   usage: bench/run-speed-check.sh BUILD_DIR
# A process can land on an unlucky memory layout (addresses are randomised per process):
# about one run in four here is a quarter slower, with the same code, and none are with
# randomisation off. So the check passes when one of up to five runs passes; a parser that
# is really slower fails them all.
set -euo pipefail
build=${1:?usage: bench/run-speed-check.sh BUILD_DIR}
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Release -DHV_BENCH=ON -DHV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_station_table >/dev/null
for run in 1 2 3 4 5; do
  "$build/bench/bench_station_table" && exit 0
  echo "run $run of 5 failed"
done
exit 1
