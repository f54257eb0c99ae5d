// The Language class: code tables, the host's registry entries, texts, help and translation files,
// code-page conversion.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "fake_platform.h"
#include "helpers.h"
#include "localisation/language.h"

#include <gtest/gtest.h>

#include <functional>

namespace seg4 {
namespace {

using test::failureOf;

const std::u16string kInfoKey = u"Software\\DelmarshSW\\QuorvaneV4\\Info";

/// A language started as every user starts it: the host's entries read, then the code stored
/// by the host, upper-cased, chosen.
template <class P = test::FakePlatform>
struct Started {
    P platform;
    Language language{platform};

    explicit Started(const std::u16string& hostCode, std::function<void(P&)> setUp = {}) {
        platform.setHostLanguage(hostCode);
        if (setUp) setUp(platform);
        language.LoadResources(u"");
        std::u16string code = upperCaseLanguageCode(language.GetLang());
        language.SetLanguageId(code);
    }
};

TEST(LanguageCodes, WholeCodesThenPrefixesElseEnglishWithAWarning) {
    const struct {
        std::u16string code, codeAfter;
        std::int16_t offset, locale;
        bool warns;
    } rows[] = {
        {u"DEDE", u"DEDE", 400, 1031, false},
        {u"ZHHK", u"ZHHK", 4600, 1028, false},
        {u"ZHTW", u"ZHTW", 4600, 1028, false},
        // Only a prefix is recognised, and the caller's code is shortened to it.
        {u"ZHSG", u"ZH", 1600, 2052, false},
        {u"ENUS", u"EN", 200, 2057, false},
        // Not recognised: English, after a warning naming the prefix.
        {u"JAJP", u"JA", 200, 2057, true},
        {u"engb", u"en", 200, 2057, true},
        {u"", u"", 200, 2057, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(toUtf8(r.code));
        test::FakePlatform platform;
        Language language(platform);
        EXPECT_EQ(language.GetLangID(), u"0");
        std::u16string code = r.code;
        language.SetLanguageId(code);
        EXPECT_EQ(code, r.codeAfter);
        EXPECT_EQ(language.stringOffset(), r.offset);
        EXPECT_EQ(language.GetLangID(), decimal(r.locale));
        EXPECT_EQ(platform.messageTexts(),
                  r.warns
                      ? std::vector<std::u16string>{u"Warning: could not determine component language: <" +
                                                    r.codeAfter + u">.  Defaulting to English."}
                      : std::vector<std::u16string>{});
        for (const MessageBoxRequest& m : platform.messageBoxes)
            EXPECT_TRUE(m.title == u"ARM_7seg4" && m.buttons == msgbox::Ok);
    }
}

TEST(LanguageRegistry, ProfileAndLanguageWithTheirFallbacks) {
    // Values are read into a 256-byte buffer: 255 characters and the terminator fit.
    const std::u16string longest(255, u'x'), tooLong(256, u'x');
    const struct {
        const char* what;
        std::function<void(test::FakePlatform&)> setUp;
        std::u16string profile, code, message;
    } cases[] = {
        {"host language set", [](auto& p) { p.setHostLanguage(u"dede"); }, u"QuorvaneV4", u"dede", u""},
        {"own profile",
         [](auto& p) {
             p.setRegistryValue(kInfoKey, u"CurrentProfile", u"QuorvaneV4Edu");
             p.setRegistryValue(u"Software\\DelmarshSW\\QuorvaneV4Edu\\Info", u"CurrentLanguage", u"FrFr");
         },
         u"QuorvaneV4Edu", u"FrFr", u""},
        {"no host key at all", [](auto&) {}, u"QuorvaneV4", u"engb", u"Error opening key: " + kInfoKey},
        {"host key cannot be opened",
         [](auto& p) {
             p.setHostLanguage(u"dede"), p.inject({test::Service::RegistryOpen, 1, true});
         },
         u"QuorvaneV4", u"engb", u"Error opening key: " + kInfoKey},
        {"longest profile value", [&](auto& p) { p.setRegistryValue(kInfoKey, u"CurrentProfile", longest); },
         longest, u"engb", u"Error opening key: Software\\DelmarshSW\\" + longest + u"\\Info"},
        {"profile value too long",
         [&](auto& p) {
             p.setRegistryValue(kInfoKey, u"CurrentProfile", tooLong);
             p.setRegistryValue(kInfoKey, u"CurrentLanguage", u"ja");
         },
         u"QuorvaneV4", u"ja", u""},
        {"language value missing", [](auto& p) { p.addRegistryKey(kInfoKey); }, u"QuorvaneV4", u"<Error>",
         u""},
        {"language value too long", [&](auto& p) { p.setHostLanguage(tooLong); }, u"QuorvaneV4", u"<Error>",
         u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakePlatform platform;
        c.setUp(platform);
        Language language(platform);
        language.LoadResources(u"");
        EXPECT_EQ(language.profileName(), c.profile);
        EXPECT_EQ(language.GetLang(), c.code);
        EXPECT_EQ(platform.messageTexts(),
                  c.message.empty() ? std::vector<std::u16string>{} : std::vector<std::u16string>{c.message});
    }
    Started<> again(u"dede"); // every load reads the registry afresh
    again.platform.setHostLanguage(u"ru");
    again.language.LoadResources(u"");
    EXPECT_EQ(again.language.GetLang(), u"ru");
}

TEST(LanguageTexts, HostLanguageChoosesTheBlock) {
    const struct {
        std::u16string host;
        std::int16_t resId;
        std::u16string expected;
    } rows[] = {{u"dede", 137, u"Wert"}, {u"frca", 137, u"Valeur"}, {u"zhhk", 98, u"紅色"},
                {u"zh", 98, u"红色"},    {u"jajp", 137, u"Value"},  {u"thai", 61, u"LED7SEG4"}};
    for (const auto& r : rows)
        EXPECT_EQ(Started<>(r.host).language.GetInternalResource(r.resId).asString(), r.expected)
            << toUtf8(r.host);

    Started<> german(u"dede"); // keeps the code as the host stored it
    EXPECT_EQ(german.language.stringOffset(), 400);
    EXPECT_EQ(german.language.GetLangID(), u"1031");
    EXPECT_EQ(german.language.GetLang(), u"dede");
    german.platform.setString(413, u"marker");
    EXPECT_EQ(german.language.GetInternalResource(13).asString(), u"marker");
}

TEST(LanguageTexts, IdentifiersWithoutTextAndOverflowsFailToTheCaller) {
    const struct {
        const char* what;
        std::u16string code; // "" leaves the offset at 0
        std::int16_t resId;
        HResult expected;
    } rows[] = {
        {"before SetLanguageId", u"", 13, hr::ResourceNotFound},
        {"beyond the block", u"ENGB", 154, hr::ResourceNotFound},
        {"negative sum", u"ENGB", -32768, hr::ResourceNotFound},
        {"16-bit overflow", u"PL", 27968, hr::Overflow},
        {"last id before overflow", u"PL", 27967, hr::ResourceNotFound},
        {"a text", u"PL", 18, hr::Ok},
    };
    for (const auto& r : rows) {
        test::FakePlatform platform;
        Language language(platform);
        std::u16string code = r.code;
        if (!code.empty()) language.SetLanguageId(code);
        EXPECT_EQ(failureOf([&] { language.GetInternalResource(r.resId); }), r.expected) << r.what;
    }
    test::FakePlatform platform;
    platform.windowTexts[7] = u"abc";
    Language language(platform);
    EXPECT_EQ(language.LoadStringRes(213), u""); // no resource library is ever loaded
    EXPECT_EQ(language.GetComboText(7).asString() + language.GetComboText(8).asString(), u"abc");
}

TEST(LanguageFiles, HelpFileSearchOrder) {
    const std::u16string help = u"C:\\Program Files\\Quorvane\\Components\\help\\ARM_7seg4";
    const struct {
        std::vector<std::u16string> present;
        std::u16string expected;
    } rows[] = {
        {{u"dede.hlp", u".chm", u"de.hlp", u".hlp"}, u"dede.hlp"},
        {{u".chm", u"de.hlp", u".hlp"}, u".chm"},
        {{u"de.hlp", u".hlp"}, u"de.hlp"},
        {{u".hlp"}, u".hlp"},
        {{u"en.hlp", u"dede.chm"}, u""},
    };
    for (const auto& r : rows) {
        Started<> s(u"dede", [&](test::FakePlatform& p) {
            for (const auto& suffix : r.present) p.setFile(help + suffix, "");
        });
        EXPECT_EQ(s.language.FindHelpFile(), r.expected.empty() ? u"" : help + r.expected)
            << toUtf8(r.expected);
    }
}

TEST(LanguageFiles, TranslationComesFromTheSectionOfTheStoredCode) {
    const std::u16string path = u"C:\\Program Files\\Quorvane\\Components\\Translations\\Lang_dede.rc";
    const struct {
        std::string file;
        std::u16string key, expected;
    } rows[] = {
        {"[dede]\r\nSize=Gr\xF6\xDF"
         "e\r\n",
         u"Size", u"Größe"},
        {"[dede]\nColour=Farbe\n", u"Size", u""},
        {"[engb]\nColour=Colour\n", u"Colour", u""},
        {"[dede]\nLong=" + std::string(300, 'w') + "\n", u"Long", std::u16string(254, u'w')},
        {"", u"Colour", u""},
    };
    for (const auto& r : rows) {
        Started<> s(u"dede", [&](test::FakePlatform& p) {
            if (!r.file.empty()) p.setFile(path, r.file);
        });
        EXPECT_EQ(s.language.GetIniTranslation(r.key), r.expected) << r.file;
    }
}

/// Code pages 1251 (Cyrillic) and 1252 (Latin-1 layout); 932 joins two bytes, so a lone lead
/// byte decodes to nothing.
class CodePagePlatform : public test::FakePlatform {
public:
    std::string encodeAnsi(std::u16string_view s, std::uint32_t page) override {
        std::string out;
        for (char16_t c : s)
            out += page == 1251 && c >= u'А' && c <= u'я' ? char(c - u'А' + 0xC0)
                   : c < (page == 1251 ? 0x80 : 0x100)    ? char(c)
                                                          : '?';
        return out;
    }
    std::u16string decodeAnsi(std::string_view bytes, std::uint32_t page) override {
        if (page == 932 && bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) >= 0x81) return u"";
        return FakePlatform::decodeAnsi(bytes, page);
    }
};

TEST(LanguageConversion, BytesOfTheLanguagePageShownThroughTheSystemPage) {
    const struct {
        std::u16string host;
        std::uint32_t systemPage;
        std::int16_t resId;
        std::u16string expected;
    } rows[] = {
        {u"ru", 1252, 27, u"\u00D6\u00E2\u00E5\u00F2"}, // Цвет as the bytes D6 E2 E5 F2
        {u"engb", 1252, 98, u"Red"},                    // same page: unchanged
        {u"ru", 932, 27, u"????"},                      // one byte at a time: lead bytes alone show as '?'
    };
    for (const auto& r : rows) {
        Started<CodePagePlatform> s(r.host, [&](CodePagePlatform& p) { p.systemCodePage = r.systemPage; });
        EXPECT_EQ(s.language.GetInternalResource(r.resId, true).asString(), r.expected) << toUtf8(r.expected);
        EXPECT_EQ(s.language.UnicodeConvert(s.language.GetInternalResource(r.resId).asString()), r.expected);
    }
}

} // namespace
} // namespace seg4
