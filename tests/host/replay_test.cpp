// replay: a recorded trace drives the current display's pins on the trace's own time, and a
// bad trace stops the script with the file and line to blame before the display sees a level.
#include "helpers.h"
#include "host_fixture.h"

#include "traces/firmware_run.h"

#include <cstdlib>
#include <fstream>

namespace qhost {
namespace {

// Pins named as the display names them (blanks as underscores, any case), in a scope, listed
// in an order of their own; a channel no pin reads; time in steps of 10 us; the segment lines
// start undriven (x) and a $dumpoff leaves them at their levels.
const std::string kTrace = R"($date today $end
$timescale 10 us $end
$scope module board $end
$var wire 1 ! Anode_3 $end
$var wire 1 " anode_2 $end
$var wire 1 # ANODE_1 $end
$var wire 1 $ Anode_0 $end
$var wire 1 % Segment_A $end
$var wire 1 & Segment_B $end
$var wire 1 ' Segment_C $end
$var wire 1 ( Segment_D $end
$var wire 1 ) Segment_E $end
$var wire 1 * Segment_F $end
$var wire 1 + Segment_G $end
$var wire 1 , Segment_DP $end
$var wire 4 - spare [3:0] $end
$upscope $end
$enddefinitions $end
#100
$dumpvars
1! 0" 0# 0$ x% x& x' x( x) x* x+ x, b0000 -
$end
#150
0! 1" 1% 0& b1x01 -
#150
1& 0' 0( 0) 0* 0+ z,
#400
$dumpoff
x! x" x# x$ x% x& x' x( x) x* x+ x,
$end
#500
)";

/// Places a simulating display, runs `script` on it, and returns what it printed with the
/// status and the display's pin history as `history` prints it.
struct Replayed {
    int status;
    std::string output;
    std::vector<std::string> history;
    double now;
};

Replayed replay(const std::string& lines) {
    seg4::PosixPlatform platform;
    test::installHost(platform);
    NativeBackend backend(platform);
    std::ostringstream out;
    ParseResult parsed = parseScript("place\nStartSimulation\nelapse 1ms\n" + lines, "t.qhs");
    EXPECT_TRUE(parsed.errors.empty()) << lines;
    Interpreter in(backend, out);
    Replayed r{in.run(parsed.script), out.str(), {}, in.now()};
    for (const PinSample& s : in.displays().at(0).history) {
        std::string levels;
        for (bool b : s.levels) levels += b ? '1' : '0';
        r.history.push_back(std::to_string(std::llround(s.time * 1e6)) + "us " + levels);
    }
    return r;
}

std::string edited(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(Replay, DrivesThePinsOnTheTracesTimeAndLeavesUndrivenPinsAsTheyAre) {
    const seg4::test::TempDir dir;
    const std::string file = (dir / "t.vcd").string();
    std::ofstream(file, std::ios::binary) << kTrace;
    const Replayed r = replay("replay \"" + file + "\"\n");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(test::contains(r.output, "(3 change(s) over 4.000 ms)")) << r.output;
    EXPECT_TRUE(test::contains(r.output, "ignored signal(s) that drive no pin: board.spare")) << r.output;
    // Placed unlit at 0; the trace's first time (#100) at 1 ms, its last (#500) 4 ms later.
    ASSERT_EQ(r.history.size(), 3u) << r.output;
    EXPECT_EQ(r.history[0], "0us 000000000000");
    EXPECT_EQ(r.history[1], "1000us 100000000000"); // x: the segment lines keep their levels
    EXPECT_EQ(r.history[2], "1500us 010011000000"); // the two #150 steps are one
    EXPECT_NEAR(r.now, 0.005, 1e-12);               // $dumpoff's x changes nothing
}

TEST(Replay, ABadTraceStopsTheScriptWithItsLineAndChangesNothing) {
    const seg4::test::TempDir dir;
    const std::string file = (dir / "t.vcd").string();
    const std::string map = " --map ";
    struct Case {
        std::string trace, arguments, message;
    };
    const Case cases[] = {
        {kTrace.substr(0, kTrace.find("$enddefinitions")), "",
         "t.vcd:18: the header ends without $enddefinitions"},
        {edited(kTrace, "$timescale 10 us $end", ""), "", "the header has no $timescale"},
        {edited(kTrace, "10 us", "3 ns"), "", "t.vcd:2: $timescale '3ns' is not 1, 10 or 100"},
        {edited(kTrace, "10 us", "10 min"), "", "t.vcd:2: $timescale '10min'"},
        {edited(kTrace, "$var wire 1 ! Anode_3 $end", "$var wire 1 ! $end"), "",
         "t.vcd:4: $var needs a type"},
        {edited(kTrace, "$var wire 1 !", "$var wire 0 !"), "", "t.vcd:4: $var width '0' is not a positive"},
        {edited(kTrace, "$var wire 1 ,", "$var wire 8 ,"), "",
         "t.vcd:15: the signal 'board.Segment_DP' is 8 bits"},
        {edited(kTrace, "$upscope $end", "$upscope $end $upscope $end"), "", "t.vcd:17: $upscope without"},
        {edited(kTrace, "$date today $end", "$date today"), "", "t.vcd:1: $date is never closed by $end"},
        {edited(kTrace, "$date", "date"), "", "t.vcd:1: 'date' in the header is no $keyword"},
        {edited(kTrace, "1% 0&", "1% 0?"), "",
         "t.vcd:24: a value change for the undeclared identifier code '?'"},
        {edited(kTrace, "#400", "#149"), "", "t.vcd:27: time goes backwards: #149 after #150"},
        {edited(kTrace, "#400", "#4o0"), "", "t.vcd:27: '#4o0' is no time"},
        {edited(kTrace, "#400", "#-400"), "", "t.vcd:27: '#-400' is no time"},
        {edited(kTrace, "#400", "400"), "", "t.vcd:27: '400' is neither a time"},
        {edited(kTrace, "b1x01 -", "b1201 -"), "", "t.vcd:24: 'b1201' is no binary value"},
        {edited(kTrace, "z,", "b101 ,"), "",
         "at #150 the wire ',' of a pin takes a value wider than one bit"},
        {kTrace.substr(0, kTrace.find("#100")), "", "the trace names no time"},
        {edited(kTrace, "Anode_0", "D3"), "", "no signal drives pin(s) 3 (Anode 0); name signals"},
        {edited(edited(kTrace, "Anode_0", "D3"), "Segment_G", "D10"), "",
         "no signal drives pin(s) 3 (Anode 0), 10 (Segment G)"},
        {edited(kTrace, "Anode_0", "D3"), map + "D3=3,Anode_1=Anode_0",
         "(Anode 0) a second signal, 'Anode_1'"},
        {kTrace, map + "D3=0", "--map names the signal 'D3', which the trace does not declare"},
        {kTrace, map + "spare=3", "the signal 'board.spare' is 4 bits wide"},
        {kTrace, map + "Anode_0=12", "--map names the pin '12', which the display does not have"},
        {kTrace, map + "Anode_0=Anode_9", "--map names the pin 'Anode_9'"},
        {kTrace, map + "Anode_0", "--map entry 'Anode_0' is not SIGNAL=PIN"},
        {kTrace, map + "Anode_0=", "--map entry 'Anode_0=' is not SIGNAL=PIN"},
        {kTrace, " --mop Anode_0=3", "usage: replay FILE.vcd [--map SIGNAL=PIN,...]"},
        {kTrace, map, "usage: replay"},
        // Two scopes with the pins' names, neither named like the display (display1).
        {edited(kTrace, "$enddefinitions",
                "$scope module other $end $var wire 1 ! Anode_3 $end $upscope $end "
                "$enddefinitions"),
         "", "the signal 'Anode 3' is ambiguous (board.Anode_3, other.Anode_3)"},
    };
    for (const Case& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.trace;
        const Replayed r = replay("replay \"" + file + "\"" + c.arguments + "\n");
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_TRUE(test::contains(r.output, c.message)) << c.message << "\n" << r.output;
        EXPECT_EQ(r.history.size(), 1u) << c.message; // the display never left its first levels
        EXPECT_NEAR(r.now, 0.001, 1e-12) << c.message;
    }
}

TEST(Replay, RefusesFilesItCannotReadWhole) {
    const seg4::test::TempDir dir;
    const std::string large = (dir / "large.vcd").string();
    std::ofstream(large, std::ios::binary) << kTrace;
    std::filesystem::resize_file(large, (32u << 20) + 1); // one byte above the bound
    const std::pair<std::string, std::string> cases[] = {
        {large, "large.vcd"},
        {(dir / "missing.vcd").string(), "missing.vcd"},
        {dir.path().string(), "cannot read"},
    };
    for (const auto& [file, message] : cases) {
        const Replayed r = replay("replay \"" + file + "\"\n");
        EXPECT_EQ(r.status, 2) << file;
        EXPECT_TRUE(test::contains(r.output, "cannot read") && test::contains(r.output, message)) << r.output;
        EXPECT_EQ(r.history.size(), 1u) << file;
    }
}

// The report of a firmware's latches: times in ticks of the rate its first line gives.
TEST(FirmwareReport, ReadsTimesAndLatchesAndRefusesWhatTheLibraryNeverWrites) {
    const std::string header = "seg4-ports 25000000 8\n";
    const std::string line = "0000000000000000 00000001 00000002 0 0 0 0 0 ffffffff\n";
    const std::vector<PortSample> read =
        parsePortReport(header + line + "0000000001312d00 0 0 0 0 0 0 0 7\n", "f.elf");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].latches[1], 2u);
    EXPECT_EQ(read[0].latches[7], 0xFFFFFFFFu);
    EXPECT_DOUBLE_EQ(read[1].seconds, 0.8); // 0x1312d00 = 20 000 000 ticks of 25 MHz

    const std::pair<std::string, std::string> cases[] = {
        {"", "f.elf reported nothing: link host/firmware/seg4_ports.c"},
        {"hello\n" + line, "f.elf reported no latches"},
        {"seg4-ports 0 8\n", "f.elf reported no latches"},
        {header + "0000000000000000 1 2 3\n", "on line 2, something other than a time and 8 latches"},
        {header + "000000000000000g 0 0 0 0 0 0 0 0\n", "on line 2, something other than a time"},
        {header + "0000000000000000 0 0 0 0 0 0 0 100000000\n",
         "on line 2, a latch that is no 32-bit number"},
        {header + "0000000000000010 0 0 0 0 0 0 0 0\n" + line,
         "on line 3, a time before the one reported last"},
    };
    for (const auto& [report, message] : cases) {
        try {
            parsePortReport(report, "f.elf");
            ADD_FAILURE() << "accepted: " << report;
        } catch (const TraceError& e) {
            EXPECT_TRUE(test::contains(e.what(), message)) << e.what();
        }
    }
}

TEST(Firmware, RefusesToRunWhatCannotRunAndSaysWhy) {
    const seg4::test::TempDir dir;
    const std::string elf = (dir / "f.elf").string();
    std::ofstream(elf) << "not a program, but long enough";
    // The start of a 32-bit little-endian ARM ELF file, as far as qhost looks before running it.
    const std::string arm = (dir / "arm.elf").string();
    std::ofstream(arm, std::ios::binary) << std::string("\x7F"
                                                        "ELF\x01\x01",
                                                        6)
                                         << std::string(12, '\0') << std::string("\x28\x00", 2);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    struct Case {
        std::string arguments, pathVariable, message;
    };
    const Case cases[] = {
        {"\"" + (dir / "none.elf").string() + "\"", path, "firmware: cannot read"},
        {"\"" + elf + "\" --until 0ms", path, "--until needs a duration up to an hour"},
        {"\"" + elf + "\" --until 2h", path, "--until needs a duration"},
        {"\"" + elf + "\" --for 1ms", path, "usage: firmware FILE.elf [--until TIME]"},
        {"\"" + elf + "\"", path, "f.elf is no 32-bit ARM ELF program"},
        {"\"" + arm + "\"", dir.path().string(),
         "qemu-system-arm is not installed (Debian package qemu-system-arm)"},
    };
    for (const Case& c : cases) {
        setenv("PATH", c.pathVariable.c_str(), 1);
        const Replayed r = replay("firmware " + c.arguments + "\n");
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_TRUE(test::contains(r.output, c.message)) << c.message << "\n" << r.output;
        EXPECT_EQ(r.history.size(), 1u) << c.message;
    }
}

} // namespace
} // namespace qhost
