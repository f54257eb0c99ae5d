// The three rules by which the platform compares texts without regard to letter case. Each
// rule has one function here, named after it; code that compares names picks the rule of the
// part of the system it imitates.
// - ASCII: only the letters A to Z have a case partner (the profile reader's sections and keys).
// - Names: the simple upper-case mapping of the Latin, Greek (with its accented letters) and
//   Cyrillic blocks and of the fullwidth Latin letters (registry keys and values, file names).
// - List search: ASCII, Latin-1, Latin Extended-A, Greek without its accented letters and
//   Cyrillic (the extended combo box's search for an item's text).
// In every rule the dotted and dotless i and the long s have no partner.
#pragma once

#include <string>
#include <string_view>

namespace seg4::text {

/// The letters a to z in upper case; every other unit as it is.
char16_t asciiUpperCase(char16_t c);
bool equalIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

/// The upper-case partner under the names rule; every other unit as it is.
char16_t nameUpperCase(char16_t c);
std::u16string nameUpperCase(std::u16string_view s);
bool equalIgnoringNameCase(std::u16string_view a, std::u16string_view b);

/// The upper-case partner under the list-search rule; every other unit as it is.
char16_t listUpperCase(char16_t c);
/// Whether `text` starts with `prefix` under the list-search rule.
bool startsWithIgnoringListCase(std::u16string_view text, std::u16string_view prefix);

} // namespace seg4::text
