// The macro table built from the code file when the host sets its version, and the host
// members that read it.
#include "codegen_fixture.h"

#include <functional>

namespace seg4::test {
namespace {

constexpr std::int32_t kVersion = 0x0800;

/// A code file with one macro M and the given extra lines.
std::string oneMacro(std::initializer_list<std::string_view> more) {
    return crlf({"[MacroNames]", "Count=1", "1=M"}) + crlf(more);
}

TEST(MacroTableBuild, ListsTheMacroAsTheCodeFileDescribesIt) {
    const std::u16string example = u"Digit|DIGIT|char; Value|VALUE|char; DecimalPoint|DECIMAL_PT|char";
    const struct {
        std::string file;
        std::u16string name, parameters; // parameters "": the empty variant array 0 to -1
        std::int32_t isFunction, isPrivate;
        std::u16string box;
    } cases[] = {
        // Returns, privacy and parameter types left to their defaults.
        {crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroParameters_SHOW_DIGIT]", "Count=3",
               "1=DIGIT", "2=VALUE", "3=DECIMAL_PT"}),
         u"ShowDigit|SHOW_DIGIT|void", example, 0, 0, u""},
        {oneMacro({"[MacroReturns]", "1=Void"}), u"ShowDigit|M|Void", u"", -1, 0, u""},
        {oneMacro({"[MacroIsPrivate]", "1=True"}), u"ShowDigit|M|void", u"", 0, -1, u""},
        {oneMacro({"[MacroParameters_M]", "Count=0", "1=IGNORED"}), u"ShowDigit|M|void", u"", 0, 0, u""},
        {oneMacro({"[MacroParameters_M]", "Count=2", "1=A", "2=B", "[MacroParamTypes_M]", "1=int", "2=long"}),
         u"ShowDigit|M|void", u"Digit|A|int; Value|B|long", 0, 0, u""},
        {crlf({"[MacroNames]", "Count=1", "[MacroParameters_]", "Count=1", "1=P"}), u"ShowDigit||void",
         u"Digit|P|char", 0, 0, u"Error: Macro 1 is missing from the code file!"},
        {crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroParameters_SHOW_DIGIT]", "Count=3",
               "1=DIGIT", "3=DECIMAL_PT"}),
         u"ShowDigit|SHOW_DIGIT|void", u"Digit|DIGIT|char; Value||char; DecimalPoint|DECIMAL_PT|char", 0, 0,
         u"Error: Parameter 1.2 is missing from the code file!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Display d(c.file);
        d.control.put_QuorvaneVersion(kVersion);
        EXPECT_EQ(joined(d.control.get_MacroNames()), c.name);
        const Variant parameters = d.control.get_MacroParameters(0);
        ASSERT_NE(parameters.arrayData(), nullptr);
        EXPECT_EQ(parameters.arrayData()->lowerBound, 0);
        EXPECT_EQ(parameters.type(), c.parameters.empty() ? VarType::Variant : VarType::String);
        EXPECT_EQ(joined(parameters), c.parameters);
        EXPECT_EQ(d.control.get_MacroIsFunction(0), c.isFunction);
        EXPECT_EQ(d.control.get_MacroIsPrivate(0), c.isPrivate);
        EXPECT_EQ(d.platform.messageTexts(),
                  c.box.empty() ? std::vector<std::u16string>{} : std::vector<std::u16string>{c.box});
        EXPECT_EQ(d.control.get_Description(), u"LED7SEG4");
    }
}

const std::string kTwoMacros = crlf({"[MacroNames]", "Count=2", "1=A", "2=B", "[MacroReturns]", "2=int",
                                     "[MacroParameters_A]", "Count=1", "1=P"});

TEST(MacroTableBuild, StopsKeepingWhatItMadeAndLeavesTheDescription) {
    const struct {
        std::string file;
        HResult error;
        // The records made; nullopt when no table was made. A slot the build stopped before
        // stays empty, and reading it fails: MacroNames then fails.
        std::optional<std::u16string> names;
        std::int32_t emptySlot = -1; // the first empty slot, -1 when every slot holds a record
    } cases[] = {
        {crlf({"[MacroNames]", "Count=one"}), hr::TypeMismatch, std::nullopt},
        {crlf({"[MacroNames]", "Count=40000"}), hr::Overflow, std::nullopt},
        // The second macro has no display row; its record was made, with initial values.
        {kTwoMacros, hr::SubscriptOutOfRange, u"ShowDigit|A|void; "},
        {oneMacro({"[MacroParameters_M]", "Count=4", "1=A", "2=B", "3=C", "4=D"}), hr::SubscriptOutOfRange,
         u"ShowDigit|M|void"},
        {oneMacro({"[MacroParameters_M]", "Count=-1"}), hr::SubscriptOutOfRange, u"ShowDigit|M|void"},
        {oneMacro({"[MacroParameters_M]", "Count=70000"}), hr::Overflow, u"ShowDigit|M|void"},
        // The privacy flag is converted before the record is made.
        {oneMacro({"[MacroIsPrivate]", "1=maybe"}), hr::TypeMismatch, std::nullopt, 0},
        // The second macro's record is made and the build stops there: the third slot stays empty.
        {crlf({"[MacroNames]", "Count=3", "1=A", "2=B", "3=C"}), hr::SubscriptOutOfRange, std::nullopt, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Display d(c.file);
        EXPECT_EQ(failureOf([&] { d.control.put_QuorvaneVersion(kVersion); }), c.error);
        EXPECT_EQ(d.control.get_Description(), u"") << "set only by a build that ends";
        const auto& table = d.control.state().m_Macros;
        ASSERT_EQ(table.has_value(), c.names.has_value() || c.emptySlot >= 0);
        if (!table) continue;
        if (c.emptySlot >= 0) {
            const std::int32_t id = c.emptySlot;
            const std::function<void()> reads[] = {
                [&] { d.control.get_MacroNames(); },       [&] { d.control.get_MacroIsFunction(id); },
                [&] { d.control.get_MacroIsPrivate(id); }, [&] { d.control.get_MacroParameters(id); },
                [&] { d.control.get_MacroCode(id); },
            };
            for (const auto& read : reads) EXPECT_EQ(failureOf(read), hr::ObjectVariableNotSet);
            // The slots before it hold records; past the table the answers stay neutral.
            for (std::int32_t made = 0; made < id; ++made) EXPECT_EQ(d.control.get_MacroIsFunction(made), 0);
            EXPECT_EQ(d.control.get_MacroIsPrivate(std::int32_t(table->size())), 0);
            std::int32_t ret = 0, cycles = 0;
            Variant affected;
            // SimMacroCall asks the bounds only: SHOW_DIGIT runs without its record.
            const Variant params =
                Variant::array(VarType::Variant, 0, {Variant::i2(0), Variant::i2(7), Variant::i2(0)});
            d.control.SimMacroCall(id, params, ret, affected, cycles);
            EXPECT_EQ(cycles, id == 0 ? 32 : 0);
            continue;
        }
        EXPECT_EQ(joined(d.control.get_MacroNames()), *c.names);
        const RSMacro& last = table->back();
        EXPECT_EQ(table->front().MacroParams.isArray(), c.file == kTwoMacros);
        EXPECT_TRUE(table->size() == 1 ||
                    (last.MacroParams.isEmpty() && !last.IsFunction && !last.IsPrivate));
    }
}

TEST(MacroTable, MembersFailWhileThereIsNoTableAndAnswerNeutrallyOutsideIt) {
    Display d(exampleProfile());
    const std::function<void()> members[] = {
        [&] { d.control.get_MacroNames(); },      [&] { d.control.get_MacroIsFunction(0); },
        [&] { d.control.get_MacroIsPrivate(0); }, [&] { d.control.get_MacroParameters(0); },
        [&] { d.control.get_MacroCode(0); },
    };
    for (const auto& member : members) EXPECT_EQ(failureOf(member), hr::SubscriptOutOfRange);

    d.control.put_QuorvaneVersion(kVersion);
    for (std::int32_t id : {-1, 1, -0x7FFFFFFF - 1}) {
        EXPECT_EQ(d.control.get_MacroIsFunction(id) | d.control.get_MacroIsPrivate(id), 0) << id;
        EXPECT_TRUE(d.control.get_MacroParameters(id).isEmpty()) << id;
        EXPECT_EQ(d.control.get_MacroCode(id), u"") << id;
    }
}

TEST(MacroTable, ARebuildReplacesTheTableOnlyWhenItFindsMacros) {
    const struct {
        std::optional<std::string> file; // nullopt: the code file is gone
        std::int16_t count;
        std::u16string names;
        std::size_t boxes;
    } cases[] = {
        {crlf({"[MacroNames]", "Count=0"}), 0, u"ShowDigit|SHOW_DIGIT|void", 0},
        {crlf({"[MacroNames]", "Count=-3"}), -3, u"ShowDigit|SHOW_DIGIT|void", 0},
        {std::nullopt, 0, u"ShowDigit|SHOW_DIGIT|void", 1}, // the missing-file box, once
        {oneMacro({"[MacroReturns]", "1=long"}), 1, u"ShowDigit|M|long", 0},
    };
    for (const auto& c : cases) {
        Display d(exampleProfile());
        d.control.put_QuorvaneVersion(kVersion);
        // The rebuild takes the description again, from the language as it is then.
        d.platform.setString(std::uint32_t(d.control.state().m_oLanguage->stringOffset() + 61), u"Rebuilt");
        c.file ? d.platform.setFile(d.path(), *c.file) : d.platform.removeFile(d.path());
        d.control.put_QuorvaneVersion(kVersion);
        EXPECT_EQ(d.control.state().m_iMacroCount, c.count);
        EXPECT_EQ(joined(d.control.get_MacroNames()), c.names);
        EXPECT_EQ(d.control.get_Description(), u"Rebuilt");
        EXPECT_EQ(d.platform.messageBoxes.size(), c.boxes);
    }

    Display d(exampleProfile()); // a rebuild that fails keeps its partial table and the old text
    d.control.put_QuorvaneVersion(kVersion);
    d.platform.setString(std::uint32_t(d.control.state().m_oLanguage->stringOffset() + 61), u"Rebuilt");
    d.platform.setFile(d.path(), kTwoMacros);
    EXPECT_EQ(failureOf([&] { d.control.put_QuorvaneVersion(kVersion); }), hr::SubscriptOutOfRange);
    EXPECT_EQ(joined(d.control.get_MacroNames()), u"ShowDigit|A|void; ");
    EXPECT_EQ(d.control.get_Description(), u"LED7SEG4");
}

TEST(MacroTable, TakesDisplayNamesAndDescriptionFromTheLanguageInForceOrTheirLiterals) {
    Display d(exampleProfile());
    const auto absolute = [&](std::int16_t id) {
        return std::uint32_t(d.control.state().m_oLanguage->stringOffset() + id);
    };
    d.platform.setString(absolute(115), u"");    // no display name: the code name stands in
    d.platform.setString(absolute(137), u"Val"); // the second parameter row
    d.platform.setString(absolute(61), u"");     // no description: the literal stands in
    d.control.put_QuorvaneVersion(kVersion);
    EXPECT_EQ(joined(d.control.get_MacroNames()), u"SHOW_DIGIT|SHOW_DIGIT|void");
    EXPECT_EQ(joined(d.control.get_MacroParameters(0)),
              u"Digit|DIGIT|char; Val|VALUE|char; DecimalPoint|DECIMAL_PT|char");
    EXPECT_EQ(d.control.get_Description(), u"LED7SEG4");

    d.platform.inject(
        {Service::StringResource, 1, true}); // a failed lookup stops the build at the first name
    EXPECT_EQ(failureOf([&] { d.control.put_QuorvaneVersion(kVersion); }), hr::ResourceNotFound);
    EXPECT_EQ(d.control.get_Description(), u"LED7SEG4") << "the description of the last build stays";
    EXPECT_EQ(d.control.state().m_Macros->at(0).MacroName, u"");
}

} // namespace
} // namespace seg4::test
