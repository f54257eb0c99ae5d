// Scripts run against the native core: answers, out-parameters, expectations, simulated time
// and documents.
#include "host_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qhost {
namespace {

using test::contains;
using test::runScript;
using test::ScriptRun;

TEST(Interpreter, AnswersAndErrorsPrintOneLineEach) {
    const ScriptRun r = runScript("place\nPinName(0)\nQuorvaneVersion = 8388608\nGeneralGet(3)\n"
                                  "print FileText(\"/\")\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.output, "error: 0x800A004B cannot read /: it is a folder, not a file\n"))
        << r.output;
    EXPECT_TRUE(contains(r.output, "PinName(0) = \"Anode 3\"\n")) << r.output;
    EXPECT_TRUE(contains(r.output, "QuorvaneVersion = 8388608\nerror: 0x800A0006 Overflow\n")) << r.output;
    EXPECT_TRUE(contains(r.output, "GeneralGet(3) = 0%\n")) << r.output;
}

TEST(Interpreter, ExpectationsThatFailAreCountedAndSetTheStatus) {
    const ScriptRun r =
        runScript("place\nexpect PinCount == 11\nexpect PinName(0) fails overflow\n"
                  "expect QuorvaneVersion = 8388608 fails subscript\nexpect msgbox \"nothing\"\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.output, "FAILED t.qhs:2: PinCount is 12, expected 11")) << r.output;
    EXPECT_TRUE(contains(r.output, "FAILED t.qhs:3:")) << r.output;
    EXPECT_TRUE(contains(r.output, "FAILED t.qhs:4:")) << r.output;
    EXPECT_TRUE(contains(r.output, "FAILED t.qhs:5:")) << r.output;
    EXPECT_TRUE(contains(r.output, "4 expectations failed")) << r.output;
}

TEST(Interpreter, ScriptFaultsStopTheRunWithStatusTwo) {
    struct Row {
        const char* script;
        const char* message;
    };
    const Row rows[] = {
        {"PinCount\n", "t.qhs:1: no display placed yet"},
        {"place\nPinNmae(0)\n", "t.qhs:2: unknown name 'PinNmae'"},
        {"place\nPinName(0, 1)\n", "t.qhs:2: PinName takes 1 argument, got 2"},
        {"place\nPinCount = 3\n", "t.qhs:2: 'PinCount' is read-only"},
        {"place\nuse other\n", "t.qhs:2: no display named 'other'"},
        {"place a\nplace a\n", "t.qhs:2: a display named 'a' is placed already"},
        {"place\nduring 1ms\n  x = 1\nend\n", "t.qhs:2: the body of 'during' lets no simulated time pass"},
        // A member failing in a loop's head or an elapse has nowhere to print its error.
        {"place\nduring 5ms * SimMacroCall(0, Array(0), r, a, c)\n  elapse 1ms\nend\n",
         "t.qhs:2: during 5ms * SimMacroCall(0, Array(0), r, a, c) failed with 0x800A0009 Subscript out of "
         "range"},
        {"place\nsave a${x}.json\n", "t.qhs:2: '${x}' names no variable"},
        {"place\nsave a${x.json\n", "t.qhs:2: 'a${x.json' opens '${' without a closing '}'"},
        {"place\nv = Array(1)\nsave a${v}.json\n", "t.qhs:3: '${v}' holds an array, not a word"},
        {"place\nrepeat 2\n  elapse PinName(12)\nend\n",
         "t.qhs:3: elapse PinName(12) failed with 0x800A000D Type mismatch"},
        // A program missing a part is never written; files that are no documents are refused.
        {"place\ncodegen /nonexistent/never.c\n",
         "t.qhs:2: codegen: MacroNames failed with 0x800A0009 Subscript out of range; nothing was written"},
        {"place\nload /\n", "t.qhs:2: cannot read /: it is a folder, not a file"},
        {"place\nload /dev/zero\n", "t.qhs:2: cannot read /dev/zero: it is not an ordinary file"},
        {"place\nanimate a.png 66s\n", "t.qhs:2: animate: a frame time above 65.535 s does not fit"},
        // The container's commands and values, misused.
        {"PaintCount\n", "t.qhs:1: no display placed yet"},
        {"place\nx = Pixel(1)\n", "t.qhs:2: Pixel takes 2 arguments"},
        {"place\nx = PaintCount(1)\n", "t.qhs:2: PaintCount takes 0 arguments"},
        {"place\nresize 0 50\n", "t.qhs:2: a width must be a whole number from 1 to 16384, not '0'"},
        {"place\nresize 160 50.5\n", "t.qhs:2: a height must be a whole number from 1 to 16384, not '50.5'"},
        {"place\ntwips 0\n", "t.qhs:2: twips per pixel must be a number from 1 to 1440, not '0'"},
        {"place\ntwips 12x\n", "t.qhs:2: twips per pixel must be a number from 1 to 1440, not '12x'"},
        {"place\nexpect picture /\n", "t.qhs:2: cannot read /: it is a folder, not a file"},
        // Conditions, functions and element types a script cannot mean.
        {"if \"maybe\" then\nend\n", "t.qhs:1: if \"maybe\" then failed with 0x800A000D Type mismatch"},
        {"x = 1\nif x then print \"a\" & Mid(\"a\", 1, 2, 3)\n", "t.qhs:2: Mid takes 2 to 3 arguments"},
        {"print MemberName(\"port\", 1)\n",
         "t.qhs:1: MemberName names the interface \"host\" or \"control\""},
        {"print ArrayOf(\"Word\", 0, 1)\n", "t.qhs:1: ArrayOf: no element type 'Word'"},
        {"print ArrayOf2(\"Long\", 0, 2, 0, 1, 2, 3)\n",
         "t.qhs:1: ArrayOf2: 3 values do not fill 2 rows of equal length"},
        {"print UBound(Array(1), 1, 2)\n", "t.qhs:1: UBound takes 1 or 2 arguments"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.script);
        const ScriptRun r = runScript(row.script);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(contains(r.output, row.message)) << r.output;
    }
}

TEST(Interpreter, NamesIgnoreCaseAndMembersWinOverBuiltInsOverVariables) {
    struct Row {
        std::string script;
        int status;
        const char* shown;
    };
    const Row rows[] = {
        {"place\npincount\nexpect PINCOUNT == 12\n", 0, "pincount = 12\n"},
        // An out-parameter creates the variable; any spelling reads it.
        {"place\nSimReadPins(Levels)\nexpect UBound(LEVELS) == 11\n", 0, ""},
        // ... also for the arguments after it; the index and value of a put may call members.
        {"place\nQuorvaneVersion = 1026\nSimMacroCall(m, Array(m, 7, m), r, a, c)\nexpect c == 32\n"
         "expect TypeName(m) == \"Empty\"\nPort(PinCount - 12) = PinCount - 9\nexpect Port(0) == 3\n",
         0, ""},
        // A loop variable named as a member or a built-in is never read by that name.
        {"place\nfor PinCount = 1 to 2\nnext\nexpect PinCount == 12\n", 0, ""},
        {"for time = 1 to 2\nnext\nexpect Time == 0\n", 0, ""},
        {"for i = 1 to 2\n  j = i\nnext\nexpect j == 2\n", 0, ""},
        {"x = y\n", 2, "t.qhs:1: unknown name 'y'"},
        {"for i = 1 to 2\n  print later\n  later = i\nnext\n", 2, "t.qhs:2: unknown name 'later'"},
        {"TRUE = 1\n", 2, "t.qhs:1: 'TRUE' is built in"},
        {"x = Time(1)\n", 2, "t.qhs:1: unknown name 'Time'"},
        // Echoes and failures write an operator chain with one blank around each operator.
        {"expect 1+2*3 == 8\n", 1, "FAILED t.qhs:1: 1 + 2 * 3 is 7, expected 8"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.script);
        const ScriptRun r = runScript(row.script);
        EXPECT_EQ(r.status, row.status) << r.output;
        EXPECT_TRUE(contains(r.output, row.shown)) << r.output;
    }
}

TEST(Interpreter, LongChainsAndDeepNestingEvaluate) {
    std::string sum = "x = 0", nested = "1";
    for (int i = 0; i < 20000; ++i) sum += " + 1";
    for (int i = 0; i < 120; ++i) nested = "-(" + nested + ")"; // two levels each
    const ScriptRun r = runScript(sum + "\nexpect x == 20000\ny = " + nested + "\nexpect y == 1\n");
    EXPECT_EQ(r.status, 0) << r.output.substr(0, 200);
}

TEST(Interpreter, MacroCyclesAdvanceSimulatedTimeOnTheHostClock) {
    const ScriptRun r =
        runScript("place\nQuorvaneVersion = 1026\nclock 1000000\n"
                  "SimMacroCall(0, Array(1, 2, 0), ret, affected, cycles)\n"
                  "expect cycles == 32\nexpect Time == 0.000032\nelapse 1ms\nexpect Time == 0.001032\n");
    EXPECT_EQ(r.status, 0) << r.output;
}

// The round trip and a bad entry's display are the documents scenario's; here the error line
// naming the entry, and a value nested too deep.
TEST(Interpreter, DocumentErrorsNameTheEntryAndDeepNestingIsRefused) {
    const auto doc = std::filesystem::temp_directory_path() / "qhost_documents_test.json";
    const auto write = [&](const std::string& bit3) {
        std::ofstream(doc) << R"({"format": "qhost-document", "version": 1, "displays": [
            {"name": "a", "properties": [{"key": "Bit3", "type": "String", "value": )"
                           << bit3 << R"(}]},
            {"name": "b", "properties": [{"key": "LEDColour", "type": "Long", "value": 2}]}]})";
    };
    write("\"x\"");
    const ScriptRun spoiled = runScript("load " + doc.string() + "\nuse b\nexpect LEDColour == 2\n");
    EXPECT_EQ(spoiled.status, 0) << spoiled.output;
    EXPECT_TRUE(contains(spoiled.output, "error: display \"a\", key \"Bit3\": 0x800A000D Type mismatch"))
        << spoiled.output;

    // Refused as it is read, before any display is made.
    write(std::string(5000, '[') + std::string(5000, ']'));
    const ScriptRun nested = runScript("load " + doc.string() + "\n");
    EXPECT_EQ(nested.status, 2);
    EXPECT_TRUE(contains(nested.output, "nests deeper than a qhost document does")) << nested.output;

    // Display names are one name whatever their letter case, as 'place' and 'use' take them: a
    // document that would place a second display of one name, or one without a name, is refused
    // before any of its displays is made.
    const struct {
        const char* placed;
        const char* names;
        const char* message;
    } clashes[] = {{"left", R"("LEFT", "b")", "a display named 'LEFT' is placed already"},
                   {"", R"("b", "B")", "the document names the display 'B' twice"},
                   {"", R"("b", "")", "a display without a name"}};
    for (const auto& c : clashes) {
        std::string names = c.names, displays;
        for (std::size_t at = 0; at != std::string::npos;) {
            const std::size_t comma = names.find(", ", at);
            displays += std::string(displays.empty() ? "" : ",") + R"({"name": )" +
                        names.substr(at, comma == std::string::npos ? comma : comma - at) +
                        R"(, "properties": [{"key": "LEDColour", "type": "Long", "value": 2}]})";
            at = comma == std::string::npos ? comma : comma + 2;
        }
        std::ofstream(doc) << R"({"format": "qhost-document", "version": 1, "displays": [)" << displays
                           << "]}";
        const std::string place = *c.placed ? std::string("place ") + c.placed + "\n" : "";
        const ScriptRun clash = runScript(place + "load " + doc.string() + "\nuse b\n");
        EXPECT_EQ(clash.status, 2) << c.names;
        EXPECT_TRUE(contains(clash.output, doc.string() + ": " + c.message)) << clash.output;
        EXPECT_FALSE(contains(clash.output, "loaded")) << clash.output;
    }
}

TEST(Interpreter, CommandWordsTakeVariablesSoALoopCanNameAFilePerPass) {
    const auto dir = std::filesystem::temp_directory_path() / "qhost_words_test";
    std::filesystem::remove_all(dir);
    const ScriptRun r = runScript("place\nfor i = 1 to 3\n  LEDSize = 20 * i\n  save " + dir.string() +
                                  "/size${i}.json\nnext\nsave \"" + dir.string() + "/$${i}.json\"\n");
    ASSERT_EQ(r.status, 0) << r.output;
    for (int i = 1; i <= 3; ++i) {
        std::ifstream in(dir / ("size" + std::to_string(i) + ".json"));
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(contains(text, "\"value\": " + std::to_string(20 * i))) << i << text;
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "${i}.json")) << "$${ is a literal ${";
}

} // namespace
} // namespace qhost
