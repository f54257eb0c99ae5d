// Windows ANSI code pages on Linux: the code page of a locale, and conversions with the
// platform's answers, through iconv for the double-byte code pages.
#pragma once

#include "text_codec.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace seg4::posix {

/// The ANSI code page of a Windows locale identifier, as the locale's LOCALE_IDEFAULTANSICODEPAGE
/// gives it: the exact identifier first (Chinese and Serbian depend on the sublanguage), then
/// the primary language; languages without an entry use 1252. The neutral (0), user-default
/// (0x400) and system-default (0x800) locales answer `systemCodePage`.
std::uint32_t ansiCodePageOfLocale(std::uint32_t lcid, std::uint32_t systemCodePage);

/// Conversions between UTF-16 and the code pages 874, 1250 to 1258, 932, 936, 949, 950,
/// 20127 (US-ASCII) and 65001 (UTF-8), with the platform's rules:
/// - encoding: a UTF-16 unit the code page cannot hold becomes '?' (so a character outside the
///   Basic Multilingual Plane becomes "??"); the best-fit substitutions of the platform's
///   tables (for example A-macron to 'A') are not made. UTF-8 turns an unpaired surrogate into
///   U+FFFD.
/// - decoding: every byte of a single-byte code page has a character, as in the platform's
///   tables: the bytes a code page leaves undefined decode to the C1 control of the same value
///   (0x80..0x9F) or to the private-use character the platform assigns; 20127 drops the top
///   bit. In a double-byte code page a byte that starts no valid character becomes the code
///   page's default character (U+30FB for 932, '?' for the others), except the few lone bytes
///   the platform's table defines (932: 0x80, 0xA0, 0xFD..0xFF; 936: 0xFF); in UTF-8 each
///   ill-formed sequence becomes U+FFFD.
/// Any other code page throws std::runtime_error naming it.
class CodePages {
public:
    CodePages();
    ~CodePages();
    CodePages(const CodePages&) = delete;
    CodePages& operator=(const CodePages&) = delete;

    std::string encode(std::u16string_view text, std::uint32_t codePage);
    std::u16string decode(std::string_view bytes, std::uint32_t codePage);
    static bool isSupported(std::uint32_t codePage);

private:
    struct SingleByteTable;
    struct Converter;
    const SingleByteTable& singleByteTable(std::uint32_t codePage);
    std::string encodeDoubleByte(std::u16string_view text, std::uint32_t codePage);
    std::u16string decodeDoubleByte(std::string_view bytes, std::uint32_t codePage);
    Converter& converter(std::uint32_t codePage, bool toUnicode);

    std::mutex mutex_;
    std::map<std::uint32_t, std::unique_ptr<SingleByteTable>> tables_;
    std::map<std::pair<std::uint32_t, bool>, std::unique_ptr<Converter>> converters_;
};

} // namespace seg4::posix
