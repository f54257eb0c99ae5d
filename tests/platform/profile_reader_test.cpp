// The profile reader's rules: lookup, values, buffer, encodings of the file. The Wine stage
// compares it with the platform's own reader on generated files; the rows here keep one case
// of each rule, and what that comparison does not reach (NULs, marked encodings, code pages).
#include "code_pages.h"
#include "profile_reader.h"

#include <gtest/gtest.h>

namespace seg4 {
namespace {

TEST(ProfileReader, FindsSectionsKeysAndValuesAndFillsTheBuffer) {
    const std::string file = "[Macros]\r\nCount=2\r\n 1 = SHOW_DIGIT \r\n[Other]\r\nCount=9\r\nq=\"123\"\r\n";
    const struct {
        const char* what;
        std::string content;
        const char *section, *key, *fallback;
        std::size_t buffer;
        std::string expected;
    } cases[] = {
        {"letter case and blanks around names", file, " \tmACROS ", "  1 ", "d", 255, "SHOW_DIGIT"},
        {"second section", file, "Other", "Count", "d", 255, "9"},
        {"missing key", file, "Macros", "2", "d", 255, "d"},
        {"only the first section of a name", "[a]\nx=1\n[b]\n[A]\nx=2\ny=3\n", "a", "y", "d", 255, "d"},
        {"first entry of a key", "[a]\nx=1\nX=2\n", "a", "x", "d", 255, "1"},
        {"entry without = shadows a later one", "[a]\nx\nx=2\n", "a", "x", "d", 255, "d"},
        {"lone LF and lone CR end lines", "[a]\nx=1\ry=2\r\n\r\nz=3", "a", "z", "d", 255, "3"},
        {"lines before the first section belong to none", "x=0\n[]\nx=1\n", "", "x", "d", 255, "1"},
        {"section name up to the last ], text after it ignored", "[ a]b ] junk\nx=1\n", "a]b", "x", "d", 255,
         "1"},
        {"key name stops at NUL", std::string("[a]\nx\0junk=1\n", 13), "a", "x", "d", 255, "1"},
        {"value stops at NUL", std::string("[a]\nx=1\0 2\n", 11), "a", "x", "d", 255, "1"},
        {"single quotes", "[a]\nx= 'q v' \n", "a", "x", "d", 255, "q v"},
        {"quotes that do not match", "[a]\nx=\"q'\n", "a", "x", "d", 255, "\"q'"},
        {"quoted default", "", "a", "x", "'d'", 255, "d"},
        {"default loses trailing spaces", "", "a", "x", " d  ", 255, " d"},
        {"default of spaces keeps one", "", "a", "x", "   ", 255, " "},
        {"a buffer of n holds n - 1", file, "Macros", "1", "d", 6, "SHOW_"},
        {"no buffer", file, "Macros", "Count", "d", 0, ""},
        {"default cut too", file, "a", "none", "default", 4, "def"},
        {"quoted value with room", file, "Other", "q", "d", 5, "123"},
        {"quoted value exactly filling the buffer loses one more", file, "Other", "q", "d", 4, "12"},
        {"very long line", "[a]\nx=" + std::string(100000, 'v') + "\n", "a", "x", "d", 100001,
         std::string(100000, 'v')},
        {"ANSI bytes come back unchanged", "[a]\nx=\xE9\x80\x81\n", "a", "x", "d", 255, "\xE9\x80\x81"},
        {"ANSI letters other than A to Z keep their case", "[\xC4]\nx=1\n", "\xE4", "x", "d", 255, "d"},
        {"UTF-8 with mark, answer in the ANSI code page", "\xEF\xBB\xBF[a]\nx=\xC3\xA9\xD0\x9A\n", "a", "x",
         "d", 255, "\xE9?"},
        {"UTF-16LE with mark", std::string("\xFF\xFE[\0a\0]\0\n\0x\0=\0\xE9\0\x3A\x04\n\0", 20), "a", "x",
         "d", 255, "\xE9?"},
        {"UTF-16BE with mark, odd last byte", std::string("\xFE\xFF\0[\0a\0]\0\n\0x\0=\0\xE9", 17), "a", "x",
         "d", 255, "\xE9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readProfileString(c.content, c.section, c.key, c.fallback, c.buffer), c.expected) << c.what;
}

TEST(ProfileReader, RequestAndAnswerUseTheGivenCodePage) {
    posix::CodePages pages;
    const text::AnsiCodec cyrillic{[&](std::string_view b) { return pages.decode(b, 1251); },
                                   [&](std::u16string_view t) { return pages.encode(t, 1251); }};
    // A section "Кл" (CA EB in 1251) in a UTF-8 file is found by its 1251 name; "é" has no 1251 byte.
    const std::string file = "\xEF\xBB\xBF[\xD0\x9A\xD0\xBB]\nx=\xD0\x94\xC3\xA9\n";
    EXPECT_EQ(readProfileString(file, "\xCA\xEB", "x", "d", 255, cyrillic), "\xC4?");
}

TEST(ProfileReader, UnreadableFileGivesTheDefaultWithItsQuotes) {
    const text::AnsiCodec& ansi = text::windows1252();
    EXPECT_EQ(unreadableProfileString("\"d\"  ", 255, ansi), "\"d\"");
    EXPECT_EQ(unreadableProfileString("default", 4, ansi), "def");
    EXPECT_EQ(unreadableProfileString("default", 0, ansi), "");
}

} // namespace
} // namespace seg4
