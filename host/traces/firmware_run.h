// A target program run on an emulated Cortex-M3 (QEMU's mps2-an385 board), which reports its
// port latches through host/firmware/seg4_ports.c.
#pragma once

#include "traces/value_change_trace.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qhost {

constexpr std::size_t kFirmwarePorts = 8; // porta .. porth

/// The latches from a time on.
struct PortSample {
    double seconds = 0; // since the firmware started its report
    std::array<std::uint32_t, kFirmwarePorts> latches{};
};

/// The emulator's time for one instruction, 2^shift ns: the power of two nearest one cycle of a
/// `clockHz` clock (128 ns for 8 MHz), from 1 ns to 1024 ns.
int instructionShift(double clockHz);

/// Runs `elf` under qemu-system-arm for `seconds` of emulated time (each instruction taking
/// 2^shift ns) and returns what it reported. Throws TraceError when `elf` is no ARM program, the
/// emulator is missing or fails, or the firmware runs far longer in real time than its emulated
/// time should take.
std::string runFirmware(const std::string& elf, double seconds, int shift);

/// The samples of a report. Throws TraceError, naming `elf`, for a report without its first line
/// (a firmware that does not report) or with a line that is none of the report's.
std::vector<PortSample> parsePortReport(std::string_view report, const std::string& elf);

} // namespace qhost
