#!/usr/bin/env bash
# Builds the benchmark in a Release tree (no sanitizers) and checks the parser's speed
# (see check-speed.py).   usage: bench/run-speed-check.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: bench/run-speed-check.sh BUILD_DIR}
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Release -DHV_BENCH=ON -DHV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_station_table
"$build/bench/bench_station_table" --benchmark_repetitions=7 --benchmark_min_time=0.1 --benchmark_format=json >"$build/speed.json"
python3 "$root/bench/check-speed.py" "$build/speed.json"
