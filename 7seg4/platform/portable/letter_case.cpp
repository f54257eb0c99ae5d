// Letter case by the platform's three rules (see letter_case.h).
#include "letter_case.h"

namespace seg4::text {

namespace {

template <char16_t (*Upper)(char16_t)>
bool equalUnder(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// Latin-1 and Latin Extended-A, shared by the names and list-search rules. Latin-1's small
// letters sit 0x20 above their capitals, except the division sign; Latin Extended-A pairs a
// capital with its small letter, and the parity of the capital changes twice in the block.
char16_t latinUpperCase(char16_t c) {
    if (c < 0x80) return asciiUpperCase(c);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF) return 0x0178;
    if ((c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177))
        return static_cast<char16_t>(c & ~1u);
    if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E))
        return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
    return c;
}

// Greek without its accented letters (final sigma included) and Cyrillic.
char16_t greekCyrillicUpperCase(char16_t c) {
    if ((c >= 0x03B1 && c <= 0x03C1) || (c >= 0x03C3 && c <= 0x03CB)) return static_cast<char16_t>(c - 0x20);
    if (c == 0x03C2) return 0x03A3;
    if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 0x50);
    return c;
}

} // namespace

char16_t asciiUpperCase(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c; }

bool equalIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return equalUnder<asciiUpperCase>(a, b);
}

char16_t nameUpperCase(char16_t c) {
    if (c < 0x0370) return latinUpperCase(c);
    // The accented Greek letters.
    if (c == 0x03AC) return 0x0386;
    if (c >= 0x03AD && c <= 0x03AF) return static_cast<char16_t>(c - 0x25);
    if (c == 0x03CC) return 0x038C;
    if (c == 0x03CD || c == 0x03CE) return static_cast<char16_t>(c - 0x3F);
    // Fullwidth Latin.
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);
    return greekCyrillicUpperCase(c);
}

std::u16string nameUpperCase(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = nameUpperCase(c);
    return out;
}

bool equalIgnoringNameCase(std::u16string_view a, std::u16string_view b) {
    return equalUnder<nameUpperCase>(a, b);
}

char16_t listUpperCase(char16_t c) { return c < 0x0370 ? latinUpperCase(c) : greekCyrillicUpperCase(c); }

bool startsWithIgnoringListCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && equalUnder<listUpperCase>(text.substr(0, prefix.size()), prefix);
}

} // namespace seg4::text
