// The portable rules against the platform's own implementations, on thousands of generated
// inputs: the profile reader (seg4profile) against GetPrivateProfileStringA, and the core's
// value conversions against VariantChangeType. Every difference must be one this file explains.
#include "wine_support.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "profile_reader.h"
#include "variant_bridge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace seg4::wine {
namespace {

/// How many unexplained differences are reported in full (SEG4_DIFFERENTIAL_REPORT, default 10).
int reportLimit() {
    const char* limit = std::getenv("SEG4_DIFFERENTIAL_REPORT");
    return limit ? std::atoi(limit) : 10;
}

// ---- profile files ----

/// Generates INI texts that reach the reader's corner cases: letter case and blanks around
/// names, lines without "=", "[" lines without "]", "[]", repeated sections and keys, quotes,
/// comment lines, every line ending, tabs, DOS end-of-file marks and bytes of the upper half.
class ProfileGenerator {
public:
    explicit ProfileGenerator(std::uint32_t seed) : random_(seed) {}

    std::string file() {
        std::string text;
        const int lines = pick(0, 14);
        for (int i = 0; i < lines; ++i) text += line() + lineEnd();
        if (chance(4)) text += line(); // no line end at the end of the file
        return text;
    }

    std::string name() {
        static const char* const names[] = {"Macro", "macro", "SHOW_DIGIT", "Info", "a",
                                            "Key",   "key",   "x y",        ""};
        return names[pick(0, 8)];
    }

    /// A name of the file or a variation of it, as a request.
    std::string request() {
        std::string n = name();
        if (chance(3)) n = blank() + n + blank();
        if (chance(6)) n += "\xE9";
        return n;
    }

    std::string value() {
        static const char* const values[] = {
            "1",   "Show Digit", "\"quoted\"", "'single'",     "\"open",
            "a=b", "  spaced  ", "",           "\xC4\xD6\xDC", "0123456789abcdefghij"};
        return values[pick(0, 9)];
    }

    std::size_t buffer() { return static_cast<std::size_t>(chance(3) ? pick(1, 8) : pick(9, 40)); }

    std::string defaultValue() {
        static const char* const defaults[] = {"", "dflt", "d  ", " lead", "\"q\""};
        return defaults[pick(0, 4)];
    }

private:
    std::mt19937 random_;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int oneIn) { return pick(1, oneIn) == 1; }
    std::string blank() {
        static const char* const blanks[] = {" ", "\t", "  ", "\x1A", ""};
        return blanks[pick(0, 4)];
    }
    std::string lineEnd() {
        static const char* const ends[] = {"\r\n", "\n", "\r", "\r\r\n", "\n\n"};
        return ends[pick(0, 4)];
    }
    std::string line() {
        switch (pick(0, 9)) {
        case 0:
        case 1: return blank() + "[" + blank() + name() + blank() + "]" + (chance(4) ? " tail" : "");
        case 2: return "[" + name(); // no closing bracket: an ordinary line
        case 3: return ";" + name() + "=" + value();
        case 4: return blank() + name() + blank(); // no "="
        default: return blank() + name() + blank() + "=" + blank() + value() + blank();
        }
    }
};

/// A folder for generated files, removed at the end.
class Scratch {
public:
    Scratch() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::filesystem::path(temp) / (L"seg4-ini-" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::create_directories(folder_);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::filesystem::path write(int index, const std::string& content) {
        const std::filesystem::path path = folder_ / (L"p" + std::to_wstring(index) + L".ini");
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

private:
    std::filesystem::path folder_;
};

std::string platformProfileString(const std::string& section, const std::string& key, const std::string& dflt,
                                  std::size_t buffer, const std::filesystem::path& file) {
    std::vector<char> out(buffer, '\0');
    const std::string path = file.string(); // ASCII temp path
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), dflt.c_str(), out.data(),
                                             static_cast<DWORD>(buffer), path.c_str());
    return std::string(out.data(), n);
}

/// Whether the request names the section "" (after losing its blanks). The platform here is
/// Wine's reader, which keeps the lines before the first section header as a section named "" of
/// its own: it finds entries there that Windows does not, and that section hides any "[]" section
/// of the file. The portable reader follows Windows, so answers for "" cannot be compared.
bool asksForTheNamelessSection(const std::string& section) {
    const auto blank = [](char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' '; };
    for (char c : section)
        if (!blank(c)) return false;
    return true;
}

TEST(Differential, ProfileReaderAnswersAsThePlatformReader) {
    ASSERT_EQ(GetACP(), 1252u) << "the comparison assumes a western system code page";
    ProfileGenerator generate(20261205);
    Scratch scratch;
    int compared = 0, explained = 0, unexplained = 0;
    for (int f = 0; f < 400; ++f) {
        const std::string content = generate.file();
        const std::filesystem::path file = scratch.write(f, content);
        for (int q = 0; q < 10; ++q) {
            const std::string section = generate.request();
            const std::string key = generate.request();
            const std::string dflt = generate.defaultValue();
            const std::size_t buffer = generate.buffer();
            const std::string platform = platformProfileString(section, key, dflt, buffer, file);
            const std::string portable = readProfileString(content, section, key, dflt, buffer);
            ++compared;
            if (platform == portable) continue;
            if (asksForTheNamelessSection(section)) {
                ++explained;
                continue;
            }
            if (++unexplained <= reportLimit())
                ADD_FAILURE() << "file " << testing::PrintToString(content) << " section "
                              << testing::PrintToString(section) << " key " << testing::PrintToString(key)
                              << " default " << testing::PrintToString(dflt) << " buffer " << buffer
                              << ": platform " << testing::PrintToString(platform) << ", portable "
                              << testing::PrintToString(portable);
        }
    }
    std::printf("profile reader: %d queries compared, %d explained differences, %d unexplained\n", compared,
                explained, unexplained);
    EXPECT_EQ(unexplained, 0);
}

// ---- value conversions ----

/// Generates values of every scalar type the core knows, with numbers near the limits of the
/// integer types, halves that round to even, and text in the forms the runtime parses.
class ValueGenerator {
public:
    explicit ValueGenerator(std::uint32_t seed) : random_(seed) {}

    /// The same value as a VARIANT (caller clears it) and as a core Variant.
    std::pair<VARIANT, Variant> next() {
        VARIANT v;
        VariantInit(&v);
        switch (pick(0, 13)) {
        case 0: {
            const auto x = static_cast<std::int16_t>(integer(-32768, 32767));
            V_VT(&v) = VT_I2;
            V_I2(&v) = x;
            return {v, Variant::i2(x)};
        }
        case 1: {
            const auto x = static_cast<std::int32_t>(integer(-2147483648LL, 2147483647LL));
            V_VT(&v) = VT_I4;
            V_I4(&v) = x;
            return {v, Variant::i4(x)};
        }
        case 2: {
            const double x = real();
            V_VT(&v) = VT_R8;
            V_R8(&v) = x;
            return {v, Variant::r8(x)};
        }
        case 3: {
            const auto x = static_cast<float>(real());
            V_VT(&v) = VT_R4;
            V_R4(&v) = x;
            return {v, Variant::r4(x)};
        }
        case 4: {
            const std::int64_t x = integer(-922337203685477LL, 922337203685477LL) * (pick(0, 1) ? 10000 : 1) +
                                   (pick(0, 1) ? 5000 : 0);
            V_VT(&v) = VT_CY;
            V_CY(&v).int64 = x;
            return {v, Variant::currency(x)};
        }
        case 5: {
            const bool x = pick(0, 1) == 1;
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = x ? VARIANT_TRUE : VARIANT_FALSE;
            return {v, Variant::boolean(x)};
        }
        case 6: {
            const auto x = static_cast<std::uint8_t>(integer(0, 255));
            V_VT(&v) = VT_UI1;
            V_UI1(&v) = x;
            return {v, Variant::ui1(x)};
        }
        case 7: {
            const std::int64_t x = integer(-9223372036854775807LL, 9223372036854775807LL);
            V_VT(&v) = VT_I8;
            V_I8(&v) = x;
            return {v, Variant::i8(x)};
        }
        case 8: {
            const auto x = static_cast<std::uint32_t>(integer(0, 4294967295LL));
            V_VT(&v) = VT_UI4;
            V_UI4(&v) = x;
            return {v, Variant::ui4(x)};
        }
        case 9: V_VT(&v) = VT_EMPTY; return {v, Variant()};
        case 10: {
            const double x =
                pick(0, 1) ? pick(-657434, 2958465) : real(); // days from 1 Jan 100 to 31 Dec 9999
            V_VT(&v) = VT_DATE;
            V_DATE(&v) = x;
            return {v, Variant::date(x)};
        }
        default: {
            const std::u16string text = numberText();
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                           static_cast<UINT>(text.size()));
            return {v, Variant::string(text)};
        }
        }
    }

private:
    std::mt19937_64 random_;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    std::int64_t integer(std::int64_t low, std::int64_t high) {
        // Half of the values lie near the limits of the 8-, 16- and 32-bit types.
        if (pick(0, 1)) {
            static const std::int64_t edges[] = {
                0, 127, 128, 255, 256, 32767, 32768, 65535, 65536, 2147483647LL, 2147483648LL, 4294967295LL};
            const std::int64_t e = edges[pick(0, 11)] + pick(-1, 1);
            const std::int64_t signedEdge = pick(0, 1) ? -e : e;
            if (signedEdge >= low && signedEdge <= high) return signedEdge;
        }
        return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
    }
    double real() {
        switch (pick(0, 3)) {
        case 0: return pick(-70000, 70000) + 0.5; // halves round to even
        case 1: return std::uniform_real_distribution<double>(-1e6, 1e6)(random_);
        case 2: return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random_), pick(-40, 70));
        default: return static_cast<double>(integer(-3000000000LL, 3000000000LL));
        }
    }
    std::u16string numberText() {
        static const char16_t* const forms[] = {
            u"12", u" 12 ", u"-3.5",  u"2.5",   u"1e3",    u"1E-2",       u"&H7F",    u"&hFFFF", u"&O17",
            u"+4", u"True", u"false", u"abc",   u"",       u"  ",         u"1,000",   u".5",     u"5.",
            u"1e", u"--1",  u"0x10",  u"32768", u"-32769", u"4294967296", u"1.5e308", u"1e400",  u"\u0661"};
        const int i = pick(0, 26);
        return forms[i];
    }
};

/// The core's failure for a VariantChangeType result code.
HResult coreCodeOf(HRESULT platform) {
    switch (platform) {
    case DISP_E_OVERFLOW: return hr::Overflow;
    case DISP_E_TYPEMISMATCH: return hr::TypeMismatch;
    default: return platform;
    }
}

struct Outcome {
    HResult code = hr::Ok;
    Variant value;
};

Outcome platformChange(const VARIANT& in, VARTYPE target, USHORT flags) {
    VARIANT out;
    VariantInit(&out);
    Outcome o;
    const HRESULT h = VariantChangeType(&out, const_cast<VARIANT*>(&in), flags, target); // only read
    if (FAILED(h)) {
        o.code = coreCodeOf(h);
        return o;
    }
    com::ByRefTargets refs;
    o.value = refs.convertIn(out);
    VariantClear(&out);
    return o;
}

Outcome coreChange(const Variant& in, VarType target, std::uint16_t flags) {
    Outcome o;
    try {
        o.value = changeType(in, target, flags);
    } catch (const ComError& e) {
        o.code = e.code();
    }
    return o;
}

/// Why the core may answer differently from the platform here; nullptr when it may not.
const char* explanation(const Variant& in, VarType target, const Outcome& platform, const Outcome& portable) {
    if (platform.code != hr::Ok) return nullptr;
    // The platform's Currency -> 8-byte integer truncates toward zero and then subtracts one for
    // every negative amount (a quirk of the Windows converter that Wine reproduces: -5.0000 gives
    // -6); the core rounds half to even, as for every other integer type.
    if (in.type() == VarType::Currency && target == VarType::I8 && portable.code == hr::Ok &&
        in.asCurrencyScaled() < 0 && platform.value.asSigned() == in.asCurrencyScaled() / 10000 - 1)
        return "negative currency to 8-byte integer";
    // The core does not read dates from text (changeType says so); the platform parses them in
    // the user's locale.
    if (in.type() == VarType::String && target == VarType::Date && portable.code == hr::TypeMismatch)
        return "text to date";
    // A number of days outside 1 Jan 100 .. 31 Dec 9999 is no date: the core fails with the
    // overflow error, as the runtime's CDate does; the platform's converters here take any number.
    if (target == VarType::Date && portable.code == hr::Overflow) {
        const double days = platform.value.asDouble();
        if (days < -657434.0 || days >= 2958466.0) return "number outside the date range";
    }
    return nullptr;
}

/// A value as text for a report (type name and printed value; never throws).
std::string describe(const Variant& v) {
    try {
        return toUtf8(typeName(v)) + " " +
               toUtf8(changeType(v, VarType::String, kChangeAlphaBool).asString());
    } catch (const ComError&) {
        return toUtf8(typeName(v)) + " (not printable)";
    }
}

std::string describe(const Outcome& o) {
    if (o.code != hr::Ok) {
        char code[16];
        std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(o.code));
        return std::string("error ") + code;
    }
    return describe(o.value);
}

TEST(Differential, ConversionsAnswerAsVariantChangeType) {
    const VarType targets[] = {VarType::I1,       VarType::UI1,  VarType::I2,     VarType::UI2, VarType::I4,
                               VarType::UI4,      VarType::I8,   VarType::UI8,    VarType::R4,  VarType::R8,
                               VarType::Currency, VarType::Date, VarType::String, VarType::Bool};
    ValueGenerator generate(4242);
    int compared = 0, unexplained = 0;
    std::map<std::string, int> explained;
    for (int i = 0; i < 3000; ++i) {
        auto [com, core] = generate.next();
        for (VarType target : targets) {
            for (std::uint16_t flags : {std::uint16_t{0}, std::uint16_t{VARIANT_ALPHABOOL}}) {
                const Outcome platform = platformChange(com, static_cast<VARTYPE>(target), flags);
                const Outcome portable = coreChange(core, target, flags);
                ++compared;
                if (platform.code == portable.code &&
                    (platform.code != hr::Ok || platform.value == portable.value))
                    continue;
                if (const char* why = explanation(core, target, platform, portable)) {
                    ++explained[why];
                    continue;
                }
                if (++unexplained <= reportLimit())
                    ADD_FAILURE() << describe(core) << " to type " << static_cast<int>(target) << " flags "
                                  << flags << ": platform " << describe(platform) << ", portable "
                                  << describe(portable);
            }
        }
        VariantClear(&com);
    }
    std::printf("conversions: %d conversions compared, %d unexplained differences\n", compared, unexplained);
    for (const auto& [why, count] : explained) std::printf("  explained (%s): %d\n", why.c_str(), count);
    EXPECT_EQ(unexplained, 0);
}

} // namespace
} // namespace seg4::wine
