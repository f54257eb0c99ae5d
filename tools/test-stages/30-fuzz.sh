#!/usr/bin/env bash
# Every libFuzzer target runs briefly (SEG4_FUZZ_SECONDS each, default 20) from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/fuzz-lib.sh
seconds=${SEG4_FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${SEG4_JOBS:-2}"
for name in $(fuzz_targets); do
  echo "-- $name for ${seconds}s"
  log=build/fuzz/$name.log
  if ! fuzz_run "$name" "$seconds" "$log"; then
    tail -n 60 "$log"
    echo "$name found a failure" >&2
    exit 1
  fi
  read -r runs per_second < <(fuzz_stats "$log")
  echo "   $runs executions, $per_second exec/s"
done
