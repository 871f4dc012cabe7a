#!/usr/bin/env bash
# Runs a check that must fail: passes only when the command exits non-zero and its output
# matches every pattern, i.e. it failed for the planted reason and said so.
# usage: expect-failure.sh PATTERN... -- COMMAND [ARG...]
set -uo pipefail
patterns=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do patterns+=("$1"); shift; done
shift
output=$("$@" 2>&1); status=$?
echo "$output"
if [ "$status" -eq 0 ]; then echo "expected a failure, the check passed"; exit 1; fi
for pattern in "${patterns[@]}"; do
  grep -qE -- "$pattern" <<<"$output" || { echo "the failure does not say: $pattern"; exit 1; }
done
echo "failed as expected"
