// PLACEHOLDER until the conversion rules land: only what the skeleton needs to link.
#include "automation/conversions.h"

#include "automation/errors.h"

#include <cmath>

namespace seg4 {

double roundHalfEven(double x) { return std::nearbyint(x); }

double toDouble(const Variant& v) {
    const Variant& d = v.deref();
    if (d.isEmpty()) return 0;
    if (d.isNull()) raise(hr::InvalidUseOfNull);
    switch (d.type()) {
    case VarType::UI1:
    case VarType::UI2:
    case VarType::UI4:
    case VarType::UI8: return static_cast<double>(d.asUnsigned());
    case VarType::R4:
    case VarType::R8:
    case VarType::Date: return d.asDouble();
    case VarType::Currency: return static_cast<double>(d.asCurrencyScaled()) / 10000.0;
    default: return static_cast<double>(d.asSigned());
    }
}

std::int32_t toLong(const Variant& v) {
    double d = roundHalfEven(toDouble(v));
    if (d < -2147483648.0 || d > 2147483647.0) raise(hr::Overflow);
    return static_cast<std::int32_t>(d);
}

std::int16_t toInteger(const Variant& v) { return narrowTo16(toLong(v)); }

std::uint8_t toByte(const Variant& v) {
    std::int32_t l = toLong(v);
    if (l < 0 || l > 255) raise(hr::Overflow);
    return static_cast<std::uint8_t>(l);
}

bool toBoolean(const Variant& v) { return toDouble(v) != 0; }

std::u16string toString(const Variant& v) {
    const Variant& d = v.deref();
    if (d.type() == VarType::String && !d.isArray()) return d.asString();
    return decimal(toLong(v));
}

Variant changeType(const Variant& v, VarType target) {
    switch (target) {
    case VarType::I2: return Variant::i2(toInteger(v));
    case VarType::I4: return Variant::i4(toLong(v));
    case VarType::Bool: return Variant::boolean(toBoolean(v));
    case VarType::String: return Variant::string(toString(v));
    default: raise(hr::TypeMismatch);
    }
}

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
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800) {
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
    return out;
}

std::u16string fromUtf8(std::string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        std::uint32_t c = 0xFFFD;
        std::size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = true;
        for (std::size_t k = 1; k < len; ++k) {
            auto n = static_cast<unsigned char>(s[i + k]);
            if ((n >> 6) != 2) {
                ok = false;
                break;
            }
            c = (c << 6) | (n & 0x3F);
        }
        if (!ok) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else
            out += static_cast<char16_t>(c);
    }
    return out;
}

std::u16string decimal(std::int64_t v) {
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

} // namespace seg4
