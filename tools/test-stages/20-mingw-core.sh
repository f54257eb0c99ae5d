#!/usr/bin/env bash
# The core cross-compiled with MinGW-w64; the poisoned platform headers prove it includes none.
set -euo pipefail
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "${SEG4_JOBS:-2}"
