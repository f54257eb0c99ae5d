#!/usr/bin/env bash
# The generated C code of the display: cross-compiled for a Cortex-M3 and run against a port
# model, call by call against the component's own simulation (tests/codegen/target_code_test.cpp).
# Here the cross compiler is required, so its absence fails the stage instead of skipping.
set -euo pipefail
if ! command -v arm-none-eabi-gcc >/dev/null; then
  echo "arm-none-eabi-gcc is missing; tools/install-deps.sh installs it" >&2
  exit 1
fi
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j "${SEG4_JOBS:-2}" --target codegen_target_tests seg4_data
export SEG4_REQUIRE_ARM_GCC=1
# The fixed wirings and the default random ones, then a fresh set of random wirings whose seed
# is printed, so that a failure can be replayed with SEG4_WIRING_SEED.
ctest --preset native-asan -R '^codegen_target_tests$'
seed=${SEG4_WIRING_SEED:-$(( $(date +%s) % 1000000 ))}
echo "random wirings from seed $seed"
SEG4_WIRING_SEED=$seed ctest --preset native-asan -R '^codegen_target_tests$'
