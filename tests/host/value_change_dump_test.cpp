// The vcd command: the pin histories as a value change dump that a real reader takes. vcd2fst
// (Debian's gtkwave package) converts the dump without complaint, and fst2vcd's dump of the
// result holds, for every display, the same levels at the same times as its history. Without
// the tools the test stops with a message, unless SEG4_REQUIRE_VCD_READER=1 (the native stage
// sets it), which makes their absence a failure.
#include "helpers.h"
#include "host_fixture.h"
#include "views/value_change_dump.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>

namespace qhost {
namespace {

// The pins' names as the dump must spell them, pin 0 first.
const std::array<std::string, 12> kWireNames{"Anode_3",   "Anode_2",   "Anode_1",   "Anode_0",
                                             "Segment_A", "Segment_B", "Segment_C", "Segment_D",
                                             "Segment_E", "Segment_F", "Segment_G", "Segment_DP"};

/// Per display, each time its twelve levels changed and the levels from then on ('x' unknown).
using Timeline = std::map<std::string, std::vector<std::pair<long long, std::string>>>;

/// The timeline a dump describes, read token by token: scopes, wires by name, then the values
/// of $dumpvars and of every time step.
Timeline readDump(const std::string& dump, std::string& timescale) {
    std::istringstream in(dump);
    std::map<std::string, std::pair<std::string, std::size_t>> wires; // identifier -> scope, pin
    std::map<std::string, std::string> levels;                        // scope -> levels now
    Timeline timeline;
    std::string token, scope;
    long long time = 0;
    bool timed = false; // a time step has begun
    const auto record = [&] {
        for (auto& [name, now] : levels)
            if (timeline[name].empty() || timeline[name].back().second != now)
                timeline[name].push_back({time, now});
    };
    while (in >> token) {
        if (token == "$scope") {
            in >> token >> scope >> token;
            levels[scope] = std::string(12, 'x');
        } else if (token == "$var") {
            std::string type, width, id, name;
            in >> type >> width >> id >> name >> token;
            const auto pin = std::find(kWireNames.begin(), kWireNames.end(), name);
            EXPECT_NE(pin, kWireNames.end()) << "a wire the displays do not have: " << name;
            if (pin != kWireNames.end()) wires[id] = {scope, std::size_t(pin - kWireNames.begin())};
        } else if (token == "$timescale") {
            for (timescale.clear(); in >> token && token != "$end";) timescale += token;
        } else if (token == "$dumpvars" || token == "$end" || token == "$upscope") {
            if (token == "$upscope") in >> token;
        } else if (token[0] == '$') {
            while (in >> token && token != "$end") {
            }
        } else if (token[0] == '#') {
            if (timed) record();
            timed = true;
            time = std::stoll(token.substr(1));
        } else {
            const auto wire = wires.find(token.substr(1));
            EXPECT_TRUE(wire != wires.end() && std::string("01x").find(token[0]) != std::string::npos)
                << "a value change the dump does not declare: " << token;
            if (wire != wires.end()) levels[wire->second.first][wire->second.second] = token[0];
        }
    }
    record();
    return timeline;
}

/// The timeline the `history` command prints, in nanoseconds, 'x' until a display is placed.
Timeline printedHistory(const std::string& output) {
    Timeline timeline;
    const std::regex line(R"(history (\S+) ([0-9.]+) s: ([01]{12}))");
    for (std::sregex_iterator m(output.begin(), output.end(), line), end; m != end; ++m) {
        auto& changes = timeline[(*m)[1]];
        const long long ns = std::llround(std::stod((*m)[2]) * 1e9);
        if (changes.empty() && ns > 0) changes.push_back({0, std::string(12, 'x')});
        if (!changes.empty() && changes.back().first == ns) changes.pop_back();
        if (changes.empty() || changes.back().second != (*m)[3]) changes.push_back({ns, (*m)[3]});
    }
    return timeline;
}

bool readerPresent() {
    if (seg4::test::runCommand("command -v vcd2fst && command -v fst2vcd").status == 0) return true;
    const char* required = std::getenv("SEG4_REQUIRE_VCD_READER");
    if (required && std::string(required) == "1")
        ADD_FAILURE() << "vcd2fst and fst2vcd (Debian package gtkwave) are not installed, and "
                         "SEG4_REQUIRE_VCD_READER=1";
    else
        std::cout << "vcd2fst is not installed (Debian package gtkwave): the reader check is skipped\n";
    return false;
}

TEST(ValueChangeDump, ARealReaderFindsEveryDisplaysHistoryInIt) {
    if (!readerPresent()) return;
    const seg4::test::TempDir dir;
    const std::string all = (dir / "all.vcd").string(), one = (dir / "one.vcd").string();
    // LED1 from the start, LED2 placed 15 ms later; both scanned, LED2 at another rate.
    const test::ScriptRun run = test::runScript(R"(clock 8000000
place LED1
QuorvaneVersion = 1026
StartSimulation
for v = 0 to 5
  SimMacroCall(0, Array(v Mod 4, v, v Mod 2), ret, affected, cycles)
  elapse 2.5ms
next
place LED2
QuorvaneVersion = 1026
StartSimulation
for d = 0 to 7
  SimMacroCall(0, Array(d Mod 4, 8, 1), ret, affected, cycles)
  use LED1
  SimMacroCall(0, Array(d Mod 4, d, 0), ret, affected, cycles)
  elapse 1ms
  use LED2
  elapse 0.3ms
next
use LED1
history
use LED2
history
vcd ")" + all + R"("
vcd ")" + one + R"(" led2
)");
    ASSERT_EQ(run.status, 0) << run.output;
    const Timeline expected = printedHistory(run.output);
    ASSERT_EQ(expected.size(), 2u) << run.output;
    // Every call changes the levels: a display starts unlit (LED2 unknown before it is placed).
    EXPECT_EQ(expected.at("LED1").size(), 1u + 6 + 8) << run.output;
    EXPECT_EQ(expected.at("LED2").size(), 2u + 8) << run.output;

    for (const auto& [file, names] :
         {std::pair{all, std::vector<std::string>{"LED1", "LED2"}}, {one, {"LED2"}}}) {
        SCOPED_TRACE(file);
        const std::string fst = file + ".fst";
        const seg4::test::CommandRun converted =
            seg4::test::runCommand("vcd2fst '" + file + "' '" + fst + "'");
        ASSERT_EQ(converted.status, 0) << converted.output;
        EXPECT_EQ(converted.output.find("rror"), std::string::npos) << converted.output;
        const seg4::test::CommandRun back = seg4::test::runCommand("fst2vcd '" + fst + "'");
        ASSERT_EQ(back.status, 0) << back.output;
        std::string timescale;
        const Timeline read = readDump(back.output, timescale);
        EXPECT_EQ(timescale, "1ns");
        ASSERT_EQ(read.size(), names.size());
        for (const std::string& name : names) EXPECT_EQ(read.at(name), expected.at(name)) << name;
    }
}

TEST(ValueChangeDump, NamesAndTimeStepsAReaderTakes) {
    const std::pair<const char*, const char*> names[] = {{"Anode 3", "Anode_3"},
                                                         {"Segment DP", "Segment_DP"},
                                                         {"LED-1 (left)", "LED_1__left_"},
                                                         {"Dezimalp\xC3\xBCnkt", "Dezimalp_nkt"},
                                                         {"7seg", "_7seg"},
                                                         {"", "_"}};
    for (const auto& [text, legal] : names) EXPECT_EQ(dumpName(text), legal) << text;
    const std::pair<double, const char*> steps[] = {
        {1, "1 ns"}, {8e6, "1 ns"}, {1e9, "1 ns"}, {2e9, "100 ps"}};
    for (const auto& [hz, step] : steps) EXPECT_STREQ(dumpTimescale(hz).text, step) << hz;
}

TEST(ValueChangeDump, RefusesNamesOfNoDisplayAndARunWithoutDisplays) {
    const seg4::test::TempDir dir;
    const std::string file = (dir / "t.vcd").string();
    const std::pair<std::string, std::string> cases[] = {
        {"vcd \"" + file + "\"\n", "no display placed yet"},
        {"place LED1\nvcd \"" + file + "\" LED1 LED9\n", "no display named 'LED9'"},
    };
    for (const auto& [script, message] : cases) {
        const test::ScriptRun r = test::runScript(script);
        EXPECT_EQ(r.status, 2) << script;
        EXPECT_TRUE(test::contains(r.output, message)) << r.output;
        EXPECT_FALSE(std::filesystem::exists(file)) << script;
    }
}

} // namespace
} // namespace qhost
