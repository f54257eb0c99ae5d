// The macro table built from the code file when the host sets its version, and the host
// members that read it.
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <functional>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;

constexpr std::int32_t kVersion = 0x0800;
using Strings = std::vector<std::u16string>;
const Strings kExampleParameters{u"Digit|DIGIT|char", u"Value|VALUE|char", u"DecimalPoint|DECIMAL_PT|char"};
const Strings kNoParameters{}; // the empty array, bounds 0 to -1

/// A code file with one macro M and the given extra lines.
std::string oneMacro(std::initializer_list<std::string_view> more) {
    return crlf({"[MacroNames]", "Count=1", "1=M"}) + crlf(more);
}

TEST(MacroTableBuild, ListsTheMacroAsTheCodeFileDescribesIt) {
    const struct {
        std::string file;
        std::u16string name;
        Strings parameters;
        std::int32_t isFunction, isPrivate;
        Strings boxes;
    } cases[] = {
        {exampleProfile(), u"ShowDigit|SHOW_DIGIT|void", kExampleParameters, 0, 0, {}},
        {crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroParameters_SHOW_DIGIT]", "Count=3",
               "1=DIGIT", "2=VALUE", "3=DECIMAL_PT"}), // returns, privacy and types left to their defaults
         u"ShowDigit|SHOW_DIGIT|void",
         kExampleParameters,
         0,
         0,
         {}},
        {oneMacro({"[MacroReturns]", "1=int"}), u"ShowDigit|M|int", kNoParameters, -1, 0, {}},
        {oneMacro({"[MacroReturns]", "1=Void"}), u"ShowDigit|M|Void", kNoParameters, -1, 0, {}},
        {oneMacro({"[MacroIsPrivate]", "1=1"}), u"ShowDigit|M|void", kNoParameters, 0, -1, {}},
        {oneMacro({"[MacroIsPrivate]", "1=True"}), u"ShowDigit|M|void", kNoParameters, 0, -1, {}},
        {oneMacro({"[MacroIsPrivate]", "1=false"}), u"ShowDigit|M|void", kNoParameters, 0, 0, {}},
        {oneMacro({"[MacroParameters_M]", "Count=0", "1=IGNORED"}),
         u"ShowDigit|M|void",
         kNoParameters,
         0,
         0,
         {}},
        {oneMacro({"[MacroParameters_M]", "Count=2", "1=A", "2=B", "[MacroParamTypes_M]", "1=int", "2=long"}),
         u"ShowDigit|M|void",
         {u"Digit|A|int", u"Value|B|long"},
         0,
         0,
         {}},
        {crlf({"[MacroNames]", "Count=1", "[MacroParameters_]", "Count=1", "1=P"}),
         u"ShowDigit||void",
         {u"Digit|P|char"},
         0,
         0,
         {u"Error: Macro 1 is missing from the code file!"}},
        {crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroParameters_SHOW_DIGIT]", "Count=3",
               "1=DIGIT", "3=DECIMAL_PT"}),
         u"ShowDigit|SHOW_DIGIT|void",
         {u"Digit|DIGIT|char", u"Value||char", u"DecimalPoint|DECIMAL_PT|char"},
         0,
         0,
         {u"Error: Parameter 1.2 is missing from the code file!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Display d(c.file);
        d.control.put_QuorvaneVersion(kVersion);
        EXPECT_THAT(strings(d.control.get_MacroNames()), ElementsAre(c.name));
        const Variant parameters = d.control.get_MacroParameters(0);
        ASSERT_NE(parameters.arrayData(), nullptr);
        EXPECT_EQ(parameters.arrayData()->lowerBound, 0);
        EXPECT_EQ(parameters.type(), c.parameters.empty() ? VarType::Variant : VarType::String);
        EXPECT_EQ(strings(parameters), c.parameters);
        EXPECT_EQ(d.control.get_MacroIsFunction(0), c.isFunction);
        EXPECT_EQ(d.control.get_MacroIsPrivate(0), c.isPrivate);
        EXPECT_EQ(d.platform.messageTexts(), c.boxes);
        EXPECT_EQ(d.control.get_Description(), u"LED7SEG4");
    }
}

const std::string kTwoMacros = crlf({"[MacroNames]", "Count=2", "1=A", "2=B", "[MacroReturns]", "2=int",
                                     "[MacroParameters_A]", "Count=1", "1=P"});

TEST(MacroTableBuild, StopsKeepingWhatItMadeAndLeavesTheDescription) {
    const struct {
        std::string file;
        HResult error;
        Strings names; // the records made, or none when no table was made
        bool firstHasParameters;
    } cases[] = {
        {crlf({"[MacroNames]", "Count=one"}), hr::TypeMismatch, {}, false},
        {crlf({"[MacroNames]", "Count=40000"}), hr::Overflow, {}, false},
        // The second macro has no display row; its record was made, with initial values.
        {kTwoMacros, hr::SubscriptOutOfRange, {u"ShowDigit|A|void", u""}, true},
        {oneMacro({"[MacroParameters_M]", "Count=4", "1=A", "2=B", "3=C", "4=D"}),
         hr::SubscriptOutOfRange,
         {u"ShowDigit|M|void"},
         false},
        {oneMacro({"[MacroParameters_M]", "Count=-1"}),
         hr::SubscriptOutOfRange,
         {u"ShowDigit|M|void"},
         false},
        {oneMacro({"[MacroParameters_M]", "Count=three"}), hr::TypeMismatch, {u"ShowDigit|M|void"}, false},
        {oneMacro({"[MacroParameters_M]", "Count=70000"}), hr::Overflow, {u"ShowDigit|M|void"}, false},
        {oneMacro({"[MacroIsPrivate]", "1=maybe"}), hr::TypeMismatch, {u""}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Display d(c.file);
        EXPECT_EQ(failureOf([&] { d.control.put_QuorvaneVersion(kVersion); }), c.error);
        EXPECT_EQ(d.control.get_Description(), u"") << "set only by a build that ends";
        const auto& table = d.control.state().m_Macros;
        ASSERT_EQ(table.has_value(), !c.names.empty());
        if (!table) continue;
        EXPECT_EQ(strings(d.control.get_MacroNames()), c.names);
        EXPECT_EQ(table->front().MacroParams.isArray(), c.firstHasParameters);
        const RSMacro& last = table->back(); // without a display row: made with initial values
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
    d.control.stateForTesting().m_Macros->at(0).IsFunction = true;
    d.control.stateForTesting().m_Macros->at(0).IsPrivate = true;
    EXPECT_EQ(d.control.get_MacroIsFunction(0), -1);
    EXPECT_EQ(d.control.get_MacroIsPrivate(0), -1);
    for (std::int32_t id : {-1, 1, 5, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        EXPECT_EQ(d.control.get_MacroIsFunction(id), 0) << id;
        EXPECT_EQ(d.control.get_MacroIsPrivate(id), 0) << id;
        EXPECT_TRUE(d.control.get_MacroParameters(id).isEmpty()) << id;
        EXPECT_EQ(d.control.get_MacroCode(id), u"") << id;
    }
    EXPECT_TRUE(d.platform.messageBoxes.empty());
}

TEST(MacroTable, ARebuildReplacesTheTableOnlyWhenItFindsMacros) {
    const struct {
        std::optional<std::string> file; // nullopt: the code file is gone
        std::int16_t count;
        Strings names;
        std::size_t boxes;
    } cases[] = {
        {crlf({"[MacroNames]", "Count=0"}), 0, {u"ShowDigit|SHOW_DIGIT|void"}, 0},
        {crlf({"[MacroNames]", "Count=-3"}), -3, {u"ShowDigit|SHOW_DIGIT|void"}, 0},
        {crlf({"[Other]", "Count=4"}), 0, {u"ShowDigit|SHOW_DIGIT|void"}, 0},
        {std::nullopt, 0, {u"ShowDigit|SHOW_DIGIT|void"}, 1}, // the missing-file box, once
        {oneMacro({"[MacroReturns]", "1=long"}), 1, {u"ShowDigit|M|long"}, 0},
    };
    for (const auto& c : cases) {
        Display d(exampleProfile());
        d.control.put_QuorvaneVersion(kVersion);
        d.control.stateForTesting().m_sDescription.clear();
        c.file ? d.platform.setFile(d.path(), *c.file) : d.platform.removeFile(d.path());
        d.control.put_QuorvaneVersion(kVersion);
        EXPECT_EQ(d.control.state().m_iMacroCount, c.count);
        EXPECT_EQ(strings(d.control.get_MacroNames()), c.names);
        EXPECT_EQ(d.control.get_Description(), u"LED7SEG4");
        EXPECT_EQ(d.platform.messageBoxes.size(), c.boxes);
    }

    Display d(exampleProfile()); // a rebuild that fails keeps its partial table and the old text
    d.control.put_QuorvaneVersion(kVersion);
    d.control.stateForTesting().m_sDescription = u"before";
    d.platform.setFile(d.path(), kTwoMacros);
    EXPECT_EQ(failureOf([&] { d.control.put_QuorvaneVersion(kVersion); }), hr::SubscriptOutOfRange);
    EXPECT_THAT(strings(d.control.get_MacroNames()), ElementsAre(u"ShowDigit|A|void", u""));
    EXPECT_EQ(d.control.get_Description(), u"before");
}

TEST(MacroTable, TakesDisplayNamesAndDescriptionFromTheLanguageInForce) {
    Display d(exampleProfile());
    d.platform.setString(d.absoluteText(115), u"");    // no display name: the code name stands in
    d.platform.setString(d.absoluteText(137), u"Val"); // the second parameter row
    d.platform.setString(d.absoluteText(61), u"");     // no description: the literal stands in
    d.control.put_QuorvaneVersion(kVersion);
    EXPECT_THAT(strings(d.control.get_MacroNames()), ElementsAre(u"SHOW_DIGIT|SHOW_DIGIT|void"));
    EXPECT_THAT(strings(d.control.get_MacroParameters(0)),
                ElementsAre(u"Digit|DIGIT|char", u"Val|VALUE|char", u"DecimalPoint|DECIMAL_PT|char"));
    EXPECT_EQ(d.control.get_Description(), u"LED7SEG4");

    std::u16string german = u"DEDE";
    d.control.stateForTesting().m_oLanguage->SetLanguageId(german);
    d.control.put_QuorvaneVersion(kVersion);
    const std::u16string name = d.platform.loadStringResource(d.absoluteText(115)).value();
    EXPECT_THAT(strings(d.control.get_MacroNames()), ElementsAre(name + u"|SHOW_DIGIT|void"));
    EXPECT_EQ(strings(d.control.get_MacroParameters(0)).at(1), u"Wert|VALUE|char");

    d.platform.failStringResources(true); // a failed lookup stops the build at the first name
    d.control.stateForTesting().m_sDescription.clear();
    EXPECT_EQ(failureOf([&] { d.control.put_QuorvaneVersion(kVersion); }), hr::ResourceNotFound);
    EXPECT_EQ(d.control.get_Description(), u"");
    EXPECT_EQ(d.control.state().m_Macros->at(0).MacroName, u"");
}

} // namespace
} // namespace seg4::test
