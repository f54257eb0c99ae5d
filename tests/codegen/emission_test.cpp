// The code handed to the host: blocks from the code file, macro code by macro ID, the stored
// start-up and interrupt texts, and the wiring placeholders replaced from the pin table.
#include "codegen/placeholders.h"
#include "codegen/program.h"
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <functional>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;

constexpr std::int32_t kVersion = 0x0800;

class Placeholders : public CodegenTest {
protected:
    void SetUp() override {
        setCodeFile(exampleProfile());
        start();
        wire(proposedWiring());
    }
    std::u16string replaced(std::u16string text) {
        control.MacroCodeOverride(text);
        return text;
    }
    RSPin& pin(std::size_t i) { return control.stateForTesting().m_Pins->at(i); }
};

TEST_F(Placeholders, TheWorkedWiringGivesEachPlaceholderItsValue) {
    const char16_t* expected[] = {u"portb", u"porta", u"192", u"249", u"164", u"176", u"153",
                                  u"146",   u"130",   u"248", u"128", u"152", u"127", u"1",
                                  u"240",   u"0",     u"8",   u"4",   u"2",   u"1"};
    ASSERT_EQ(codegen::kPlaceholders.size(), std::size(expected));
    for (std::size_t i = 0; i < codegen::kPlaceholders.size(); ++i) {
        const char16_t letter = codegen::kPlaceholders[i].letter;
        EXPECT_EQ(letter, u'a' + i) << "the table runs from a to t in order";
        EXPECT_EQ(replaced(std::u16string(u"%") + letter), expected[i]) << static_cast<char>(letter);
    }
}

TEST_F(Placeholders, TextsUnderTheWorkedWiring) {
    const struct {
        const char16_t* text;
        const char16_t* result;
    } cases[] = {
        {u"", u""},
        {u"no placeholder here", u"no placeholder here"},
        {u"%A %U %z %u % 100%", u"%A %U %z %u % 100%"},
        {u"%c%c", u"192192"},
        {u"x = %c; y = %c;", u"x = 192; y = 192;"},
        {u"%%a", u"0ortb"},
        {u"%%b", u"0orta"},
        {u"%%%a", u"%0ortb"},
        {u"%p%%a", u"00ortb"},
        {u"%%c", u"%192"},
        {u"%%", u"%%"},
        {u"%a%b", u"portbporta"},
        {u"%n%o%p", u"12400"},
        {u"%b |= %q;", u"porta |= 8;"},
    };
    for (const auto& c : cases) EXPECT_EQ(replaced(c.text), c.result) << toUtf8(c.text);
}

struct WiringCase {
    const char* what;
    std::function<void(std::vector<RSPin>&)> change;
    std::u16string text;
    std::u16string result;
};

TEST_F(Placeholders, FollowTheWiring) {
    const WiringCase cases[] = {
        {"point not wired", [](auto& p) { p[11].Port = -1, p[11].Bit = -1; }, u"%m %k %c", u"255 0 64"},
        {"point with a port but no bit", [](auto& p) { p[11].Bit = -1; }, u"%m", u"255"},
        {"point with a bit but no port", [](auto& p) { p[11].Port = -1; }, u"%m", u"255"},
        {"no segment wired",
         [](auto& p) {
             for (int s = 4; s < 12; ++s) p[s].Port = -1;
         },
         u"%c%d%e%f%g%h%i%j%k%l%m", u"0000000000255"},
        {"an anode without a bit still counts 1", [](auto& p) { p[2].Bit = -1; }, u"%s %o", u"1 241"},
        {"anode 3 without a port", [](auto& p) { p[0].Port = -1; }, u"%b %q", u"port` 8"},
        {"segment A on port 2", [](auto& p) { p[4].Port = 2; }, u"%a", u"portc"},
        {"the point on bit 14", [](auto& p) { p[11].Bit = 14; }, u"%m %k", u"-16129 16384"},
        {"anodes on bits 8 to 11", [](auto& p) { p[0].Bit = 11, p[1].Bit = 10, p[2].Bit = 9, p[3].Bit = 8; },
         u"%o %q %t", u"-3585 2048 256"},
        {"bits reversed",
         [](auto& p) {
             for (int s = 0; s < 8; ++s) p[4 + s].Bit = 7 - s;
             for (int a = 0; a < 4; ++a) p[a].Bit = a;
         },
         u"%c %d %q %t", u"3 159 1 8"},
        {"a negative bit is bit 0", [](auto& p) { p[10].Bit = -5; }, u"%c", u"129"},
        {"an unwired segment on bit 15 is never masked", [](auto& p) { p[5].Port = -1, p[5].Bit = 15; },
         u"%h", u"144"},
    };
    for (const WiringCase& c : cases) {
        SCOPED_TRACE(c.what);
        wire(proposedWiring());
        c.change(*control.stateForTesting().m_Pins);
        EXPECT_EQ(replaced(c.text), c.result);
    }
}

TEST_F(Placeholders, AValueThatDoesNotFitFailsAndLeavesTheTextAlone) {
    const struct {
        const char* what;
        std::function<void(std::vector<RSPin>&)> change;
        HResult error;
    } cases[] = {
        {"the point on bit 15", [](auto& p) { p[11].Bit = 15; }, hr::Overflow},
        {"an anode on bit 15", [](auto& p) { p[3].Bit = 15; }, hr::Overflow},
        {"an anode bit beyond 16 bits", [](auto& p) { p[3].Bit = 40000; }, hr::Overflow},
        {"two anodes on bit 14 overflow their sum", [](auto& p) { p[0].Bit = 14, p[1].Bit = 14; },
         hr::Overflow},
        {"segments A and D on bit 14 overflow the figure 1", [](auto& p) { p[4].Bit = 14, p[7].Bit = 14; },
         hr::Overflow},
        {"a segment port far below port a", [](auto& p) { p[4].Port = -98; }, hr::InvalidArgument},
        {"an anode port beyond any character", [](auto& p) { p[0].Port = 159; }, hr::InvalidArgument},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        wire(proposedWiring());
        c.change(*control.stateForTesting().m_Pins);
        std::u16string text = u"keep %a %c %m %o";
        EXPECT_EQ(failureOf([&] { control.MacroCodeOverride(text); }), c.error);
        EXPECT_EQ(text, u"keep %a %c %m %o");
    }
}

TEST(PlaceholdersWithoutPins, FailWithSubscriptOutOfRange) {
    FakePlatform platform;
    Led7Seg4 control(platform);
    std::u16string text = u"%a";
    EXPECT_EQ(failureOf([&] { control.MacroCodeOverride(text); }), hr::SubscriptOutOfRange);
    EXPECT_EQ(text, u"%a");
}

// ---------------------------------------------------------------- code from the file

const std::string kBlocks = crlf({"/*DefinesCode_Start*/",
                                  "#define W %a",
                                  "/*DefinesCode_End*/",
                                  "/*InitialisationCode_Start*/",
                                  "init();",
                                  "/*InitialisationCode_End*/",
                                  "/*InterruptCode_Start*/",
                                  "isr();",
                                  "/*InterruptCode_End*/",
                                  "/*Macro_SHOW_DIGIT_Start*/",
                                  "%b = %q;",
                                  "%a = %c;",
                                  "/*Macro_SHOW_DIGIT_End*/",
                                  "/*Macro_A_Start*/",
                                  "a",
                                  "/*Macro_A_End*/",
                                  "/*Macro_B_Start*/",
                                  "b",
                                  "/*Macro_B_End*/",
                                  "/*Macro_ABC_Start*/",
                                  "abc",
                                  "/*Macro_ABC_End*/"});

class CodeBlocks : public CodegenTest {
protected:
    void SetUp() override {
        setCodeFile(exampleProfile() + kBlocks);
        start();
        control.put_QuorvaneVersion(kVersion);
        wire(proposedWiring());
    }
};

TEST_F(CodeBlocks, MacroCodeComesUnchangedFromTheBlockOfTheCodeName) {
    EXPECT_EQ(control.get_MacroCode(0), u"%b = %q;\n%a = %c;\n");
    EXPECT_EQ(control.get_MacroCode(1), u"");
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(CodeBlocks, TheBlockNameIsTheSecondFieldOfTheMacroName) {
    const struct {
        const char16_t* macroName;
        const char16_t* code;
    } cases[] = {
        {u"Show|B|void", u"b\n"},
        {u"A|B", u"a\n"},
        {u"ABC", u"abc\n"},
        {u"|B|", u"b\n"},
        {u"A||void", u"//Error Reading Code For LED7SEG4::Macro_\r\n"},
        {u"", u"//Error Reading Code For LED7SEG4::Macro_\r\n"},
        {u"A|B|C|D", u"b\n"},
    };
    for (const auto& c : cases) {
        control.stateForTesting().m_Macros->at(0).MacroName = c.macroName;
        EXPECT_EQ(control.get_MacroCode(0), c.code) << toUtf8(c.macroName);
    }
}

TEST_F(CodeBlocks, DefinesCodeIsReadOnEveryCallAndKeepsItsPlaceholders) {
    EXPECT_EQ(control.get_DefinesCode(), u"#define W %a\n");
    setCodeFile(crlf({"/*DefinesCode_Start*/", "changed", "/*DefinesCode_End*/"}));
    EXPECT_EQ(control.get_DefinesCode(), u"changed\n");
}

TEST_F(CodeBlocks, AFileThatVanishesCostsTwoBoxesAndGivesNothing) {
    platform.removeFile(codePath());
    const std::function<std::u16string()> members[] = {[&] { return control.get_DefinesCode(); },
                                                       [&] { return control.get_MacroCode(0); }};
    for (const auto& member : members) {
        platform.messageBoxes.clear();
        EXPECT_EQ(member(), u"");
        EXPECT_EQ(platform.messageBoxes.size(), 2u);
    }
    EXPECT_EQ(control.get_InitialisationCode(), u"init();\n") << "the stored texts stay";
    std::u16string text = u"%a";
    control.MacroCodeOverride(text);
    EXPECT_EQ(text, u"portb") << "substitution does not read the file";
}

TEST_F(CodeBlocks, TheProgramIsTheBlocksAndTheReplacedMacroCode) {
    EXPECT_EQ(assembleProgram(control), u"#define W %a\ninit();\nisr();\nporta = 8;\nportb = 192;\n");
}

TEST(ProgramWithoutMacroTable, FailsLikeTheMacroMembers) {
    FakePlatform platform;
    platform.setHostLanguage(u"engb");
    platform.setFile(platform.folder + u"\\ARM_7seg4.c", kBlocks);
    Led7Seg4 control(platform);
    control.Initialize();
    control.InitProperties();
    EXPECT_EQ(failureOf([&] { assembleProgram(control); }), hr::SubscriptOutOfRange);
}

struct StartUpCase {
    const char* what;
    std::string file;
    bool fileThere;
    std::u16string init, interrupt;
    std::size_t boxes;
};

class StartUpTexts : public CodegenTest, public ::testing::WithParamInterface<StartUpCase> {};

TEST_P(StartUpTexts, AreReadOnceWhenANewDisplayStarts) {
    const StartUpCase& c = GetParam();
    if (c.fileThere) setCodeFile(c.file);
    platform.setHostLanguage(u"engb");
    control.Initialize();
    platform.messageBoxes.clear();
    control.InitProperties();

    EXPECT_EQ(platform.messageBoxes.size(), c.boxes);
    EXPECT_EQ(control.get_InitialisationCode(), c.init);
    EXPECT_EQ(control.get_InterruptCode(), c.interrupt);
    EXPECT_EQ(control.get_HasInitialisation(), c.init.empty() ? 0 : -1);
    EXPECT_EQ(control.get_HasInterrupts(), c.interrupt.empty() ? 0 : -1);

    setCodeFile(kBlocks);
    EXPECT_EQ(control.get_InitialisationCode(), c.init) << "not read again";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartUpTexts,
    ::testing::Values(StartUpCase{"both blocks", kBlocks, true, u"init();\n", u"isr();\n", 0},
                      StartUpCase{"empty blocks",
                                  crlf({"/*InitialisationCode_Start*/", "/*InitialisationCode_End*/",
                                        "/*InterruptCode_Start*/", "/*InterruptCode_End*/"}),
                                  true, u"", u"", 0},
                      StartUpCase{"no interrupt block",
                                  crlf({"/*InitialisationCode_Start*/", "x", "/*InitialisationCode_End*/"}),
                                  true, u"x\n", u"//Error Reading Code For ::InterruptCode\r\n", 0},
                      StartUpCase{"no code file", "", false, u"", u"", 4}),
    caseName<StartUpCase>);

} // namespace
} // namespace seg4::test
