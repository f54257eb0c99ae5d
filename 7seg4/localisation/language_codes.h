// The ordered tables that map the host's language code to a string block and a locale.
//
// Order matters: SetLanguageId takes the first entry that matches, whole codes before
// prefixes. Comparison is exact and case-sensitive; callers pass the code in upper case.
#pragma once

#include <cstdint>
#include <string_view>

namespace seg4 {

struct LanguageCodeEntry {
    std::u16string_view code;
    /// First identifier of the language's block in the string table, minus one.
    std::int16_t stringOffset;
    /// Windows locale identifier: picks the ANSI code page and names the font section.
    std::int16_t localeId;
};

/// Whole codes as the host stores them (upper-cased). Both Chinese (traditional) codes share
/// one block; offset 2600 belongs to no language.
inline constexpr LanguageCodeEntry kWholeLanguageCodes[] = {
    {u"DA", 2000, 1030},   {u"DEDE", 400, 1031},  {u"EL", 1800, 1032},   {u"ENGB", 200, 2057},
    {u"ESES", 800, 1034},  {u"FI", 1000, 1035},   {u"FRFR", 1200, 1036}, {u"HU", 3000, 1038},
    {u"ITIT", 1400, 1040}, {u"JA", 3800, 1041},   {u"NLNL", 600, 1043},  {u"PL", 4800, 1045},
    {u"PTPT", 3200, 1046}, {u"RO", 2400, 1048},   {u"RU", 4400, 1049},   {u"SK", 2800, 1051},
    {u"SL", 3600, 1060},   {u"SVSE", 4200, 1053}, {u"THAI", 2200, 1054}, {u"TR", 4000, 1055},
    {u"VI", 3400, 1066},   {u"ZHCN", 1600, 2052}, {u"ZHHK", 4600, 1028}, {u"ZHTW", 4600, 1028},
};

/// Two-letter prefixes tried when no whole code matched. Only these twelve languages have
/// one, so a regional variant such as DADK or JAJP is not recognised; ZH alone means
/// simplified Chinese.
inline constexpr LanguageCodeEntry kLanguagePrefixes[] = {
    {u"ZH", 1600, 2052}, {u"NL", 600, 1043},  {u"EN", 200, 2057},  {u"FR", 1200, 1036},
    {u"DE", 400, 1031},  {u"IT", 1400, 1040}, {u"PT", 3200, 1046}, {u"RO", 2400, 1048},
    {u"RU", 4400, 1049}, {u"ES", 800, 1034},  {u"SV", 4200, 1053}, {u"TH", 2200, 1054},
};

/// What an unrecognised code falls back to, after a warning: English (United Kingdom).
inline constexpr LanguageCodeEntry kFallbackLanguage{u"ENGB", 200, 2057};

} // namespace seg4
