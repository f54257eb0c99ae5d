#!/usr/bin/env bash
# The native unit and scenario tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j "${SEG4_JOBS:-2}"
# The value change dump is read back with GTKWave's converters, which install-deps installs.
export SEG4_REQUIRE_VCD_READER=1
ctest --preset native-asan -j "${SEG4_JOBS:-2}"
