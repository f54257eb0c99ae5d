// UTF-8 and Windows-1252 with the platform's answers (see text_codec.h).
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
    // One table of all 256 bytes and one pass over raw pointers: this runs over whole files.
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (std::size_t b = 0; b < t.size(); ++b)
            t[b] = (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
        return t;
    }();
    std::u16string out(bytes.size(), u'\0');
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    char16_t* to = out.data();
    const char16_t* map = table.data();
    for (std::size_t i = 0; i < bytes.size(); ++i) to[i] = map[from[i]];
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

std::uint32_t codePageOfCharset(std::uint32_t charset, std::uint32_t systemCodePage) {
    struct Entry {
        std::uint32_t charset, codePage;
    };
    static constexpr Entry kTable[] = {{0, 1252},   {128, 932},  {129, 949},  {134, 936},  {136, 950},
                                       {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256},
                                       {186, 1257}, {204, 1251}, {222, 874},  {238, 1250}};
    for (const Entry& e : kTable)
        if (e.charset == charset) return e.codePage;
    return systemCodePage;
}

} // namespace seg4::text
