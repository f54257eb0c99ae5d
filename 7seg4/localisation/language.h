// The host's language: registry lookup, string table by relative identifier, translation
// files, help file and code-page conversion for 8-bit controls.
#pragma once

#include "automation/variant.h"

#include <cstdint>
#include <string>

namespace seg4 {

class Platform;

/// The host's language code in upper case, as every user of the class passes it to
/// SetLanguageId: the letters a to z and the Latin-1 letters with a capital of their own
/// (the rule the display control uses, so that the page and the display warn alike).
std::u16string upperCaseLanguageCode(std::u16string code);

class Language {
public:
    explicit Language(Platform& platform);
    ~Language();
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    /// Text with this absolute identifier from a loaded resource library; nothing loads one,
    /// so the answer is always "".
    std::u16string LoadStringRes(std::int32_t id);
    /// Releases any resource library, then reads profile name and language code from the
    /// registry. The stub name is not used.
    void LoadResources(const std::u16string& sLibraryStubName);
    /// Value of a key in the language's translation file ("" when file, section or key is
    /// missing; at most 254 characters).
    std::u16string GetIniTranslation(const std::u16string& lpKeyName);
    /// Full path of the help file, or "".
    std::u16string FindHelpFile();
    /// The language code as stored in the registry ("engb", "<Error>", ...).
    std::u16string GetLang() const;
    /// The locale identifier in decimal ("2057"); "0" before SetLanguageId.
    std::u16string GetLangID() const;
    /// String offset + iResId from the module's string table, optionally converted to the
    /// language's code page. Fails when the identifier has no string or the sum overflows.
    Variant GetInternalResource(std::int16_t iResId, bool bDoConversion = false);
    /// Chooses offset and locale from the code; shortens the caller's code to its two-letter
    /// prefix when only the prefix matches.
    void SetLanguageId(std::u16string& sLangId);
    /// The text of a window as a string variant.
    Variant GetComboText(std::uintptr_t hWnd);
    /// The code-page conversion of GetInternalResource applied to any text.
    std::u16string UnicodeConvert(const std::u16string& sString);

    // Read-only views for tests and the property page.
    std::int16_t stringOffset() const noexcept { return stringOffset_; }
    std::int16_t localeId() const noexcept { return localeId_; }
    const std::u16string& profileName() const noexcept { return profileName_; }

private:
    Platform& platform_;
    std::uintptr_t resourceLibrary_ = 0;
    std::u16string profileName_;
    std::int16_t stringOffset_ = 0;
    std::int16_t localeId_ = 0;
    std::u16string languageCode_;

    void releaseResourceLibrary();
    void readLanguage();
    std::u16string readRegistryString(class RegistryKey& key, std::u16string_view valueName);
};

} // namespace seg4
