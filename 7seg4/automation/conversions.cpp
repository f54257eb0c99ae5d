// Conversions between automation values with the runtime's rules (CInt, CLng, CBool, ...).
//
// [SECTION] Sources: what a value is, once references are followed
// [SECTION] Targets: integers, reals, currency, dates, Booleans, strings
// [SECTION] The runtime's functions, changeType and storeArgument
// [SECTION] Equality and type names
// [SECTION] 16-bit arithmetic, UTF-8, decimal text
#include "automation/conversions.h"

#include "automation/date_text.h"
#include "automation/errors.h"
#include "automation/number_text.h"
#include "automation/utf8.h"

#include <cmath>
#include <iterator>
#include <limits>

namespace seg4 {

// [SECTION] Sources

namespace {

enum class Kind { Empty, Signed, Unsigned, Real, Currency, Text, Boolean };

/// A scalar source value: its kind, its automation type and the one field that holds it.
struct Source {
    Kind kind = Kind::Empty;
    VarType type = VarType::Empty;
    std::int64_t i = 0;  // Signed, Boolean (-1 / 0), Currency (scaled)
    std::uint64_t u = 0; // Unsigned
    double d = 0.0;      // Real (R4, R8, Date)
    const std::u16string* s = nullptr;
};

bool isNumericType(VarType t) {
    switch (t) {
    case VarType::I1:
    case VarType::I2:
    case VarType::I4:
    case VarType::I8:
    case VarType::UI1:
    case VarType::UI2:
    case VarType::UI4:
    case VarType::UI8:
    case VarType::R4:
    case VarType::R8:
    case VarType::Currency:
    case VarType::Date:
    case VarType::Bool: return true;
    default: return false;
    }
}

/// The value behind `v` as a scalar source. Null fails with invalid use of Null; arrays, error
/// values and references to nothing fail with type mismatch.
Source sourceOf(const Variant& v) {
    const Variant& d = v.deref();
    if (d.isArray()) raise(hr::TypeMismatch);
    Source s;
    s.type = d.type();
    switch (d.type()) {
    case VarType::Empty: s.kind = Kind::Empty; break;
    case VarType::Null: raise(hr::InvalidUseOfNull);
    case VarType::I1:
    case VarType::I2:
    case VarType::I4:
    case VarType::I8:
        s.kind = Kind::Signed;
        s.i = d.asSigned();
        break;
    case VarType::UI1:
    case VarType::UI2:
    case VarType::UI4:
    case VarType::UI8:
        s.kind = Kind::Unsigned;
        s.u = d.asUnsigned();
        break;
    case VarType::R4:
    case VarType::R8:
    case VarType::Date:
        s.kind = Kind::Real;
        s.d = d.asDouble();
        break;
    case VarType::Currency:
        s.kind = Kind::Currency;
        s.i = d.asCurrencyScaled();
        break;
    case VarType::String:
        s.kind = Kind::Text;
        s.s = &d.asString();
        break;
    case VarType::Bool:
        s.kind = Kind::Boolean;
        s.i = d.asBool() ? -1 : 0;
        break;
    default: raise(hr::TypeMismatch); // error values, references to nothing
    }
    return s;
}

numtext::ParsedNumber parsedText(const std::u16string& text) {
    numtext::ParsedNumber n;
    if (!numtext::parse(text, n)) raise(hr::TypeMismatch);
    return n;
}

// [SECTION] Targets

struct IntegerTarget {
    int bytes;
    bool isSigned;
};

IntegerTarget integerTargetOf(VarType t) {
    switch (t) {
    case VarType::I1: return {1, true};
    case VarType::UI1: return {1, false};
    case VarType::I2: return {2, true};
    case VarType::UI2: return {2, false};
    case VarType::I4: return {4, true};
    case VarType::UI4: return {4, false};
    case VarType::I8: return {8, true};
    default: return {8, false};
    }
}

int byteWidth(VarType t) {
    switch (t) {
    case VarType::I1:
    case VarType::UI1: return 1;
    case VarType::I2:
    case VarType::UI2:
    case VarType::Bool: return 2;
    case VarType::I4:
    case VarType::UI4: return 4;
    default: return 8;
    }
}

std::uint64_t truncated(std::uint64_t bits, int bytes) {
    return bytes >= 8 ? bits : bits & ((std::uint64_t{1} << (8 * bytes)) - 1);
}

std::int64_t signExtended(std::uint64_t bits, int bytes) {
    if (bytes >= 8) return static_cast<std::int64_t>(bits);
    const std::uint64_t sign = std::uint64_t{1} << (8 * bytes - 1);
    return static_cast<std::int64_t>(truncated(bits, bytes) ^ sign) - static_cast<std::int64_t>(sign);
}

/// The bit pattern of `s` converted to the integer type `target` (truncated to its width).
///
/// Between integer types of the same width the runtime keeps the bits (UI2 65535 is I2 -1, I4 -1
/// is UI4 4294967295); other integer conversions check the range. True becomes all ones of
/// any width. Reals and currency round half to even.
std::uint64_t integerBits(const Source& s, VarType target) {
    const IntegerTarget t = integerTargetOf(target);
    const int bits = 8 * t.bytes;
    const std::int64_t min = t.isSigned ? (bits >= 64 ? std::numeric_limits<std::int64_t>::min()
                                                      : -(std::int64_t{1} << (bits - 1)))
                                        : 0;
    const std::uint64_t max = t.isSigned ? (std::uint64_t{1} << (bits - 1)) - 1
                                         : (bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1);
    auto fromSigned = [&](std::int64_t x) -> std::uint64_t {
        if (x < min || (x >= 0 && static_cast<std::uint64_t>(x) > max)) raise(hr::Overflow);
        return truncated(static_cast<std::uint64_t>(x), t.bytes);
    };
    switch (s.kind) {
    case Kind::Empty: return 0;
    case Kind::Boolean: return truncated(static_cast<std::uint64_t>(s.i), t.bytes);
    case Kind::Signed:
        if (byteWidth(s.type) == t.bytes) return truncated(static_cast<std::uint64_t>(s.i), t.bytes);
        if (s.type == VarType::I8 && target == VarType::UI2) {
            if (s.i < 0 || s.i > 0xFFFFFFFF) raise(hr::Overflow);
            return truncated(static_cast<std::uint64_t>(s.i), 2);
        }
        return fromSigned(s.i);
    case Kind::Unsigned:
        if (byteWidth(s.type) == t.bytes) return s.u;
        // The runtime takes 64-bit values to UI2 through 32 bits and keeps the low 16 of them.
        if (s.type == VarType::UI8 && target == VarType::UI2) {
            if (s.u > 0xFFFFFFFFu) raise(hr::Overflow);
            return truncated(s.u, 2);
        }
        if (s.u > max) raise(hr::Overflow);
        return s.u;
    case Kind::Real:
        if (std::isnan(s.d)) {
            // What the runtime's rounding makes of NaN: the truncated NaN less one.
            switch (target) {
            case VarType::I4: return 0x7FFFFFFFu;
            case VarType::I8:
            case VarType::UI8: return 0x7FFFFFFFFFFFFFFFu;
            default: return truncated(~std::uint64_t{0}, t.bytes);
            }
        }
        // The runtime takes only doubles below 2^62 in size to I8.
        if (target == VarType::I8 && !(s.d >= -4611686018427387904.0 && s.d < 4611686018427387904.0))
            raise(hr::Overflow);
        if (t.isSigned)
            return truncated(static_cast<std::uint64_t>(numtext::roundToSigned(s.d, min, max)), t.bytes);
        return numtext::roundToUnsigned(s.d, max);
    case Kind::Currency: {
        std::int64_t q = s.i / 10000;
        const std::int64_t r = s.i % 10000;
        if (r > 5000 || (r == 5000 && (q & 1) != 0)) ++q;
        if (r < -5000 || (r == -5000 && (q & 1) != 0)) --q;
        return fromSigned(q);
    }
    case Kind::Text: {
        const numtext::ParsedNumber n = parsedText(*s.s);
        if (t.isSigned) return truncated(static_cast<std::uint64_t>(numtext::toSigned(n, bits)), t.bytes);
        return numtext::toUnsigned(n, bits);
    }
    }
    raise(hr::TypeMismatch);
}

std::int64_t integerValue(const Source& s, VarType target) {
    const std::uint64_t bits = integerBits(s, target);
    const IntegerTarget t = integerTargetOf(target);
    return t.isSigned ? signExtended(bits, t.bytes) : static_cast<std::int64_t>(bits);
}

double realValue(const Source& s) {
    switch (s.kind) {
    case Kind::Empty: return 0.0;
    case Kind::Boolean:
    case Kind::Signed: return static_cast<double>(s.i);
    case Kind::Unsigned: return static_cast<double>(s.u);
    case Kind::Real: return s.d;
    case Kind::Currency: return static_cast<double>(s.i) / 10000.0;
    case Kind::Text: return numtext::toDouble(parsedText(*s.s));
    }
    raise(hr::TypeMismatch);
}

float singleValue(const Source& s) {
    if (s.kind == Kind::Text) return numtext::toSingle(parsedText(*s.s));
    const double d = realValue(s);
    const auto f = static_cast<float>(d);
    if (std::isinf(f)) raise(hr::Overflow);
    return f;
}

std::int64_t currencyValue(const Source& s) {
    constexpr std::int64_t kMaxWhole = 922337203685477;
    switch (s.kind) {
    case Kind::Empty: return 0;
    case Kind::Currency: return s.i;
    case Kind::Boolean:
    case Kind::Signed:
        if (s.i > kMaxWhole || s.i < -kMaxWhole) raise(hr::Overflow);
        return s.i * 10000;
    case Kind::Unsigned:
        if (s.u > static_cast<std::uint64_t>(kMaxWhole)) raise(hr::Overflow);
        return static_cast<std::int64_t>(s.u) * 10000;
    case Kind::Real: return numtext::currencyFromDouble(s.d);
    case Kind::Text: return numtext::toCurrency(parsedText(*s.s));
    }
    raise(hr::TypeMismatch);
}

double dateValue(const Source& s) {
    // Dates are not read from text; every other source is a day number.
    if (s.kind == Kind::Text) raise(hr::TypeMismatch);
    const double d = realValue(s);
    if (d <= datetext::kFirstDay - 1.0 || d >= datetext::kLastDay + 1.0) raise(hr::Overflow);
    return d;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
        if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
        if (x != y) return false;
    }
    return true;
}

bool booleanValue(const Source& s) {
    switch (s.kind) {
    case Kind::Empty: return false;
    case Kind::Boolean:
    case Kind::Signed:
    case Kind::Currency: return s.i != 0;
    case Kind::Unsigned: return s.u != 0;
    case Kind::Real: return s.d != 0.0; // NaN is true
    case Kind::Text: {
        // The words in any letter case, the runtime's literals exactly, else a number.
        std::u16string_view text(*s.s);
        text = text.substr(0, text.find(u'\0'));
        if (equalsIgnoringCase(text, u"True") || text == u"#TRUE#") return true;
        if (equalsIgnoringCase(text, u"False") || text == u"#FALSE#") return false;
        return numtext::toDouble(parsedText(*s.s)) != 0.0;
    }
    }
    raise(hr::TypeMismatch);
}

std::u16string stringValue(const Source& s, bool alphaBool) {
    switch (s.kind) {
    case Kind::Empty: return {};
    case Kind::Boolean:
        if (alphaBool) return s.i != 0 ? u"True" : u"False";
        return decimal(s.i);
    case Kind::Signed: return decimal(s.i);
    case Kind::Unsigned: {
        const std::string digits = std::to_string(s.u);
        return std::u16string(digits.begin(), digits.end());
    }
    case Kind::Real:
        if (s.type == VarType::Date) return datetext::formatDate(s.d);
        return numtext::formatGeneral(s.d, s.type == VarType::R4 ? 7 : 15);
    case Kind::Currency: return numtext::formatCurrency(s.i);
    case Kind::Text: return *s.s;
    }
    raise(hr::TypeMismatch);
}

Variant integerVariant(VarType target, std::int64_t v) {
    switch (target) {
    case VarType::I1: return Variant::i1(static_cast<std::int8_t>(v));
    case VarType::UI1: return Variant::ui1(static_cast<std::uint8_t>(v));
    case VarType::I2: return Variant::i2(static_cast<std::int16_t>(v));
    case VarType::UI2: return Variant::ui2(static_cast<std::uint16_t>(v));
    case VarType::I4: return Variant::i4(static_cast<std::int32_t>(v));
    case VarType::UI4: return Variant::ui4(static_cast<std::uint32_t>(v));
    case VarType::I8: return Variant::i8(v);
    default: return Variant::ui8(static_cast<std::uint64_t>(v));
    }
}

} // namespace

// [SECTION] The runtime's functions and changeType

double roundHalfEven(double x) {
    const double whole = std::trunc(x);
    const double fraction = x - whole;
    const bool odd = std::fmod(whole, 2.0) != 0.0;
    if (fraction > 0.5 || (fraction == 0.5 && odd)) return whole + 1;
    if (fraction < -0.5 || (fraction == -0.5 && odd)) return whole - 1;
    return whole;
}

std::int16_t toInteger(const Variant& v) {
    return static_cast<std::int16_t>(integerValue(sourceOf(v), VarType::I2));
}

std::int32_t toLong(const Variant& v) {
    return static_cast<std::int32_t>(integerValue(sourceOf(v), VarType::I4));
}

std::uint8_t toByte(const Variant& v) {
    return static_cast<std::uint8_t>(integerValue(sourceOf(v), VarType::UI1));
}

double toDouble(const Variant& v) { return realValue(sourceOf(v)); }

bool toBoolean(const Variant& v) { return booleanValue(sourceOf(v)); }

std::u16string toString(const Variant& v) { return stringValue(sourceOf(v), true); }

Variant changeType(const Variant& v, VarType target, std::uint16_t flags) {
    const Variant& d = v.deref();
    if (d.isArray()) raise(hr::TypeMismatch);
    switch (target) {
    case VarType::Empty: return Variant();
    case VarType::Null: return Variant::null();
    case VarType::Error:
        if (d.type() == VarType::Error) return d;
        if (d.isNull()) raise(hr::InvalidUseOfNull);
        raise(hr::TypeMismatch);
    default: break;
    }
    const Source s = sourceOf(d);
    switch (target) {
    case VarType::I1:
    case VarType::UI1:
    case VarType::I2:
    case VarType::UI2:
    case VarType::I4:
    case VarType::UI4:
    case VarType::I8:
    case VarType::UI8: return integerVariant(target, integerValue(s, target));
    case VarType::R4: return Variant::r4(singleValue(s));
    case VarType::R8: return Variant::r8(realValue(s));
    case VarType::Currency: return Variant::currency(currencyValue(s));
    case VarType::Date: return Variant::date(dateValue(s));
    case VarType::String: return Variant::string(stringValue(s, (flags & kChangeAlphaBool) != 0));
    case VarType::Bool: return Variant::boolean(booleanValue(s));
    default: raise(hr::TypeMismatch);
    }
}

void storeArgument(Variant& argument, const Variant& value) {
    Variant& target = argument.deref();
    const Variant& v = value.deref();
    if (!argument.isTypedRef() || target.isByRef()) {
        target = Variant(v); // a copy first: `value` may be the target itself
        return;
    }
    if (target.isArray()) {
        if (!v.isArray() || v.type() != target.type()) raise(hr::TypeMismatch);
        target = Variant(v);
        return;
    }
    target = v.vt() == target.vt() ? Variant(v) : changeType(v, target.type());
}

// [SECTION] Equality and type names

namespace {

/// A number compared exactly: whole numbers as sign and magnitude, currency as its scaled
/// value, reals as doubles.
struct Number {
    enum { Whole, Scaled, Real } form = Whole;
    bool negative = false;
    std::uint64_t magnitude = 0; // Whole
    std::int64_t scaled = 0;     // Scaled
    double real = 0.0;           // Real
};

Number numberOf(const Source& s) {
    Number n;
    switch (s.kind) {
    case Kind::Empty: break;
    case Kind::Boolean:
    case Kind::Signed:
        n.negative = s.i < 0;
        n.magnitude =
            n.negative ? std::uint64_t{0} - static_cast<std::uint64_t>(s.i) : static_cast<std::uint64_t>(s.i);
        break;
    case Kind::Unsigned: n.magnitude = s.u; break;
    case Kind::Currency:
        n.form = Number::Scaled;
        n.scaled = s.i;
        break;
    default:
        n.form = Number::Real;
        n.real = s.d;
        break;
    }
    return n;
}

bool wholeEquals(bool negA, std::uint64_t a, bool negB, std::uint64_t b) {
    if (a == 0 && b == 0) return true;
    return negA == negB && a == b;
}

// An integral double below 2^64 as sign and magnitude; false for anything else.
bool wholeOfReal(double d, bool& negative, std::uint64_t& magnitude) {
    if (!(std::fabs(d) < 18446744073709551616.0) || std::trunc(d) != d) return false;
    negative = d < 0;
    magnitude = static_cast<std::uint64_t>(std::fabs(d));
    return true;
}

bool numbersEqual(const Number& a, const Number& b) {
    if (a.form == Number::Whole && b.form == Number::Whole)
        return wholeEquals(a.negative, a.magnitude, b.negative, b.magnitude);
    if (a.form == Number::Scaled && b.form == Number::Scaled) return a.scaled == b.scaled;
    if (a.form == Number::Real && b.form == Number::Real) return a.real == b.real;
    if (b.form == Number::Whole || (b.form == Number::Scaled && a.form == Number::Real))
        return numbersEqual(b, a);
    // From here a is Whole or Scaled and b is of a later form.
    if (a.form == Number::Whole) {
        if (b.form == Number::Scaled) {
            if (b.scaled % 10000 != 0) return false;
            const std::int64_t w = b.scaled / 10000;
            return wholeEquals(a.negative, a.magnitude, w < 0,
                               w < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(w)
                                     : static_cast<std::uint64_t>(w));
        }
        bool negative = false;
        std::uint64_t magnitude = 0;
        return wholeOfReal(b.real, negative, magnitude) &&
               wholeEquals(a.negative, a.magnitude, negative, magnitude);
    }
    // Currency against a real: the real times 10 000 must be the scaled value exactly.
    const double product = b.real * 10000.0;
    const double error = std::fma(b.real, 10000.0, -product);
    return error == 0.0 && product == static_cast<double>(a.scaled) &&
           std::fabs(product) < 9223372036854775808.0 && static_cast<std::int64_t>(product) == a.scaled;
}

bool scalarsEqual(const Variant& a, const Variant& b) {
    if (a.isNull() || b.isNull()) return false;
    const bool errA = a.type() == VarType::Error, errB = b.type() == VarType::Error;
    if (errA || errB) return errA && errB && a.asSigned() == b.asSigned();
    if (a.type() == VarType::Variant || b.type() == VarType::Variant) return false; // references to nothing
    const Source x = sourceOf(a), y = sourceOf(b);
    if (x.kind == Kind::Text || y.kind == Kind::Text) {
        if (x.kind == Kind::Text && y.kind == Kind::Text) return *x.s == *y.s;
        const Source& other = x.kind == Kind::Text ? y : x;
        const std::u16string& text = x.kind == Kind::Text ? *x.s : *y.s;
        return other.kind == Kind::Empty && text.empty();
    }
    return numbersEqual(numberOf(x), numberOf(y));
}

bool elementTypesComparable(VarType a, VarType b) {
    return a == b || a == VarType::Variant || b == VarType::Variant || (isNumericType(a) && isNumericType(b));
}

} // namespace

bool automationEquals(const Variant& a, const Variant& b) {
    const Variant& x = a.deref();
    const Variant& y = b.deref();
    if (x.isArray() != y.isArray()) return false;
    if (!x.isArray()) return scalarsEqual(x, y);
    if (!elementTypesComparable(x.type(), y.type())) return false;
    const SafeArray* p = x.arrayData();
    const SafeArray* q = y.arrayData();
    if (!p || !q) return !p && !q;
    if (p->lowerBound != q->lowerBound || p->dimensions != q->dimensions ||
        p->elements.size() != q->elements.size())
        return false;
    for (std::size_t i = 0; i < p->elements.size(); ++i)
        if (!automationEquals(p->elements[i], q->elements[i])) return false;
    return true;
}

std::u16string typeName(const Variant& v) {
    const Variant& d = v.deref();
    std::u16string name;
    switch (d.type()) {
    case VarType::Empty: name = u"Empty"; break;
    case VarType::Null: name = u"Null"; break;
    case VarType::I2: name = u"Integer"; break;
    case VarType::I4: name = u"Long"; break;
    case VarType::R4: name = u"Single"; break;
    case VarType::R8: name = u"Double"; break;
    case VarType::Currency: name = u"Currency"; break;
    case VarType::Date: name = u"Date"; break;
    case VarType::String: name = u"String"; break;
    case VarType::Error: name = u"Error"; break;
    case VarType::Object: name = u"Object"; break;
    case VarType::Bool: name = u"Boolean"; break;
    case VarType::UI1: name = u"Byte"; break;
    case VarType::I8: name = u"LongLong"; break;
    case VarType::Variant: name = d.isArray() ? u"Variant" : u"Unknown"; break;
    default: name = u"Unknown"; break;
    }
    return d.isArray() ? name + u"()" : name;
}

// [SECTION] 16-bit arithmetic, UTF-8, decimal text

std::int16_t narrowTo16(std::int64_t v) {
    if (v < -32768 || v > 32767) raise(hr::Overflow);
    return static_cast<std::int16_t>(v);
}
std::int16_t checkedAdd16(std::int32_t a, std::int32_t b) { return narrowTo16(std::int64_t{a} + b); }
std::int16_t checkedSub16(std::int32_t a, std::int32_t b) { return narrowTo16(std::int64_t{a} - b); }
std::int16_t checkedMul16(std::int32_t a, std::int32_t b) { return narrowTo16(std::int64_t{a} * b); }

std::string toUtf8(std::u16string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        utf8::append(out, c);
    }
    return out;
}

namespace {

void appendCodePoint(std::u16string& out, std::uint32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<char16_t>(c);
    }
}

} // namespace

std::u16string fromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) { // the common case, without the general step
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        // An ill-formed sequence costs one U+FFFD for its longest valid prefix.
        const utf8::Sequence sequence = utf8::read(bytes, i);
        if (sequence.wellFormed)
            appendCodePoint(out, sequence.codePoint);
        else
            out += u'\uFFFD';
        i += sequence.length;
    }
    return out;
}

std::u16string decimal(std::int64_t v) {
    char16_t digits[21]; // a sign and the twenty digits of 2^64
    char16_t* first = std::end(digits);
    std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    do {
        *--first = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (v < 0) *--first = u'-';
    return std::u16string(first, std::end(digits));
}

} // namespace seg4
