// Conversions of strings and numbers to the integer, Boolean and real types, with their errors.
// The Wine stage compares them with the platform on generated values; the rows here are the
// runtime's parsing and rounding rules one case each, and what that comparison does not reach.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace seg4 {
namespace {

using test::failureOf;

const std::string OV = "overflow", TM = "mismatch";

/// What a conversion gives: its number, or the name of the error it fails with.
template <class F>
std::string outcome(F&& convert) {
    try {
        return std::to_string(convert());
    } catch (const ComError& e) {
        return e.code() == hr::Overflow ? OV : e.code() == hr::TypeMismatch ? TM : "error";
    }
}

TEST(TextToInteger, FollowsTheRuntimesParser) {
    const struct {
        std::u16string text;
        std::string i2, i4;
    } rows[] = {
        {u"+1e2", "100", "100"},
        {u"&H10000", OV, "65536"},
        {u"&HFFFFFFFF", OV, "-1"},
        {u"&hdead", "-8531", "57005"},
        {u"-&H1", "1", "1"}, // the sign of a hexadecimal number is ignored
        {u"&O177777", "-1", "65535"},
        {u"&H", TM, TM},
        {u"1,,000", "1000", "1000"},
        {u",1", TM, TM},
        {u"32767.5", OV, "32768"},
        {u"-32768.5", "-32768", "-32768"},
        {u"2.500000000000000000001", "3", "3"}, // decided on the digits, not on a double
        {u"0.06", "1", "1"},                    // the runtime's first-digit rounding
        {u"0.05", "0", "0"},
        {u"(12)", "-12", "-12"},
        {u"12-", "-12", "-12"},
        {u"-12-", TM, TM},
        {u"(12", TM, TM},
        {u"$12", "12", "12"},
        {u"$1e2", TM, TM},
        {u"1e+-2", "0", "0"},
        {u"1d2", TM, TM},
        {u"010", "10", "10"},
        {u"1 2", TM, TM},
        {u"\u00A0\u300012\t\n", "12", "12"},
        {u"\uFF11", TM, TM},
        {u"1e4294967297", "10", "10"}, // the exponent wraps at 32 bits
        {u"2147483647.5", OV, OV},
        {u"-2147483648.5", OV, "-2147483648"},
        {std::u16string(u"1\0"
                        u"2",
                        3),
         "1", "1"}, // the text ends at the first NUL
    };
    for (const auto& r : rows) {
        const Variant v = Variant::string(r.text);
        EXPECT_EQ(outcome([&] { return toInteger(v); }), r.i2) << toUtf8(r.text);
        EXPECT_EQ(outcome([&] { return toLong(v); }), r.i4) << toUtf8(r.text);
    }
}

TEST(RealToInteger, RoundsHalfToEvenWithinTheRange) {
    const struct {
        double value;
        std::string i2, i4, ui1;
    } rows[] = {
        {32767.5, OV, "32768", OV}, {-32768.50000001, OV, "-32769", OV}, {2.5, "2", "2", "2"},
        {2147483647.5, OV, OV, OV}, {NAN, "-1", "2147483647", "255"}, // what the runtime's rounding makes of
                                                                      // NaN
    };
    for (const auto& r : rows)
        for (const Variant& v : {Variant::r8(r.value), Variant::date(r.value)}) {
            EXPECT_EQ(outcome([&] { return toInteger(v); }), r.i2) << r.value;
            EXPECT_EQ(outcome([&] { return toLong(v); }), r.i4) << r.value;
            EXPECT_EQ(outcome([&] { return toByte(v); }), r.ui1) << r.value;
        }
}

TEST(IntegerToInteger, SourcesTheWineComparisonDoesNotGenerate) {
    EXPECT_EQ(changeType(Variant::i1(-1), VarType::UI1), Variant::ui1(255));
    EXPECT_EQ(changeType(Variant::ui8(65536), VarType::UI2), Variant::ui2(0)); // the runtime's 32-bit detour
    EXPECT_EQ(toByte(Variant::boolean(true)), 255); // True is all ones in any width
}

TEST(ToBoolean, AcceptsNumbersTheWordsAndNumericText) {
    const std::pair<Variant, std::string> rows[] = {
        {Variant::string(u"tRuE"), "1"},  {Variant::string(u"#TRUE#"), "1"},
        {Variant::string(u"#true#"), TM}, {Variant::string(u" True"), TM},
        {Variant::string(u"0.4"), "1"},   {Variant::string(u"(0)"), "0"},
        {Variant::string(u"1e400"), OV},  {Variant::string(u"&HFFFFFFFF"), OV},
        {Variant::r8(NAN), "1"},          {Variant(), "0"},
    };
    for (const auto& [value, expected] : rows)
        EXPECT_EQ(outcome([&] { return toBoolean(value); }), expected) << toUtf8(toString(value));
}

TEST(TextToReal, ScalesTheDigitsAsTheRuntimeDoes) {
    const std::pair<const char16_t*, double> rows[] = {
        {u"0.1", 0.1},
        {u"123456789.123456789", 123456789.12345681}, // not the nearest double
        {u"1.79769313486231e308", 1.7976931348623093e+308},
        {u"1e-320", 9.9998886718268301e-321},
        {u"3e-324", 0.0},
        {u"&H80000000", -2147483648.0},
    };
    for (auto [text, expected] : rows) EXPECT_EQ(toDouble(Variant::string(text)), expected) << toUtf8(text);
    EXPECT_TRUE(std::signbit(toDouble(Variant::string(u"-0"))));
    for (const char16_t* text : {u"1.797693134862315e308", u"1e309", u"&H100000000"})
        EXPECT_EQ(failureOf([&] { toDouble(Variant::string(text)); }), hr::Overflow) << toUtf8(text);
}

TEST(Sources, NullArraysErrorsEmptyAndReferences) {
    const Variant null = Variant::null();
    for (const auto& convert :
         {+[](const Variant& v) { toInteger(v); }, +[](const Variant& v) { toString(v); },
          +[](const Variant& v) { toBoolean(v); }})
        EXPECT_EQ(failureOf([&] { convert(null); }), hr::InvalidUseOfNull);
    for (const Variant& bad : {Variant::emptyArray(VarType::I4), Variant::noArray(VarType::Bool),
                               Variant::error(5), Variant::byRef(nullptr)}) {
        EXPECT_EQ(failureOf([&] { toLong(bad); }), hr::TypeMismatch);
        EXPECT_EQ(failureOf([&] { toString(bad); }), hr::TypeMismatch);
    }
    EXPECT_EQ(toInteger(Variant()), 0);
    EXPECT_EQ(toString(Variant()), u"");

    Variant value = Variant::string(u"&HFFFF");
    Variant first = Variant::byRef(&value);
    EXPECT_EQ(toInteger(Variant::byRef(&first)), -1);
    EXPECT_EQ(typeName(Variant::byRef(&first)), u"String");
    Variant loopA, loopB;
    loopA = Variant::byRef(&loopB);
    loopB = Variant::byRef(&loopA);
    EXPECT_EQ(failureOf([&] { toInteger(loopA); }), hr::TypeMismatch); // a cycle ends, refused
}

TEST(ChangeType, ReachesEveryScalarTarget) {
    const Variant v = Variant::string(u"1.5");
    EXPECT_EQ(changeType(v, VarType::Empty), Variant());
    EXPECT_EQ(changeType(v, VarType::Null), Variant::null());
    EXPECT_EQ(changeType(Variant::boolean(true), VarType::String), Variant::string(u"-1"));
    EXPECT_EQ(changeType(Variant::boolean(true), VarType::String, kChangeAlphaBool),
              Variant::string(u"True"));
    EXPECT_EQ(changeType(Variant::error(7), VarType::Error), Variant::error(7));
    EXPECT_EQ(failureOf([] { changeType(Variant::i2(7), VarType::Error); }), hr::TypeMismatch);
    EXPECT_EQ(failureOf([] { changeType(Variant::string(u"&H1"), VarType::Currency); }), hr::Overflow);
}

} // namespace
} // namespace seg4
