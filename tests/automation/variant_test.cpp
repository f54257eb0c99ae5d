// Arrays and their bounds, the runtime's equality and its type names.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace seg4 {
namespace {

using test::failureOf;

TEST(Arrays, BoundsElementTypesAndIndependentCopies) {
    const Variant filled = Variant::array(VarType::I4, -2, {Variant::i4(1), Variant::i4(2), Variant::i4(3)});
    EXPECT_EQ(lowerBound(filled), -2);
    EXPECT_EQ(upperBound(filled), 0);
    EXPECT_EQ(arrayElement(filled, 0), Variant::i4(3));
    EXPECT_EQ(failureOf([&] { arrayElement(filled, 1); }), hr::SubscriptOutOfRange);
    const Variant empty = Variant::emptyArray(VarType::Variant);
    EXPECT_EQ(std::make_pair(lowerBound(empty), upperBound(empty)), std::make_pair(0, -1));
    EXPECT_EQ(Variant::noArray(VarType::I4).vt(), 0x2003);
    EXPECT_EQ(failureOf([] { upperBound(Variant::noArray(VarType::I4)); }), hr::SubscriptOutOfRange);
    EXPECT_EQ(failureOf([] { lowerBound(Variant::i2(1)); }), hr::TypeMismatch);
    EXPECT_THROW(Variant::array(VarType::I2, 2147483647, {Variant::i2(1), Variant::i2(2)}), ComError);

    // A typed array converts what it is given; a variant array keeps it.
    Variant a =
        Variant::array(VarType::I2, 0, {Variant::string(u"&HFFFF"), Variant(), Variant::boolean(true)});
    EXPECT_EQ(a.arrayData()->elements,
              (std::vector<Variant>{Variant::i2(-1), Variant::i2(0), Variant::i2(-1)}));
    EXPECT_THROW(Variant::array(VarType::UI1, 0, {Variant::i4(256)}), ComError);
    EXPECT_EQ(arrayElement(Variant::array(VarType::Variant, 0, {Variant::string(u"x")}), 0).type(),
              VarType::String);

    Variant copy = a;
    copy.arrayData()->elements[0] = Variant::i2(9);
    EXPECT_EQ(arrayElement(a, 0), Variant::i2(-1));
}

// The one-load views of a value that the simulation's per-instruction loop reads.
TEST(KindBits, TypeAndArrayFlagOfEveryKindAndCopy) {
    Variant target = Variant::boolean(true);
    const Variant values[] = {Variant(),
                              Variant::null(),
                              Variant::boolean(true),
                              Variant::boolean(false),
                              Variant::i2(-1),
                              Variant::ui8(1),
                              Variant::string(u"True"),
                              Variant::error(11),
                              Variant::byRef(&target),
                              Variant::array(VarType::Bool, 0, {Variant::boolean(true)}),
                              Variant::noArray(VarType::Bool),
                              Variant::emptyArray(VarType::Variant)};
    for (const Variant& v : values) {
        const Variant copy = v;
        Variant moved = copy;
        const Variant taken = std::move(moved);
        for (const Variant* w : {&v, &copy, &taken}) {
            EXPECT_EQ(w->kindBits(), static_cast<std::uint32_t>(v.type()) | (v.isArray() ? 0x10000u : 0u))
                << v.vt();
            if (w->kindBits() == static_cast<std::uint32_t>(VarType::Bool)) {
                EXPECT_EQ(w->booleanBits(), v.asBool() ? -1 : 0);
            }
        }
    }
}

TEST(Arrays, TwoDimensionsStoreTheFirstIndexFastestAndRefuseOneIndex) {
    // a(1 To 2, 5 To 7) holding 10 * i + (j - 5), stored with i running fastest.
    std::vector<Variant> stored;
    for (int j = 5; j <= 7; ++j)
        for (int i = 1; i <= 2; ++i) stored.push_back(Variant::i4(10 * i + (j - 5)));
    const Variant a = Variant::array2(VarType::I4, {1, 2}, {5, 3}, stored);
    for (int i = 1; i <= 2; ++i)
        for (int j = 5; j <= 7; ++j) EXPECT_EQ(arrayElement(a, i, j), Variant::i4(10 * i + (j - 5)));
    EXPECT_EQ(std::make_pair(lowerBound(a), upperBound(a)), std::make_pair(1, 2)) << "the first dimension";
    const std::function<void()> failing[] = {
        [&] { arrayElement(a, 1); },
        [&] { arrayElement(a, 0, 5); },
        [&] { arrayElement(a, 3, 5); },
        [&] { arrayElement(a, 1, 4); },
        [&] { arrayElement(a, 1, 8); },
        [&] { arrayElement(Variant::array(VarType::I4, 0, {Variant::i4(1)}), 0, 0); }};
    for (const auto& f : failing) EXPECT_EQ(failureOf(f), hr::SubscriptOutOfRange);
    EXPECT_EQ(failureOf([&] { Variant::array2(VarType::I4, {0, 2}, {0, 2}, stored); }), hr::InvalidArgument);
    EXPECT_EQ(failureOf([&] {
                  Variant::array2(VarType::I4, {2147483647, 2}, {0, 3}, stored);
              }),
              hr::Overflow);
    // The same elements in another shape are another array.
    const Variant flat = Variant::array2(VarType::I4, {1, 3}, {5, 2}, stored);
    EXPECT_NE(a, flat);
    EXPECT_FALSE(automationEquals(a, flat));
    EXPECT_TRUE(automationEquals(a, Variant::array2(VarType::Variant, {1, 2}, {5, 3}, stored)));
}

TEST(Equality, TheRuntimesEqualsOperator) {
    const Variant i2Array = Variant::array(VarType::I2, 0, {Variant::i2(1), Variant::i2(-1)});
    Variant target = Variant::i4(3);
    const struct {
        Variant a, b;
        bool equal;
    } rows[] = {
        {Variant::i2(5), Variant::r8(5.0), true},
        {Variant::ui8(18446744073709551615ULL), Variant::i8(-1), false},
        {Variant::i8(9007199254740993LL), Variant::r8(9007199254740992.0), false},
        {Variant::currency(15000), Variant::r8(1.5), true},
        {Variant::boolean(true), Variant::i2(-1), true},
        {Variant::string(u"5"), Variant::i2(5), false},
        {Variant::string(u"a"), Variant::string(u"A"), false},
        {Variant(), Variant::string(u""), true},
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
        {Variant::byRef(&target), Variant::r4(3.0f), true},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(automationEquals(r.a, r.b), r.equal) << toUtf8(typeName(r.a) + u" = " + typeName(r.b));
        EXPECT_EQ(automationEquals(r.b, r.a), r.equal) << toUtf8(typeName(r.b) + u" = " + typeName(r.a));
    }
}

} // namespace
} // namespace seg4
