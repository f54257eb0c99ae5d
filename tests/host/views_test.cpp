// The host's views over simulated time: the scan report's figures and warnings, what the eye
// sees, the animation's frames, and the demo's files.
#include "demo.h"
#include "display/frame.h"
#include "display/pictures.h"
#include "host_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qhost {
namespace {

namespace fs = std::filesystem;

using Outcome = test::ScriptRun;
Outcome run(const std::string& text) { return test::runScript(text); }

std::vector<std::uint8_t> readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// A display showing `value` on every digit in turn, `perDigit` apart, for `span`.
std::string scanning(const char* perDigit, const char* span, int digits = 4) {
    return "place\nQuorvaneVersion = 1026\nclock 8000000\nStartSimulation\necho off\nduring " +
           std::string(span) + "\n  for d = 0 to " + std::to_string(digits - 1) +
           "\n    SimMacroCall(0, Array(d, 8, 0), r, a, c)\n    elapse " + perDigit +
           "\n  next\nend\necho on\n";
}

TEST(ScanReport, FiguresAndWarningsFollowTheWayThePinsWereDriven) {
    struct Row {
        std::string script;
        std::vector<std::string> shown;
        std::vector<std::string> absent;
    };
    const std::string twoAnodes = "Array(1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1)";
    const Row rows[] = {
        {scanning("2.5ms", "200ms") + "scan\n",
         {"digit 0: 99.8 Hz, duty 25.0 %", "digit 3: 99.8 Hz", "ok: no flicker"},
         {"warning"}},
        {scanning("10ms", "400ms") + "scan\n",
         {"digit 1: 25.0 Hz", "slower than 50 Hz: it flickers"},
         {"ok:"}},
        {scanning("2.5ms", "100ms", 2) + "scan\n", {"digit 2: never selected", "duty 0.0 %"}, {"flickers"}},
        {"place\nStartSimulation\nSimWritePins(" + twoAnodes + ")\nelapse 1ms\nscan\n",
         {"two or more anodes were high together 1 time(s), 1.000 ms"},
         {}},
        {"place\nStartSimulation\nSimWritePins(Array(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1))\nelapse 1ms\n"
         "SimWritePins(Array(1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1))\nelapse 1ms\nscan\n",
         {"segment lines changed 1 time(s) while a digit stayed selected"},
         {"anodes were high together"}},
        {"place\nscan\n", {"no simulated time has passed"}, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.script);
        const Outcome o = run(r.script);
        EXPECT_EQ(o.status, 0) << o.output;
        for (const auto& s : r.shown) EXPECT_NE(o.output.find(s), std::string::npos) << s << "\n" << o.output;
        for (const auto& s : r.absent)
            EXPECT_EQ(o.output.find(s), std::string::npos) << s << "\n" << o.output;
    }
}

/// The mean red of a digit's cell: digit 0 is the rightmost quarter of the picture.
double digitRed(const seg4::Frame& f, int digit) {
    const int cell = f.width / 4;
    const int x0 = (3 - digit) * cell;
    double sum = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = x0; x < x0 + cell; ++x) sum += seg4::px::red(f.at(x, y));
    return sum / (cell * f.height);
}

TEST(EyeView, AWellScannedDisplayLooksSteadyAndAnUnscannedDigitStaysDark) {
    const fs::path dir = fs::temp_directory_path() / "qhost_views_test";
    fs::create_directories(dir);
    const std::string steady = (dir / "steady.png").string();
    const std::string lone = (dir / "lone.png").string();
    const std::string instant = (dir / "instant.png").string();
    const Outcome o = run(scanning("2.5ms", "100ms") + "eye " + steady + "\nsnapshot " + instant + "\n" +
                          scanning("2.5ms", "100ms", 1).substr(6) + "eye " + lone + " 40ms\n");
    ASSERT_EQ(o.status, 0) << o.output;

    const seg4::Frame eye = seg4::decodePng(readBytes(steady));
    const seg4::Frame now = seg4::decodePng(readBytes(instant));
    const seg4::Frame single = seg4::decodePng(readBytes(lone));
    // The instant shows the last digit selected only; the eye sees all four equally bright, as
    // bright as that one digit is at its instant.
    const double lit = digitRed(now, 3);
    EXPECT_LT(digitRed(now, 0), lit * 0.5);
    for (int d = 0; d < 4; ++d) EXPECT_NEAR(digitRed(eye, d), lit, lit * 0.03) << d;
    // Scanning digit 0 alone lights it fully and leaves the others as dark as an unlit unit.
    EXPECT_NEAR(digitRed(single, 0), lit, lit * 0.03);
    for (int d = 1; d < 4; ++d) EXPECT_NEAR(digitRed(single, d), digitRed(now, 0), 1.0) << d;
}

TEST(Animation, IsAnAnimatedPngWithOneFramePerStepOfTheRun) {
    const fs::path dir = fs::temp_directory_path() / "qhost_views_test";
    fs::create_directories(dir);
    const std::string file = (dir / "run.png").string();
    const Outcome o = run(scanning("2.5ms", "200ms") + "animate " + file + " 50ms\n");
    ASSERT_EQ(o.status, 0) << o.output;
    const std::vector<std::uint8_t> bytes = readBytes(file);
    ASSERT_GT(bytes.size(), 8u);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const auto actl = text.find("acTL");
    ASSERT_NE(actl, std::string::npos);
    const auto frames = static_cast<unsigned char>(text[actl + 7]);
    EXPECT_EQ(frames, 5); // 200 ms (and a little) in steps of 50 ms
    std::size_t fctl = 0;
    for (auto at = text.find("fcTL"); at != std::string::npos; at = text.find("fcTL", at + 4)) ++fctl;
    EXPECT_EQ(fctl, frames);
    // A viewer that knows no animation sees the first frame as an ordinary PNG.
    const seg4::Frame first = seg4::decodePng(bytes);
    EXPECT_EQ(first.width, 160);
    EXPECT_EQ(first.height, 50);
}

TEST(Demo, WritesEveryFileItPromises) {
    const fs::path dir = fs::temp_directory_path() / "qhost_demo_test";
    fs::remove_all(dir);
    seg4::PosixPlatform platform;
    test::installHost(platform);
    NativeBackend backend(platform);
    std::ostringstream out;
    ASSERT_EQ(runDemo(backend, dir.string(), out), 0) << out.str();
    for (const char* name : {"instant.png", "eye.png", "run.png", "scan.txt", "program.c", "document.json"})
        EXPECT_GT(fs::file_size(dir / name), 100u) << name;
    const seg4::Frame eye = seg4::decodePng(readBytes(dir / "eye.png"));
    EXPECT_EQ(eye.width, 272); // the demo shows the largest size, 85 pixels high
    EXPECT_NE(out.str().find("ok: no flicker, no overlap, no ghosting"), std::string::npos) << out.str();
}

} // namespace
} // namespace qhost
