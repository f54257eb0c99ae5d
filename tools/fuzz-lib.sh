# Shared by tools/test-stages/30-fuzz.sh and tools/fuzz-long.sh: how one libFuzzer target runs.
# Sourced, not run; expects the fuzz preset built in build/fuzz.

# The longest input a target is given: scripts, documents and text files need room for deep
# nesting and long lines; the binary bags are small by nature.
fuzz_max_len() {
  case "$1" in
    fuzz_script | fuzz_document | fuzz_code_file | fuzz_profile_reader | fuzz_registry_file) echo 65536 ;;
    fuzz_settings_stream) echo 16384 ;;
    fuzz_property_bag | fuzz_combo_bag) echo 4096 ;;
    fuzz_number_text) echo 256 ;;
    fuzz_placeholders) echo 600 ;; # the plain rule it is checked against is quadratic
    *) echo 4096 ;;
  esac
}

# fuzz_run TARGET SECONDS LOG: runs build/fuzz/tests/fuzz/TARGET from its kept corpus and its seeds
# for SECONDS; the log holds libFuzzer's output. Returns libFuzzer's status.
fuzz_run() {
  local name=$1 seconds=$2 log=$3
  local corpus=build/fuzz/corpus/$name seeds=tests/fuzz/corpus/${name#fuzz_}
  mkdir -p "$corpus"
  local args=("$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  "build/fuzz/tests/fuzz/$name" -max_total_time="$seconds" -max_len="$(fuzz_max_len "$name")" \
    -print_final_stats=1 "${args[@]}" >"$log" 2>&1
}

# fuzz_stats LOG: "executions exec/s" of a finished run.
fuzz_stats() {
  local runs per_second
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -n 1)
  per_second=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$1" | tail -n 1)
  echo "${runs:-?} ${per_second:-?}"
}

# The built targets, one a line.
fuzz_targets() {
  local fuzzer
  for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] && [ -f "$fuzzer" ] && basename "$fuzzer"
  done
}
