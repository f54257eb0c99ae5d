// Arrays and their bounds, the runtime's equality and its type names.
#include "automation/conversions.h"
#include "automation/errors.h"

#include <gtest/gtest.h>

#include <cmath>

namespace seg4 {
namespace {

TEST(Arrays, BoundsOfFilledEmptyAndMissingArrays) {
    const Variant filled = Variant::array(VarType::I4, -2, {Variant::i4(1), Variant::i4(2), Variant::i4(3)});
    EXPECT_EQ(lowerBound(filled), -2);
    EXPECT_EQ(upperBound(filled), 0);
    EXPECT_EQ(arrayElement(filled, 0), Variant::i4(3));
    EXPECT_THROW(arrayElement(filled, 1), ComError);
    const Variant empty = Variant::emptyArray(VarType::Variant);
    EXPECT_EQ(lowerBound(empty), 0);
    EXPECT_EQ(upperBound(empty), -1);
    const Variant none = Variant::noArray(VarType::I4);
    EXPECT_EQ(none.vt(), 0x2003);
    try {
        upperBound(none);
        FAIL() << "an array type without an array has no bounds";
    } catch (const ComError& e) {
        EXPECT_EQ(e.code(), hr::SubscriptOutOfRange);
    }
    try {
        lowerBound(Variant::i2(1));
        FAIL() << "a scalar has no bounds";
    } catch (const ComError& e) {
        EXPECT_EQ(e.code(), hr::TypeMismatch);
    }
    EXPECT_THROW(Variant::array(VarType::I2, 2147483647, {Variant::i2(1), Variant::i2(2)}), ComError);
}

TEST(Arrays, TypedArraysHoldOnlyTheirType) {
    const Variant a =
        Variant::array(VarType::I2, 0, {Variant::string(u"&HFFFF"), Variant(), Variant::boolean(true)});
    EXPECT_EQ(a.arrayData()->elements,
              (std::vector<Variant>{Variant::i2(-1), Variant::i2(0), Variant::i2(-1)}));
    EXPECT_THROW(Variant::array(VarType::UI1, 0, {Variant::i4(256)}), ComError);
    const Variant mixed = Variant::array(VarType::Variant, 0, {Variant::string(u"x"), Variant::i4(1)});
    EXPECT_EQ(arrayElement(mixed, 0).type(), VarType::String);
}

TEST(Arrays, CopiesAreIndependent) {
    Variant a = Variant::array(VarType::I4, 0, {Variant::i4(1)});
    Variant b = a;
    b.arrayData()->elements[0] = Variant::i4(9);
    EXPECT_EQ(arrayElement(a, 0), Variant::i4(1));
    EXPECT_EQ(arrayElement(b, 0), Variant::i4(9));
}

TEST(Equality, TheRuntimesEqualsOperator) {
    struct Row {
        Variant a, b;
        bool equal;
    };
    const Variant i2Array = Variant::array(VarType::I2, 0, {Variant::i2(1), Variant::i2(-1)});
    const Row rows[] = {
        {Variant::i2(5), Variant::r8(5.0), true},
        {Variant::ui8(18446744073709551615ULL), Variant::i8(-1), false},
        {Variant::i8(9007199254740993LL), Variant::r8(9007199254740992.0), false},
        {Variant::currency(15000), Variant::r8(1.5), true},
        {Variant::currency(10000), Variant::ui1(1), true},
        {Variant::currency(10001), Variant::i4(1), false},
        {Variant::boolean(true), Variant::i2(-1), true},
        {Variant::date(2.0), Variant::i4(2), true},
        {Variant::string(u"5"), Variant::i2(5), false},
        {Variant::string(u"a"), Variant::string(u"A"), false},
        {Variant(), Variant::i2(0), true},
        {Variant(), Variant::string(u""), true},
        {Variant(), Variant::boolean(false), true},
        {Variant(), Variant::string(u"0"), false},
        {Variant::null(), Variant::null(), false},
        {Variant::error(5), Variant::error(5), true},
        {Variant::error(5), Variant::i4(5), false},
        {Variant::r8(NAN), Variant::r8(NAN), false},
        {i2Array, Variant::array(VarType::Variant, 0, {Variant::r8(1.0), Variant::boolean(true)}), true},
        {i2Array, Variant::array(VarType::I4, 1, {Variant::i4(1), Variant::i4(-1)}), false},
        {i2Array, Variant::array(VarType::String, 0, {Variant::string(u"1"), Variant::string(u"-1")}), false},
        {Variant::emptyArray(VarType::I4), Variant::emptyArray(VarType::Bool), true},
        {Variant::emptyArray(VarType::I4), Variant::noArray(VarType::I4), false},
        {Variant::noArray(VarType::I4), Variant::noArray(VarType::I4), true},
        {i2Array, Variant::i2(1), false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(toUtf8(typeName(r.a) + u" = " + typeName(r.b)));
        EXPECT_EQ(automationEquals(r.a, r.b), r.equal);
        EXPECT_EQ(automationEquals(r.b, r.a), r.equal);
    }
    Variant target = Variant::i4(3);
    EXPECT_TRUE(automationEquals(Variant::byRef(&target), Variant::r4(3.0f)));
}

TEST(TypeNames, ScalarsArraysAndReferences) {
    Variant target = Variant::ui1(1);
    const std::pair<Variant, const char16_t*> rows[] = {
        {Variant::i2(1), u"Integer"},
        {Variant::i4(1), u"Long"},
        {Variant::ui1(1), u"Byte"},
        {Variant::r4(1), u"Single"},
        {Variant::r8(1), u"Double"},
        {Variant::currency(1), u"Currency"},
        {Variant::date(1), u"Date"},
        {Variant::string(u""), u"String"},
        {Variant::boolean(true), u"Boolean"},
        {Variant::error(1), u"Error"},
        {Variant(), u"Empty"},
        {Variant::null(), u"Null"},
        {Variant::i8(1), u"LongLong"},
        {Variant::ui4(1), u"Unknown"},
        {Variant::emptyArray(VarType::Variant), u"Variant()"},
        {Variant::noArray(VarType::Bool), u"Boolean()"},
        {Variant::emptyArray(VarType::UI1), u"Byte()"},
        {Variant::emptyArray(VarType::String), u"String()"},
        {Variant::noArray(VarType::I4), u"Long()"},
        {Variant::emptyArray(VarType::I2), u"Integer()"},
        {Variant::byRef(&target), u"Byte"},
    };
    for (const auto& [value, name] : rows) EXPECT_EQ(typeName(value), name);
}

} // namespace
} // namespace seg4
