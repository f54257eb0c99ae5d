#!/usr/bin/env bash
# usage: tools/fuzz-long.sh SECONDS
# Runs every libFuzzer target for SECONDS, two at a time (SEG4_FUZZ_PARALLEL), each from its kept
# corpus and seeds, and prints per target the executions and executions per second. A target
# that finds a failure is named with the end of its log, and the exit status is 1.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/fuzz-lib.sh
seconds=${1:?usage: tools/fuzz-long.sh SECONDS}
parallel=${SEG4_FUZZ_PARALLEL:-2}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${SEG4_JOBS:-2}"

mapfile -t targets < <(fuzz_targets)
status=0
declare -A pids=()
report() {
  local name=$1 pid=$2 log=build/fuzz/$1.long.log
  if wait "$pid"; then
    read -r runs per_second < <(fuzz_stats "$log")
    printf '%-24s %12s executions %8s exec/s\n' "$name" "$runs" "$per_second"
  else
    tail -n 40 "$log"
    printf '%-24s FAILED (see %s)\n' "$name" "$log"
    status=1
  fi
}
for name in "${targets[@]}"; do
  while [ "${#pids[@]}" -ge "$parallel" ]; do
    for running in "${!pids[@]}"; do
      if ! kill -0 "${pids[$running]}" 2>/dev/null; then
        report "$running" "${pids[$running]}"
        unset "pids[$running]"
      fi
    done
    sleep 1
  done
  fuzz_run "$name" "$seconds" "build/fuzz/$name.long.log" &
  pids[$name]=$!
done
for running in "${!pids[@]}"; do report "$running" "${pids[$running]}"; done
exit "$status"
