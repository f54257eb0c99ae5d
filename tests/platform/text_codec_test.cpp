// UTF-8 and letter case as the platform converts and compares them (Windows-1252 is checked
// against the code-page tables in code_pages_test.cpp).
#include "text_codec.h"

#include <gtest/gtest.h>

namespace seg4::text {
namespace {

TEST(TextCodec, Utf8DecodeReplacesEachIllFormedSubsequence) {
    struct Case {
        const char* what;
        std::string bytes;
        std::u16string expected;
    };
    const Case cases[] = {
        {"ASCII", "abc", u"abc"},
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u20AC\U0001F600"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"truncated three-byte sequence is one", "\xE2\x82x", u"\uFFFDx"},
        {"truncated at the end", "a\xF0\x9F\x98", u"a\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"lone continuation bytes", "\x80\xBF", u"\uFFFD\uFFFD"},
        {"NUL is a character", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(decodeUtf8(c.bytes), c.expected);
    }
}

TEST(TextCodec, Utf8EncodeReplacesUnpairedSurrogates) {
    EXPECT_EQ(encodeUtf8(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(encodeUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(encodeUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(TextCodec, UpperCaseOfLatinGreekAndCyrillicLetters) {
    struct Case {
        char16_t lower, upper;
    };
    const Case pairs[] = {
        {u'a', u'A'},           {u'z', u'Z'},           {u'\u00E9', u'\u00C9'}, {u'\u00FE', u'\u00DE'},
        {u'\u00FF', u'\u0178'}, {u'\u0101', u'\u0100'}, {u'\u013A', u'\u0139'}, {u'\u0148', u'\u0147'},
        {u'\u017E', u'\u017D'}, {u'\u03B1', u'\u0391'}, {u'\u03C2', u'\u03A3'}, {u'\u03AD', u'\u0388'},
        {u'\u03CE', u'\u038F'}, {u'\u0430', u'\u0410'}, {u'\u0451', u'\u0401'}, {u'\uFF41', u'\uFF21'}};
    for (const Case& c : pairs) {
        SCOPED_TRACE(static_cast<int>(c.lower));
        EXPECT_EQ(upperCase(c.lower), c.upper);
        EXPECT_EQ(upperCase(c.upper), c.upper);
    }
    const char16_t unchanged[] = {u'1', u'[', u'\u00F7', u'\u00D7', u'\u0131', u'\u0138', u'\u4E2D'};
    for (char16_t c : unchanged) EXPECT_EQ(upperCase(c), c) << static_cast<int>(c);
    EXPECT_TRUE(equalNoCase(u"Stra\u00DFe \u0416", u"STRA\u00DFE \u0436"));
    EXPECT_FALSE(equalNoCase(u"ab", u"abc"));
}

} // namespace
} // namespace seg4::text
