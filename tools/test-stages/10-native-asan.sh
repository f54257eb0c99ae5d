#!/usr/bin/env bash
# The native unit and scenario tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j "${SEG4_JOBS:-2}"
ctest --preset native-asan -j "${SEG4_JOBS:-2}"
