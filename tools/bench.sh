#!/usr/bin/env bash
# Builds the release preset and runs every benchmark program (bench_*), each with repetitions
# so that its ratios use medians, then prints one table of every declared goal: benchmark,
# floor, ratio, goal, met. The raw output of each program is kept in build/native-release/bench-logs.
# Extra arguments go to every program (e.g. --benchmark_filter=Cold).
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=${SEG4_BENCH_REPETITIONS:-5}
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j2 --target $(
  find bench -maxdepth 1 -name 'bench_*.cpp' -printf '%f\n' | sed 's/\.cpp$//' | sort | tr '\n' ' ') >&2

logs=build/native-release/bench-logs
mkdir -p "$logs"
rows=()
for program in build/native-release/bench/bench_*; do
  [[ -x $program && -f $program ]] || continue
  name=$(basename "$program")
  echo "== $name" >&2
  "$program" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true "$@" \
    >"$logs/$name.txt" 2>&1 || echo "$name failed (see $logs/$name.txt)" >&2
  while IFS= read -r line; do rows+=("$name|${line#goal|}"); done < <(grep '^goal|' "$logs/$name.txt" || true)
done

{
  printf 'program|benchmark|floor|ratio|goal|met\n'
  for row in "${rows[@]}"; do
    printf '%s\n' "$row"
  done
} | column -t -s '|'
printf '\n%d goals missed\n' "$(printf '%s\n' "${rows[@]}" | grep -c '|NO$' || true)"
