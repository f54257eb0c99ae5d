// The code file's two views: the block reader's lines and markers, the key reader's lookups,
// and what both do when the file is missing or cannot be read.
#include "codegen/code_file.h"
#include "codegen_fixture.h"

#include <gmock/gmock.h>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;

TEST(BlockView, GathersTheLinesBetweenWholeLineMarkers) {
    const struct {
        const char16_t* file;
        const char16_t* name;
        const char16_t* text; // nullptr: no complete block, the caller gives the error comment
    } cases[] = {
        {u"x\r\n/*B_Start*/\r\nA\r\nB\r\n/*B_End*/\r\ny\r\n", u"B", u"A\nB\n"}, // joined with LF, last too
        {u"/*B_Start*/\rA\rB\r/*B_End*/", u"B", u"A\nB\n"},                     // a lone CR ends a line
        {u"/*B_Start*/\r\nA\rB\r\n/*B_End*/\r", u"B", u"A\nB\n"},
        {u"/*B_Start*/\nA\n/*B_End*/\n", u"B", nullptr},        // LF only: one long line
        {u"/*B_Start*/\r\nA\nB\r\n/*B_End*/", u"B", u"A\nB\n"}, // a lone LF stays in its line
        {u"/*B_Start*/\n\r\nA\r\n/*B_End*/", u"B", nullptr},    // so it spoils a marker
        {u"/*B_Start*/\r\n/*B_End*/\r\n", u"B", u""},           // empty block, not the error
        {u"/*B_Start*/\r\n\r\n\r\n/*B_End*/", u"B", u"\n\n"},   // blank lines are kept
        {u"/*B_Start*/\r\r\nA\r\n/*B_End*/", u"B", u"\nA\n"},   // CR CR LF: an empty line
        {u"/*B_Start*/ \r\nA\r\n/*B_End*/", u"B", nullptr},     // trailing blank
        {u"/*B_Start*/\r\nA\r\n /*B_End*/", u"B", nullptr},     // leading blank
        {u"/*b_Start*/\r\nA\r\n/*b_End*/", u"B", nullptr},      // letter case
        {u"/*BB_Start*/\r\nA\r\n/*BB_End*/", u"B", nullptr},    // another name
        {u"/* B_Start*/\r\nA\r\n/* B_End*/", u" B", u"A\n"},    // the name is not trimmed
        {u"/*B_Start*/\r\nA\r\nB\r\n", u"B", nullptr},          // start without end
        {u"/*B_End*/\r\n/*B_Start*/\r\nA\r\n", u"B", nullptr},  // an end outside is skipped
        {u"/*B_Start*/\r\n/*B_Start*/\r\nA\r\n/*B_End*/", u"B", u"/*B_Start*/\nA\n"},
        {u"/*B_Start*/\r\n/*C_Start*/\r\n/*B_End*/", u"B", u"/*C_Start*/\n"},
        {u"/*B_Start*/\r\nA\r\n/*B_End*/\r\nx\r\n/*B_Start*/\r\nB\r\n/*B_End*/", u"B", u"A\nB\n"},
        {u"/*B_Start*/\r\nA\r\n/*B_End*/\r\n/*B_Start*/\r\nB\r\nC", u"B", u"A\nB\nC\n"}, // after a
        {u"", u"B", nullptr}, // complete block an unterminated one adds the rest of the file
    };
    for (const auto& c : cases) {
        const codegen::BlockScan scan = codegen::scanBlocks(c.file, c.name);
        EXPECT_EQ(scan.complete(), c.text != nullptr) << toUtf8(c.file);
        EXPECT_EQ(scan.text, c.text ? c.text : scan.text) << toUtf8(c.file);
    }
}

TEST(BlockReader, AnswersTheBlockOrTheErrorCommentReadingTheFileAfresh) {
    Display d(crlf({"/*D_Start*/", "Caf\xE9", "/*D_End*/", "/*Open_Start*/", "x"}));
    std::u16string name = u"D";
    EXPECT_EQ(d.control.GetCodeFromFile(name), u"Caf\u00E9\n") << "decoded with the system code page";
    EXPECT_EQ(name, u"D") << "the argument is left alone";
    EXPECT_EQ(d.block(u"Missing"), u"//Error Reading Code For ::Missing\r\n")
        << "no description before a build";
    d.control.stateForTesting().m_sDescription = u"LED7SEG4";
    EXPECT_EQ(d.block(u"Open"), u"//Error Reading Code For LED7SEG4::Open\r\n");
    EXPECT_EQ(d.block(u"D "), u"//Error Reading Code For LED7SEG4::D \r\n");
    EXPECT_TRUE(d.platform.messageBoxes.empty()) << "a missing block is no message";

    d.platform.setFile(d.path(), crlf({"/*D_Start*/", "two", "/*D_End*/", "[S]", "k=2"}));
    EXPECT_EQ(d.block(u"D"), u"two\n");
    EXPECT_EQ(d.iniValue(u"S", u"k", u""), u"2");
}

TEST(MissingCodeFile, CostsTheBlockReaderTwoBoxesAndTheKeyReaderOne) {
    const struct {
        bool folderInstead;
        const char16_t* failure;
    } cases[] = {{false, u"File not found"}, {true, u"Path/File access error"}};
    for (const auto& c : cases) {
        Display d(std::nullopt);
        if (c.folderInstead) d.platform.addFolder(d.path());
        const std::u16string missing = u"Error - cannot find C code file:\r\n\r\n" + d.path();

        EXPECT_EQ(d.block(u"DefinesCode"), u"");
        EXPECT_THAT(d.platform.messageTexts(), ElementsAre(missing, c.failure));
        for (const MessageBoxRequest& box : d.platform.messageBoxes) {
            EXPECT_EQ(box.title, u"ARM_7seg4");
            EXPECT_EQ(box.buttons, msgbox::Ok);
        }
        d.platform.messageBoxes.clear();
        EXPECT_EQ(d.iniValue(u"MacroNames", u"Count", u"0"), u"0");
        EXPECT_THAT(d.platform.messageTexts(), ElementsAre(missing));
    }
}

/// Reads that fail a given number of times before they work again (a share that drops out),
/// and a record of what the key reader handed the profile reader.
class FlakyReads : public FakePlatform {
public:
    int failuresLeft = 0;
    HResult failure = hr::DeviceIoError;
    std::size_t bufferChars = 0;
    std::string section, key, fallback;

    std::vector<std::uint8_t> readFile(const std::u16string& path) override {
        failIfDue();
        return FakePlatform::readFile(path);
    }
    std::string profileString(std::string_view s, std::string_view k, std::string_view f, std::size_t n,
                              const std::u16string& path) override {
        failIfDue();
        bufferChars = n, section = s, key = k, fallback = f;
        return FakePlatform::profileString(s, k, f, n, path);
    }

private:
    void failIfDue() {
        if (failuresLeft == 0) return;
        --failuresLeft;
        raise(failure);
    }
};

TEST(ReadFailures, ShowWhyAnswerNothingAndLeaveNothingOpenForTheNextRead) {
    FlakyReads platform;
    platform.setFile(platform.folder + u"\\ARM_7seg4.c",
                     crlf({"[S]", "k=v", "/*B_Start*/", "b", "/*B_End*/"}));
    Led7Seg4 control(platform);
    control.Initialize();
    control.InitProperties();
    std::u16string name = u"B", section = u"S", key = u"k", fallback = u"dflt";
    const std::pair<HResult, const char16_t*> cases[] = {{hr::DeviceIoError, u"Device I/O error"},
                                                         {hr::PathFileAccessError, u"Path/File access error"},
                                                         {hr::FileAlreadyOpen, u"File already open"}};
    for (const auto& [failure, box] : cases) {
        platform.failure = failure;
        platform.messageBoxes.clear();
        platform.failuresLeft = 1;
        EXPECT_EQ(control.GetCodeFromFile(name), u"");
        EXPECT_EQ(control.GetCodeFromFile(name), u"b\n");
        platform.failuresLeft = 1;
        EXPECT_EQ(control.GetIniKeyValue(section, key, fallback), u"") << "nothing, not the default";
        EXPECT_EQ(control.GetIniKeyValue(section, key, fallback), u"v");
        EXPECT_THAT(platform.messageTexts(), ElementsAre(box, box))
            << "the file is there: no missing-file box";
    }
}

TEST(KeyReader, HandsTheProfileReaderANSIStringsAndA255CharacterBuffer) {
    FlakyReads platform;
    platform.setFile(platform.folder + u"\\ARM_7seg4.c", "[Caf\xE9]\r\nN\xE4me=W\xE9rt\r\n");
    Led7Seg4 control(platform);
    control.Initialize();
    std::u16string section = u"Caf\u00E9", key = u"N\u00E4me", fallback = u"d\u00E9faut";
    EXPECT_EQ(control.GetIniKeyValue(section, key, fallback), u"W\u00E9rt");
    EXPECT_EQ(platform.bufferChars, 255u);
    EXPECT_EQ(platform.section + "|" + platform.key + "|" + platform.fallback, "Caf\xE9|N\xE4me|d\xE9"
                                                                               "faut");
    EXPECT_EQ(section + u"|" + key + u"|" + fallback, u"Caf\u00E9|N\u00E4me|d\u00E9faut")
        << "arguments left alone";
}

TEST(KeyReader, FindsEntriesAsTheProfileReaderDoes) {
    const struct {
        std::string file;
        std::u16string section, key, fallback, value;
    } cases[] = {
        {crlf({"[MacroNames]", "Count=1"}), u"MacroNames", u"Count", u"0", u"1"},
        {crlf({"[MacroNames]", "1=SHOW_DIGIT"}), u"MacroNames", u" 1", u"", u"SHOW_DIGIT"},
        {crlf({" [ macronames ] ", "  COUNT  =  2  "}), u"MacroNames", u"Count", u"0", u"2"},
        {crlf({"[MacroNames]", "Count=1"}), u"MacroNames", u"2", u"dflt", u"dflt"},
        {crlf({"[Other]", "Count=1"}), u"MacroNames", u"Count", u"0", u"0"},
        {crlf({"[S]", "k=\"a b\""}), u"S", u"k", u"", u"a b"},
        {"[S]\nk=v\n", u"S", u"k", u"", u"v"}, // LF-only line ends still work here
        {crlf({"[S]", "a=1", "[S]", "k=2"}), u"S", u"k", u"d", u"d"},
        {crlf({"[S]", "/*B_Start*/", "x = 5;", "/*B_End*/"}), u"S", u"x", u"", u"5;"},
        {crlf({"[S]", "k=" + std::string(300, 'x')}), u"S", u"k", u"", std::u16string(254, u'x')},
        {crlf({"[S]"}), u"S", u"k", std::u16string(300, u'd'), std::u16string(254, u'd')},
    };
    for (const auto& c : cases) {
        Display d(c.file);
        EXPECT_EQ(d.iniValue(c.section, c.key, c.fallback), c.value) << c.file;
        EXPECT_TRUE(d.platform.messageBoxes.empty());
    }
}

TEST(CodeFilename, IsTheModuleFolderAndBaseNameWithoutAnyCheckOrMessage) {
    const struct {
        const char16_t *folder, *baseName, *path;
    } cases[] = {
        {u"C:\\Program Files\\Quorvane", u"ARM_7seg4", u"C:\\Program Files\\Quorvane\\ARM_7seg4.c"},
        {u"\\\\server\\share", u"Other", u"\\\\server\\share\\Other.c"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.folder = c.folder;
        platform.baseName = c.baseName;
        Led7Seg4 control(platform);
        control.Initialize();
        platform.messageBoxes.clear();
        EXPECT_EQ(control.get_CodeFilename(), c.path);
        EXPECT_TRUE(platform.messageBoxes.empty());
        EXPECT_EQ(platform.fileReads, 0);
    }
}

} // namespace
} // namespace seg4::test
