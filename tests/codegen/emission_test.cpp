// The code handed to the host: blocks from the code file, macro code by macro ID, the stored
// start-up and interrupt texts, and the wiring placeholders replaced from the pin table.
#include "codegen/placeholders.h"
#include "codegen/program.h"
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <functional>

namespace seg4::test {
namespace {

using PinChange = std::function<void(std::vector<RSPin>&)>;

/// A display wired as proposed, then changed by `change`.
struct Wired : Display {
    explicit Wired(const PinChange& change = {}) : Display(exampleProfile()) {
        wire(proposedWiring());
        if (change) change(pins());
    }
};

TEST(Placeholders, TakeTheirValuesInTableOrderFromTheWorkedWiring) {
    Wired d;
    const char16_t* values[] = {u"portb", u"porta", u"192", u"249", u"164", u"176", u"153",
                                u"146",   u"130",   u"248", u"128", u"152", u"127", u"1",
                                u"240",   u"0",     u"8",   u"4",   u"2",   u"1"};
    ASSERT_EQ(codegen::kPlaceholders.size(), std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(codegen::kPlaceholders[i].letter, u'a' + i) << "the table runs from a to t";
        EXPECT_EQ(d.replaced(u"%" + std::u16string(1, codegen::kPlaceholders[i].letter)), values[i]) << i;
    }
    const std::pair<const char16_t*, const char16_t*> texts[] = {
        {u"", u""},
        {u"%A %U %z %u % 100%", u"%A %U %z %u % 100%"},
        {u"x = %c; y = %c;", u"x = 192; y = 192;"}, // every occurrence
        {u"%%a", u"0ortb"},                         // "%" + "portb" forms "%p", replaced later
        {u"%%b", u"0orta"},
        {u"%%%a", u"%0ortb"},
        {u"%p%%a", u"00ortb"},
        {u"%%c", u"%192"},
        {u"%a%b%n%o%p", u"portbporta12400"},
    };
    for (const auto& [text, result] : texts) EXPECT_EQ(d.replaced(text), result) << toUtf8(text);
}

TEST(Placeholders, FollowTheWiring) {
    const struct {
        const char* what;
        PinChange change;
        const char16_t *text, *result;
    } cases[] = {
        {"point not wired", [](auto& p) { p[11].Port = p[11].Bit = -1; }, u"%m %k %c", u"255 0 64"},
        {"point without a bit", [](auto& p) { p[11].Bit = -1; }, u"%m", u"255"},
        {"point without a port", [](auto& p) { p[11].Port = -1; }, u"%m", u"255"},
        {"no segment wired",
         [](auto& p) {
             for (int s = 4; s < 12; ++s) p[s].Port = -1;
         },
         u"%c%d%e%f%g%h%i%j%k%l%m", u"0000000000255"},
        {"an anode without a bit counts 1", [](auto& p) { p[2].Bit = -1; }, u"%s %o", u"1 241"},
        {"anode 3 without a port", [](auto& p) { p[0].Port = -1; }, u"%b %q", u"port` 8"},
        {"segment A on port 2", [](auto& p) { p[4].Port = 2; }, u"%a", u"portc"},
        {"the point on bit 14", [](auto& p) { p[11].Bit = 14; }, u"%m %k", u"-16129 16384"},
        {"anodes on bits 11..8",
         [](auto& p) {
             for (int a = 0; a < 4; ++a) p[a].Bit = 11 - a;
         },
         u"%o %q %t", u"-3585 2048 256"},
        {"bits reversed",
         [](auto& p) {
             for (int s = 0; s < 8; ++s) p[4 + s].Bit = 7 - s;
             for (int a = 0; a < 4; ++a) p[a].Bit = a;
         },
         u"%c %d %q %t", u"3 159 1 8"},
        {"a negative bit is bit 0", [](auto& p) { p[10].Bit = -5; }, u"%c", u"129"},
        {"an unwired segment's bit is not masked", [](auto& p) { p[5].Port = -1, p[5].Bit = 15; }, u"%h",
         u"144"},
    };
    for (const auto& c : cases) EXPECT_EQ(Wired(c.change).replaced(c.text), c.result) << c.what;
}

TEST(Placeholders, FailWithoutTouchingTheTextWhenAValueCannotBeMade) {
    const struct {
        const char* what;
        PinChange change;
        HResult error;
    } cases[] = {
        {"the point on bit 15", [](auto& p) { p[11].Bit = 15; }, hr::Overflow},
        {"an anode on bit 15", [](auto& p) { p[3].Bit = 15; }, hr::Overflow},
        {"an anode bit beyond 16 bits", [](auto& p) { p[3].Bit = 40000; }, hr::Overflow},
        {"two anodes on bit 14", [](auto& p) { p[0].Bit = p[1].Bit = 14; }, hr::Overflow},
        {"segments A and D on bit 14", [](auto& p) { p[4].Bit = p[7].Bit = 14; }, hr::Overflow},
        {"a port below any character", [](auto& p) { p[4].Port = -98; }, hr::InvalidArgument},
        {"a port beyond any character", [](auto& p) { p[0].Port = 159; }, hr::InvalidArgument},
        {"no pin table", {}, hr::SubscriptOutOfRange},
    };
    for (const auto& c : cases) {
        Wired d(c.change);
        if (!c.change) d.control.stateForTesting().m_Pins.reset();
        std::u16string text = u"keep %a %c %m %o";
        EXPECT_EQ(failureOf([&] { d.control.MacroCodeOverride(text); }), c.error) << c.what;
        EXPECT_EQ(text, u"keep %a %c %m %o") << c.what;
    }
}

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

struct WithBlocks : Display {
    WithBlocks() : Display(exampleProfile() + kBlocks) {
        control.put_QuorvaneVersion(0x0800);
        wire(proposedWiring());
    }
};

TEST(CodeBlocks, MacroCodeComesUnchangedFromTheBlockOfTheCodeName) {
    WithBlocks d;
    EXPECT_EQ(d.control.get_MacroCode(0), u"%b = %q;\n%a = %c;\n");
    const std::pair<const char16_t*, const char16_t*> names[] = {
        {u"Show|B|void", u"b\n"}, {u"A|B", u"a\n"},      {u"ABC", u"abc\n"}, {u"|B|", u"b\n"},
        {u"A|B|C|D", u"b\n"},     {u"A||void", nullptr}, {u"", nullptr}, // both read "Macro_"
    };
    for (const auto& [macroName, code] : names) {
        d.control.stateForTesting().m_Macros->at(0).MacroName = macroName;
        EXPECT_EQ(d.control.get_MacroCode(0), code ? code : u"//Error Reading Code For LED7SEG4::Macro_\r\n")
            << toUtf8(macroName);
    }
    EXPECT_TRUE(d.platform.messageBoxes.empty());
}

TEST(CodeBlocks, DefinesCodeIsReadOnEveryCallTheStoredTextsOnlyAtStart) {
    WithBlocks d;
    EXPECT_EQ(d.control.get_DefinesCode(), u"#define W %a\n") << "no substitution";
    EXPECT_EQ(assembleProgram(d.control), u"#define W %a\ninit();\nisr();\nporta = 8;\nportb = 192;\n");
    d.platform.setFile(d.path(), crlf({"/*DefinesCode_Start*/", "changed", "/*DefinesCode_End*/"}));
    EXPECT_EQ(d.control.get_DefinesCode(), u"changed\n");
    EXPECT_EQ(d.control.get_InitialisationCode(), u"init();\n");
    EXPECT_EQ(d.control.get_InterruptCode(), u"isr();\n");

    d.platform.removeFile(d.path());
    EXPECT_EQ(d.control.get_DefinesCode(), u"");
    EXPECT_EQ(d.control.get_MacroCode(0), u"");
    EXPECT_EQ(d.platform.messageBoxes.size(), 4u) << "two boxes per read of a vanished file";
    EXPECT_EQ(d.replaced(u"%a"), u"portb") << "substitution does not read the file";
}

TEST(CodeBlocks, TheProgramNeedsTheMacroTable) {
    Display d(kBlocks);
    EXPECT_EQ(failureOf([&] { assembleProgram(d.control); }), hr::SubscriptOutOfRange);
}

TEST(StartUpTexts, AreReadOnceWhenANewDisplayStarts) {
    const struct {
        std::optional<std::string> file;
        const char16_t *init, *interrupt;
        std::size_t boxes;
    } cases[] = {
        {kBlocks, u"init();\n", u"isr();\n", 0},
        {crlf({"/*InitialisationCode_Start*/", "/*InitialisationCode_End*/", "/*InterruptCode_Start*/",
               "/*InterruptCode_End*/"}),
         u"", u"", 0},
        {crlf({"/*InitialisationCode_Start*/", "x", "/*InitialisationCode_End*/"}), u"x\n",
         u"//Error Reading Code For ::InterruptCode\r\n", 0},
        {std::nullopt, u"", u"", 4},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        if (c.file) platform.setFile(platform.folder + u"\\ARM_7seg4.c", *c.file);
        Led7Seg4 control(platform);
        control.Initialize();
        platform.messageBoxes.clear();
        control.InitProperties();
        EXPECT_EQ(platform.messageBoxes.size(), c.boxes);
        EXPECT_EQ(control.get_InitialisationCode(), c.init);
        EXPECT_EQ(control.get_InterruptCode(), c.interrupt);
        EXPECT_EQ(control.get_HasInitialisation(), *c.init ? -1 : 0);
        EXPECT_EQ(control.get_HasInterrupts(), *c.interrupt ? -1 : 0);
    }
}

} // namespace
} // namespace seg4::test
