// Conversions between automation values with the runtime's rules (CInt, CLng, CBool, ...).
#pragma once

#include "automation/variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace seg4 {

// Each conversion looks through references. Empty converts to 0 / False / "". Null fails with
// the invalid-use-of-Null error, an array or an error value with type mismatch, a value out of
// the target's range with overflow. Floating values (R4, R8, Date, Currency) round half to even.
// Strings are parsed as the runtime parses numbers: blanks around, a sign, decimals, an
// exponent, "&H" hexadecimal and "&O" octal; anything else is a type mismatch.

std::int16_t toInteger(const Variant& v); // CInt
std::int32_t toLong(const Variant& v);    // CLng
std::uint8_t toByte(const Variant& v);    // CByte
double toDouble(const Variant& v);        // CDbl
/// CBool: numbers (zero is False), "True"/"False" in any letter case, numeric strings.
bool toBoolean(const Variant& v);
/// CStr: numbers in the runtime's shortest form, Booleans as "True"/"False".
std::u16string toString(const Variant& v);

/// The value converted to a scalar of `target` (VariantChangeType for scalar targets).
Variant changeType(const Variant& v, VarType target);

/// Rounds half to even, as the runtime does when it turns a floating value into an integer.
double roundHalfEven(double x);

// Signed 16-bit arithmetic that fails with the overflow error when a result leaves the range.
std::int16_t checkedAdd16(std::int32_t a, std::int32_t b);
std::int16_t checkedSub16(std::int32_t a, std::int32_t b);
std::int16_t checkedMul16(std::int32_t a, std::int32_t b);
std::int16_t narrowTo16(std::int64_t v);

// UTF-8 <-> UTF-16 for files and terminals (invalid sequences become U+FFFD).
std::string toUtf8(std::u16string_view s);
std::u16string fromUtf8(std::string_view s);

/// Decimal text of a signed integer, no blanks, no leading zeros ("-5", "0", "1024").
std::u16string decimal(std::int64_t v);

} // namespace seg4
