#!/usr/bin/env bash
# Static analysis of our own code (7seg4, host, tools) with the checks of .clang-tidy, every
# warning an error. Uses the compile commands of the native-asan build (stage 10), so it sees
# exactly what the compiler sees; generated and third-party code is not ours to check.
set -euo pipefail
cd "$(dirname "$0")/../.."
command -v clang-tidy-14 >/dev/null || { echo "clang-tidy-14 is missing: run tools/install-deps.sh" >&2; exit 1; }
build=build/native-asan
cmake --preset native-asan >/dev/null
# The generated string table and pictures must exist for the sources that include them.
cmake --build --preset native-asan -j "${SEG4_JOBS:-2}" --target seg4core
files=$(python3 - "$build/compile_commands.json" "$PWD" <<'PY'
import json, os, sys
root = sys.argv[2] + "/"
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    rel = path[len(root):] if path.startswith(root) else None
    if rel and rel.split("/")[0] in ("7seg4", "host", "tools") and rel not in seen:
        seen.add(rel)
        print(rel)
PY
)
start=$(date +%s)
log=$build/clang-tidy.log
# Every finding in our own files fails the stage. The analyzer also follows calls into headers of
# third-party libraries (stb); what it says there is not ours to change, so only our paths count.
echo "$files" | xargs -P "${SEG4_JOBS:-2}" -n 1 clang-tidy-14 -p "$build" --quiet >"$log" 2>&1 || true
root="$PWD/"
findings=$(grep -E "^(${root})?(7seg4|host|tools)/[^:]+:[0-9]+:[0-9]+: (warning|error):" "$log" | sed "s|^$root||" | sort -u || true)
if [ -n "$findings" ] || grep -q "error: .*\[clang-diagnostic-error\]" "$log"; then
  echo "$findings"
  grep "clang-diagnostic-error" "$log" || true
  echo "clang-tidy found problems (full output in $log)" >&2
  exit 1
fi
echo "clang-tidy: $(echo "$files" | wc -l) files clean in $(($(date +%s) - start)) s"
