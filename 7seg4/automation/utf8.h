// UTF-8 one code point at a time: the single encoder and decoder behind the core's UTF-16
// conversions and the build-machine generators (header only and standard library only, so a
// tool built with the build machine's compiler includes it without linking the core).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace seg4::utf8 {

/// Appends the bytes of code point `c`, which must be at most U+10FFFF.
inline void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

/// One sequence read from the bytes.
struct Sequence {
    char32_t codePoint = 0; // when well formed
    std::size_t length = 1; // bytes taken, at least 1
    bool wellFormed = false;
};

/// The sequence starting at `bytes[at]` (at < bytes.size()). A well-formed one (no overlong
/// form, no surrogate, nothing above U+10FFFF) gives its code point. An ill-formed one takes its
/// longest prefix that could still begin a well-formed sequence, at least one byte: the part a
/// lenient decoder replaces by one U+FFFD.
inline Sequence read(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) return {lead, 1, true};
    // The length a lead byte announces and the bounds of the byte that follows it.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;  // overlong below
        if (lead == 0xED) high = 0x9F; // surrogates above
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;  // overlong below
        if (lead == 0xF4) high = 0x8F; // beyond U+10FFFF above
    } else {
        return {0, 1, false};
    }
    char32_t c = lead & (0xFFu >> (length + 1));
    std::size_t taken = 1;
    for (; taken < length; ++taken) {
        if (at + taken >= bytes.size()) return {0, taken, false};
        const auto next = static_cast<unsigned char>(bytes[at + taken]);
        if (next < (taken == 1 ? low : 0x80) || next > (taken == 1 ? high : 0xBF)) return {0, taken, false};
        c = (c << 6) | (next & 0x3Fu);
    }
    return {c, length, true};
}

} // namespace seg4::utf8
