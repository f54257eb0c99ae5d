// PLACEHOLDER until localisation lands: English only.
#include "localisation/language.h"

#include "automation/errors.h"
#include "platform/platform.h"

namespace seg4 {

Language::Language(Platform& platform) : platform_(platform) {}
Language::~Language() = default;
std::u16string Language::LoadStringRes(std::int32_t) { return {}; }
void Language::LoadResources(const std::u16string&) { languageCode_ = u"engb"; }
std::u16string Language::GetIniTranslation(const std::u16string&) { return {}; }
std::u16string Language::FindHelpFile() { return {}; }
std::u16string Language::GetLang() const { return languageCode_; }
std::u16string Language::GetLangID() const { return u"2057"; }
Variant Language::GetInternalResource(std::int16_t iResId, bool) {
    auto s = platform_.loadStringResource(static_cast<std::uint32_t>(200 + iResId));
    return Variant::string(s ? *s : std::u16string());
}
void Language::SetLanguageId(std::u16string&) {
    stringOffset_ = 200;
    localeId_ = 2057;
}
Variant Language::GetComboText(std::uintptr_t) { return Variant::string({}); }
std::u16string Language::UnicodeConvert(const std::u16string& s) { return s; }
void Language::releaseResourceLibrary() {}
void Language::readLanguage() {}
std::u16string Language::readRegistryString(RegistryKey&, std::u16string_view) { return {}; }

} // namespace seg4
