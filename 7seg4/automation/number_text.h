// Numbers as text: the runtime's number syntax read from strings, and numbers printed as it prints them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace seg4::numtext {

/// A number as the parser leaves it, before it is given a type: significant digits, a power of
/// ten and a sign. "&H" and "&O" numbers keep their hexadecimal or octal digits instead and
/// ignore any sign, as the runtime does.
struct ParsedNumber {
    std::vector<std::uint8_t> digits; // most significant first, never empty after a parse
    std::int64_t pwr10 = 0;           // decimal value = digits x 10^pwr10
    int baseShift = 0;                // 4 for "&H", 3 for "&O", 0 for decimal
    bool negative = false;
};

/// Digits beyond this many are not stored; they only move the power of ten.
inline constexpr std::size_t kMaxDigits = 1024;

/// Reads `text` with the runtime's standard number syntax for English (United States): blanks
/// around, one leading "+", "-", "$" or "(" each in any order, trailing "+" or "-" when no sign
/// led, ")" closing a "(", "$" after the digits, "," anywhere after the first digit, one ".",
/// an exponent "e"/"E" with signs, "&H" hexadecimal and "&O" octal. The text ends at the first
/// NUL. Returns false when the text is not a number.
bool parse(std::u16string_view text, ParsedNumber& out);

/// True for the blanks the parser skips (the Unicode white-space characters).
bool isBlank(char16_t c) noexcept;

// The typed values of a parsed number. Each throws ComError(hr::Overflow) when the value does
// not fit the target.

/// A signed integer of `bits` bits (8, 16, 32 or 64), rounded half to even. Hexadecimal and
/// octal numbers that fit the width unsigned are taken as its bit pattern ("&HFFFF" is -1 in 16
/// bits and 65535 in 32).
std::int64_t toSigned(const ParsedNumber& n, int bits);
/// An unsigned integer of `bits` bits, rounded half to even; negative values overflow unless
/// they round to zero.
std::uint64_t toUnsigned(const ParsedNumber& n, int bits);
/// A double, computed the way the runtime computes it (not always the nearest double).
double toDouble(const ParsedNumber& n);
/// A single-precision value; values smaller than the least single overflow.
float toSingle(const ParsedNumber& n);
/// Currency scaled by 10 000; hexadecimal and octal numbers overflow.
std::int64_t toCurrency(const ParsedNumber& n);

/// `d` x 10 000 rounded half to even as currency, or overflow.
std::int64_t currencyFromDouble(double d);

/// `d` rounded half to even to a signed integer in [min, max], or overflow. NaN gives the value
/// the runtime gives ((min-wrapped) - 1 in the target width).
std::int64_t roundToSigned(double d, std::int64_t min, std::int64_t max);
/// `d` rounded half to even to an unsigned integer up to `max`, or overflow.
std::uint64_t roundToUnsigned(double d, std::uint64_t max);

/// `d` with `significant` digits in the runtime's general format: "%.<n>G" without trailing
/// zeros, exponents of at least two digits ("1E+20", "0.1", "-1.5E-07"), "INF"/"NAN".
std::u16string formatGeneral(double d, int significant);
/// Currency with up to four decimals and no trailing zeros ("1.5", "-0.0001", "0").
std::u16string formatCurrency(std::int64_t scaled);

} // namespace seg4::numtext
