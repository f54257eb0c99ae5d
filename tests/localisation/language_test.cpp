// The Language class: code tables, the host's registry entries, texts, help and translation files,
// code-page conversion.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "fake_platform.h"
#include "localisation/language.h"

#include <gtest/gtest.h>

#include <functional>

namespace seg4 {
namespace {

const std::u16string kInfoKey = u"Software\\DelmarshSW\\QuorvaneV4\\Info";

std::u16string upper(std::u16string s) {
    for (auto& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return s;
}

std::u16string warningFor(const std::u16string& prefix) {
    return u"Warning: could not determine component language: <" + prefix + u">.  Defaulting to English.";
}

std::u16string text(const Variant& v) { return v.asString(); }

HResult errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

// [SECTION] Code tables

TEST(LanguageCodes, WholeCodesThenPrefixesElseEnglishWithWarning) {
    struct Row {
        std::u16string code, codeAfter;
        std::int16_t offset, locale;
        bool warns;
    };
    const Row rows[] = {
        // Every whole code, kept as passed.
        {u"DA", u"DA", 2000, 1030, false},
        {u"DEDE", u"DEDE", 400, 1031, false},
        {u"EL", u"EL", 1800, 1032, false},
        {u"ENGB", u"ENGB", 200, 2057, false},
        {u"ESES", u"ESES", 800, 1034, false},
        {u"FI", u"FI", 1000, 1035, false},
        {u"FRFR", u"FRFR", 1200, 1036, false},
        {u"HU", u"HU", 3000, 1038, false},
        {u"ITIT", u"ITIT", 1400, 1040, false},
        {u"JA", u"JA", 3800, 1041, false},
        {u"NLNL", u"NLNL", 600, 1043, false},
        {u"PL", u"PL", 4800, 1045, false},
        {u"PTPT", u"PTPT", 3200, 1046, false},
        {u"RO", u"RO", 2400, 1048, false},
        {u"RU", u"RU", 4400, 1049, false},
        {u"SK", u"SK", 2800, 1051, false},
        {u"SL", u"SL", 3600, 1060, false},
        {u"SVSE", u"SVSE", 4200, 1053, false},
        {u"THAI", u"THAI", 2200, 1054, false},
        {u"TR", u"TR", 4000, 1055, false},
        {u"VI", u"VI", 3400, 1066, false},
        {u"ZHCN", u"ZHCN", 1600, 2052, false},
        {u"ZHHK", u"ZHHK", 4600, 1028, false},
        {u"ZHTW", u"ZHTW", 4600, 1028, false},
        // Every prefix; the caller's code is shortened to it.
        {u"ZHSG", u"ZH", 1600, 2052, false},
        {u"ZH", u"ZH", 1600, 2052, false},
        {u"NLBE", u"NL", 600, 1043, false},
        {u"ENUS", u"EN", 200, 2057, false},
        {u"FRCA", u"FR", 1200, 1036, false},
        {u"DEAT", u"DE", 400, 1031, false},
        {u"ITCH", u"IT", 1400, 1040, false},
        {u"PTBR", u"PT", 3200, 1046, false},
        {u"ROMD", u"RO", 2400, 1048, false},
        {u"RUUA", u"RU", 4400, 1049, false},
        {u"ESMX", u"ES", 800, 1034, false},
        {u"SVFI", u"SV", 4200, 1053, false},
        {u"THTH", u"TH", 2200, 1054, false},
        // Not recognised: English after a warning naming the prefix.
        {u"JAJP", u"JA", 200, 2057, true},
        {u"DADK", u"DA", 200, 2057, true},
        {u"engb", u"en", 200, 2057, true},
        {u"<ERROR>", u"<E", 200, 2057, true},
        {u"X", u"X", 200, 2057, true},
        {u"", u"", 200, 2057, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "code " << toUtf8(r.code));
        test::FakePlatform platform;
        Language language(platform);
        std::u16string code = r.code;
        language.SetLanguageId(code);
        EXPECT_EQ(code, r.codeAfter);
        EXPECT_EQ(language.stringOffset(), r.offset);
        EXPECT_EQ(language.localeId(), r.locale);
        EXPECT_EQ(language.GetLangID(), decimal(r.locale));
        if (r.warns) {
            ASSERT_EQ(platform.messageBoxes.size(), 1u);
            EXPECT_EQ(platform.messageBoxes[0].text, warningFor(r.codeAfter));
            EXPECT_EQ(platform.messageBoxes[0].title, u"ARM_7seg4");
            EXPECT_EQ(platform.messageBoxes[0].buttons, msgbox::Ok);
        } else {
            EXPECT_TRUE(platform.messageBoxes.empty());
        }
    }
}

TEST(LanguageCodes, LocaleIsZeroUntilChosen) {
    test::FakePlatform platform;
    Language language(platform);
    EXPECT_EQ(language.GetLangID(), u"0");
    EXPECT_EQ(language.GetLang(), u"");
}

// [SECTION] The host's registry entries

struct RegistryCase {
    const char* what;
    std::function<void(test::FakePlatform&)> setUp;
    std::u16string profile, code;
    std::vector<std::u16string> messages;
};

TEST(LanguageRegistry, ProfileAndLanguageWithTheirFallbacks) {
    const std::u16string tooLong(300, u'x');
    const RegistryCase cases[] = {
        {"host language set", [](auto& p) { p.setHostLanguage(u"dede"); }, u"QuorvaneV4", u"dede", {}},
        {"own profile",
         [](auto& p) {
             p.setRegistryValue(kInfoKey, u"CurrentProfile", u"QuorvaneV4Edu");
             p.setRegistryValue(u"Software\\DelmarshSW\\QuorvaneV4Edu\\Info", u"CurrentLanguage", u"FrFr");
         },
         u"QuorvaneV4Edu",
         u"FrFr",
         {}},
        {"no host key at all",
         [](auto&) {},
         u"QuorvaneV4",
         u"engb",
         {u"Error opening key: Software\\DelmarshSW\\QuorvaneV4\\Info"}},
        {"host key cannot be opened",
         [](auto& p) { p.setHostLanguage(u"dede"), p.failRegistryOpen(kInfoKey); },
         u"QuorvaneV4",
         u"engb",
         {u"Error opening key: Software\\DelmarshSW\\QuorvaneV4\\Info"}},
        {"profile value missing",
         [](auto& p) { p.setRegistryValue(kInfoKey, u"CurrentLanguage", u"ru"); },
         u"QuorvaneV4",
         u"ru",
         {}},
        {"profile value too long for the buffer",
         [&](auto& p) {
             p.setRegistryValue(kInfoKey, u"CurrentProfile", tooLong);
             p.setRegistryValue(kInfoKey, u"CurrentLanguage", u"ja");
         },
         u"QuorvaneV4",
         u"ja",
         {}},
        {"profile without a key",
         [](auto& p) { p.setRegistryValue(kInfoKey, u"CurrentProfile", u"Gone"); },
         u"Gone",
         u"engb",
         {u"Error opening key: Software\\DelmarshSW\\Gone\\Info"}},
        {"language value missing",
         [](auto& p) { p.addRegistryKey(kInfoKey); },
         u"QuorvaneV4",
         u"<Error>",
         {}},
        {"language value too long",
         [&](auto& p) { p.setHostLanguage(tooLong); },
         u"QuorvaneV4",
         u"<Error>",
         {}},
    };
    for (const RegistryCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakePlatform platform;
        c.setUp(platform);
        Language language(platform);
        language.LoadResources(u"");
        EXPECT_EQ(language.profileName(), c.profile);
        EXPECT_EQ(language.GetLang(), c.code);
        EXPECT_EQ(platform.messageTexts(), c.messages);
        for (const MessageBoxRequest& m : platform.messageBoxes) {
            EXPECT_EQ(m.title, u"ARM_7seg4");
            EXPECT_EQ(m.buttons, msgbox::Ok);
        }
    }
}

/// Records the buffer every registry value is queried into.
class BufferSpy : public test::FakePlatform {
public:
    std::vector<std::size_t> buffers;
    std::unique_ptr<RegistryKey> openCurrentUserKey(std::u16string_view subKey) override {
        auto key = FakePlatform::openCurrentUserKey(subKey);
        if (!key) return nullptr;
        struct Key : RegistryKey {
            std::unique_ptr<RegistryKey> inner;
            std::vector<std::size_t>* buffers;
            std::optional<std::u16string> queryString(std::u16string_view name, std::size_t bytes) override {
                buffers->push_back(bytes);
                return inner->queryString(name, bytes);
            }
        };
        auto spy = std::make_unique<Key>();
        spy->inner = std::move(key);
        spy->buffers = &buffers;
        return spy;
    }
};

TEST(LanguageRegistry, ValuesAreReadIntoA256ByteBufferAndReadAgainOnEveryLoad) {
    BufferSpy platform;
    platform.setHostLanguage(u"dede");
    Language language(platform);
    language.LoadResources(u"");
    EXPECT_EQ(platform.buffers, (std::vector<std::size_t>{256, 256}));
    platform.setHostLanguage(u"ru");
    language.LoadResources(u"");
    EXPECT_EQ(language.GetLang(), u"ru");
}

// [SECTION] Texts through the calling order every user follows

Language& startIn(test::FakePlatform& platform, Language& language, const std::u16string& hostCode) {
    platform.setHostLanguage(hostCode);
    language.LoadResources(u"");
    std::u16string code = upper(language.GetLang());
    language.SetLanguageId(code);
    return language;
}

TEST(LanguageTexts, HostLanguageChoosesTheBlock) {
    struct Row {
        std::u16string host;
        std::int16_t resId;
        std::u16string expected;
    };
    const Row rows[] = {
        {u"dede", 137, u"Wert"},  {u"dede", 116, u"Größe"},      {u"dede", 13, u"Anode 3"},
        {u"engb", 27, u"Color"},  {u"enus", 109, u"Segment DP"}, {u"frca", 137, u"Valeur"},
        {u"zhhk", 98, u"紅色"},   {u"zh", 98, u"红色"},          {u"ru", 116, u"Размер"},
        {u"jajp", 137, u"Value"}, {u"ptpt", 27, u"Cor"},         {u"thai", 61, u"LED7SEG4"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(toUtf8(r.host));
        test::FakePlatform platform;
        Language language(platform);
        startIn(platform, language, r.host);
        EXPECT_EQ(text(language.GetInternalResource(r.resId)), r.expected);
    }
}

TEST(LanguageTexts, GermanHostKeepsItsStoredCode) {
    test::FakePlatform platform;
    Language language(platform);
    startIn(platform, language, u"dede");
    EXPECT_EQ(language.stringOffset(), 400);
    EXPECT_EQ(language.GetLangID(), u"1031");
    EXPECT_EQ(language.GetLang(), u"dede");
    platform.setString(413, u"marker");
    EXPECT_EQ(text(language.GetInternalResource(13)), u"marker");
}

TEST(LanguageTexts, IdentifiersWithoutTextAndOverflowsFailToTheCaller) {
    struct Row {
        const char* what;
        std::u16string code; // "" leaves the offset at 0
        std::int16_t resId;
        HResult expected;
    };
    const Row rows[] = {
        {"before SetLanguageId", u"", 13, hr::ResourceNotFound},
        {"beyond the block", u"ENGB", 154, hr::ResourceNotFound},
        {"text the component never reads", u"ENGB", 1, hr::ResourceNotFound},
        {"negative sum", u"ENGB", -32768, hr::ResourceNotFound},
        {"16-bit overflow", u"PL", 32767, hr::Overflow},
        {"last id before overflow", u"PL", 27967, hr::ResourceNotFound},
        {"a text", u"PL", 18, hr::Ok},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        test::FakePlatform platform;
        Language language(platform);
        std::u16string code = r.code;
        if (!code.empty()) language.SetLanguageId(code);
        EXPECT_EQ(errorOf([&] { language.GetInternalResource(r.resId); }), r.expected);
    }
}

TEST(LanguageTexts, LibraryStringsAndWindowText) {
    test::FakePlatform platform;
    platform.windowTexts[7] = u"abc";
    Language language(platform);
    EXPECT_EQ(language.LoadStringRes(213), u""); // no resource library is ever loaded
    EXPECT_EQ(text(language.GetComboText(7)), u"abc");
    EXPECT_EQ(text(language.GetComboText(8)), u"");
}

// [SECTION] Help and translation files

TEST(LanguageFiles, HelpFileSearchOrder) {
    const std::u16string help = u"C:\\Program Files\\Quorvane\\Components\\help\\ARM_7seg4";
    struct Row {
        std::vector<std::u16string> present;
        std::u16string expected;
    };
    const Row rows[] = {
        {{u"dede.hlp", u".chm", u"de.hlp", u".hlp"}, u"dede.hlp"},
        {{u".chm", u"de.hlp", u".hlp"}, u".chm"},
        {{u"de.hlp", u".hlp"}, u"de.hlp"},
        {{u".hlp"}, u".hlp"},
        {{u"en.hlp", u"dede.chm"}, u""},
        {{}, u""},
    };
    for (const Row& r : rows) {
        test::FakePlatform platform;
        for (const auto& suffix : r.present) platform.setFile(help + suffix, "");
        Language language(platform);
        startIn(platform, language, u"dede");
        EXPECT_EQ(language.FindHelpFile(), r.expected.empty() ? u"" : help + r.expected)
            << toUtf8(r.expected);
    }
}

TEST(LanguageFiles, TranslationComesFromTheSectionOfTheStoredCode) {
    const std::u16string path = u"C:\\Program Files\\Quorvane\\Components\\Translations\\Lang_dede.rc";
    const std::string longValue(300, 'w');
    struct Row {
        const char* what;
        std::string file;
        std::u16string key, expected;
    };
    const Row rows[] = {
        {"value", "[dede]\r\nColour=Farbe\r\n", u"Colour", u"Farbe"},
        {"value in Latin-1 bytes",
         "[dede]\nSize=Gr\xF6\xDF"
         "e\n",
         u"Size", u"Größe"},
        {"missing key", "[dede]\nColour=Farbe\n", u"Size", u""},
        {"other section", "[engb]\nColour=Colour\n", u"Colour", u""},
        {"long value cut to 254", "[dede]\nLong=" + longValue + "\n", u"Long", std::u16string(254, u'w')},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        test::FakePlatform platform;
        platform.setFile(path, r.file);
        Language language(platform);
        startIn(platform, language, u"dede");
        EXPECT_EQ(language.GetIniTranslation(r.key), r.expected);
    }
    test::FakePlatform noFile;
    Language language(noFile);
    startIn(noFile, language, u"dede");
    EXPECT_EQ(language.GetIniTranslation(u"Colour"), u"");
}

// [SECTION] Code-page conversion

/// Code pages 1251 (Cyrillic) and 1252 (Latin-1 layout); 932 joins two bytes, so a lone lead
/// byte decodes to nothing. Every call is recorded.
class CodePagePlatform : public test::FakePlatform {
public:
    std::vector<std::uint32_t> encodePages, decodePages;
    std::string encodeAnsi(std::u16string_view s, std::uint32_t page) override {
        encodePages.push_back(page);
        std::string out;
        for (char16_t c : s) {
            if (page == 1251 && c >= u'А' && c <= u'я')
                out += static_cast<char>(c - u'А' + 0xC0);
            else
                out += c < (page == 1251 ? 0x80 : 0x100) ? static_cast<char>(c) : '?';
        }
        return out;
    }
    std::u16string decodeAnsi(std::string_view bytes, std::uint32_t page) override {
        decodePages.push_back(page);
        if (page == 932 && bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) >= 0x81) return u"";
        return FakePlatform::decodeAnsi(bytes, page);
    }
};

TEST(LanguageConversion, BytesOfTheLanguagePageShownThroughTheSystemPage) {
    struct Row {
        std::u16string host;
        std::uint32_t systemPage;
        std::int16_t resId;
        std::u16string expected;
        std::uint32_t languagePage;
    };
    const Row rows[] = {
        {u"ru", 1252, 27, u"\u00D6\u00E2\u00E5\u00F2", 1251}, // Цвет as the bytes D6 E2 E5 F2
        {u"engb", 1252, 98, u"Red", 1252},                    // same page: unchanged
        {u"ru", 932, 27, u"????", 1251},                      // lead bytes alone show as '?'
        {u"ru", 1252, 61, u"LED7SEG4", 1251},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(toUtf8(r.expected));
        CodePagePlatform platform;
        platform.systemCodePage = r.systemPage;
        Language language(platform);
        startIn(platform, language, r.host);
        platform.encodePages.clear();
        platform.decodePages.clear();
        EXPECT_EQ(text(language.GetInternalResource(r.resId, true)), r.expected);
        EXPECT_EQ(platform.encodePages, std::vector<std::uint32_t>{r.languagePage});
        // Decoded one byte at a time, always through the system page.
        EXPECT_FALSE(platform.decodePages.empty());
        for (std::uint32_t page : platform.decodePages) EXPECT_EQ(page, r.systemPage);
        EXPECT_EQ(language.UnicodeConvert(language.GetInternalResource(r.resId).asString()), r.expected);
    }
}

} // namespace
} // namespace seg4
