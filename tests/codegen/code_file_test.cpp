// The code file's two views: the block reader's lines and markers, the key reader's lookups,
// and what both do when the file is missing or cannot be read.
#include "codegen/code_file.h"
#include "codegen_fixture.h"

#include <gmock/gmock.h>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;

// ---------------------------------------------------------------- block view over the text

struct BlockCase {
    const char* what;
    std::u16string file;
    std::u16string name;
    std::u16string text;
    bool complete;
};

class BlockView : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockView, GathersTheLinesBetweenWholeLineMarkers) {
    const BlockCase& c = GetParam();
    const codegen::BlockScan scan = codegen::scanBlocks(c.file, c.name);
    EXPECT_EQ(scan.complete(), c.complete);
    if (c.complete) {
        EXPECT_EQ(scan.text, c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockView,
    ::testing::Values(
        BlockCase{"lines joined with LF, the last one too",
                  u"x\r\n/*B_Start*/\r\nA\r\nB\r\n/*B_End*/\r\ny\r\n", u"B", u"A\nB\n", true},
        BlockCase{"a lone CR ends a line", u"/*B_Start*/\rA\rB\r/*B_End*/", u"B", u"A\nB\n", true},
        BlockCase{"CR LF and lone CR mixed", u"/*B_Start*/\r\nA\rB\r\n/*B_End*/\r", u"B", u"A\nB\n", true},
        BlockCase{"LF-only line ends make one long line", u"/*B_Start*/\nA\n/*B_End*/\n", u"B", u"", false},
        BlockCase{"a lone LF stays inside its line", u"/*B_Start*/\r\nA\nB\r\n/*B_End*/", u"B", u"A\nB\n",
                  true},
        BlockCase{"a marker followed by a lone LF is an ordinary line", u"/*B_Start*/\n\r\nA\r\n/*B_End*/",
                  u"B", u"", false},
        BlockCase{"start directly followed by end gives the empty text", u"/*B_Start*/\r\n/*B_End*/\r\n",
                  u"B", u"", true},
        BlockCase{"blank lines are kept", u"/*B_Start*/\r\n\r\n\r\n/*B_End*/", u"B", u"\n\n", true},
        BlockCase{"CR CR LF is an empty line", u"/*B_Start*/\r\r\nA\r\n/*B_End*/", u"B", u"\nA\n", true},
        BlockCase{"last line without a line end", u"/*B_Start*/\r\nA\r\n/*B_End*/", u"B", u"A\n", true},
        BlockCase{"a trailing blank spoils the start marker", u"/*B_Start*/ \r\nA\r\n/*B_End*/", u"B", u"",
                  false},
        BlockCase{"a leading blank spoils the end marker", u"/*B_Start*/\r\nA\r\n /*B_End*/", u"B", u"",
                  false},
        BlockCase{"letter case counts", u"/*b_Start*/\r\nA\r\n/*b_End*/", u"B", u"", false},
        BlockCase{"another name's markers do not count", u"/*BB_Start*/\r\nA\r\n/*BB_End*/", u"B", u"",
                  false},
        BlockCase{"the name is used untrimmed", u"/* B_Start*/\r\nA\r\n/* B_End*/", u" B", u"A\n", true},
        BlockCase{"a start marker without an end gives the error", u"/*B_Start*/\r\nA\r\nB\r\n", u"B", u"",
                  false},
        BlockCase{"an end marker outside a block is skipped", u"/*B_End*/\r\n/*B_Start*/\r\nA\r\n", u"B", u"",
                  false},
        BlockCase{"a start marker inside a block is an ordinary line",
                  u"/*B_Start*/\r\n/*B_Start*/\r\nA\r\n/*B_End*/", u"B", u"/*B_Start*/\nA\n", true},
        BlockCase{"other markers inside a block are ordinary lines",
                  u"/*B_Start*/\r\n/*C_Start*/\r\n/*B_End*/", u"B", u"/*C_Start*/\n", true},
        BlockCase{"two blocks of one name are joined in file order",
                  u"/*B_Start*/\r\nA\r\n/*B_End*/\r\nx\r\n/*B_Start*/\r\nB\r\n/*B_End*/", u"B", u"A\nB\n",
                  true},
        BlockCase{"after a complete block an unterminated one adds the rest of the file",
                  u"/*B_Start*/\r\nA\r\n/*B_End*/\r\n/*B_Start*/\r\nB\r\nC", u"B", u"A\nB\nC\n", true},
        BlockCase{"the empty file has no block", u"", u"B", u"", false}),
    caseName<BlockCase>);

// ---------------------------------------------------------------- the block reader

class BlockReader : public CodegenTest {};

TEST_F(BlockReader, AnswersTheBlockTheErrorCommentOrNothing) {
    setCodeFile(crlf({"/*DefinesCode_Start*/", "#define A 1", "/*DefinesCode_End*/", "/*Open_Start*/", "x"}));
    start();

    EXPECT_EQ(block(u"DefinesCode"), u"#define A 1\n");
    EXPECT_EQ(block(u"Missing"), u"//Error Reading Code For ::Missing\r\n")
        << "no description before a build";
    control.stateForTesting().m_sDescription = u"LED7SEG4";
    EXPECT_EQ(block(u"Open"), u"//Error Reading Code For LED7SEG4::Open\r\n");
    EXPECT_EQ(block(u"DefinesCode "), u"//Error Reading Code For LED7SEG4::DefinesCode \r\n")
        << "the requested name goes into the comment unchanged";
    EXPECT_TRUE(platform.messageBoxes.empty()) << "a missing block is no message";
}

TEST_F(BlockReader, LeavesTheNameArgumentAlone) {
    setCodeFile(crlf({"/*B_Start*/", "b", "/*B_End*/"}));
    start();
    std::u16string name = u"B";
    control.GetCodeFromFile(name);
    EXPECT_EQ(name, u"B");
}

TEST_F(BlockReader, DecodesTheFileWithTheSystemCodePage) {
    setCodeFile("/*B_Start*/\r\nCaf\xE9\r\n/*B_End*/\r\n");
    start();
    EXPECT_EQ(block(u"B"), u"Caf\u00E9\n");
}

TEST_F(BlockReader, ReadsTheFileAfreshOnEveryCall) {
    setCodeFile(crlf({"/*B_Start*/", "one", "/*B_End*/"}));
    start();
    EXPECT_EQ(block(u"B"), u"one\n");
    setCodeFile(crlf({"/*B_Start*/", "two", "/*B_End*/"}));
    EXPECT_EQ(block(u"B"), u"two\n");
    platform.removeFile(codePath());
    EXPECT_EQ(block(u"B"), u"");
}

struct MissingFileCase {
    const char* what;
    bool folderInstead;
    std::u16string secondBox;
};

class MissingCodeFile : public CodegenTest, public ::testing::WithParamInterface<MissingFileCase> {};

TEST_P(MissingCodeFile, BlockReadShowsTwoBoxesInOrderAndAnswersNothing) {
    start();
    if (GetParam().folderInstead) platform.addFolder(codePath());

    EXPECT_EQ(block(u"DefinesCode"), u"");
    ASSERT_EQ(platform.messageBoxes.size(), 2u);
    EXPECT_EQ(platform.messageBoxes[0].text, u"Error - cannot find C code file:\r\n\r\n" + codePath());
    EXPECT_EQ(platform.messageBoxes[1].text, GetParam().secondBox);
    for (const MessageBoxRequest& box : platform.messageBoxes) {
        EXPECT_EQ(box.title, u"ARM_7seg4");
        EXPECT_EQ(box.buttons, msgbox::Ok);
    }
}

TEST_P(MissingCodeFile, KeyReadShowsOneBoxAndAnswersTheDefault) {
    start();
    if (GetParam().folderInstead) platform.addFolder(codePath());

    EXPECT_EQ(iniValue(u"MacroNames", u"Count", u"0"), u"0");
    EXPECT_THAT(platform.messageTexts(),
                ElementsAre(u"Error - cannot find C code file:\r\n\r\n" + codePath()));
}

INSTANTIATE_TEST_SUITE_P(Cases, MissingCodeFile,
                         ::testing::Values(MissingFileCase{"no file", false, u"File not found"},
                                           MissingFileCase{"a folder of that name", true,
                                                           u"Path/File access error"}),
                         caseName<MissingFileCase>);

/// A platform whose reads fail a given number of times before they work again: a file on a
/// share that drops out for a moment.
class FlakyReads : public FakePlatform {
public:
    int failuresLeft = 0;
    HResult failure = hr::DeviceIoError;
    std::vector<std::uint8_t> readFile(const std::u16string& path) override {
        if (failuresLeft > 0) {
            --failuresLeft;
            raise(failure);
        }
        return FakePlatform::readFile(path);
    }
    std::string profileString(std::string_view section, std::string_view key, std::string_view fallback,
                              std::size_t bufferChars, const std::u16string& path) override {
        if (failuresLeft > 0) {
            --failuresLeft;
            raise(failure);
        }
        lastBufferChars = bufferChars;
        lastSection = std::string(section);
        lastKey = std::string(key);
        lastDefault = std::string(fallback);
        return FakePlatform::profileString(section, key, fallback, bufferChars, path);
    }
    std::size_t lastBufferChars = 0;
    std::string lastSection, lastKey, lastDefault;
};

class ReadFailures : public ::testing::Test {
protected:
    FlakyReads platform;
    Led7Seg4 control{platform};
    std::u16string path = platform.folder + u"\\ARM_7seg4.c";

    void SetUp() override {
        platform.setFile(path, crlf({"[S]", "k=v", "/*B_Start*/", "b", "/*B_End*/"}));
        platform.setHostLanguage(u"engb");
        control.Initialize();
        control.InitProperties();
        platform.messageBoxes.clear();
    }
};

TEST_F(ReadFailures, AFailedBlockReadShowsWhyAndTheNextReadWorks) {
    const struct {
        HResult failure;
        const char16_t* box;
    } cases[] = {{hr::DeviceIoError, u"Device I/O error"},
                 {hr::PathFileAccessError, u"Path/File access error"},
                 {hr::FileAlreadyOpen, u"File already open"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.box));
        platform.messageBoxes.clear();
        platform.failure = c.failure;
        platform.failuresLeft = 1;
        std::u16string name = u"B";
        EXPECT_EQ(control.GetCodeFromFile(name), u"");
        EXPECT_THAT(platform.messageTexts(), ElementsAre(c.box))
            << "the file exists, so only the failure box";
        EXPECT_EQ(control.GetCodeFromFile(name), u"b\n") << "nothing was left open by the failed read";
        EXPECT_EQ(platform.messageBoxes.size(), 1u);
    }
}

TEST_F(ReadFailures, AFailedKeyReadShowsWhyAndAnswersNothingNotTheDefault) {
    platform.failuresLeft = 1;
    std::u16string section = u"S", key = u"k", fallback = u"dflt";
    EXPECT_EQ(control.GetIniKeyValue(section, key, fallback), u"");
    EXPECT_THAT(platform.messageTexts(), ElementsAre(u"Device I/O error"));
    EXPECT_EQ(control.GetIniKeyValue(section, key, fallback), u"v");
}

TEST_F(ReadFailures, TheKeyReaderHandsTheReaderANSIStringsAndA255CharacterBuffer) {
    platform.setFile(path, "[Caf\xE9]\r\nN\xE4me=W\xE9rt\r\n");
    std::u16string section = u"Caf\u00E9", key = u"N\u00E4me", fallback = u"d\u00E9faut";
    EXPECT_EQ(control.GetIniKeyValue(section, key, fallback), u"W\u00E9rt");
    EXPECT_EQ(platform.lastBufferChars, 255u);
    EXPECT_EQ(platform.lastSection, "Caf\xE9");
    EXPECT_EQ(platform.lastKey, "N\xE4me");
    EXPECT_EQ(platform.lastDefault, "d\xE9"
                                    "faut");
    EXPECT_EQ(section, u"Caf\u00E9");
    EXPECT_EQ(key, u"N\u00E4me");
    EXPECT_EQ(fallback, u"d\u00E9faut");
}

// ---------------------------------------------------------------- the key reader

struct KeyCase {
    const char* what;
    std::string file;
    std::u16string section, key, fallback, value;
};

class KeyReader : public CodegenTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyReader, FindsEntriesAsTheProfileReaderDoes) {
    const KeyCase& c = GetParam();
    setCodeFile(c.file);
    start();
    EXPECT_EQ(iniValue(c.section.c_str(), c.key.c_str(), c.fallback.c_str()), c.value);
    EXPECT_TRUE(platform.messageBoxes.empty());
}

const std::string kLongValue(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyReader,
    ::testing::Values(KeyCase{"plain entry", crlf({"[MacroNames]", "Count=1"}), u"MacroNames", u"Count", u"0",
                              u"1"},
                      KeyCase{"numbered key with a leading blank", crlf({"[MacroNames]", "1=SHOW_DIGIT"}),
                              u"MacroNames", u" 1", u"", u"SHOW_DIGIT"},
                      KeyCase{"other letter case and blanks", crlf({" [ macronames ] ", "  COUNT  =  2  "}),
                              u"MacroNames", u"Count", u"0", u"2"},
                      KeyCase{"missing key gives the default", crlf({"[MacroNames]", "Count=1"}),
                              u"MacroNames", u"2", u"dflt", u"dflt"},
                      KeyCase{"missing section gives the default", crlf({"[Other]", "Count=1"}),
                              u"MacroNames", u"Count", u"0", u"0"},
                      KeyCase{"quotes are taken off", crlf({"[S]", "k=\"a b\""}), u"S", u"k", u"", u"a b"},
                      KeyCase{"LF-only line ends still work", "[S]\nk=v\n", u"S", u"k", u"", u"v"},
                      KeyCase{"the first section of a name wins", crlf({"[S]", "a=1", "[S]", "k=2"}), u"S",
                              u"k", u"d", u"d"},
                      KeyCase{"code lines with = count as entries of the section above",
                              crlf({"[S]", "/*B_Start*/", "x = 5;", "/*B_End*/"}), u"S", u"x", u"", u"5;"},
                      KeyCase{"a 300-character value is cut to 254", crlf({"[S]", "k=" + kLongValue}), u"S",
                              u"k", u"", std::u16string(254, u'x')},
                      KeyCase{"a long default is cut too", crlf({"[S]"}), u"S", u"k",
                              std::u16string(300, u'd'), std::u16string(254, u'd')}),
    caseName<KeyCase>);

class KeyReads : public CodegenTest {};

TEST_F(KeyReads, ReadTheFileAfreshOnEveryCall) {
    setCodeFile(crlf({"[S]", "k=1"}));
    start();
    EXPECT_EQ(iniValue(u"S", u"k", u""), u"1");
    setCodeFile(crlf({"[S]", "k=2"}));
    EXPECT_EQ(iniValue(u"S", u"k", u""), u"2");
}

// ---------------------------------------------------------------- the file name

TEST(CodeFilename, IsTheModuleFolderAndItsBaseNameWithoutAnyCheck) {
    const struct {
        const char16_t* folder;
        const char16_t* baseName;
        const char16_t* path;
    } cases[] = {
        {u"C:\\Program Files\\Quorvane\\Components", u"ARM_7seg4",
         u"C:\\Program Files\\Quorvane\\Components\\ARM_7seg4.c"},
        {u"D:\\x", u"Other", u"D:\\x\\Other.c"},
        {u"\\\\server\\share", u"ARM_7seg4", u"\\\\server\\share\\ARM_7seg4.c"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.folder = c.folder;
        platform.baseName = c.baseName;
        platform.setHostLanguage(u"engb");
        Led7Seg4 control(platform);
        control.Initialize();
        platform.messageBoxes.clear();
        EXPECT_EQ(control.get_CodeFilename(), c.path);
        EXPECT_TRUE(platform.messageBoxes.empty()) << "no file exists, and no message is shown";
        EXPECT_EQ(platform.fileReads, 0);
    }
}

} // namespace
} // namespace seg4::test
