// The profile reader's rules: lookup, values, buffer, encodings of the file.
#include "code_pages.h"
#include "profile_reader.h"

#include <gtest/gtest.h>

namespace seg4 {
namespace {

struct ProfileCase {
    const char* what;
    std::string content;
    const char* section;
    const char* key;
    const char* fallback;
    std::size_t buffer;
    std::string expected;
};

void check(const ProfileCase& c) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(readProfileString(c.content, c.section, c.key, c.fallback, c.buffer), c.expected);
}

TEST(ProfileReader, FindsSectionsAndKeys) {
    const std::string file = "[Macros]\r\nCount=2\r\n 1 = SHOW_DIGIT \r\n[Other]\r\nCount=9\r\n";
    const ProfileCase cases[] = {
        {"plain", file, "Macros", "Count", "d", 255, "2"},
        {"letter case of section and key", file, "mACROS", "COUNT", "d", 255, "2"},
        {"blanks around the entry in the file", file, "Macros", "1", "d", 255, "SHOW_DIGIT"},
        {"blanks around the request", file, " \tMacros ", "  1 ", "d", 255, "SHOW_DIGIT"},
        {"second section", file, "Other", "Count", "d", 255, "9"},
        {"missing key", file, "Macros", "2", "d", 255, "d"},
        {"missing section", file, "None", "Count", "d", 255, "d"},
        {"only the first section of a name", "[a]\nx=1\n[b]\n[A]\nx=2\ny=3\n", "a", "y", "d", 255, "d"},
        {"first entry of a key", "[a]\nx=1\nX=2\n", "a", "x", "d", 255, "1"},
        {"entry without = shadows a later one", "[a]\nx\nx=2\n", "a", "x", "d", 255, "d"},
        {"lone LF and lone CR end lines", "[a]\nx=1\ry=2\r\n\r\nz=3", "a", "z", "d", 255, "3"},
        {"a file with CR only", "[a]\rx=1\ry=2\r", "a", "y", "d", 255, "2"},
        {"lines before the first section belong to none", "x=0\n[]\nx=1\n", "", "x", "d", 255, "1"},
        {"no section at all", "x=0\n", "", "x", "d", 255, "d"},
        {"section name trimmed, text after ] ignored", "[ a ] junk\nx=1\n", "a", "x", "d", 255, "1"},
        {"section name up to the last ]", "[a]b]\nx=1\n", "a]b", "x", "d", 255, "1"},
        {"[ without ] is an entry", "[a]\n[b=2\n", "a", "[b", "d", 255, "2"},
        {"[ without ] does not end the section", "[a]\n[b\nx=1\n", "a", "x", "d", 255, "1"},
        {"comment lines are entries of their own key", "[a]\n;x=1\nx=2\n", "a", ";x", "d", 255, "1"},
        {"comment lines do not hide keys", "[a]\n;x=1\nx=2\n", "a", "x", "d", 255, "2"},
        {"empty key finds =value", "[a]\n  = v\n", "a", "", "d", 255, "v"},
        {"empty key without such an entry", "[a]\nx=1\n", "a", "", "d", 255, "d"},
        {"tab, ^Z and form feed are blanks", "[a]\n\x1Ax\t=\f1\x1A\n", "a", "x", "d", 255, "1"},
        {"key name stops at NUL", std::string("[a]\nx\0junk=1\n", 13), "a", "x", "d", 255, "1"},
        {"value stops at NUL", std::string("[a]\nx=1\0 2\n", 11), "a", "x", "d", 255, "1"},
        {"empty file", "", "a", "x", "d", 255, "d"},
    };
    for (const ProfileCase& c : cases) check(c);
}

TEST(ProfileReader, ValuesLoseBlanksAndMatchingQuotes) {
    const ProfileCase cases[] = {
        {"double quotes", "[a]\nx=\"q v\"\n", "a", "x", "d", 255, "q v"},
        {"single quotes", "[a]\nx= 'q v' \n", "a", "x", "d", 255, "q v"},
        {"quotes that do not match", "[a]\nx=\"q'\n", "a", "x", "d", 255, "\"q'"},
        {"a lone quote", "[a]\nx=\"\n", "a", "x", "d", 255, "\""},
        {"empty quotes", "[a]\nx=\"\"\n", "a", "x", "d", 255, ""},
        {"inner quotes stay", "[a]\nx=a\"b\"\n", "a", "x", "d", 255, "a\"b\""},
        {"equals signs after the first belong to the value", "[a]\nx==1=2\n", "a", "x", "d", 255, "=1=2"},
        {"empty value is a value", "[a]\nx=\n", "a", "x", "d", 255, ""},
        {"quoted default", "", "a", "x", "'d'", 255, "d"},
        {"default loses trailing spaces", "", "a", "x", " d  ", 255, " d"},
        {"default of spaces keeps one", "", "a", "x", "   ", 255, " "},
    };
    for (const ProfileCase& c : cases) check(c);
}

TEST(ProfileReader, BufferOfNCharactersHoldsNMinusOne) {
    const std::string file = "[a]\nx=12345\nq=\"123\"\n";
    const std::string longLine = "[a]\nx=" + std::string(100000, 'v') + "\n";
    const ProfileCase cases[] = {
        {"fits", file, "a", "x", "d", 6, "12345"},
        {"one short", file, "a", "x", "d", 5, "1234"},
        {"one character", file, "a", "x", "d", 2, "1"},
        {"only the terminator", file, "a", "x", "d", 1, ""},
        {"no buffer", file, "a", "x", "d", 0, ""},
        {"default cut too", file, "a", "none", "default", 4, "def"},
        {"quoted value with room", file, "a", "q", "d", 5, "123"},
        {"quoted value exactly filling the buffer loses one more", file, "a", "q", "d", 4, "12"},
        {"quoted value cut", file, "a", "q", "d", 3, "12"},
        {"value of 300 characters in 255", "[a]\nx=" + std::string(300, 'v'), "a", "x", "d", 255,
         std::string(254, 'v')},
        {"very long line", longLine, "a", "x", "d", 100001, std::string(100000, 'v')},
    };
    for (const ProfileCase& c : cases) check(c);
}

TEST(ProfileReader, ReadsAnsiUtf8AndUtf16Files) {
    const std::string utf16le("\xFF\xFE[\0a\0]\0\n\0x\0=\0\xE9\0\x3A\x04\n\0", 20);
    const std::string utf16be("\xFE\xFF\0[\0a\0]\0\n\0x\0=\0\xE9", 17); // odd size: last byte is no character
    const ProfileCase cases[] = {
        {"ANSI bytes come back unchanged", "[a]\nx=\xE9\x80\x81\n", "a", "x", "d", 255, "\xE9\x80\x81"},
        {"ANSI letters other than A to Z keep their case", "[\xC4]\nx=1\n", "\xE4", "x", "d", 255, "d"},
        {"ANSI letters other than A to Z match exactly", "[\xC4]\nx=1\n", "\xC4", "X", "d", 255, "1"},
        {"UTF-8 with mark, answer in the ANSI code page", "\xEF\xBB\xBF[a]\nx=\xC3\xA9\xD0\x9A\n", "a", "x",
         "d", 255, "\xE9?"},
        {"UTF-16LE with mark", utf16le, "a", "x", "d", 255, "\xE9?"},
        {"UTF-16BE with mark", utf16be, "a", "x", "d", 255, "\xE9"},
        {"mark without a section", "\xEF\xBB\xBF", "a", "x", "d", 255, "d"},
    };
    for (const ProfileCase& c : cases) check(c);
}

TEST(ProfileReader, RequestAndAnswerUseTheGivenCodePage) {
    posix::CodePages pages;
    const text::AnsiCodec cyrillic{[&](std::string_view b) { return pages.decode(b, 1251); },
                                   [&](std::u16string_view t) { return pages.encode(t, 1251); }};
    // A section "Кл" (CA EB in 1251) in a UTF-8 file is found by its 1251 name.
    const std::string file = "\xEF\xBB\xBF[\xD0\x9A\xD0\xBB]\nx=\xD0\x94\xD0\xB0\n";
    EXPECT_EQ(readProfileString(file, "\xCA\xEB", "x", "d", 255, cyrillic), "\xC4\xE0");
    const std::string utf8File = "\xEF\xBB\xBF[a]\nx=\xD0\x94\xC3\xA9\n"; // "Дé"
    EXPECT_EQ(readProfileString(utf8File, "a", "x", "d", 255, cyrillic), "\xC4?");
}

TEST(ProfileReader, UnreadableFileGivesTheDefaultWithItsQuotes) {
    const text::AnsiCodec& ansi = text::windows1252();
    EXPECT_EQ(unreadableProfileString("\"d\"  ", 255, ansi), "\"d\"");
    EXPECT_EQ(unreadableProfileString("default", 4, ansi), "def");
    EXPECT_EQ(unreadableProfileString("default", 0, ansi), "");
}

} // namespace
} // namespace seg4
