// The portable rules against the platform's own implementations, on thousands of generated
// inputs: the profile reader (seg4portable) against GetPrivateProfileStringA, and the core's
// value conversions against VariantChangeType. Every difference must be one this file explains.
#include "wine_support.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "profile_reader.h"
#include "variant_bridge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace seg4::wine {
namespace {

constexpr int kReported = 10; // unexplained differences reported in full

class Random {
public:
    explicit Random(std::uint32_t seed) : random_(seed) {}
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int oneIn) { return pick(1, oneIn) == 1; }
    template <class T, std::size_t N>
    T of(const T (&choices)[N]) {
        return choices[pick(0, static_cast<int>(N) - 1)];
    }
    std::int64_t integer(std::int64_t low, std::int64_t high) {
        // Half of the values lie near the limits of the 8-, 16- and 32-bit types.
        static const std::int64_t edges[] = {0,     127,   128,   255,          256,          32767,
                                             32768, 65535, 65536, 2147483647LL, 2147483648LL, 4294967295LL};
        const std::int64_t e = (of(edges) + pick(-1, 1)) * (chance(2) ? -1 : 1);
        if (chance(2) && e >= low && e <= high) return e;
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

private:
    std::mt19937_64 random_;
};

// ---- profile files ----

/// INI texts that reach the reader's corner cases: letter case and blanks around names, lines
/// without "=", "[" lines without "]", "[]", repeated sections and keys, quotes, comment lines,
/// every line ending, tabs, DOS end-of-file marks and bytes of the upper half.
struct ProfileGenerator : Random {
    using Random::Random;
    std::string name() { return of({"Macro", "macro", "SHOW_DIGIT", "Info", "a", "Key", "key", "x y", ""}); }
    std::string blank() { return of({" ", "\t", "  ", "\x1A", ""}); }
    std::string value() {
        return of({"1", "Show Digit", "\"quoted\"", "'single'", "\"open", "a=b", "  spaced  ", "",
                   "\xC4\xD6\xDC", "0123456789abcdefghij"});
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
    std::string file() {
        std::string text;
        for (int i = pick(0, 14); i > 0; --i) text += line() + of({"\r\n", "\n", "\r", "\r\r\n", "\n\n"});
        return chance(4) ? text + line() : text; // maybe no line end at the end of the file
    }
    /// A name of the file or a variation of it, as a request.
    std::string request() {
        const std::string n = chance(3) ? blank() + name() + blank() : name();
        return chance(6) ? n + "\xE9" : n;
    }
};

/// Whether the request names the section "" (after losing its blanks). The platform here is
/// Wine's reader, which keeps the lines before the first section header as a section named "" of
/// its own: it finds entries there that Windows does not, and that section hides any "[]" section
/// of the file. The portable reader follows Windows, so answers for "" cannot be compared.
bool asksForTheNamelessSection(const std::string& section) {
    return section.find_first_not_of(" \t\n\v\f\r\x1A") == std::string::npos;
}

TEST(Differential, ProfileReaderAnswersAsThePlatformReader) {
    ASSERT_EQ(GetACP(), 1252u) << "the comparison assumes a western system code page";
    ProfileGenerator generate(20261205);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    int compared = 0, explained = 0, unexplained = 0;
    for (int f = 0; f < 400; ++f) {
        // A file of its own each time: the platform reader may keep the last file it read.
        const std::filesystem::path file =
            std::filesystem::path(temp) / ("seg4-" + std::to_string(f) + ".ini");
        const std::string content = generate.file();
        std::ofstream(file, std::ios::binary) << content;
        for (int q = 0; q < 10; ++q) {
            const std::string section = generate.request(), key = generate.request();
            const std::string dflt = generate.of({"", "dflt", "d  ", " lead", "\"q\""});
            const std::size_t buffer =
                static_cast<std::size_t>(generate.chance(3) ? generate.pick(1, 8) : generate.pick(9, 40));
            std::vector<char> out(buffer, '\0');
            const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), dflt.c_str(), out.data(),
                                                     static_cast<DWORD>(buffer), file.string().c_str());
            const std::string platform(out.data(), n);
            const std::string portable = readProfileString(content, section, key, dflt, buffer);
            ++compared;
            if (platform == portable) continue;
            if (asksForTheNamelessSection(section)) {
                ++explained;
            } else if (++unexplained <= kReported) {
                ADD_FAILURE() << "file " << testing::PrintToString(content) << " section "
                              << testing::PrintToString(section) << " key " << testing::PrintToString(key)
                              << " default " << testing::PrintToString(dflt) << " buffer " << buffer
                              << ": platform " << testing::PrintToString(platform) << ", portable "
                              << testing::PrintToString(portable);
            }
        }
        std::filesystem::remove(file);
    }
    std::printf("profile reader: %d queries compared, %d explained differences, %d unexplained\n", compared,
                explained, unexplained);
    EXPECT_EQ(unexplained, 0);
}

// ---- value conversions ----

/// Values of every scalar type the core knows, with numbers near the limits of the integer
/// types, halves that round to even, and text in the forms the runtime parses.
Variant generateValue(Random& r) {
    switch (r.pick(0, 13)) {
    case 0: return Variant::i2(static_cast<std::int16_t>(r.integer(-32768, 32767)));
    case 1: return Variant::i4(static_cast<std::int32_t>(r.integer(-2147483648LL, 2147483647LL)));
    case 2: return Variant::r8(r.real());
    case 3: return Variant::r4(static_cast<float>(r.real()));
    case 4:
        return Variant::currency(r.integer(-922337203685477LL, 922337203685477LL) *
                                     (r.chance(2) ? 10000 : 1) +
                                 (r.chance(2) ? 5000 : 0));
    case 5: return Variant::boolean(r.chance(2));
    case 6: return Variant::ui1(static_cast<std::uint8_t>(r.integer(0, 255)));
    case 7: return Variant::i8(r.integer(-9223372036854775807LL, 9223372036854775807LL));
    case 8: return Variant::ui4(static_cast<std::uint32_t>(r.integer(0, 4294967295LL)));
    case 9: return Variant();
    case 10:
        return Variant::date(r.chance(2) ? r.pick(-657434, 2958465) : r.real()); // 1 Jan 100 .. 31 Dec 9999
    default:
        return Variant::string(
            r.of({u"12",     u" 12 ",   u"-3.5",       u"2.5",     u"1e3",   u"1E-2",  u"&H7F",
                  u"&hFFFF", u"&O17",   u"+4",         u"True",    u"false", u"abc",   u"",
                  u"  ",     u"1,000",  u".5",         u"5.",      u"1e",    u"--1",   u"0x10",
                  u"32768",  u"-32769", u"4294967296", u"1.5e308", u"1e400", u"\u0661"}));
    }
}

struct Outcome {
    HResult code = hr::Ok;
    Variant value;
    bool operator==(const Outcome& o) const { return code == o.code && (code != hr::Ok || value == o.value); }
};

Outcome platformChange(const VARIANT& in, VarType target, USHORT flags) {
    VARIANT out;
    VariantInit(&out);
    const HRESULT h = VariantChangeType(&out, const_cast<VARIANT*>(&in), flags, static_cast<VARTYPE>(target));
    if (h == DISP_E_OVERFLOW) return {hr::Overflow, {}};
    if (h == DISP_E_TYPEMISMATCH) return {hr::TypeMismatch, {}};
    if (FAILED(h)) return {h, {}};
    com::ByRefTargets refs;
    Outcome o{hr::Ok, refs.convertIn(out)};
    VariantClear(&out);
    return o;
}

Outcome coreChange(const Variant& in, VarType target, std::uint16_t flags) {
    try {
        return {hr::Ok, changeType(in, target, flags)};
    } catch (const ComError& e) {
        return {e.code(), {}};
    }
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

/// An outcome as text for a report (type name and printed value, or the error; never throws).
std::string describe(const Outcome& o) {
    if (o.code != hr::Ok) return "error " + std::to_string(static_cast<unsigned>(o.code));
    const Outcome text = coreChange(o.value, VarType::String, kChangeAlphaBool);
    return toUtf8(typeName(o.value)) + " " + (text.code == hr::Ok ? toUtf8(text.value.asString()) : "?");
}

TEST(Differential, ConversionsAnswerAsVariantChangeType) {
    const VarType targets[] = {VarType::I1,       VarType::UI1,  VarType::I2,     VarType::UI2, VarType::I4,
                               VarType::UI4,      VarType::I8,   VarType::UI8,    VarType::R4,  VarType::R8,
                               VarType::Currency, VarType::Date, VarType::String, VarType::Bool};
    Random random(4242);
    int compared = 0, unexplained = 0;
    std::map<std::string, int> explained;
    for (int i = 0; i < 3000; ++i) {
        const Variant core = generateValue(random);
        VARIANT com;
        com::toVariant(core, com);
        for (VarType target : targets) {
            for (std::uint16_t flags : {std::uint16_t{0}, std::uint16_t{VARIANT_ALPHABOOL}}) {
                const Outcome platform = platformChange(com, target, flags);
                const Outcome portable = coreChange(core, target, flags);
                ++compared;
                if (platform == portable) continue;
                if (const char* why = explanation(core, target, platform, portable))
                    ++explained[why];
                else if (++unexplained <= kReported)
                    ADD_FAILURE() << describe({hr::Ok, core}) << " to type " << static_cast<int>(target)
                                  << " flags " << flags << ": platform " << describe(platform)
                                  << ", portable " << describe(portable);
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
