// The code handed to the host: blocks from the code file, macro code by macro ID, the stored
// start-up and interrupt texts, and the wiring placeholders replaced from the pin table. That
// the substitution follows its rule on any text is shown in placeholder_equivalence_test.cpp.
#include "codegen/code_file.h"
#include "codegen/macro_table.h"
#include "codegen/placeholders.h"
#include "codegen/program.h"
#include "codegen_fixture.h"

#include <functional>

namespace seg4::test {
namespace {

using PinChange = std::function<void(std::vector<RSPin>&)>;

/// A pin table wired as proposed, then changed by `change`; the placeholders filled from it as
/// a display fills them (keeping the last wiring's values).
struct Wired {
    FakePlatform platform;
    codegen::PlaceholderFiller filler;
    std::optional<std::vector<RSPin>> pins = std::vector<RSPin>(12);
    explicit Wired(const PinChange& change = {}) {
        const Wiring wiring = proposedWiring();
        for (std::size_t i = 0; i < wiring.size(); ++i)
            (*pins)[i].Port = wiring[i].port, (*pins)[i].Bit = wiring[i].bit;
        if (change) change(*pins);
    }
    std::u16string replaced(const std::u16string& text) { return filler.fill(text, pins, platform); }
};

TEST(Placeholders, FollowTheWiringFromCallToCall) {
    // Every pin's port and bit in turn is moved and moved back: each call must see the table as
    // it is then, not the values kept from the call before.
    Wired d;
    const std::u16string text = u"%a %b %c %m %o %q %r %s %t";
    const std::u16string proposed = d.replaced(text);
    EXPECT_EQ(proposed, codegen::replacePlaceholders(text, d.pins, d.platform));
    for (std::size_t pin = 0; pin < 12; ++pin) {
        for (std::int32_t RSPin::*field : {&RSPin::Port, &RSPin::Bit}) {
            const std::int32_t was = (*d.pins)[pin].*field;
            (*d.pins)[pin].*field = was == 6 ? 5 : 6;
            const std::u16string moved = d.replaced(text);
            EXPECT_EQ(moved, codegen::replacePlaceholders(text, d.pins, d.platform)) << "pin " << pin;
            (*d.pins)[pin].*field = was;
            EXPECT_EQ(d.replaced(text), proposed) << "pin " << pin;
        }
    }
}

TEST(Placeholders, TakeTheirValuesFromTheWiring) {
    const struct {
        const char* what;
        PinChange change;
        const char16_t *text, *result;
    } cases[] = {
        // The target-code test and the code scenario cover ordinary wirings; these are the edges
        // they do not reach.
        {"point without a bit", [](auto& p) { p[11].Bit = -1; }, u"%m %k", u"255 0"},
        {"point without a port", [](auto& p) { p[11].Port = -1; }, u"%m", u"255"},
        {"an anode without a bit counts 1", [](auto& p) { p[2].Bit = -1; }, u"%s %o", u"1 241"},
        {"anode 3 without a port", [](auto& p) { p[0].Port = -1; }, u"%b %q", u"port` 8"},
        {"the point on bit 14", [](auto& p) { p[11].Bit = 14; }, u"%m %k", u"-16129 16384"},
        {"anodes on bits 11..8", [](auto& p) { p[0].Bit = 11, p[1].Bit = 10, p[2].Bit = 9, p[3].Bit = 8; },
         u"%o %q %t", u"-3585 2048 256"},
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
        {"an anode on bit 15", [](auto& p) { p[3].Bit = 15; }, hr::Overflow},
        {"an anode bit beyond 16 bits", [](auto& p) { p[3].Bit = 40000; }, hr::Overflow},
        {"two anodes on bit 14", [](auto& p) { p[0].Bit = p[1].Bit = 14; }, hr::Overflow},
        {"segments A and D on bit 14", [](auto& p) { p[4].Bit = p[7].Bit = 14; }, hr::Overflow},
        {"a port below any character", [](auto& p) { p[4].Port = -98; }, hr::InvalidProcedureCall},
        {"a port beyond any character", [](auto& p) { p[0].Port = 159; }, hr::InvalidProcedureCall},
        {"no pin table", {}, hr::SubscriptOutOfRange},
    };
    for (const auto& c : cases) {
        Wired d(c.change);
        if (!c.change) d.pins.reset();
        for (int call = 1; call <= 2; ++call) // nothing of a wiring that fails is kept
            EXPECT_EQ(failureOf([&] { d.replaced(u"keep %a %c %m %o"); }), c.error)
                << c.what << ", call " << call;
    }
    // Through the host's member the text stays as it was.
    Display d(exampleProfile());
    d.control.put_Bit(3, 15);
    std::u16string text = u"keep %a";
    EXPECT_EQ(failureOf([&] { d.control.MacroCodeOverride(text); }), hr::Overflow);
    EXPECT_EQ(text, u"keep %a");
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
    const codegen::CodeFile file(d.platform, u"ARM_7seg4.c", [](const std::u16string&) { FAIL(); });
    for (const auto& [macroName, code] : names) {
        std::vector<RSMacro> table(1);
        table[0].MacroName = macroName;
        EXPECT_EQ(file.block(codegen::macroBlockName(table, 0), u"LED7SEG4"),
                  code ? code : u"//Error Reading Code For LED7SEG4::Macro_\r\n")
            << toUtf8(macroName);
    }
    EXPECT_EQ(codegen::macroBlockName(std::vector<RSMacro>(1), 1), u"") << "outside the table";
    EXPECT_TRUE(d.platform.messageBoxes.empty());
}

TEST(CodeBlocks, DefinesCodeIsReadOnEveryCallTheStoredTextsOnlyAtStart) {
    WithBlocks d;
    EXPECT_EQ(d.control.get_DefinesCode(), u"#define W %a\n") << "no substitution";
    EXPECT_EQ(assembleProgram(d.control), u"#define W %a\ninit();\nisr();\nporta = 8;\nportb = 192;\n");
    d.platform.setFile(d.path(), crlf({"/*DefinesCode_Start*/", "changed", "/*DefinesCode_End*/"}));
    EXPECT_EQ(d.control.get_DefinesCode(), u"changed\n");
    EXPECT_EQ(d.control.get_InitialisationCode() + d.control.get_InterruptCode(), u"init();\nisr();\n");

    d.platform.removeFile(d.path());
    EXPECT_EQ(d.control.get_DefinesCode() + d.control.get_MacroCode(0), u"");
    EXPECT_EQ(d.platform.messageBoxes.size(), 4u) << "two boxes per read of a vanished file";
    EXPECT_EQ(d.replaced(u"%a"), u"portb") << "substitution does not read the file";
    Display withoutTable(kBlocks);
    EXPECT_EQ(failureOf([&] { assembleProgram(withoutTable.control); }), hr::SubscriptOutOfRange)
        << "the program needs the macro table";
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
