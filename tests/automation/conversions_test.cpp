// Conversions of strings and numbers to the integer, Boolean and real types, with their errors.
#include "automation/conversions.h"
#include "automation/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace seg4 {
namespace {

/// The code a conversion failed with, or 0 when it succeeded.
template <class F>
HResult failureOf(F&& convert) {
    try {
        convert();
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

/// The conversion gives `expected`, or fails with overflow when there is none.
template <class F>
void expectOutcome(F&& convert, std::optional<std::int32_t> expected) {
    if (expected) {
        EXPECT_EQ(convert(), *expected);
    } else {
        EXPECT_EQ(failureOf(convert), hr::Overflow);
    }
}

struct TextCase {
    const char16_t* text;
    std::optional<std::int32_t> i2; // nullopt: the error below
    HResult i2Error;
    std::optional<std::int32_t> i4;
    HResult i4Error;
};

constexpr HResult kOk = hr::Ok;
constexpr HResult kOverflow = hr::Overflow;
constexpr HResult kMismatch = hr::TypeMismatch;

// Outcomes of the runtime's own parser for the same texts.
const TextCase kTextCases[] = {
    {u"  12  ", 12, kOk, 12, kOk},
    {u"+1e2", 100, kOk, 100, kOk},
    {u"&H7FFF", 32767, kOk, 32767, kOk},
    {u"&HFFFF", -1, kOk, 65535, kOk},
    {u"&H8000", -32768, kOk, 32768, kOk},
    {u"&H10000", std::nullopt, kOverflow, 65536, kOk},
    {u"&HFFFFFFFF", std::nullopt, kOverflow, -1, kOk},
    {u"&hdead", -8531, kOk, 57005, kOk},
    {u"-&H1", 1, kOk, 1, kOk}, // the sign of a hexadecimal number is ignored
    {u"&O177777", -1, kOk, 65535, kOk},
    {u"&O8", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"&H", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"$&H1", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"1,000", 1000, kOk, 1000, kOk},
    {u"1,,000", 1000, kOk, 1000, kOk},
    {u",1", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"1$,", 1, kOk, 1, kOk},
    {u"12abc", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u" ", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"32767.5", std::nullopt, kOverflow, 32768, kOk},
    {u"32766.5", 32766, kOk, 32766, kOk},
    {u"-32768.5", -32768, kOk, -32768, kOk},
    {u"-0.5", 0, kOk, 0, kOk},
    {u"2.5", 2, kOk, 2, kOk},
    {u"3.5", 4, kOk, 4, kOk},
    {u"2.500000000000000000001", 3, kOk, 3, kOk}, // decided on the digits, not on a double
    {u"0.06", 1, kOk, 1, kOk},                    // the runtime's first-digit rounding
    {u"0.05", 0, kOk, 0, kOk},
    {u"(12)", -12, kOk, -12, kOk},
    {u"12-", -12, kOk, -12, kOk},
    {u"-12-", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"(1-", -1, kOk, -1, kOk},
    {u"(12", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"$12", 12, kOk, 12, kOk},
    {u"$1e2", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"1e", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"1e+-2", 0, kOk, 0, kOk},
    {u"1e2,5", 1500, kOk, 1500, kOk},
    {u"1e2e3", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"1d2", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"0x10", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"010", 10, kOk, 10, kOk},
    {u"1 2", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"\u00A0\u300012\t\n", 12, kOk, 12, kOk},
    {u"\u200B1", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"\uFF11", std::nullopt, kMismatch, std::nullopt, kMismatch},
    {u"1e100000", std::nullopt, kOverflow, std::nullopt, kOverflow},
    {u"1e-400", 0, kOk, 0, kOk},
    {u"1e4294967297", 10, kOk, 10, kOk}, // the exponent wraps at 32 bits
    {u"2147483647.5", std::nullopt, kOverflow, std::nullopt, kOverflow},
    {u"-2147483648.5", std::nullopt, kOverflow, -2147483647 - 1, kOk},
    {u"True", std::nullopt, kMismatch, std::nullopt, kMismatch},
};

TEST(TextToInteger, FollowsTheRuntimesParser) {
    for (const TextCase& c : kTextCases) {
        SCOPED_TRACE(toUtf8(c.text));
        const Variant v = Variant::string(c.text);
        if (c.i2) {
            EXPECT_EQ(toInteger(v), *c.i2);
        }
        EXPECT_EQ(failureOf([&] { toInteger(v); }), c.i2Error);
        if (c.i4) {
            EXPECT_EQ(toLong(v), *c.i4);
        }
        EXPECT_EQ(failureOf([&] { toLong(v); }), c.i4Error);
    }
}

TEST(TextToInteger, StopsAtTheFirstNul) {
    EXPECT_EQ(toInteger(Variant::string(std::u16string(u"1\0"
                                                       u"2",
                                                       3))),
              1);
    EXPECT_EQ(failureOf([] {
                  toInteger(Variant::string(std::u16string(u"\0"
                                                           u"1",
                                                           2)));
              }),
              kMismatch);
}

TEST(RealToInteger, RoundsHalfToEvenWithinTheRange) {
    struct Row {
        double value;
        std::optional<std::int32_t> i2, i4, ui1;
    };
    const Row rows[] = {
        {32767.5, std::nullopt, 32768, std::nullopt},
        {32766.5, 32766, 32766, std::nullopt},
        {-32768.5, -32768, -32768, std::nullopt},
        {-32768.50000001, std::nullopt, -32769, std::nullopt},
        {-0.5, 0, 0, 0},
        {-0.51, -1, -1, std::nullopt},
        {2.5, 2, 2, 2},
        {255.5, 256, 256, std::nullopt},
        {255.49, 255, 255, 255},
        {2147483647.5, std::nullopt, std::nullopt, std::nullopt},
        {NAN, -1, 2147483647, 255}, // what the runtime's rounding makes of NaN
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        for (VarType t : {VarType::R8, VarType::Date}) {
            const Variant v = t == VarType::R8 ? Variant::r8(r.value) : Variant::date(r.value);
            expectOutcome([&] { return toInteger(v); }, r.i2);
            expectOutcome([&] { return toLong(v); }, r.i4);
            expectOutcome([&] { return toByte(v); }, r.ui1);
        }
    }
}

TEST(CurrencyToInteger, RoundsTheScaledValueHalfToEven) {
    const std::pair<std::int64_t, std::int32_t> rows[] = {
        {25000, 2}, {35000, 4}, {25001, 3}, {-25000, -2}, {-5000, 0}, {-15000, -2}, {327665000, 32766}};
    for (auto [scaled, expected] : rows) EXPECT_EQ(toInteger(Variant::currency(scaled)), expected) << scaled;
    EXPECT_EQ(failureOf([] { toInteger(Variant::currency(327675000)); }), kOverflow);
    EXPECT_EQ(toByte(Variant::currency(-5000)), 0);
}

TEST(IntegerToInteger, KeepsTheBitsBetweenTypesOfOneWidthAndChecksTheRangeOtherwise) {
    EXPECT_EQ(changeType(Variant::ui2(65535), VarType::I2), Variant::i2(-1));
    EXPECT_EQ(changeType(Variant::ui4(4294967295u), VarType::I4), Variant::i4(-1));
    EXPECT_EQ(changeType(Variant::i1(-1), VarType::UI1), Variant::ui1(255));
    EXPECT_EQ(changeType(Variant::i4(-1), VarType::UI4), Variant::ui4(4294967295u));
    EXPECT_EQ(changeType(Variant::ui8(65536), VarType::UI2), Variant::ui2(0)); // the runtime's 32-bit detour
    EXPECT_EQ(failureOf([] { toInteger(Variant::i4(32768)); }), kOverflow);
    EXPECT_EQ(failureOf([] { toByte(Variant::i4(-1)); }), kOverflow);
    EXPECT_EQ(failureOf([] { changeType(Variant::i2(-1), VarType::UI4); }), kOverflow);
    EXPECT_EQ(toByte(Variant::boolean(true)), 255); // True is all ones in any width
    EXPECT_EQ(toLong(Variant::boolean(true)), -1);
}

TEST(ToBoolean, AcceptsNumbersTheWordsAndNumericText) {
    struct Row {
        Variant value;
        std::optional<bool> expected;
        HResult error;
    };
    const Row rows[] = {
        {Variant::string(u"True"), true, kOk},
        {Variant::string(u"tRuE"), true, kOk},
        {Variant::string(u"FALSE"), false, kOk},
        {Variant::string(u"#TRUE#"), true, kOk},
        {Variant::string(u"#true#"), {}, kMismatch},
        {Variant::string(u" True"), {}, kMismatch},
        {Variant::string(u"True "), {}, kMismatch},
        {Variant::string(u"yes"), {}, kMismatch},
        {Variant::string(u""), {}, kMismatch},
        {Variant::string(u"0.4"), true, kOk},
        {Variant::string(u"(0)"), false, kOk},
        {Variant::string(u"1e-400"), false, kOk},
        {Variant::string(u"1e400"), {}, kOverflow},
        {Variant::string(u"&HFFFFFFFF"), {}, kOverflow},
        {Variant::i2(0), false, kOk},
        {Variant::ui1(7), true, kOk},
        {Variant::r8(NAN), true, kOk},
        {Variant::currency(1), true, kOk},
        {Variant(), false, kOk},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(toUtf8(typeName(r.value)));
        if (r.expected) {
            EXPECT_EQ(toBoolean(r.value), *r.expected);
        }
        EXPECT_EQ(failureOf([&] { toBoolean(r.value); }), r.error);
    }
}

TEST(TextToReal, ScalesTheDigitsAsTheRuntimeDoes) {
    const std::pair<const char16_t*, double> rows[] = {
        {u"0.1", 0.1},
        {u"123456789.123456789", 123456789.12345681}, // not the nearest double
        {u"1.79769313486231e308", 1.7976931348623093e+308},
        {u"1e-320", 9.9998886718268301e-321},
        {u"3e-324", 0.0},
        {u"&H80000000", -2147483648.0},
        {u"-0", -0.0},
    };
    for (auto [text, expected] : rows) EXPECT_EQ(toDouble(Variant::string(text)), expected) << toUtf8(text);
    EXPECT_TRUE(std::signbit(toDouble(Variant::string(u"-0"))));
    for (const char16_t* text : {u"1.797693134862315e308", u"1e309", u"&H100000000"})
        EXPECT_EQ(failureOf([&] { toDouble(Variant::string(text)); }), kOverflow) << toUtf8(text);
}

TEST(Sources, NullArraysErrorsAndEmpty) {
    const Variant null = Variant::null();
    EXPECT_EQ(failureOf([&] { toInteger(null); }), hr::InvalidUseOfNull);
    EXPECT_EQ(failureOf([&] { toString(null); }), hr::InvalidUseOfNull);
    EXPECT_EQ(failureOf([&] { toBoolean(null); }), hr::InvalidUseOfNull);
    for (const Variant& bad : {Variant::emptyArray(VarType::I4), Variant::noArray(VarType::Bool),
                               Variant::error(5), Variant::byRef(nullptr)}) {
        EXPECT_EQ(failureOf([&] { toLong(bad); }), kMismatch);
        EXPECT_EQ(failureOf([&] { toString(bad); }), kMismatch);
    }
    EXPECT_EQ(toInteger(Variant()), 0);
    EXPECT_FALSE(toBoolean(Variant()));
    EXPECT_EQ(toString(Variant()), u"");
}

TEST(Sources, ReferencesAreFollowedThroughChains) {
    Variant value = Variant::string(u"&HFFFF");
    Variant first = Variant::byRef(&value);
    Variant second = Variant::byRef(&first);
    EXPECT_EQ(toInteger(second), -1);
    EXPECT_EQ(typeName(second), u"String");
    Variant loopA, loopB;
    loopA = Variant::byRef(&loopB);
    loopB = Variant::byRef(&loopA);
    EXPECT_EQ(failureOf([&] { toInteger(loopA); }), kMismatch); // a cycle ends, refused
}

TEST(ChangeType, ReachesEveryScalarTarget) {
    const Variant v = Variant::string(u"1.5");
    EXPECT_EQ(changeType(v, VarType::R4), Variant::r4(1.5f));
    EXPECT_EQ(changeType(v, VarType::Currency), Variant::currency(15000));
    EXPECT_EQ(changeType(v, VarType::UI8), Variant::ui8(2));
    EXPECT_EQ(changeType(v, VarType::Empty), Variant());
    EXPECT_EQ(changeType(v, VarType::Null), Variant::null());
    EXPECT_EQ(changeType(Variant::r8(5.5), VarType::Date), Variant::date(5.5));
    EXPECT_EQ(failureOf([] { changeType(Variant::r8(3e6), VarType::Date); }), kOverflow);
    EXPECT_EQ(changeType(Variant::boolean(true), VarType::String), Variant::string(u"-1"));
    EXPECT_EQ(changeType(Variant::boolean(true), VarType::String, kChangeAlphaBool),
              Variant::string(u"True"));
    EXPECT_EQ(changeType(Variant::error(7), VarType::Error), Variant::error(7));
    EXPECT_EQ(failureOf([] { changeType(Variant::i2(7), VarType::Error); }), kMismatch);
    EXPECT_EQ(failureOf([] { changeType(Variant::string(u"&H1"), VarType::Currency); }), kOverflow);
}

} // namespace
} // namespace seg4
