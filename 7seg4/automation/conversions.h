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

/// Flags of changeType, with the values of VariantChangeType's wFlags so the COM shell can pass
/// them through.
enum ChangeFlags : std::uint16_t {
    kChangeDefault = 0,
    kChangeAlphaBool = 0x02, // Booleans become "True" / "False" instead of "-1" / "0"
};

/// The value converted to a scalar of `target` (VariantChangeType for scalar targets: Empty,
/// Null, the integer types, R4, R8, Currency, Date, String, Bool and Error). Unlike the
/// conversions above, Booleans become "-1" / "0" as strings unless kChangeAlphaBool is given,
/// any value may become Empty or Null, and Null itself fails only for the other targets.
/// Dates are not read from text: a string to Date is a type mismatch.
Variant changeType(const Variant& v, VarType target, std::uint16_t flags = kChangeDefault);

/// Stores `value` where the [in, out] argument `argument` leads, as the runtime assigns to a
/// by-reference parameter. A typed reference (Variant::typedRef) keeps its target's type: a
/// scalar is converted as changeType converts it, an array must have the target's element type,
/// anything else fails with type mismatch and leaves the target as it was. Any other argument
/// takes the value as it is.
void storeArgument(Variant& argument, const Variant& value);

/// The runtime's `=` as a test harness uses it: numbers of any type compare by value (True is
/// -1, a Date is its day number), strings compare exactly, Empty equals 0, False and "", error
/// values equal when their codes do, arrays equal when their bounds and elements do (numeric
/// element types may differ). Null and a reference to nothing equal nothing, not even
/// themselves. References are looked through.
bool automationEquals(const Variant& a, const Variant& b);

/// The runtime's TypeName: "Integer", "Long", "Byte", "Single", "Double", "Currency", "Date",
/// "String", "Boolean", "Error", "Empty", "Null", arrays as the element's name with "()"
/// ("Variant()", "Long()"). I8 is "LongLong"; I1, UI2, UI4 and UI8, which the runtime has no
/// name for, are "Unknown". A reference answers its target's name.
std::u16string typeName(const Variant& v);

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
