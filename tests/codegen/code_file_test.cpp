// The code file's two views: the block reader's lines and markers, the key reader's lookups,
// and what both do when the file is missing or cannot be read.
#include "code_pages.h"
#include "codegen/code_file.h"
#include "codegen_fixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <random>

namespace seg4::test {
namespace {

using ::testing::ElementsAre;

// Line ends, blanks, repeated and unterminated blocks are FindsWhatReadingEveryLineFinds' random
// files; these rows pin the plain reading itself and the markers both readings share.
TEST(BlockView, GathersTheLinesBetweenWholeLineMarkers) {
    const struct {
        const char16_t* file;
        const char16_t* name;
        const char16_t* text; // nullptr: no complete block, the caller gives the error comment
    } cases[] = {
        {u"x\r\n/*B_Start*/\r\nA\r\nB\r\n/*B_End*/\r\ny\r\n", u"B", u"A\nB\n"}, // joined with LF, last too
        {u"/*B_Start*/\nA\n/*B_End*/\n", u"B", nullptr},                        // a lone LF ends no line
        {u"/*b_Start*/\r\nA\r\n/*b_End*/", u"B", nullptr},                      // letter case spoils a marker
        {u"/*BB_Start*/\r\nA\r\n/*BB_End*/", u"B", nullptr},                    // so does another name
        {u"/* B_Start*/\r\nA\r\n/* B_End*/", u" B", u"A\n"},                    // the name is not trimmed
    };
    for (const auto& c : cases) {
        const codegen::BlockScan scan = codegen::scanBlocks(c.file, c.name);
        EXPECT_EQ(scan.complete(), c.text != nullptr) << toUtf8(c.file);
        EXPECT_EQ(scan.text, c.text ? c.text : scan.text) << toUtf8(c.file);
    }
}

/// The block view read the plain way: every line in turn, compared with the markers.
codegen::BlockScan scanLineByLine(std::u16string_view file, std::u16string_view name) {
    const std::u16string start = codegen::startMarker(name), end = codegen::endMarker(name);
    codegen::BlockScan scan;
    bool inside = false;
    for (std::size_t pos = 0; pos < file.size();) {
        const std::size_t cr = std::min(file.find(u'\r', pos), file.size());
        const std::u16string_view line = file.substr(pos, cr - pos);
        pos = cr + (cr < file.size());
        pos += pos < file.size() && file[pos] == u'\n';
        if (inside && line == end) {
            scan.seenEnd = true, inside = false;
        } else if (inside) {
            scan.text.append(line) += u'\n';
        } else if (line == start) {
            scan.seenStart = inside = true;
        }
    }
    return scan;
}

TEST(BlockView, FindsWhatReadingEveryLineFinds) {
    // Files pieced together at random from markers (whole, cut, in lines with LF and blanks), line
    // ends of every kind and text; names with and without line-end characters.
    const std::u16string pieces[] = {u"/*B_Start*/", u"/*B_End*/", u"/*B_Start",    u"_End*/",
                                     u"\r",          u"\n",        u"\r\n",         u"x",
                                     u" ",           u"/*",        u"/*B\r_Start*/"};
    const std::u16string names[] = {u"B", u"B\r", u"", u"_"};
    std::mt19937 random(7);
    for (int n = 0; n < 20000; ++n) {
        std::u16string file;
        const std::size_t count = random() % 14;
        for (std::size_t i = 0; i < count; ++i) file += pieces[random() % std::size(pieces)];
        const std::string bytes(file.begin(), file.end()); // every piece is below 0x80
        for (const std::u16string& name : names) {
            const codegen::BlockScan plain = scanLineByLine(file, name);
            const auto expectPlain = [&](const codegen::BlockScan& scan, std::size_t piece) {
                ASSERT_EQ(scan.text, plain.text) << toUtf8(file) << " in pieces of " << piece;
                ASSERT_EQ(scan.seenStart, plain.seenStart) << toUtf8(file) << " in pieces of " << piece;
                ASSERT_EQ(scan.seenEnd, plain.seenEnd) << toUtf8(file) << " in pieces of " << piece;
            };
            expectPlain(codegen::scanBlocks(file, name), 0);
            for (const std::size_t piece : {1u, 4u}) {
                codegen::BlockScanner scanner(name);
                for (std::size_t from = 0; from < bytes.size();) {
                    const std::size_t to = codegen::nextPieceEnd(bytes, from, piece);
                    scanner.feed(std::u16string_view(file).substr(from, to - from));
                    from = to;
                }
                expectPlain(scanner.finish(), piece);
            }
        }
    }
}

TEST(BlockReader, DecodingInPiecesGivesTheWholeFilesText) {
    // Bytes that lead, trail, end lines or are ill-formed in one code page or another; decoded
    // whole, in the pieces the block reader takes, and again once the decoder knows them.
    const unsigned char pick[] = {0x0D, 0x0A, 'a',  0x81, 0x82, 0xE0, 0x40,
                                  0xA1, 0xFE, 0x00, 0xFF, 0x80, 0xC3, 0xA9};
    std::mt19937 random(11);
    for (const std::uint32_t page : {932u, 936u, 949u, 950u, 1252u, 1255u, 65001u}) {
        posix::CodePages cold, warm;
        for (int n = 0; n < 300; ++n) {
            std::string bytes;
            for (std::size_t i = random() % 40; i > 0; --i)
                bytes += static_cast<char>(pick[random() % std::size(pick)]);
            const std::u16string whole = cold.decode(bytes, page);
            ASSERT_EQ(warm.decode(bytes, page), whole) << page;
            ASSERT_EQ(warm.decode(bytes, page), whole) << page;
            std::u16string pieces;
            for (std::size_t from = 0; from < bytes.size();) {
                const std::size_t to = codegen::nextPieceEnd(bytes, from, 1 + random() % 4);
                pieces += warm.decode(bytes.substr(from, to - from), page);
                from = to;
            }
            ASSERT_EQ(pieces, whole) << page;
        }
    }
}

TEST(BlockReader, AnswersTheBlockOrTheErrorCommentReadingTheFileAfresh) {
    Display d(crlf({"/*D_Start*/", "Caf\xE9", "/*D_End*/", "/*Open_Start*/", "x"}));
    std::u16string name = u"D";
    EXPECT_EQ(d.control.GetCodeFromFile(name), u"Caf\u00E9\n") << "decoded with the system code page";
    EXPECT_EQ(name, u"D") << "the argument is left alone";
    EXPECT_EQ(d.block(u"Missing"), u"//Error Reading Code For ::Missing\r\n")
        << "no description before a build";
    const codegen::CodeFile file(d.platform, u"ARM_7seg4.c", [](const std::u16string&) { FAIL(); });
    EXPECT_EQ(file.block(u"Open", u"LED7SEG4"), u"//Error Reading Code For LED7SEG4::Open\r\n");
    EXPECT_TRUE(d.platform.messageBoxes.empty()) << "a missing block is no message";

    d.platform.setFile(d.path(), crlf({"/*D_Start*/", "two", "/*D_End*/", "[S]", "k=2"}));
    EXPECT_EQ(d.block(u"D"), u"two\n");
    EXPECT_EQ(d.iniValue(u"S", u"k", u""), u"2");
}

TEST(MissingCodeFile, CostsTheBlockReaderTwoBoxesAndTheKeyReaderOne) {
    // No file, a folder in its place, and a file too large to read, which counts as none.
    const struct {
        const char* what;
        const char16_t* reason; // the second box of a block read
    } cases[] = {{"no file", u"File not found"},
                 {"a folder", u"Path/File access error"},
                 {"a huge file", u"The code file is larger than the 16 MiB the component reads."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool huge = c.reason[0] == u'T';
        Display d(huge ? std::optional<std::string>(crlf({"/*DefinesCode_Start*/", "x", "/*DefinesCode_End*/",
                                                          "[MacroNames]", "Count=1"}))
                       : std::nullopt);
        if (c.reason[0] == u'P') d.platform.addFolder(d.path());
        if (huge) {
            // At the limit the file is still read; one byte more and it is not.
            d.platform.setApparentSize(d.path(), codegen::kMaxCodeFileBytes);
            EXPECT_EQ(d.block(u"DefinesCode"), u"x\n");
            EXPECT_EQ(d.iniValue(u"MacroNames", u"Count", u"0"), u"1");
            d.platform.setApparentSize(d.path(), codegen::kMaxCodeFileBytes + 1);
            d.platform.fileReads = 0;
        }
        const std::u16string missing = u"Error - cannot find C code file:\r\n\r\n" + d.path();
        EXPECT_EQ(d.block(u"DefinesCode"), u"");
        EXPECT_THAT(d.platform.messageTexts(), ElementsAre(missing, c.reason));
        for (const MessageBoxRequest& box : d.platform.messageBoxes)
            EXPECT_TRUE(box.title == u"ARM_7seg4" && box.buttons == msgbox::Ok);
        d.platform.messageBoxes.clear();
        EXPECT_EQ(d.iniValue(u"MacroNames", u"Count", u"0"), u"0");
        EXPECT_THAT(d.platform.messageTexts(), ElementsAre(missing));
        if (huge) {
            EXPECT_EQ(d.platform.fileReads, 0) << "a file beyond the limit is never read";
        }
    }
}

TEST(BlockReader, ReadsSeveralBlocksOnceAndAnswersAsOneReadPerBlock) {
    // Each fault of the file services on the first read, once and for good, and the file's
    // absent and huge states: the names read together must answer and say what reading them one
    // by one says, and a file that reads without a message is read once for all of them. (A
    // fault on a later read is a file that changes between calls: read together, the names
    // see the file as it was at their one read.)
    const std::string file = crlf({"/*A_Start*/", "a", "/*A_End*/", "/*B_Start*/", "b", "/*B_End*/"});
    const std::array<std::u16string, 3> names{u"A", u"Gone", u"B"};
    struct Case {
        const char* what;
        std::optional<Fault> fault;
        bool absent = false, huge = false;
    };
    std::vector<Case> cases{{"a good file", std::nullopt},
                            {"no file", std::nullopt, true},
                            {"a huge file", std::nullopt, false, true}};
    for (const bool persistent : {false, true}) {
        cases.push_back({"file check", Fault{Service::FileCheck, 1, persistent}});
        cases.push_back({"file read", Fault{Service::FileRead, 1, persistent}});
        cases.push_back({"out of memory", Fault{Service::FileRead, 1, persistent, true}});
    }
    // Decoding the same bytes fails every time or never.
    cases.push_back({"decoding", Fault{Service::Decode, 1, true}});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (c.fault && c.fault->persistent ? " for good" : ""));
        const auto start = [&](Display& d) {
            if (c.absent) d.platform.removeFile(d.path());
            if (c.huge) d.platform.setApparentSize(d.path(), codegen::kMaxCodeFileBytes + 1);
            if (c.fault) d.platform.inject(*c.fault);
            d.platform.fileReads = 0;
        };
        Display alone(file), together(file);
        start(alone);
        start(together);
        std::vector<std::u16string> oneByOne;
        for (const std::u16string& name : names) oneByOne.push_back(alone.block(name));
        const codegen::CodeFile codeFile(together.platform, u"ARM_7seg4.c", [&](const std::u16string& text) {
            together.platform.messageBox({text, u"ARM_7seg4"});
        });
        EXPECT_EQ(codeFile.blocks(names, u""), oneByOne);
        EXPECT_EQ(together.platform.messageTexts(), alone.platform.messageTexts());
        if (together.platform.messageBoxes.empty()) {
            EXPECT_EQ(together.platform.fileReads, 1);
        }
        if (!c.fault && !c.absent && !c.huge) {
            EXPECT_EQ(oneByOne[0] + oneByOne[2], u"a\nb\n");
        }
    }
}

TEST(KeyReader, HandsTheProfileReaderAnsiTextAndKeepsAt254Characters) {
    const struct {
        std::string file;
        std::u16string section, key, fallback, value;
    } cases[] = {
        {"[Caf\xE9]\r\nN\xE4me=W\xE9rt\r\n", u"Caf\u00E9", u"N\u00E4me", u"d", u"W\u00E9rt"},
        {crlf({"[S]", "k=1"}), u"S", u"2", u"d\u00E9faut", u"d\u00E9faut"},
        {"[S]\nk=v\n", u"S", u"k", u"", u"v"}, // LF-only line ends still work here
        {crlf({"[S]", "k=" + std::string(300, 'x')}), u"S", u"k", u"", std::u16string(254, u'x')},
        {crlf({"[S]"}), u"S", u"k", std::u16string(300, u'd'), std::u16string(254, u'd')},
    };
    for (const auto& c : cases) {
        Display d(c.file);
        std::u16string section = c.section, key = c.key, fallback = c.fallback;
        EXPECT_EQ(d.control.GetIniKeyValue(section, key, fallback), c.value) << c.file;
        EXPECT_EQ(section + key + fallback, c.section + c.key + c.fallback) << "arguments left alone";
        EXPECT_TRUE(d.platform.messageBoxes.empty());
    }
}

TEST(CodeFilename, IsTheModuleFolderAndBaseNameWithoutAnyCheckOrMessage) {
    FakePlatform platform;
    platform.folder = u"\\\\server\\share";
    platform.baseName = u"Other";
    Led7Seg4 control(platform);
    control.Initialize();
    platform.messageBoxes.clear();
    EXPECT_EQ(control.get_CodeFilename(), u"\\\\server\\share\\Other.c");
    EXPECT_TRUE(platform.messageBoxes.empty());
    EXPECT_EQ(platform.fileReads, 0);
}

} // namespace
} // namespace seg4::test
