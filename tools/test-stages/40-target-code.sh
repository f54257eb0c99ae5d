#!/usr/bin/env bash
# The generated C code of the display, call by call against the component's own simulation:
# cross-compiled for a Cortex-M3 and run against a port model on this machine
# (tests/codegen/target_code_test.cpp), and linked into a firmware run on an emulated Cortex-M3
# (tests/cortex_m/), and the demo firmware run by qhost's `firmware` command. Here the cross
# compiler and the emulator are required, so their absence fails the stage instead of skipping.
set -euo pipefail
for tool in arm-none-eabi-gcc qemu-system-arm; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing; tools/install-deps.sh installs it" >&2
    exit 1
  fi
done
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan -j "${SEG4_JOBS:-2}" --target codegen_target_tests cortex_m_tests firmware_demo_tests seg4_data
export SEG4_REQUIRE_ARM_GCC=1 SEG4_REQUIRE_QEMU=1
# The fixed wirings and the default random ones, then a fresh set of random wirings whose seed
# is printed, so that a failure can be replayed with SEG4_WIRING_SEED.
ctest --preset native-asan -R '^(codegen_target_tests|cortex_m_tests|firmware_demo_tests)$'
seed=${SEG4_WIRING_SEED:-$(( $(date +%s) % 1000000 ))}
echo "random wirings from seed $seed"
SEG4_WIRING_SEED=$seed ctest --preset native-asan -R '^(codegen_target_tests|cortex_m_tests)$'
