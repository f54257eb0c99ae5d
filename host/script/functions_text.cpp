// Text functions and typed arrays of the script language.
#include "script/functions_text.h"

#include "automation/conversions.h"
#include "automation/errors.h"

#include <string>
#include <utility>
#include <vector>

namespace qhost {

namespace {

using seg4::Variant;
using seg4::VarType;
using Args = std::span<const Variant>;

[[noreturn]] void invalidCall() { seg4::raise(seg4::hr::InvalidProcedureCall); }

/// A 1-based position or a count that must be at least `least`.
std::int32_t atLeast(const Variant& v, std::int32_t least) {
    const std::int32_t n = seg4::toLong(v); // Null: invalid use of Null
    if (n < least) invalidCall();
    return n;
}

/// The runtime's comparison modes: 0 compares characters as they are, 1 ignores letter case.
bool textCompare(Args args, std::size_t at) {
    if (args.size() <= at) return false;
    const std::int32_t mode = seg4::toLong(args[at]);
    if (mode != 0 && mode != 1) invalidCall();
    return mode == 1;
}

// Letter case of ASCII and of the Latin-1 letters; the same on every system the host runs on.
char16_t lowerOf(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 32);
    return c;
}
char16_t upperOf(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 32);
    return c;
}
std::u16string mapped(std::u16string s, char16_t (*map)(char16_t)) {
    for (char16_t& c : s) c = map(c);
    return s;
}

/// Where `what` starts in `text` at or after `from` (0-based), or npos.
std::size_t findIn(const std::u16string& text, const std::u16string& what, std::size_t from,
                   bool ignoreCase) {
    if (!ignoreCase) return text.find(what, from);
    return mapped(text, lowerOf).find(mapped(what, lowerOf), from);
}

Variant text(std::u16string s) { return Variant::string(std::move(s)); }

// InStr([start,] string1, string2[, compare])
Variant inStr(Args a) {
    const bool hasStart = a.size() >= 3;
    const std::int32_t start = hasStart ? atLeast(a[0], 1) : 1;
    const std::size_t first = hasStart ? 1 : 0;
    const bool ignoreCase = textCompare(a, 3);
    if (a[first].isNull() || a[first + 1].isNull()) return Variant::null();
    const std::u16string s = seg4::toString(a[first]), what = seg4::toString(a[first + 1]);
    const auto from = static_cast<std::size_t>(start - 1);
    if (s.empty() || from >= s.size()) return Variant::i4(0);
    if (what.empty()) return Variant::i4(start);
    const std::size_t at = findIn(s, what, from, ignoreCase);
    return Variant::i4(at == std::u16string::npos ? 0 : static_cast<std::int32_t>(at + 1));
}

Variant left(Args a) {
    const auto n = static_cast<std::size_t>(atLeast(a[1], 0));
    if (a[0].isNull()) return Variant::null();
    return text(seg4::toString(a[0]).substr(0, n));
}

Variant right(Args a) {
    const auto n = static_cast<std::size_t>(atLeast(a[1], 0));
    if (a[0].isNull()) return Variant::null();
    const std::u16string s = seg4::toString(a[0]);
    return text(n >= s.size() ? s : s.substr(s.size() - n));
}

// Mid(string, start[, length])
Variant mid(Args a) {
    const auto from = static_cast<std::size_t>(atLeast(a[1], 1) - 1);
    const std::size_t length =
        a.size() > 2 ? static_cast<std::size_t>(atLeast(a[2], 0)) : std::u16string::npos;
    if (a[0].isNull()) return Variant::null();
    const std::u16string s = seg4::toString(a[0]);
    return text(from >= s.size() ? std::u16string() : s.substr(from, length));
}

// Replace(expression, find, replacement[, start[, count[, compare]]]): the text from `start` on,
// with at most `count` (-1: every) occurrences replaced, left to right.
Variant replace(Args a) {
    const std::u16string s = seg4::toString(a[0]), what = seg4::toString(a[1]), with = seg4::toString(a[2]);
    const std::int32_t start = a.size() > 3 ? atLeast(a[3], 1) : 1;
    std::int32_t count = a.size() > 4 ? atLeast(a[4], -1) : -1;
    const bool ignoreCase = textCompare(a, 5);
    const auto from = static_cast<std::size_t>(start - 1);
    if (from >= s.size()) return text({});
    const std::u16string rest = s.substr(from);
    if (what.empty() || count == 0) return text(rest);
    std::u16string out;
    std::size_t done = 0;
    for (std::size_t at; count != 0 && (at = findIn(rest, what, done, ignoreCase)) != std::u16string::npos;
         --count) {
        out.append(rest, done, at - done);
        out += with;
        done = at + what.size();
    }
    out.append(rest, done, std::u16string::npos);
    return text(std::move(out));
}

// Split(expression[, delimiter[, limit[, compare]]]): a String array with lower bound 0.
Variant split(Args a) {
    const std::u16string s = seg4::toString(a[0]);
    const std::u16string delimiter = a.size() > 1 ? seg4::toString(a[1]) : u" ";
    const std::int32_t limit = a.size() > 2 ? atLeast(a[2], -1) : -1;
    const bool ignoreCase = textCompare(a, 3);
    std::vector<Variant> parts;
    if (s.empty() || limit == 0) return Variant::emptyArray(VarType::String);
    std::size_t from = 0;
    if (!delimiter.empty()) {
        for (std::size_t at; (limit < 0 || static_cast<std::int32_t>(parts.size()) < limit - 1) &&
                             (at = findIn(s, delimiter, from, ignoreCase)) != std::u16string::npos;) {
            parts.push_back(text(s.substr(from, at - from)));
            from = at + delimiter.size();
        }
    }
    parts.push_back(text(s.substr(from)));
    return Variant::array(VarType::String, 0, std::move(parts));
}

// Join(array[, delimiter])
Variant join(Args a) {
    if (!a[0].isArray()) seg4::raise(seg4::hr::TypeMismatch);
    const std::u16string delimiter = a.size() > 1 ? seg4::toString(a[1]) : u" ";
    const seg4::SafeArray* array = a[0].arrayData();
    if (!array) return text({});
    if (array->dimensionCount() != 1) invalidCall();
    std::u16string out;
    for (std::size_t i = 0; i < array->elements.size(); ++i) {
        if (i > 0) out += delimiter;
        out += seg4::toString(array->elements[i]);
    }
    return text(std::move(out));
}

Variant lowerCase(Args a) {
    return a[0].isNull() ? Variant::null() : text(mapped(seg4::toString(a[0]), lowerOf));
}
Variant upperCase(Args a) {
    return a[0].isNull() ? Variant::null() : text(mapped(seg4::toString(a[0]), upperOf));
}

// Hex(number): whole types keep their width, so a negative Integer shows its 16-bit two's
// complement and a negative Long its 32-bit one; other values are rounded to a Long first.
Variant hex(Args a) {
    const Variant& v = a[0];
    if (v.isNull()) return Variant::null();
    if (v.isArray()) seg4::raise(seg4::hr::TypeMismatch);
    std::uint64_t bits = 0;
    switch (v.type()) {
    case VarType::Empty: break;
    case VarType::UI1:
    case VarType::UI2:
    case VarType::UI4:
    case VarType::UI8: bits = v.asUnsigned(); break;
    case VarType::I1: bits = static_cast<std::uint8_t>(v.asSigned()); break;
    case VarType::I2:
    case VarType::Bool: bits = static_cast<std::uint16_t>(v.asSigned()); break;
    case VarType::I8: bits = static_cast<std::uint64_t>(v.asSigned()); break;
    default: bits = static_cast<std::uint32_t>(seg4::toLong(v)); break;
    }
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string out;
    do {
        out.insert(out.begin(), kDigits[bits & 15]);
        bits >>= 4;
    } while (bits != 0);
    return text(std::move(out));
}

/// The element type a script names ("Long", "integer", ...).
VarType elementTypeNamed(const Variant& name) {
    static const std::pair<const char16_t*, VarType> kTypes[] = {
        {u"integer", VarType::I2},        {u"long", VarType::I4},   {u"byte", VarType::UI1},
        {u"boolean", VarType::Bool},      {u"single", VarType::R4}, {u"double", VarType::R8},
        {u"currency", VarType::Currency}, {u"date", VarType::Date}, {u"string", VarType::String},
        {u"variant", VarType::Variant},
    };
    const std::u16string wanted = mapped(seg4::toString(name), lowerOf);
    for (const auto& [word, type] : kTypes)
        if (wanted == word) return type;
    throw FunctionMisuse("no element type '" + seg4::toUtf8(seg4::toString(name)) +
                         "' (use Integer, Long, Byte, Boolean, Single, Double, Currency, Date, String or "
                         "Variant)");
}

// ArrayOf(type, lower, values...): a one-dimensional array of that element type.
Variant arrayOf(Args a) {
    const VarType type = elementTypeNamed(a[0]);
    return Variant::array(type, seg4::toLong(a[1]), std::vector<Variant>(a.begin() + 2, a.end()));
}

// ArrayOf2(type, lower1, count1, lower2, values...): a two-dimensional array whose first index
// runs over count1 values; the values come row by row, a(lower1, lower2), a(lower1, lower2 + 1),
// ..., as the printer shows them.
Variant arrayOf2(Args a) {
    const VarType type = elementTypeNamed(a[0]);
    const std::int32_t lower1 = seg4::toLong(a[1]);
    const std::int32_t count1 = atLeast(a[2], 1);
    const std::int32_t lower2 = seg4::toLong(a[3]);
    const std::size_t values = a.size() - 4;
    if (values % static_cast<std::size_t>(count1) != 0)
        throw FunctionMisuse(std::to_string(values) + " values do not fill " + std::to_string(count1) +
                             " rows of equal length");
    const auto rows = static_cast<std::size_t>(count1), columns = values / rows;
    std::vector<Variant> stored(values); // the first index runs fastest where the array keeps them
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < columns; ++c) stored[c * rows + r] = a[4 + r * columns + c];
    return Variant::array2(type, {lower1, count1}, {lower2, static_cast<std::int32_t>(columns)},
                           std::move(stored));
}

constexpr std::size_t kMany = 65536;

} // namespace

const ValueFunction* valueFunction(BuiltIn builtIn) {
    static const std::pair<BuiltIn, ValueFunction> kFunctions[] = {
        {BuiltIn::InStr, {2, 4, inStr}},
        {BuiltIn::Left, {2, 2, left}},
        {BuiltIn::Mid, {2, 3, mid}},
        {BuiltIn::Right, {2, 2, right}},
        {BuiltIn::Replace, {3, 6, replace}},
        {BuiltIn::Split, {1, 4, split}},
        {BuiltIn::Join, {1, 2, join}},
        {BuiltIn::LCase, {1, 1, lowerCase}},
        {BuiltIn::UCase, {1, 1, upperCase}},
        {BuiltIn::Hex, {1, 1, hex}},
        {BuiltIn::ArrayOf, {2, kMany, arrayOf}},
        {BuiltIn::ArrayOf2, {4, kMany, arrayOf2}},
    };
    for (const auto& [which, function] : kFunctions)
        if (which == builtIn) return &function;
    return nullptr;
}

std::int32_t arrayBound(const Variant& v, std::int32_t dimension, bool upper) {
    if (!v.deref().isArray()) seg4::raise(seg4::hr::TypeMismatch);
    const seg4::SafeArray* a = v.arrayData();
    if (!a || dimension < 1 || dimension > a->dimensionCount()) seg4::raise(seg4::hr::SubscriptOutOfRange);
    return upper ? a->upper(dimension) : a->lower(dimension);
}

} // namespace qhost
