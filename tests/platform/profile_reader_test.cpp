// The profile reader's rules that the Wine stage's comparison with the platform's own reader on
// generated files does not reach: the nameless section, "]" in names, NULs, a buffer of none, a
// default of blanks, long lines, letters beyond A to Z, marked encodings and code pages. (Letter
// case and blanks, repeated sections and keys, lines without "=", line ends, quotes, defaults and
// short buffers are all in its generated files.)
#include "code_pages.h"
#include "profile_reader.h"

#include <gtest/gtest.h>

namespace seg4 {
namespace {

TEST(ProfileReader, WhatTheComparisonWithThePlatformDoesNotReach) {
    const struct {
        const char* what;
        std::string content;
        const char *section, *key, *fallback;
        std::size_t buffer;
        std::string expected;
    } cases[] = {
        {"lines before the first section belong to none", "x=0\n[]\nx=1\n", "", "x", "d", 255, "1"},
        {"section name up to the last ], text after it ignored", "[ a]b ] junk\nx=1\n", "a]b", "x", "d", 255,
         "1"},
        {"key name stops at NUL", std::string("[a]\nx\0junk=1\n", 13), "a", "x", "d", 255, "1"},
        {"value stops at NUL", std::string("[a]\nx=1\0 2\n", 11), "a", "x", "d", 255, "1"},
        {"default of spaces keeps one", "", "a", "x", "   ", 255, " "},
        {"no buffer", "[a]\nx=1\n", "a", "x", "d", 0, ""},
        {"very long line", "[a]\nx=" + std::string(100000, 'v') + "\n", "a", "x", "d", 100001,
         std::string(100000, 'v')},
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
