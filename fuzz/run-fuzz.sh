#!/usr/bin/env bash
# Fuzzes every target of a native build for SECONDS each, from the committed seeds; new
# inputs go to BUILD_DIR/fuzz-corpus/<target>, crashes and their inputs and the logs to
# BUILD_DIR/fuzz-artifacts/. Exit status 1 when a target fails.
# usage: fuzz/run-fuzz.sh BUILD_DIR SECONDS [more libFuzzer options]
set -euo pipefail
build=${1:?usage: fuzz/run-fuzz.sh BUILD_DIR SECONDS [libFuzzer options]} seconds=${2:?usage: fuzz/run-fuzz.sh BUILD_DIR SECONDS}
shift 2
seeds="$(cd "$(dirname "$0")" && pwd)/corpus"
for target in vatsim_table ivao_table status_key; do
  mkdir -p "$build/fuzz-corpus/$target" "$build/fuzz-artifacts"
  log="$build/fuzz-artifacts/$target.log"
  "$build/fuzz/fuzz_$target" "$build/fuzz-corpus/$target" "$seeds/$target" -max_total_time="$seconds" -max_len=16384 \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$build/fuzz-artifacts/$target-" "$@" >"$log" 2>&1 ||
    { tail -n 40 "$log"; echo "fuzz_$target failed; its input is in $build/fuzz-artifacts/" >&2; exit 1; }
  grep -E '^Done|DONE' "$log" | tail -n 1 | sed "s/^/fuzz_$target: /"
done
