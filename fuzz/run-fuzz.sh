#!/usr/bin/env bash
# Fuzzes every target of a native build for SECONDS each, starting from the committed seeds.
#   fuzz/run-fuzz.sh BUILD_DIR SECONDS [more libFuzzer options]
# New inputs go to BUILD_DIR/fuzz-corpus/<target> (kept between runs), crashes and their
# inputs to BUILD_DIR/fuzz-artifacts/. Exit status 1 when a target fails.
set -euo pipefail
build=${1:?usage: fuzz/run-fuzz.sh BUILD_DIR SECONDS [libFuzzer options]}
seconds=${2:?usage: fuzz/run-fuzz.sh BUILD_DIR SECONDS [libFuzzer options]}
shift 2
seeds="$(cd "$(dirname "$0")" && pwd)/corpus"
mkdir -p "$build/fuzz-artifacts"
for target in vatsim_table ivao_table status_key; do
  work="$build/fuzz-corpus/$target"
  mkdir -p "$work"
  log="$build/fuzz-artifacts/$target.log"
  if ! "$build/fuzz/fuzz_$target" "$work" "$seeds/$target" -max_total_time="$seconds" -max_len=16384 \
      -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$build/fuzz-artifacts/$target-" "$@" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz_$target failed; its input is in $build/fuzz-artifacts/" >&2
    exit 1
  fi
  grep -E '^Done|DONE' "$log" | tail -n 1 | sed "s/^/fuzz_$target: /"
done
