#!/usr/bin/env bash
# Builds everything and runs every test. Each stage is a script in tools/test-stages/, run in
# name order; the first failing stage stops the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
export SEG4_JOBS=${SEG4_JOBS:-$(nproc)}
for stage in tools/test-stages/*.sh; do
  echo "==== $(basename "$stage" .sh)"
  start=$(date +%s)
  bash "$stage"
  echo "==== $(basename "$stage" .sh): passed in $(( $(date +%s) - start )) s"
done
echo "All test stages passed."
