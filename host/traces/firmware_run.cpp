// Running the emulator and reading the firmware's report of its latches.
#include "traces/firmware_run.h"

#include "files/bounded_read.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace qhost {

namespace {

bool parseHex(std::string_view word, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
    return error == std::errc() && end == word.data() + word.size() && !word.empty();
}

/// The blank-separated words of a line.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t from = line.find_first_not_of(' ', at);
        if (from == std::string_view::npos) break;
        const std::size_t to = std::min(line.find(' ', from), line.size());
        out.push_back(line.substr(from, to - from));
        at = to;
    }
    return out;
}

} // namespace

int instructionShift(double clockHz) {
    const long shift = std::lround(std::log2(1e9 / clockHz));
    return static_cast<int>(std::clamp(shift, 0L, 10L));
}

#ifdef _WIN32
std::string runFirmware(const std::string&, double, int) {
    throw TraceError("firmware: the emulator runs only beside the Linux build of qhost; run the same script "
                     "with the native qhost");
}
#else
namespace {

/// `text` in single quotes for the shell, a quote in it closed, escaped and reopened.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

std::string runFirmware(const std::string& elf, double seconds, int shift) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(files::pathOf(elf), error))
        throw TraceError("firmware: cannot read " + elf + ": no such file");
    // A file the emulator would load as raw memory and run as noise: refused before it runs.
    std::string head(20, '\0');
    if (std::FILE* f = std::fopen(elf.c_str(), "rb")) {
        head.resize(std::fread(head.data(), 1, head.size(), f));
        std::fclose(f);
    }
    constexpr char kArmElf32[] = {0x7F, 'E', 'L', 'F', 1 /* 32-bit */, 1 /* little-endian */};
    if (head.size() < 20 || head.compare(0, 6, kArmElf32, 6) != 0 || head[18] != 40 /* ARM */ ||
        head[19] != 0)
        throw TraceError("firmware: " + elf + " is no 32-bit ARM ELF program (build it for the Cortex-M3)");
    if (std::system("command -v qemu-system-arm >/dev/null 2>&1") != 0)
        throw TraceError("firmware: qemu-system-arm is not installed (Debian package qemu-system-arm); "
                         "nothing was run");
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qhost-firmware-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string report = (dir / "report.txt").string(), log = (dir / "emulator.txt").string();
    // The run's length in timer ticks (25 MHz) is the last word of the firmware's command line.
    const auto ticks = static_cast<unsigned long long>(std::ceil(seconds * 25e6));
    // The emulator runs an emulated second in a fraction of a real one; far more means the
    // firmware never reports, so never learns that its time is up.
    const long realSeconds = 10 + std::lround(std::ceil(seconds * 5));
    const std::string command =
        "timeout " + std::to_string(realSeconds) +
        " qemu-system-arm -M mps2-an385 -nographic -monitor none -serial null -icount shift=" +
        std::to_string(shift) + ",align=off,sleep=off -chardev file,id=report,path=" + quoted(report) +
        " -semihosting-config enable=on,target=native,chardev=report,arg=qhost,arg=" + std::to_string(ticks) +
        " -kernel " + quoted(elf) + " >" + quoted(log) + " 2>&1";
    const int status = std::system(command.c_str());
    std::string reported, said;
    try {
        reported = files::readBounded(report, kMaxTraceBytes);
        said = files::readBounded(log, 4096);
    } catch (const files::ReadError& e) {
        std::filesystem::remove_all(dir, error);
        throw TraceError("firmware: " + std::string(e.what()) + " (a longer run than --until allows?)");
    }
    std::filesystem::remove_all(dir, error);
    const int exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (exit == 124)
        throw TraceError("firmware: " + elf + " ran " + std::to_string(realSeconds) +
                         " s of real time without reaching its end; does it call seg4_ports_start() and then "
                         "seg4_ports_changed() after every write to the latches?");
    if (exit != 0)
        throw TraceError("firmware: the emulator failed on " + elf + " (status " + std::to_string(exit) +
                         ")" + (said.empty() ? "" : ": " + said.substr(0, said.find('\n'))));
    return reported;
}
#endif

std::vector<PortSample> parsePortReport(std::string_view report, const std::string& elf) {
    std::vector<PortSample> samples;
    double ticksPerSecond = 0;
    int line = 0;
    for (std::size_t at = 0; at < report.size();) {
        std::size_t end = report.find('\n', at);
        if (end == std::string_view::npos) end = report.size();
        const std::vector<std::string_view> w = words(report.substr(at, end - at));
        at = end + 1;
        ++line;
        const auto fail = [&](const std::string& what) {
            throw TraceError("firmware: " + elf + " reported, on line " + std::to_string(line) + ", " + what);
        };
        if (ticksPerSecond == 0) {
            std::uint64_t hz = 0;
            if (w.size() != 3 || w[0] != "seg4-ports" ||
                std::from_chars(w[1].data(), w[1].data() + w[1].size(), hz).ec != std::errc() || hz == 0)
                throw TraceError("firmware: " + elf +
                                 " reported no latches: link host/firmware/seg4_ports.c into it and call "
                                 "seg4_ports_start() and seg4_ports_changed()");
            ticksPerSecond = static_cast<double>(hz);
            continue;
        }
        if (w.empty()) continue;
        PortSample s;
        std::uint64_t ticks = 0;
        if (w.size() != 1 + kFirmwarePorts || !parseHex(w[0], ticks))
            fail("something other than a time and " + std::to_string(kFirmwarePorts) + " latches");
        for (std::size_t p = 0; p < kFirmwarePorts; ++p) {
            std::uint64_t value = 0;
            if (!parseHex(w[1 + p], value) || value > 0xFFFFFFFFu) fail("a latch that is no 32-bit number");
            s.latches[p] = static_cast<std::uint32_t>(value);
        }
        s.seconds = static_cast<double>(ticks) / ticksPerSecond;
        if (!samples.empty() && s.seconds < samples.back().seconds)
            fail("a time before the one reported last");
        samples.push_back(s);
    }
    if (ticksPerSecond == 0)
        throw TraceError(
            "firmware: " + elf +
            " reported nothing: link host/firmware/seg4_ports.c into it and call seg4_ports_start() "
            "and seg4_ports_changed()");
    return samples;
}

} // namespace qhost
