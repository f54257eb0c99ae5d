// UTF-8, Windows-1252 and letter case with the platform's answers (see text_codec.h).
#include "text_codec.h"

#include <array>
#include <cstdint>

namespace seg4::text {

namespace {

// Windows-1252 bytes 0x80..0x9F; the rest of the upper half is Latin-1. The undefined bytes map
// to the C1 control of the same value, which is what the platform's table says.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::u16string decodeWindows1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
    }
    return out;
}

std::string encodeWindows1252(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char byte = '?';
        for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] == c) {
                byte = static_cast<char>(0x80 + k);
                break;
            }
        }
        out += byte;
    }
    return out;
}

const AnsiCodec& windows1252() {
    static const AnsiCodec codec{[](std::string_view b) { return decodeWindows1252(b); },
                                 [](std::u16string_view t) { return encodeWindows1252(t); }};
    return codec;
}

char16_t upperCase(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
    // Latin-1: the lower-case letters sit 0x20 above their capitals, except the division sign.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF) return 0x0178;
    // Latin Extended-A pairs a capital with its small letter; the parity of the capital changes
    // twice in the block. The dotted and dotless i and the long s have no simple partner.
    if ((c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177))
        return static_cast<char16_t>(c & ~1u);
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E))
        return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
    // Greek.
    if ((c >= 0x03B1 && c <= 0x03C1) || (c >= 0x03C3 && c <= 0x03CB)) return static_cast<char16_t>(c - 0x20);
    if (c == 0x03C2) return 0x03A3;
    if (c == 0x03AC) return 0x0386;
    if (c >= 0x03AD && c <= 0x03AF) return static_cast<char16_t>(c - 0x25);
    if (c == 0x03CC) return 0x038C;
    if (c == 0x03CD || c == 0x03CE) return static_cast<char16_t>(c - 0x3F);
    // Cyrillic.
    if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);
    // Fullwidth Latin.
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
    return c;
}

std::u16string upperCase(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = upperCase(c);
    return out;
}

bool equalNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperCase(a[i]) != upperCase(b[i])) return false;
    return true;
}

} // namespace seg4::text
