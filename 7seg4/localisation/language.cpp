// The host's language: registry lookup, string table by relative identifier, translation
// files, help file and code-page conversion for controls that draw with 8-bit fonts.
#include "localisation/language.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "localisation/language_codes.h"
#include "platform/platform.h"

#include <array>
#include <optional>
#include <span>

namespace seg4 {

namespace {

// [SECTION] Registry locations of the host and fixed texts

constexpr std::u16string_view kHostInfoKey = u"Software\\DelmarshSW\\QuorvaneV4\\Info";
constexpr std::u16string_view kDefaultProfile = u"QuorvaneV4";
constexpr std::u16string_view kVendorKey = u"Software\\DelmarshSW\\";
constexpr std::u16string_view kDefaultLanguageCode = u"engb";
constexpr std::u16string_view kRegistryError = u"<Error>";

/// The registry reader queries into a buffer of this many bytes; longer values are errors.
constexpr std::size_t kRegistryBufferBytes = 256;
/// The translation reader's buffer: at most 254 characters of a value come back.
constexpr std::size_t kTranslationBufferChars = 255;

void showMessage(Platform& platform, std::u16string text) {
    MessageBoxRequest request;
    request.text = std::move(text);
    request.title = platform.moduleBaseName();
    request.buttons = msgbox::Ok;
    platform.messageBox(request);
}

const LanguageCodeEntry* findCode(std::span<const LanguageCodeEntry> table, std::u16string_view code) {
    for (const LanguageCodeEntry& entry : table)
        if (entry.code == code) return &entry;
    return nullptr;
}

} // namespace

std::u16string upperCaseLanguageCode(std::u16string code) {
    for (char16_t& c : code)
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            c = static_cast<char16_t>(c - 0x20);
    return code;
}

// [SECTION] Lifetime

Language::Language(Platform& platform) : platform_(platform) {}

Language::~Language() { releaseResourceLibrary(); }

// [SECTION] Public members, in the order the component's users know them

std::u16string Language::LoadStringRes(std::int32_t) {
    // Only a separately loaded resource library holds these strings, and the component never
    // loads one: the handle stays null, so there is never a text to read.
    return {};
}

void Language::LoadResources(const std::u16string&) {
    releaseResourceLibrary();

    // A host without the profile key still has a profile: the default one. No message here;
    // the language read below reports the key it cannot open.
    profileName_ = std::u16string(kDefaultProfile);
    if (std::unique_ptr<RegistryKey> key = platform_.openCurrentUserKey(kHostInfoKey)) {
        std::u16string profile = readRegistryString(*key, u"CurrentProfile");
        if (profile != kRegistryError) profileName_ = std::move(profile);
    }
    readLanguage();
}

std::u16string Language::GetIniTranslation(const std::u16string& lpKeyName) {
    // The profile reader works in the system's ANSI code page, for names and value alike.
    const std::uint32_t codePage = platform_.systemAnsiCodePage();
    const std::u16string path = platform_.moduleFolder() + u"\\Translations\\Lang_" + languageCode_ + u".rc";
    const std::string value =
        platform_.profileString(platform_.encodeAnsi(languageCode_, codePage),
                                platform_.encodeAnsi(lpKeyName, codePage), "", kTranslationBufferChars, path);
    return platform_.decodeAnsi(value, codePage);
}

std::u16string Language::FindHelpFile() {
    const std::u16string stem = platform_.moduleFolder() + u"\\help\\" + platform_.moduleBaseName();
    std::u16string compiled = stem + u".chm";
    // The compiled help is tried after each language-specific file, so name.chm wins over
    // the prefix and plain .hlp files.
    const std::array<std::u16string, 3> codes{languageCode_, languageCode_.substr(0, 2), u""};
    for (const std::u16string& code : codes) {
        std::u16string winHelp = stem + code + u".hlp";
        if (platform_.isOrdinaryFile(winHelp)) return winHelp;
        if (platform_.isOrdinaryFile(compiled)) return compiled;
    }
    return {};
}

std::u16string Language::GetLang() const { return languageCode_; }

std::u16string Language::GetLangID() const { return decimal(localeId_); }

Variant Language::GetInternalResource(std::int16_t iResId, bool bDoConversion) {
    // The sum is 16-bit arithmetic: leaving the range is an overflow, not a wrap.
    const std::int16_t absoluteId = checkedAdd16(stringOffset_, iResId);
    // Resource identifiers are 16-bit unsigned; a negative sum names no string of ours.
    std::optional<std::u16string> text = platform_.loadStringResource(static_cast<std::uint16_t>(absoluteId));
    if (!text) raise(hr::ResourceNotFound);
    return Variant::string(bDoConversion ? UnicodeConvert(*text) : std::move(*text));
}

void Language::SetLanguageId(std::u16string& sLangId) {
    if (const LanguageCodeEntry* entry = findCode(kWholeLanguageCodes, sLangId)) {
        stringOffset_ = entry->stringOffset;
        localeId_ = entry->localeId;
        return;
    }
    // Only the prefix is left to compare, and the caller keeps it.
    sLangId = sLangId.substr(0, 2);
    if (const LanguageCodeEntry* entry = findCode(kLanguagePrefixes, sLangId)) {
        stringOffset_ = entry->stringOffset;
        localeId_ = entry->localeId;
        return;
    }
    showMessage(platform_, u"Warning: could not determine component language: <" + sLangId +
                               u">.  Defaulting to English.");
    stringOffset_ = kFallbackLanguage.stringOffset;
    localeId_ = kFallbackLanguage.localeId;
}

Variant Language::GetComboText(std::uintptr_t hWnd) { return Variant::string(platform_.windowText(hWnd)); }

std::u16string Language::UnicodeConvert(const std::u16string& sString) {
    const std::uint32_t languagePage = platform_.ansiCodePageOfLocale(static_cast<std::uint16_t>(localeId_));
    const std::uint32_t systemPage = platform_.systemAnsiCodePage();
    const std::string bytes = platform_.encodeAnsi(sString, languagePage);

    // Each byte becomes one character of the system code page, even where that page would
    // join two bytes into one character: an 8-bit font of the language's character set then
    // draws the byte values as the language's letters. A byte the system page cannot show
    // on its own becomes '?', as the platform's own conversions do.
    std::array<std::optional<char16_t>, 256> decoded{};
    std::u16string out;
    out.reserve(bytes.size());
    for (char byte : bytes) {
        std::optional<char16_t>& slot = decoded[static_cast<unsigned char>(byte)];
        if (!slot) {
            const std::u16string one = platform_.decodeAnsi(std::string_view(&byte, 1), systemPage);
            slot = one.size() == 1 ? one.front() : u'?';
        }
        out += *slot;
    }
    return out;
}

// [SECTION] Private operations

void Language::releaseResourceLibrary() {
    // Nothing in the component loads a library, so the handle is only ever cleared.
    resourceLibrary_ = 0;
}

void Language::readLanguage() {
    languageCode_ = std::u16string(kDefaultLanguageCode);
    const std::u16string keyPath = std::u16string(kVendorKey) + profileName_ + u"\\Info";
    std::unique_ptr<RegistryKey> key = platform_.openCurrentUserKey(keyPath);
    if (!key) {
        showMessage(platform_, u"Error opening key: " + keyPath);
        return;
    }
    // Kept exactly as stored, letter case included: it names the translation file and its
    // section.
    languageCode_ = readRegistryString(*key, u"CurrentLanguage");
}

std::u16string Language::readRegistryString(RegistryKey& key, std::u16string_view valueName) {
    std::optional<std::u16string> value = key.queryString(valueName, kRegistryBufferBytes);
    if (!value) return std::u16string(kRegistryError);
    // Only the text up to the first NUL of the buffer counts.
    if (const std::size_t nul = value->find(u'\0'); nul != std::u16string::npos) value->resize(nul);
    return std::move(*value);
}

} // namespace seg4
