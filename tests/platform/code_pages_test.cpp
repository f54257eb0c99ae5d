// Text on Linux as Windows converts it: the code page of each locale, conversions both ways,
// what becomes of characters and bytes that do not convert, UTF-8 and letter case.
#include "code_pages.h"
#include "text_codec.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace seg4::posix {
namespace {

TEST(CodePages, AnsiCodePageOfLocales) {
    // One locale of each code page; Chinese and Serbian tell their scripts by the sublanguage;
    // neutral, user and system default follow the system code page (1251 here).
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {1031, 1252}, {2070, 1252}, {2052, 936},  {1028, 950},  {3076, 950},  {1041, 932},   {1042, 949},
        {1032, 1253}, {1055, 1254}, {1037, 1255}, {1025, 1256}, {1063, 1257}, {1066, 1258},  {1054, 874},
        {1048, 1250}, {2074, 1250}, {1049, 1251}, {3098, 1251}, {0, 1251},    {0x400, 1251}, {0x800, 1251}};
    for (const auto& [lcid, codePage] : cases) EXPECT_EQ(ansiCodePageOfLocale(lcid, 1251), codePage) << lcid;
}

TEST(CodePages, ConvertTextBothWays) {
    const struct {
        std::uint32_t codePage;
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {1252, u"Gr\u00FC\u00DFe \u20AC",
         "Gr\xFC\xDF"
         "e \x80"},
        {1250, u"\u0141\u00F3d\u017A",
         "\xA3\xF3"
         "d\x9F"},
        {1251, u"\u041F\u0440\u0438", "\xCF\xF0\xE8"},
        {1253, u"\u0391\u03C9", "\xC1\xF9"},
        {1258, u"\u00E1\u0301", "\xE1\xEC"}, // a combining mark stays apart
        {874, u"\u0E01\u0E3F", "\xA1\xDF"},
        {932, u"\u65E5\u672C\uFF71", "\x93\xFA\x96\x7B\xB1"},
        {936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        {949, u"\uD55C\uAD6D", "\xC7\xD1\xB1\xB9"},
        {950, u"\u4E2D\u6587", "\xA4\xA4\xA4\xE5"},
        {932, u"\uE000\uE03F", "\xF0\x40\xF0\x80"}, // user-defined areas are private-use characters
        {65001, u"\u00E9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
    };
    CodePages pages;
    for (const auto& c : cases) {
        EXPECT_EQ(pages.encode(c.text, c.codePage), c.bytes) << c.codePage;
        EXPECT_EQ(pages.decode(c.bytes, c.codePage), c.text) << c.codePage;
    }
}

TEST(CodePages, WhatDoesNotConvertBecomesWhatWindowsMakesOfIt) {
    const struct {
        std::uint32_t codePage;
        std::u16string text;
        std::string bytes;
    } unencodable[] = {
        {1252, u"a\u03A9b", "a?b"},
        {1252, u"\U0001F600", "??"},  // one for each half of the pair
        {1252, u"\u0100", "?"},       // no best-fit 'A'
        {932, u"\u00A5\u2212", "??"}, // no yen for backslash, no minus for hyphen
        {65001, std::u16string(1, char16_t(0xDFFF)), "\xEF\xBF\xBD"},
    };
    const struct {
        const char* what;
        std::uint32_t codePage;
        std::string bytes;
        std::u16string text;
    } undecodable[] = {
        {"undefined 1252 byte is its C1 control", 1252, "\x81\x9D", u"\u0081\u009D"},
        {"undefined Greek bytes are private use", 1253, "\xAA\xD2\xFF", u"\uF8F9\uF8FA\uF8FB"},
        {"US-ASCII drops the top bit", 20127, "\xC1\x80", std::u16string(u"A\0", 2)},
        {"932: a lead byte takes its invalid trail byte with it", 932, "\x81 a", u"\u30FBa"},
        {"932: but not a NUL", 932, std::string("\x81\0a", 3), std::u16string(u"\u30FB\0a", 3)},
        {"932: lone bytes the platform defines", 932, "\x80\xA0\xFF", u"\u0080\uF8F0\uF8F3"},
        {"936: pair without character", 936, "\x81 a", u"?a"},
    };
    CodePages pages;
    for (const auto& c : unencodable) EXPECT_EQ(pages.encode(c.text, c.codePage), c.bytes) << c.codePage;
    for (const auto& c : undecodable) EXPECT_EQ(pages.decode(c.bytes, c.codePage), c.text) << c.what;
    for (std::uint32_t cp : {0u, 437u, 1200u, 12345u}) {
        EXPECT_FALSE(CodePages::isSupported(cp));
        EXPECT_THROW(pages.encode(u"a", cp), std::runtime_error) << cp;
        EXPECT_THROW(pages.decode("a", cp), std::runtime_error) << cp;
    }
}

TEST(CodePages, EverySingleByteRoundTripsAndBuiltIn1252AgreesWithTheTables) {
    CodePages pages;
    for (std::uint32_t cp : {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u})
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const std::u16string decoded = pages.decode(byte, cp);
            ASSERT_TRUE(decoded.size() == 1 && decoded[0] != u'\uFFFD') << cp << " byte " << b;
            ASSERT_EQ(pages.encode(decoded, cp), byte) << cp << " byte " << b;
            if (cp == 1252) {
                ASSERT_EQ(text::decodeWindows1252(byte), decoded) << b;
            }
        }
    for (std::uint32_t u = 0; u < 0x10000; ++u) {
        const std::u16string unit(1, static_cast<char16_t>(u));
        ASSERT_EQ(text::encodeWindows1252(unit), pages.encode(unit, 1252)) << u;
    }
}

TEST(TextCodec, Utf8ReplacesEachIllFormedSubsequence) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                     // overlong slash
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},           // encoded surrogate
        {"\xE2\x82x", u"\uFFFDx"},                         // a truncated sequence is one
        {"a\xF0\x9F\x98", u"a\uFFFD"},                     // truncated at the end
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {std::string("\x80\0b", 3), std::u16string(u"\uFFFD\0b", 3)},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(text::decodeUtf8(bytes), text);
    EXPECT_EQ(text::encodeUtf8(std::u16string(1, char16_t(0xD800)) + u"x\U0001F600"),
              "\xEF\xBF\xBDx\xF0\x9F\x98\x80");
    EXPECT_EQ(text::encodeUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

} // namespace
} // namespace seg4::posix
