// Windows code pages on Linux: the code page of each locale, conversions both ways and what
// becomes of characters and bytes that do not convert.
#include "code_pages.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace seg4::posix {
namespace {

TEST(CodePages, AnsiCodePageOfTheLanguagesAndOtherLocales) {
    struct Case {
        std::uint32_t lcid, codePage;
    };
    const Case cases[] = {
        // The locales of the component's languages.
        {2057, 1252},
        {1031, 1252},
        {1043, 1252},
        {1034, 1252},
        {1035, 1252},
        {1036, 1252},
        {1040, 1252},
        {2052, 936},
        {1032, 1253},
        {1030, 1252},
        {1054, 874},
        {1048, 1250},
        {1051, 1250},
        {1038, 1250},
        {1046, 1252},
        {2070, 1252},
        {1066, 1258},
        {1060, 1250},
        {1041, 932},
        {1055, 1254},
        {1053, 1252},
        {1049, 1251},
        {1028, 950},
        {1045, 1250},
        // Others: Traditional Chinese of Hong Kong, Korean, Hebrew, Arabic, Lithuanian, Czech,
        // Ukrainian, Serbian in Latin and in Cyrillic script, English (US).
        {3076, 950},
        {1042, 949},
        {1037, 1255},
        {1025, 1256},
        {1063, 1257},
        {1029, 1250},
        {1058, 1251},
        {2074, 1250},
        {3098, 1251},
        {1033, 1252},
        // Neutral, user and system default follow the system code page.
        {0, 1251},
        {0x400, 1251},
        {0x800, 1251}};
    for (const Case& c : cases) EXPECT_EQ(ansiCodePageOfLocale(c.lcid, 1251), c.codePage) << c.lcid;
}

TEST(CodePages, ConvertsTextBothWays) {
    struct Case {
        std::uint32_t codePage;
        std::u16string text;
        std::string bytes;
    };
    const Case cases[] = {
        {1252, u"Gr\u00FC\u00DFe \u20AC",
         "Gr\xFC\xDF"
         "e \x80"},
        {1250, u"\u0141\u00F3d\u017A",
         "\xA3\xF3"
         "d\x9F"},
        {1251, u"\u041F\u0440\u0438\u0432\u0435\u0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {1253, u"\u0391\u03C9", "\xC1\xF9"},
        {1254, u"\u011F\u0130", "\xF0\xDD"},
        {1257, u"\u0101\u0161", "\xE2\xF0"},
        {1258, u"\u00E1\u0301", "\xE1\xEC"},
        {874, u"\u0E01\u0E3F", "\xA1\xDF"},
        {932, u"\u65E5\u672C\uFF71", "\x93\xFA\x96\x7B\xB1"},
        {936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        {949, u"\uD55C\uAD6D", "\xC7\xD1\xB1\xB9"},
        {950, u"\u4E2D\u6587", "\xA4\xA4\xA4\xE5"},
        {20127, u"plain", "plain"},
        {932, u"\uE000\uE03F", "\xF0\x40\xF0\x80"}, // user-defined areas are private-use characters
        {936, u"\uE4C6\uE000", "\xA1\x40\xAA\xA1"},
        {950, u"\u2550\uE000", "\xF9\xF9\xFA\x40"},
        {65001, u"\u00E9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
    };
    CodePages pages;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        EXPECT_EQ(pages.encode(c.text, c.codePage), c.bytes);
        EXPECT_EQ(pages.decode(c.bytes, c.codePage), c.text);
    }
}

TEST(CodePages, UnitsTheCodePageCannotHoldBecomeQuestionMarks) {
    struct Case {
        std::uint32_t codePage;
        std::u16string text;
        std::string bytes;
    };
    const Case cases[] = {
        {1252, u"a\u03A9b", "a?b"},
        {1252, u"\U0001F600", "??"}, // one for each half of the pair
        {1252, u"\u0100", "?"},      // no best-fit 'A'
        {1258, u"\u1EBF", "?"},      // precomposed Vietnamese is not decomposed
        {1251, u"\u00E9\u0416", "?\xC6"},
        {20127, u"\u00E9", "?"},
        {932, u"\u00E9\U0001F600x", "???x"},
        {932, u"\u00A5\u2212", "??"}, // no yen for backslash, no minus for hyphen
        {936, u"\u0E01", "?"},
        {65001, std::u16string(1, char16_t(0xDFFF)), "\xEF\xBF\xBD"},
    };
    CodePages pages;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        EXPECT_EQ(pages.encode(c.text, c.codePage), c.bytes);
    }
}

TEST(CodePages, BytesWithoutCharacterDecodeAsThePlatformDecodesThem) {
    struct Case {
        const char* what;
        std::uint32_t codePage;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"undefined 1252 byte is its C1 control", 1252, "\x81\x9D", u"\u0081\u009D"},
        {"undefined Greek bytes are private use", 1253, "\xAA\xD2\xFF", u"\uF8F9\uF8FA\uF8FB"},
        {"Hebrew point the platform defines", 1255, "\xCA\xD9\xFF", u"\u05BA\uF88D\uF896"},
        {"undefined Thai bytes are private use", 874, "\xDB\xFF", u"\uF8C1\uF8C8"},
        {"Baltic", 1257, "\xA1\xA5", u"\uF8FC\uF8FD"},
        {"US-ASCII drops the top bit", 20127, "\xC1\x80", std::u16string(u"A\0", 2)},
        {"932: a lead byte takes its invalid trail byte with it", 932, "\x81 a", u"\u30FBa"},
        {"932: but not a NUL", 932, std::string("\x81\0a", 3), std::u16string(u"\u30FB\0a", 3)},
        {"932: lead byte at the end", 932, "a\x81", u"a\u30FB"},
        {"932: lone bytes the platform defines", 932, "\x80\xA0\xFF", u"\u0080\uF8F0\uF8F3"},
        {"936: pair without character", 936, "\x81 a", u"?a"},
        {"936: lone byte the platform defines", 936, "\x80\xFF", u"\u20AC\uF8F5"},
        {"UTF-8", 65001, "a\xC0\xAF", u"a\uFFFD\uFFFD"},
        {"1258 combining mark stays apart", 1258, "a\xEC", u"a\u0301"},
    };
    CodePages pages;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pages.decode(c.bytes, c.codePage), c.text);
    }
}

TEST(CodePages, EverySingleByteRoundTrips) {
    CodePages pages;
    for (std::uint32_t cp : {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u}) {
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const std::u16string decoded = pages.decode(byte, cp);
            ASSERT_EQ(decoded.size(), 1u) << cp << " byte " << b;
            EXPECT_NE(decoded[0], u'\uFFFD') << cp << " byte " << b;
            EXPECT_EQ(pages.encode(decoded, cp), byte) << cp << " byte " << b;
        }
    }
}

TEST(CodePages, BuiltInWindows1252AgreesWithTheTables) {
    CodePages pages;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(text::decodeWindows1252(byte), pages.decode(byte, 1252)) << b;
    }
    for (std::uint32_t u = 0; u < 0x10000; ++u) {
        const std::u16string unit(1, static_cast<char16_t>(u));
        ASSERT_EQ(text::encodeWindows1252(unit), pages.encode(unit, 1252)) << u;
    }
}

TEST(CodePages, UnknownCodePagesFailClearly) {
    CodePages pages;
    for (std::uint32_t cp : {0u, 437u, 1200u, 12345u}) {
        EXPECT_FALSE(CodePages::isSupported(cp));
        EXPECT_THROW(pages.encode(u"a", cp), std::runtime_error) << cp;
        EXPECT_THROW(pages.decode("a", cp), std::runtime_error) << cp;
    }
}

} // namespace
} // namespace seg4::posix
