// Numbers as text: the runtime's number syntax read from strings, and numbers printed as it prints them.
//
// [SECTION] Reading: the syntax, one pass over the text into digits, a power of ten and a sign
// [SECTION] Typing: integers, doubles, singles and currency from the parsed digits
// [SECTION] Printing: the general format of doubles and singles, currency
//
// The runtime's answers are followed even where they are odd, because hosts compare ours with
// theirs: "0.06" rounds to 1 (the first stored digit is taken for the first decimal), "&HFFFF"
// is -1 as a 16-bit integer but 65535 as a 32-bit one, a "-" before "&H" is ignored, and a
// double is built by scaling the digits in steps of 10^10 rather than rounded exactly.
#include "automation/number_text.h"

#include "automation/errors.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace seg4::numtext {

// [SECTION] Reading

bool isBlank(char16_t c) noexcept {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

namespace {

bool isDigit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

int hexValue(char16_t c) noexcept {
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

std::int64_t wrap32(std::uint64_t v) noexcept {
    const auto low = static_cast<std::uint32_t>(v);
    return low >= 0x80000000u ? static_cast<std::int64_t>(low) - 0x100000000LL
                              : static_cast<std::int64_t>(low);
}

class Reader {
public:
    explicit Reader(std::u16string_view text) : text_(text.substr(0, text.find(u'\0'))) {}

    bool read(ParsedNumber& out) {
        out = ParsedNumber{};
        readLeadingSymbols();
        readRadixPrefix(out);
        if (!readBody(out)) return false;
        if (out.digits.empty()) {
            if (!leadingZero_) return false;
            out.digits.push_back(0);
        }
        if (out.baseShift == 0) {
            while (out.digits.size() > 1 && out.digits.back() == 0) {
                out.digits.pop_back();
                ++out.pwr10;
            }
        }
        readTrailingSymbols(out.baseShift != 0);
        // A "(" needs its ")"; a trailing "-" satisfies the check too, as it does for the runtime.
        if (paren_ && !negative_) return false;
        if (pos_ != text_.size()) return false;
        out.negative = negative_;
        return true;
    }

private:
    char16_t at(std::size_t k) const noexcept { return k < text_.size() ? text_[k] : u'\0'; }
    char16_t cur() const noexcept { return at(pos_); }

    void skipBlanks() {
        while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    }

    void readLeadingSymbols() {
        for (;;) {
            const char16_t c = cur();
            if (isBlank(c)) {
                skipBlanks();
            } else if (c == u'+' && !leadPlus_) {
                leadPlus_ = true;
                ++pos_;
            } else if (c == u'-' && !leadMinus_) {
                leadMinus_ = negative_ = true;
                ++pos_;
            } else if (c == u'$' && !leadCurrency_) {
                leadCurrency_ = true;
                ++pos_;
            } else if (c == u'(' && !paren_) {
                paren_ = true;
                ++pos_;
            } else {
                return;
            }
        }
    }

    // "&H" / "&O" after the leading symbols; a leading currency sign rules them out.
    void readRadixPrefix(ParsedNumber& out) {
        if (leadCurrency_ || cur() != u'&') return;
        const char16_t k = at(pos_ + 1);
        if (k == u'H' || k == u'h') out.baseShift = 4;
        if (k == u'O' || k == u'o') out.baseShift = 3;
        if (out.baseShift != 0) pos_ += 2;
    }

    void addDigit(ParsedNumber& out, std::uint8_t d) {
        if (out.digits.size() < kMaxDigits) {
            if (decimal_ && out.baseShift == 0) --out.pwr10;
            out.digits.push_back(d);
        } else if (out.baseShift != 0) {
            tooManyRadixDigits_ = true;
        } else {
            // Beyond the stored digits: a whole-number digit still counts as a power of ten.
            // The runtime also lowers the power for a dropped decimal digit; so do we.
            out.pwr10 += decimal_ ? -1 : 1;
        }
    }

    // The exponent and the power of ten are 32-bit in the runtime and wrap around when an
    // exponent is too long for them ("1e4294967297" is 10); we wrap them the same way.
    void readExponentDigits(ParsedNumber& out) {
        if (exponentStart_) {
            while (cur() == u'0') ++pos_;
        }
        std::uint32_t e = 0;
        while (isDigit(cur())) {
            e = e * 10u + static_cast<std::uint32_t>(cur() - u'0');
            ++pos_;
        }
        if (exponentNegative_) e = 0u - e;
        out.pwr10 = wrap32(static_cast<std::uint64_t>(out.pwr10) + e);
        inExponent_ = exponentStart_ = false;
    }

    bool readBody(ParsedNumber& out) {
        const bool radix = out.baseShift != 0;
        const std::size_t bodyStart = pos_;
        while (cur() == u'0') {
            leadingZero_ = true;
            ++pos_;
        }
        while (pos_ < text_.size()) {
            const char16_t c = cur();
            const bool started = pos_ > bodyStart;
            if (isDigit(c)) {
                if (inExponent_) {
                    readExponentDigits(out);
                    continue;
                }
                if (out.baseShift == 3 && c > u'7') return false;
                addDigit(out, static_cast<std::uint8_t>(c - u'0'));
            } else if (radix && hexValue(c) >= 0 && out.baseShift == 4) {
                addDigit(out, static_cast<std::uint8_t>(hexValue(c)));
            } else if (radix) {
                break;
            } else if (c == u',' && started) {
                // Thousands separators may appear anywhere but first.
            } else if (c == u'.' && !decimal_ && !exponent_) {
                decimal_ = true;
                if (out.digits.empty()) {
                    while (at(pos_ + 1) == u'0') {
                        leadingZero_ = true;
                        ++pos_;
                        --out.pwr10;
                    }
                }
            } else if ((c == u'e' || c == u'E') && !exponent_ && !leadCurrency_) {
                exponent_ = inExponent_ = exponentStart_ = true;
            } else if (inExponent_ && c == u'+') {
                // A plus inside the exponent changes nothing.
            } else if (inExponent_ && c == u'-') {
                exponentNegative_ = true;
            } else {
                break;
            }
            ++pos_;
        }
        if (inExponent_) return false; // "1e" or "1e+": the exponent has no digits
        if (tooManyRadixDigits_) out.digits.assign(kMaxDigits, 0xF); // surely too big for any type
        return true;
    }

    void readTrailingSymbols(bool radix) {
        for (;;) {
            const char16_t c = cur();
            if (isBlank(c)) {
                skipBlanks();
            } else if (c == u'+' && !leadPlus_) {
                ++pos_;
            } else if (c == u'-' && !leadMinus_) {
                negative_ = true;
                ++pos_;
            } else if (c == u')' && paren_) {
                negative_ = true;
                ++pos_;
            } else if ((c == u'$' || c == u',') && !radix) {
                ++pos_;
            } else {
                return;
            }
        }
    }

    std::u16string_view text_;
    std::size_t pos_ = 0;
    bool leadPlus_ = false, leadMinus_ = false, leadCurrency_ = false, paren_ = false;
    bool negative_ = false, leadingZero_ = false, decimal_ = false;
    bool exponent_ = false, inExponent_ = false, exponentStart_ = false, exponentNegative_ = false;
    bool tooManyRadixDigits_ = false;
};

} // namespace

bool parse(std::u16string_view text, ParsedNumber& out) { return Reader(text).read(out); }

// [SECTION] Typing

namespace {

[[noreturn]] void overflow() { raise(hr::Overflow); }

// The bits of an "&H" / "&O" number. The runtime refuses a digit once the value passes
// (2^64 - 1) >> shift minus that digit, a little before 64 bits are really full.
std::uint64_t radixValue(const ParsedNumber& n) {
    std::uint64_t v = 0;
    for (std::uint8_t d : n.digits) {
        if (v > (std::numeric_limits<std::uint64_t>::max() >> n.baseShift) - d) overflow();
        v = (v << n.baseShift) + d;
    }
    return v;
}

struct Magnitude {
    std::uint64_t value = 0;
    bool negative = false;
};

// The decimal number rounded half to even to a whole number.
Magnitude roundedMagnitude(const ParsedNumber& n) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    const auto count = static_cast<std::int64_t>(n.digits.size());
    std::int64_t whole = count, fraction = 0, scale = 0;
    if (n.pwr10 < 0) {
        whole = -n.pwr10 >= count ? 0 : count + n.pwr10;
        fraction = count - whole;
    } else {
        scale = n.pwr10;
    }
    std::uint64_t v = 0;
    for (std::int64_t i = 0; i < whole; ++i) {
        const std::uint8_t d = n.digits[static_cast<std::size_t>(i)];
        if (v > kMax / 10 - d) overflow();
        v = v * 10 + d;
    }
    for (std::int64_t i = 0; v != 0 && i < scale; ++i) {
        if (v > kMax / 10) overflow();
        v *= 10;
    }
    if (fraction > 0) {
        // The first stored digit after the whole part decides, even when zeros that were not
        // stored lie between it and the point.
        const auto first = static_cast<std::size_t>(whole);
        const std::uint8_t d = n.digits[first];
        bool up = d > 5;
        if (d == 5) {
            bool rest = false;
            for (std::size_t i = first + 1; i < n.digits.size(); ++i) rest = rest || n.digits[i] != 0;
            up = rest || (v & 1) != 0;
        }
        if (up) {
            if (v == kMax) overflow();
            ++v;
        }
    }
    return {v, n.negative && v != 0};
}

// The decimal number as a non-negative double: the digits accumulated as a double, then
// scaled by 10 in steps of at most 10^10. Before each step up the runtime checks the result
// against its largest double, 1.79769313486231E+308 (a little below the true largest, so the
// last few doubles overflow); before each step down a result below the least double (about
// 4.9E-324) becomes 0.
double scaledMagnitude(const ParsedNumber& n) {
    static constexpr std::array<double, 11> kPowers = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5,
                                                       1e6, 1e7, 1e8, 1e9, 1e10};
    constexpr double kLargest = 1.79769313486231e308;
    constexpr double kLeast = 4.94065645841247e-324;
    double whole = 0.0;
    for (std::uint8_t d : n.digits) whole = whole * 10.0 + d;
    std::int64_t up = n.pwr10 > 0 ? n.pwr10 : 0;
    std::int64_t down = n.pwr10 < 0 ? -n.pwr10 : 0;
    // Whole steps of ten first, the rest last.
    while (up > 0 && whole != 0.0) {
        const auto step = static_cast<std::size_t>(up > 10 ? 10 : up);
        if (whole > kLargest / kPowers[step]) overflow();
        whole *= kPowers[step];
        up -= static_cast<std::int64_t>(step);
    }
    while (down > 0 && whole != 0.0) {
        const auto step = static_cast<std::size_t>(down > 10 ? 10 : down);
        if (whole < kLeast * kPowers[step]) return 0.0;
        whole /= kPowers[step];
        down -= static_cast<std::int64_t>(step);
    }
    return whole;
}

// "&H" / "&O" as a floating value: only what fits 32 bits signed, read either way round.
double radixAsReal(const ParsedNumber& n) {
    const std::uint64_t v = radixValue(n);
    const auto negated = static_cast<std::int64_t>(0 - v);
    if (v <= 0x7FFFFFFFu) return static_cast<double>(v);
    if (negated >= std::numeric_limits<std::int32_t>::min()) return static_cast<double>(negated);
    overflow();
}

double dutchRound(double d) {
    const double whole = std::trunc(d);
    const double fraction = d - whole;
    const bool odd = std::fmod(whole, 2.0) != 0.0;
    if (fraction > 0.5) return whole + 1;
    if (fraction == 0.5) return odd ? whole + 1 : whole;
    if (fraction >= 0.0) return whole;
    if (fraction == -0.5) return odd ? whole - 1 : whole;
    if (fraction > -0.5) return whole;
    return whole - 1;
}

} // namespace

std::int64_t toSigned(const ParsedNumber& n, int bits) {
    if (n.baseShift != 0) {
        const std::uint64_t v = radixValue(n);
        if (bits >= 64) return static_cast<std::int64_t>(v);
        if ((v >> bits) != 0) overflow();
        const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
        return static_cast<std::int64_t>(v ^ sign) - static_cast<std::int64_t>(sign);
    }
    const Magnitude m = roundedMagnitude(n);
    const std::uint64_t limit = std::uint64_t{1} << (bits - 1); // |min|; max is limit - 1
    if (m.negative) {
        if (m.value > limit) overflow();
        return static_cast<std::int64_t>(0 - m.value);
    }
    if (m.value > limit - 1) overflow();
    return static_cast<std::int64_t>(m.value);
}

std::uint64_t toUnsigned(const ParsedNumber& n, int bits) {
    const std::uint64_t max = bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
    if (n.baseShift != 0) {
        const std::uint64_t v = radixValue(n);
        if (v > max) overflow();
        return v;
    }
    const Magnitude m = roundedMagnitude(n);
    if (m.negative || m.value > max) overflow();
    return m.value;
}

double toDouble(const ParsedNumber& n) {
    if (n.baseShift != 0) return radixAsReal(n);
    const double magnitude = scaledMagnitude(n);
    return n.negative ? -magnitude : magnitude;
}

float toSingle(const ParsedNumber& n) {
    if (n.baseShift != 0) return static_cast<float>(radixAsReal(n));
    const double magnitude = scaledMagnitude(n);
    if (magnitude != 0.0 && magnitude < static_cast<double>(std::numeric_limits<float>::denorm_min()))
        overflow();
    const auto f = static_cast<float>(magnitude);
    if (std::isinf(f)) overflow();
    return n.negative ? -f : f;
}

std::int64_t toCurrency(const ParsedNumber& n) {
    if (n.baseShift != 0) overflow();
    return currencyFromDouble(toDouble(n));
}

std::int64_t currencyFromDouble(double d) {
    constexpr double kLimit = 922337203685477.5807;
    if (!(d > -kLimit && d < kLimit)) overflow();
    // The runtime rounds the exact product d x 10 000, not the nearest double to it: the whole
    // part is scaled as an integer, and the rounding error of the fraction's product is kept.
    const double whole = std::trunc(d);
    const double fraction = d - whole;
    const double product = fraction * 10000.0;
    const double error = std::fma(fraction, 10000.0, -product);
    const double productWhole = std::trunc(product);
    const double rest = product - productWhole; // below one unit, with the sign of d
    std::int64_t value = static_cast<std::int64_t>(whole) * 10000 + static_cast<std::int64_t>(productWhole);
    const bool odd = (value & 1) != 0;
    // Only a rest of exactly one half is close enough for the product's rounding error to count.
    if (rest > 0.5 || (rest == 0.5 && (error > 0.0 || (error == 0.0 && odd)))) ++value;
    if (rest < -0.5 || (rest == -0.5 && (error < 0.0 || (error == 0.0 && odd)))) --value;
    return value;
}

std::int64_t roundToSigned(double d, std::int64_t min, std::int64_t max) {
    if (d < static_cast<double>(min) - 0.5 || d >= static_cast<double>(max) + 0.5) overflow();
    const double r = dutchRound(d);
    if (r < static_cast<double>(min) || r >= -static_cast<double>(std::numeric_limits<std::int64_t>::min()))
        overflow();
    const auto v = static_cast<std::int64_t>(r);
    if (v < min || v > max) overflow();
    return v;
}

std::uint64_t roundToUnsigned(double d, std::uint64_t max) {
    if (d < -0.5 || d >= static_cast<double>(max) + 0.5) overflow();
    const double r = dutchRound(d);
    if (r >= 18446744073709551616.0) overflow();
    const auto v = r <= 0.0 ? std::uint64_t{0} : static_cast<std::uint64_t>(r);
    if (v > max) overflow();
    return v;
}

// [SECTION] Printing

namespace {

std::u16string widen(std::string_view s) { return std::u16string(s.begin(), s.end()); }

} // namespace

std::u16string formatGeneral(double d, int significant) {
    if (std::isnan(d)) return std::signbit(d) ? u"-NAN" : u"NAN";
    if (std::isinf(d)) return d < 0 ? u"-INF" : u"INF";
    if (d == 0.0) return u"0";
    // Every digit of the double (no double has more than 767 significant ones), then rounded to
    // `significant` digits with ties away from zero, as the runtime's printf rounds them.
    std::array<char, 840> buf{};
    const auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), d, std::chars_format::scientific, 800);
    std::string_view sci(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
    const bool negative = sci.front() == '-';
    if (negative) sci.remove_prefix(1);
    const std::size_t e = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, e))
        if (c != '.') digits += c;
    int exponent = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    const auto kept = static_cast<std::size_t>(significant);
    const bool up = digits[kept] >= '5';
    digits.resize(kept);
    if (up) {
        std::size_t i = kept;
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[i - 1];
        }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent < -4 || exponent >= significant) {
        out += digits.substr(0, 1);
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += exponent < 0 ? "E-" : "E+";
        const int a = std::abs(exponent);
        if (a < 10) out += '0';
        out += std::to_string(a);
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        const auto point = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= point) {
            out += digits + std::string(point - digits.size(), '0');
        } else {
            out += digits.substr(0, point) + "." + digits.substr(point);
        }
    }
    return widen(out);
}

std::u16string formatCurrency(std::int64_t scaled) {
    const bool negative = scaled < 0;
    const std::uint64_t magnitude =
        negative ? std::uint64_t{0} - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string out = negative ? "-" : "";
    out += std::to_string(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        std::string f = std::to_string(fraction);
        f.insert(0, 4 - f.size(), '0');
        while (f.back() == '0') f.pop_back();
        out += "." + f;
    }
    return widen(out);
}

} // namespace seg4::numtext
