#!/usr/bin/env bash
# The main job: builds qhost and runs its demo, which writes its pictures, report, generated C
# program and document into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target qhost seg4_data -j "$(nproc)"
build/native-release/host/qhost demo --out out "$@"
