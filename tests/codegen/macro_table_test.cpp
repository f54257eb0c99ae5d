// The macro table built from the code file when the host sets its version, and the host
// members that read it.
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <functional>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;

constexpr std::int32_t kVersion = 0x0800;

const std::vector<std::u16string> kExampleParameters{u"Digit|DIGIT|char", u"Value|VALUE|char",
                                                     u"DecimalPoint|DECIMAL_PT|char"};

enum class Params { Strings, EmptyArray };

struct BuildCase {
    const char* what;
    std::string file;
    std::u16string macroName;
    Params shape;
    std::vector<std::u16string> parameters;
    std::int32_t isFunction;
    std::int32_t isPrivate;
    std::vector<std::u16string> boxes;
};

class MacroTableBuild : public CodegenTest, public ::testing::WithParamInterface<BuildCase> {};

TEST_P(MacroTableBuild, ListsTheMacroAsTheCodeFileDescribesIt) {
    const BuildCase& c = GetParam();
    setCodeFile(c.file);
    start();
    control.put_QuorvaneVersion(kVersion);

    EXPECT_THAT(strings(control.get_MacroNames()), ElementsAre(c.macroName));
    const Variant parameters = control.get_MacroParameters(0);
    ASSERT_TRUE(parameters.isArray());
    EXPECT_EQ(parameters.arrayData()->lowerBound, 0);
    if (c.shape == Params::EmptyArray) {
        EXPECT_EQ(parameters.type(), VarType::Variant);
        EXPECT_EQ(parameters.arrayData()->upperBound(), -1);
    } else {
        EXPECT_EQ(parameters.type(), VarType::String);
        EXPECT_EQ(strings(parameters), c.parameters);
    }
    EXPECT_EQ(control.get_MacroIsFunction(0), c.isFunction);
    EXPECT_EQ(control.get_MacroIsPrivate(0), c.isPrivate);
    EXPECT_EQ(platform.messageTexts(), c.boxes);
    EXPECT_EQ(control.get_Description(), u"LED7SEG4");
    EXPECT_EQ(control.state().m_iMacroCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MacroTableBuild,
    ::testing::Values(
        BuildCase{"the shipped entries",
                  exampleProfile(),
                  u"ShowDigit|SHOW_DIGIT|void",
                  Params::Strings,
                  kExampleParameters,
                  0,
                  0,
                  {}},
        BuildCase{"returns, privacy and types left to their defaults",
                  crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroParameters_SHOW_DIGIT]", "Count=3",
                        "1=DIGIT", "2=VALUE", "3=DECIMAL_PT"}),
                  u"ShowDigit|SHOW_DIGIT|void",
                  Params::Strings,
                  kExampleParameters,
                  0,
                  0,
                  {}},
        BuildCase{"a return type other than void makes a function",
                  crlf({"[MacroNames]", "Count=1", "1=M", "[MacroReturns]", "1=int"}),
                  u"ShowDigit|M|int",
                  Params::EmptyArray,
                  {},
                  -1,
                  0,
                  {}},
        BuildCase{"void is compared with its letter case",
                  crlf({"[MacroNames]", "Count=1", "1=M", "[MacroReturns]", "1=Void"}),
                  u"ShowDigit|M|Void",
                  Params::EmptyArray,
                  {},
                  -1,
                  0,
                  {}},
        BuildCase{"a privacy flag of 1",
                  crlf({"[MacroNames]", "Count=1", "1=M", "[MacroIsPrivate]", "1=1"}),
                  u"ShowDigit|M|void",
                  Params::EmptyArray,
                  {},
                  0,
                  -1,
                  {}},
        BuildCase{"a privacy flag written True",
                  crlf({"[MacroNames]", "Count=1", "1=M", "[MacroIsPrivate]", "1=True"}),
                  u"ShowDigit|M|void",
                  Params::EmptyArray,
                  {},
                  0,
                  -1,
                  {}},
        BuildCase{"a privacy flag written false",
                  crlf({"[MacroNames]", "Count=1", "1=M", "[MacroIsPrivate]", "1=false"}),
                  u"ShowDigit|M|void",
                  Params::EmptyArray,
                  {},
                  0,
                  0,
                  {}},
        BuildCase{"no parameters give the empty array",
                  crlf({"[MacroNames]", "Count=1", "1=M", "[MacroParameters_M]", "Count=0", "1=IGNORED"}),
                  u"ShowDigit|M|void",
                  Params::EmptyArray,
                  {},
                  0,
                  0,
                  {}},
        BuildCase{"a missing code name: a message, and its sections lose the name",
                  crlf({"[MacroNames]", "Count=1", "[MacroParameters_]", "Count=1", "1=P"}),
                  u"ShowDigit||void",
                  Params::Strings,
                  {u"Digit|P|char"},
                  0,
                  0,
                  {u"Error: Macro 1 is missing from the code file!"}},
        BuildCase{"a missing parameter name: a message, and an empty code part",
                  crlf({"[MacroNames]", "Count=1", "1=SHOW_DIGIT", "[MacroParameters_SHOW_DIGIT]", "Count=3",
                        "1=DIGIT", "3=DECIMAL_PT"}),
                  u"ShowDigit|SHOW_DIGIT|void",
                  Params::Strings,
                  {u"Digit|DIGIT|char", u"Value||char", u"DecimalPoint|DECIMAL_PT|char"},
                  0,
                  0,
                  {u"Error: Parameter 1.2 is missing from the code file!"}},
        BuildCase{"parameter types from the file",
                  crlf({"[MacroNames]", "Count=1", "1=M", "[MacroParameters_M]", "Count=2", "1=A", "2=B",
                        "[MacroParamTypes_M]", "1=int", "2=unsigned char"}),
                  u"ShowDigit|M|void",
                  Params::Strings,
                  {u"Digit|A|int", u"Value|B|unsigned char"},
                  0,
                  0,
                  {}}),
    caseName<BuildCase>);

struct FailCase {
    const char* what;
    std::string file;
    HResult error;
    std::size_t records; // 0: no table was made
    std::u16string firstName;
    bool firstHasParameters;
};

class MacroTableFailure : public CodegenTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(MacroTableFailure, StopsTheBuildKeepsWhatWasMadeAndLeavesTheDescription) {
    const FailCase& c = GetParam();
    setCodeFile(c.file);
    start();

    EXPECT_EQ(failureOf([&] { control.put_QuorvaneVersion(kVersion); }), c.error);
    EXPECT_EQ(control.get_Description(), u"") << "the description is set only by a build that ends";
    const auto& table = control.state().m_Macros;
    if (c.records == 0) {
        EXPECT_FALSE(table.has_value());
        EXPECT_EQ(failureOf([&] { control.get_MacroNames(); }), hr::SubscriptOutOfRange);
        return;
    }
    ASSERT_TRUE(table.has_value());
    ASSERT_EQ(table->size(), c.records);
    EXPECT_EQ((*table)[0].MacroName, c.firstName);
    EXPECT_EQ((*table)[0].MacroParams.isArray(), c.firstHasParameters);
    if (c.records > 1) {
        // The macro without a row was created with its initial values before the stop.
        EXPECT_EQ((*table)[1].MacroName, u"");
        EXPECT_FALSE((*table)[1].IsFunction);
        EXPECT_FALSE((*table)[1].IsPrivate);
        EXPECT_TRUE((*table)[1].MacroParams.isEmpty());
    }
}

const std::string kTwoMacros = crlf({"[MacroNames]", "Count=2", "1=A", "2=B", "[MacroReturns]", "2=int",
                                     "[MacroParameters_A]", "Count=1", "1=P"});

INSTANTIATE_TEST_SUITE_P(
    Cases, MacroTableFailure,
    ::testing::Values(FailCase{"a macro count that is no number", crlf({"[MacroNames]", "Count=one"}),
                               hr::TypeMismatch, 0, u"", false},
                      FailCase{"a macro count beyond 16 bits", crlf({"[MacroNames]", "Count=40000"}),
                               hr::Overflow, 0, u"", false},
                      FailCase{"more macros than display rows", kTwoMacros, hr::SubscriptOutOfRange, 2,
                               u"ShowDigit|A|void", true},
                      FailCase{"more parameters than display rows",
                               crlf({"[MacroNames]", "Count=1", "1=M", "[MacroParameters_M]", "Count=4",
                                     "1=A", "2=B", "3=C", "4=D"}),
                               hr::SubscriptOutOfRange, 1, u"ShowDigit|M|void", false},
                      FailCase{"a negative parameter count",
                               crlf({"[MacroNames]", "Count=1", "1=M", "[MacroParameters_M]", "Count=-1"}),
                               hr::SubscriptOutOfRange, 1, u"ShowDigit|M|void", false},
                      FailCase{"a parameter count that is no number",
                               crlf({"[MacroNames]", "Count=1", "1=M", "[MacroParameters_M]", "Count=three"}),
                               hr::TypeMismatch, 1, u"ShowDigit|M|void", false},
                      FailCase{"a parameter count beyond 16 bits",
                               crlf({"[MacroNames]", "Count=1", "1=M", "[MacroParameters_M]", "Count=70000"}),
                               hr::Overflow, 1, u"ShowDigit|M|void", false},
                      FailCase{"a privacy flag that is neither number nor True or False",
                               crlf({"[MacroNames]", "Count=1", "1=M", "[MacroIsPrivate]", "1=maybe"}),
                               hr::TypeMismatch, 1, u"", false}),
    caseName<FailCase>);

class MacroTable : public CodegenTest {};

TEST_F(MacroTable, MembersFailWhileThereIsNoTable) {
    setCodeFile(exampleProfile());
    start();
    const std::function<void()> members[] = {
        [&] { control.get_MacroNames(); },      [&] { control.get_MacroIsFunction(0); },
        [&] { control.get_MacroIsPrivate(0); }, [&] { control.get_MacroParameters(0); },
        [&] { control.get_MacroCode(0); },
    };
    for (const auto& member : members) EXPECT_EQ(failureOf(member), hr::SubscriptOutOfRange);
}

TEST_F(MacroTable, IdsOutsideTheTableGiveNeutralAnswers) {
    setCodeFile(exampleProfile());
    start();
    control.put_QuorvaneVersion(kVersion);
    control.stateForTesting().m_Macros->at(0).IsFunction = true;
    control.stateForTesting().m_Macros->at(0).IsPrivate = true;
    for (std::int32_t id : {-1, 1, 5, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(control.get_MacroIsFunction(id), 0);
        EXPECT_EQ(control.get_MacroIsPrivate(id), 0);
        EXPECT_TRUE(control.get_MacroParameters(id).isEmpty());
        EXPECT_EQ(control.get_MacroCode(id), u"");
    }
    EXPECT_EQ(control.get_MacroIsFunction(0), -1);
    EXPECT_EQ(control.get_MacroIsPrivate(0), -1);
    EXPECT_TRUE(platform.messageBoxes.empty());
}

TEST_F(MacroTable, ABuildThatFindsNoMacroKeepsTheOldTableAndSetsTheDescription) {
    const struct {
        const char* what;
        std::string file;
        bool fileThere;
        std::int16_t count;
        std::size_t boxes;
    } cases[] = {
        {"a count of 0", crlf({"[MacroNames]", "Count=0"}), true, 0, 0},
        {"a negative count", crlf({"[MacroNames]", "Count=-3"}), true, -3, 0},
        {"no MacroNames section", crlf({"[Other]", "Count=4"}), true, 0, 0},
        {"no code file", "", false, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform fresh;
        Led7Seg4 display(fresh);
        fresh.setHostLanguage(u"engb");
        const std::u16string path = fresh.folder + u"\\ARM_7seg4.c";
        fresh.setFile(path, exampleProfile());
        display.Initialize();
        display.InitProperties();
        display.put_QuorvaneVersion(kVersion);
        display.stateForTesting().m_sDescription.clear();
        fresh.messageBoxes.clear();

        if (c.fileThere)
            fresh.setFile(path, c.file);
        else
            fresh.removeFile(path);
        display.put_QuorvaneVersion(kVersion);
        EXPECT_EQ(display.state().m_iMacroCount, c.count);
        EXPECT_THAT(strings(display.get_MacroNames()), ElementsAre(u"ShowDigit|SHOW_DIGIT|void"));
        EXPECT_EQ(display.get_Description(), u"LED7SEG4");
        EXPECT_EQ(fresh.messageBoxes.size(), c.boxes) << "only the missing-file box, once";
    }
}

TEST_F(MacroTable, ABuildWithMacrosReplacesTheTable) {
    setCodeFile(exampleProfile());
    start();
    control.put_QuorvaneVersion(kVersion);
    setCodeFile(crlf({"[MacroNames]", "Count=1", "1=OTHER", "[MacroReturns]", "1=long"}));
    control.put_QuorvaneVersion(kVersion);
    EXPECT_THAT(strings(control.get_MacroNames()), ElementsAre(u"ShowDigit|OTHER|long"));
    EXPECT_EQ(control.get_MacroIsFunction(0), -1);
    EXPECT_EQ(strings(control.get_MacroParameters(0)), std::vector<std::u16string>{});
}

TEST_F(MacroTable, AFailedRebuildLeavesItsPartialTableAndTheOldDescription) {
    setCodeFile(exampleProfile());
    start();
    control.put_QuorvaneVersion(kVersion);
    control.stateForTesting().m_sDescription = u"before";
    setCodeFile(kTwoMacros);
    EXPECT_EQ(failureOf([&] { control.put_QuorvaneVersion(kVersion); }), hr::SubscriptOutOfRange);
    EXPECT_THAT(strings(control.get_MacroNames()), ElementsAre(u"ShowDigit|A|void", u""));
    EXPECT_EQ(control.get_Description(), u"before");
}

TEST_F(MacroTable, DisplayNamesAndDescriptionComeFromTheLanguageInForce) {
    setCodeFile(exampleProfile());
    start();
    platform.setString(absoluteText(115), u"");    // no display name: the code name stands in
    platform.setString(absoluteText(137), u"Val"); // another text for the second parameter row
    platform.setString(absoluteText(61), u"");     // no description text: the literal stands in
    control.put_QuorvaneVersion(kVersion);
    EXPECT_THAT(strings(control.get_MacroNames()), ElementsAre(u"SHOW_DIGIT|SHOW_DIGIT|void"));
    EXPECT_THAT(strings(control.get_MacroParameters(0)),
                ElementsAre(u"Digit|DIGIT|char", u"Val|VALUE|char", u"DecimalPoint|DECIMAL_PT|char"));
    EXPECT_EQ(control.get_Description(), u"LED7SEG4");

    std::u16string german = u"DEDE";
    control.stateForTesting().m_oLanguage->SetLanguageId(german);
    control.put_QuorvaneVersion(kVersion);
    const std::u16string germanName = platform.loadStringResource(absoluteText(115)).value();
    EXPECT_THAT(strings(control.get_MacroNames()), ElementsAre(germanName + u"|SHOW_DIGIT|void"));
    EXPECT_EQ(strings(control.get_MacroParameters(0)).at(1), u"Wert|VALUE|char");
}

TEST_F(MacroTable, AFailedTextLookupStopsTheBuild) {
    setCodeFile(exampleProfile());
    start();
    platform.failStringResources(true);
    EXPECT_NE(failureOf([&] { control.put_QuorvaneVersion(kVersion); }), hr::Ok);
    EXPECT_EQ(control.get_Description(), u"");
    ASSERT_TRUE(control.state().m_Macros.has_value());
    EXPECT_EQ(control.state().m_Macros->at(0).MacroName, u"") << "created, then stopped at its display name";
}

TEST_F(MacroTable, TheCopyHandedOutDoesNotChangeTheTable) {
    setCodeFile(exampleProfile());
    start();
    control.put_QuorvaneVersion(kVersion);
    Variant copy = control.get_MacroParameters(0);
    copy.arrayData()->elements[0] = Variant::string(u"changed");
    EXPECT_EQ(strings(control.get_MacroParameters(0)), kExampleParameters);
}

} // namespace
} // namespace seg4::test
