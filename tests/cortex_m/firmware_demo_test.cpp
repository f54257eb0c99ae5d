// qhost's `firmware` command on the demo firmware (firmware/demo.c): the generated program of a
// display, built with the demo's main loop and host/firmware/seg4_ports.c, runs under QEMU and
// drives a display through the latches it reports. What an eye sees of it must be what it sees
// of the component's simulation of the same calls, and the same lit states must appear; a
// firmware built from the program of another wiring must not pass, so that a comparison which
// notices nothing cannot pass either.
// Without arm-none-eabi-gcc or qemu-system-arm the test is skipped with a message, unless
// SEG4_REQUIRE_QEMU=1 (the target-code stage sets it).
#include "demo.h"
#include "helpers.h"
#include "host_fixture.h"
#include "views/eye.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

namespace qhost {
namespace {

namespace fs = std::filesystem;

/// Wires the current display: its proposed wiring, or the segment lines in reverse order.
std::string wired(bool reversedSegments) {
    return "QuorvaneVersion = 1026\nfor pin = 0 to 11\n  Port(pin) = DesiredPort(pin)\n"
           "  Bit(pin) = DesiredBit(pin)\nnext\n" +
           std::string(reversedSegments ? "for pin = 4 to 11\n  Bit(pin) = 11 - pin\nnext\n" : "");
}

/// Runs `text`; returns the interpreter's displays by way of `seen`, which gets the run's output.
struct DemoRun {
    int status = 0;
    std::string output;
    std::vector<Picture> eyes;                 // per display, at the end of its time
    std::vector<std::set<std::string>> states; // per display, the lit states its pins held
};

DemoRun runScript(const std::string& text, const std::vector<double>& eyeEnds) {
    seg4::PosixPlatform platform;
    test::installHost(platform);
    NativeBackend backend(platform);
    std::ostringstream out;
    ParseResult parsed = parseScript(text, "firmware.qhs");
    if (!parsed.errors.empty()) return {-1, parsed.errors[0].message, {}, {}};
    Interpreter in(backend, out);
    DemoRun r{in.run(parsed.script), out.str(), {}, {}};
    for (std::size_t n = 0; n < in.displays().size() && n < eyeEnds.size(); ++n) {
        PlacedDisplay& d = in.displays()[n];
        r.eyes.push_back(eyeView(*d.display, d.history, eyeEnds[n], kEyeWindow));
        std::set<std::string> states;
        for (const PinSample& s : d.history) {
            std::string levels;
            for (bool b : s.levels) levels += b ? '1' : '0';
            if (levels.find('1') < 4) states.insert(levels); // an anode high: a digit lit
        }
        r.states.push_back(states);
    }
    return r;
}

/// The largest difference of one colour channel between two pictures of one size.
int largestDifference(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height) return 256;
    int largest = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            largest = std::max(largest,
                               std::abs(int(a.pixels[i] >> shift & 0xFF) - int(b.pixels[i] >> shift & 0xFF)));
    return largest;
}

bool toolPresent(const std::string& tool) {
    if (seg4::test::runCommand("command -v " + tool).status == 0) return true;
    const char* required = std::getenv("SEG4_REQUIRE_QEMU");
    if (required && std::string(required) == "1")
        ADD_FAILURE() << tool << " is not installed, and SEG4_REQUIRE_QEMU=1";
    else
        std::cout << tool << " is not installed: the firmware run is skipped\n";
    return false;
}

TEST(FirmwareDemo, RunsUnderTheEmulatorIntoTheEyeOfTheSimulatedCalls) {
    if (!toolPresent("arm-none-eabi-gcc") || !toolPresent("qemu-system-arm")) return;
    const seg4::test::TempDir dir;
    const std::string firmware = SEG4_FIRMWARE_DIR, library = SEG4_PORTS_LIBRARY_DIR;
    // The simulation of the demo's calls: "12.34", a digit every 2.5 ms for 100 ms.
    const std::string simulated = "place simulated\n" + wired(false) +
                                  "StartSimulation\necho off\nfor pass = 1 to 10\n  for d = 0 to 3\n"
                                  "    SimMacroCall(0, Array(d, 4 - d, d = 2), r, a, c)\n    elapse 2.5ms\n"
                                  "  next\nnext\necho on\n";
    struct Row {
        const char* name;
        bool codeForReversedSegments; // the program was generated for another wiring
        bool sameAsSimulation;
    };
    const Row rows[] = {{"demo", false, true}, {"demo_other_wiring", true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path build = dir / row.name;
        fs::create_directories(build);
        const DemoRun generated = runScript("place\n" + wired(row.codeForReversedSegments) + "codegen \"" +
                                                (build / "show_digit.c").string() + "\"\n",
                                            {});
        ASSERT_EQ(generated.status, 0) << generated.output;
        const std::string elf = (build / "demo.elf").string();
        const seg4::test::CommandRun built = seg4::test::runCommand(
            "arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -Os -std=c99 -pedantic -Wall -Wextra -Werror "
            "-Wmissing-prototypes -Wstrict-prototypes -ffreestanding -nostdlib -I'" +
            build.string() + "' -I'" + firmware + "' -I'" + library + "' -T '" + firmware +
            "/cortex_m.ld' '" + firmware + "/startup.c' '" + firmware + "/demo.c' '" + library +
            "/seg4_ports.c' -lgcc -o '" + elf + "'");
        ASSERT_EQ(built.status, 0) << built.output;

        // The firmware on a display wired as proposed, then the simulation on another.
        const DemoRun r = runScript("place firmware\n" + wired(false) + "StartSimulation\nfirmware \"" + elf +
                                        "\" --until 100ms\nscan\n" + simulated,
                                    {0.1, 0.2});
        ASSERT_EQ(r.status, 0) << r.output;
        ASSERT_EQ(r.eyes.size(), 2u);
        EXPECT_TRUE(test::contains(r.output, "for 100.000 ms on 1 display(s)")) << r.output;
        const int difference = largestDifference(r.eyes[0], r.eyes[1]);
        if (row.sameAsSimulation) {
            EXPECT_EQ(r.states[0], r.states[1]);
            // The demo's digits are lit within a few per cent of a quarter of the time each.
            EXPECT_LE(difference, 24);
            EXPECT_TRUE(test::contains(r.output, "ok: no flicker, no overlap, no ghosting")) << r.output;
            for (const char* digit : {"digit 0: 1", "digit 1: 1", "digit 2: 1", "digit 3: 1"})
                EXPECT_TRUE(test::contains(r.output, digit)) << r.output; // about 100 Hz
            // `qhost firmware` runs the same on a display it wires as proposed, and writes its views.
            const DemoRun command = runScript(firmwareScript(elf, "100ms", 8000000, build.string()), {0.1});
            ASSERT_EQ(command.status, 0) << command.output;
            ASSERT_EQ(command.states.size(), 1u);
            EXPECT_EQ(command.states[0], r.states[1]);
            for (const char* written : {"instant.png", "eye.png", "run.png", "scan.txt"})
                EXPECT_TRUE(fs::is_regular_file(build / written)) << written;
            EXPECT_TRUE(test::contains(seg4::test::readText(build / "scan.txt"), "ok: no flicker"))
                << command.output;
        } else {
            EXPECT_NE(r.states[0], r.states[1]);
            EXPECT_GT(difference, 100);
        }
    }
}

} // namespace
} // namespace qhost
