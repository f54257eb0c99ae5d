#!/usr/bin/env bash
# Every libFuzzer target runs briefly (SEG4_FUZZ_SECONDS each, default 20) from its seed corpus.
set -euo pipefail
seconds=${SEG4_FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${SEG4_JOBS:-2}"
shopt -s nullglob
for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=tests/fuzz/corpus/${name#fuzz_}
  args=("$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  echo "-- $name for ${seconds}s"
  log=build/fuzz/$name.log
  if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "${args[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name found a failure" >&2
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$log" || true
done
