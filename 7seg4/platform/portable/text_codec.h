// Text conversions with the answers Windows gives: UTF-8 and Windows-1252 (letter case is in
// letter_case.h). Standard library only, so it builds for Windows as well.
#pragma once

#include "automation/conversions.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace seg4::text {

/// The two directions of one ANSI code page: bytes to UTF-16 (MultiByteToWideChar) and UTF-16
/// to bytes (WideCharToMultiByte).
struct AnsiCodec {
    std::function<std::u16string(std::string_view)> decode;
    std::function<std::string(std::u16string_view)> encode;
};

/// Windows-1252, the system code page of a western Windows; built in, needs no tables from outside.
const AnsiCodec& windows1252();

/// UTF-8 to UTF-16 and back: the core's conversions (every maximal ill-formed subsequence becomes
/// one U+FFFD, as the platform's converter does since Windows Vista; an unpaired surrogate
/// becomes U+FFFD).
inline std::u16string decodeUtf8(std::string_view bytes) { return fromUtf8(bytes); }
inline std::string encodeUtf8(std::u16string_view text) { return toUtf8(text); }

/// Windows-1252 bytes to UTF-16. The five bytes the code page leaves undefined (0x81, 0x8D,
/// 0x8F, 0x90, 0x9D) come back as the C1 controls of the same value, as on Windows.
std::u16string decodeWindows1252(std::string_view bytes);
/// UTF-16 to Windows-1252; a UTF-16 unit the code page cannot hold becomes '?'.
std::string encodeWindows1252(std::u16string_view text);

/// The code page in which 8-bit text drawn with a font of this character set is read (the
/// system's code page for the default and any set without one of its own): a caption holding
/// Russian bytes shows in Cyrillic through a font of character set 204.
std::uint32_t codePageOfCharset(std::uint32_t charset, std::uint32_t systemCodePage);

} // namespace seg4::text
