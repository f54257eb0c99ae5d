// The module's VARIANT bridge on its own: every type the core knows in both directions, arrays
// with their bounds, values passed by reference and written back, and the type-mismatch error
// for what the core cannot hold.
#include "com_values.h"
#include "helpers.h"
#include "variant_bridge.h"

#include <gtest/gtest.h>

namespace seg4::wine {
namespace {

using test::failureOf;

/// A VARIANT of type `vt`, its value zero (null pointers) unless `set` gives one.
VARIANT of(
    VARTYPE vt, void (*set)(VARIANT&) = [](VARIANT&) {}) {
    VARIANT v{};
    V_VT(&v) = vt;
    set(v);
    return v;
}

TEST(VariantBridge, ScalarsCrossBothWays) {
    struct Scalar {
        VARIANT com;
        Variant core;
        bool back; // the core value goes back as the same VARIANT
    };
    Scalar scalars[] = {
        {of(VT_I1, [](VARIANT& v) { V_I1(&v) = -5; }), Variant::i1(-5), true},
        {of(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 200; }), Variant::ui1(200), true},
        {of(VT_I2, [](VARIANT& v) { V_I2(&v) = -32768; }), Variant::i2(-32768), true},
        {of(VT_UI2, [](VARIANT& v) { V_UI2(&v) = 65535; }), Variant::ui2(65535), true},
        {of(VT_I4, [](VARIANT& v) { V_I4(&v) = -2147483647 - 1; }), Variant::i4(-2147483647 - 1), true},
        {of(VT_UI4, [](VARIANT& v) { V_UI4(&v) = 4000000000u; }), Variant::ui4(4000000000u), true},
        {of(VT_I8, [](VARIANT& v) { V_I8(&v) = -9000000000000000000LL; }),
         Variant::i8(-9000000000000000000LL), true},
        {of(VT_UI8, [](VARIANT& v) { V_UI8(&v) = 18000000000000000000ULL; }),
         Variant::ui8(18000000000000000000ULL), true},
        {of(VT_R4, [](VARIANT& v) { V_R4(&v) = 1.5f; }), Variant::r4(1.5f), true},
        {of(VT_R8, [](VARIANT& v) { V_R8(&v) = -2.25e300; }), Variant::r8(-2.25e300), true},
        {of(VT_CY, [](VARIANT& v) { V_CY(&v).int64 = 123456789; }), Variant::currency(123456789), true},
        {of(VT_DATE, [](VARIANT& v) { V_DATE(&v) = 45000.75; }), Variant::date(45000.75), true},
        {of(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }),
         Variant::error(DISP_E_PARAMNOTFOUND), true},
        {of(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; }), Variant::boolean(true), true},
        {of(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = SysAllocStringLen(L"a\0b", 3); }),
         Variant::string(std::u16string(u"a\0b", 3)), true},
        {of(VT_NULL), Variant::null(), true},
        // The machine-word integers arrive as their fixed-width twins.
        {of(VT_INT, [](VARIANT& v) { V_INT(&v) = -9; }), Variant::i4(-9), false},
        {of(VT_UINT, [](VARIANT& v) { V_UINT(&v) = 9; }), Variant::ui4(9), false},
        // A decimal arrives as its double; an object as a value every conversion refuses.
        {of(VT_DECIMAL,
            [](VARIANT& v) { // the decimal covers the type field: it goes back after
                VarDecFromR8(-7.25, &V_DECIMAL(&v));
                V_VT(&v) = VT_DECIMAL;
            }),
         Variant::r8(-7.25), false},
        {of(VT_DISPATCH), Variant::object(), false},
        {of(VT_UNKNOWN), Variant::object(), false},
    };
    for (Scalar& s : scalars) {
        SCOPED_TRACE(V_VT(&s.com));
        com::ByRefTargets refs;
        EXPECT_EQ(refs.convertIn(s.com), s.core);
        VariantClear(&s.com);
        if (!s.back) continue;
        VARIANT back;
        com::toVariant(s.core, back);
        EXPECT_TRUE(sameValue(back, s.core));
        VariantClear(&back);
    }
}

TEST(VariantBridge, ArraysKeepTheirBounds) {
    for (const Variant& value : sampleValues()) {
        VARIANT com;
        com::toVariant(value, com);
        EXPECT_TRUE(sameValue(com, value));
        VariantClear(&com);
    }
    VARIANT com = of(VT_ARRAY | VT_I4);
    V_ARRAY(&com) = makeArray(VT_I4, -2, 2, [](void* e, ULONG i) { *static_cast<LONG*>(e) = 10 + i; });
    com::ByRefTargets refs;
    EXPECT_EQ(refs.convertIn(com), Variant::array(VarType::I4, -2, {Variant::i4(10), Variant::i4(11)}));
    VariantClear(&com);
}

TEST(VariantBridge, TwoDimensionsKeepEveryElementInItsPlace) {
    // Filled and read back through the system's own element functions, which take the indices
    // from the first dimension on: the bridge must agree with them on every element.
    SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, -1}}; // a(1 To 2, -1 To 1)
    VARIANT com = of(VT_ARRAY | VT_I4);
    V_ARRAY(&com) = SafeArrayCreate(VT_I4, 2, bounds);
    for (LONG i = 1; i <= 2; ++i)
        for (LONG j = -1; j <= 1; ++j) {
            LONG indices[2] = {i, j};
            LONG value = 10 * i + j;
            ASSERT_EQ(SafeArrayPutElement(V_ARRAY(&com), indices, &value), S_OK);
        }
    com::ByRefTargets refs;
    const Variant in = refs.convertIn(com);
    ASSERT_EQ(in.arrayData()->dimensionCount(), 2);
    VARIANT back;
    com::toVariant(in, back);
    ASSERT_EQ(SafeArrayGetDim(V_ARRAY(&back)), 2u);
    for (UINT d = 1; d <= 2; ++d) {
        LONG lower = 0, upper = 0;
        SafeArrayGetLBound(V_ARRAY(&back), d, &lower);
        SafeArrayGetUBound(V_ARRAY(&back), d, &upper);
        using Bounds = std::pair<std::int32_t, std::int32_t>;
        EXPECT_EQ(Bounds(lower, upper), std::make_pair(in.arrayData()->lower(static_cast<int>(d)),
                                                       in.arrayData()->upper(static_cast<int>(d))));
    }
    for (LONG i = 1; i <= 2; ++i)
        for (LONG j = -1; j <= 1; ++j) {
            EXPECT_EQ(arrayElement(in, i, j), Variant::i4(10 * i + j)) << i << ", " << j;
            LONG indices[2] = {i, j};
            LONG value = 0;
            SafeArrayGetElement(V_ARRAY(&back), indices, &value);
            EXPECT_EQ(value, 10 * i + j) << i << ", " << j;
        }
    VariantClear(&com);
    VariantClear(&back);
}

TEST(VariantBridge, WhatTheCoreCannotHoldIsATypeMismatch) {
    SAFEARRAYBOUND cube[3] = {{2, 0}, {3, 0}, {2, 0}};
    std::pair<const char*, VARIANT> rows[] = {
        {"a variant that is no reference", of(VT_VARIANT)},
        {"a reference to nothing", of(VT_BYREF | VT_I4)},
        {"an array of nothing", of(VT_ARRAY | VT_EMPTY)},
        {"three dimensions", of(VT_ARRAY | VT_I4)},
        {"elements of another size than the type says", of(VT_ARRAY | VT_I4)},
    };
    V_ARRAY(&rows[3].second) = SafeArrayCreate(VT_I4, 3, cube);
    V_ARRAY(&rows[4].second) = makeArray(VT_I2, 0, 4, [](void* e, ULONG) { *static_cast<SHORT*>(e) = 1; });
    for (const auto& [what, v] : rows) {
        com::ByRefTargets refs;
        EXPECT_EQ(failureOf([&] { refs.convertIn(v); }), hr::TypeMismatch) << what;
        if (V_VT(&v) == (VT_ARRAY | VT_I4)) SafeArrayDestroy(V_ARRAY(&v)); // the VARTYPE may lie about it
    }
    VARIANT out;
    EXPECT_EQ(failureOf([&] { com::toVariant(Variant::array(VarType::Empty, 0, {}), out); }),
              hr::TypeMismatch);
    EXPECT_EQ(V_VT(&out), VT_EMPTY) << "a failed conversion leaves nothing to free";
}

TEST(VariantBridge, TypedReferencesAreWrittenBackInTheirType) {
    const std::tuple<Variant, LONG, HResult> rows[] = {{Variant::i4(9), 9, hr::Ok},
                                                       {Variant::i2(-4), -4, hr::Ok},
                                                       {Variant::string(u"12"), 12, hr::Ok},
                                                       {Variant::string(u"abc"), 77, hr::TypeMismatch}};
    for (const auto& [assigned, expected, failure] : rows) {
        LONG target = 77;
        VARIANT v = of(VT_BYREF | VT_I4);
        V_I4REF(&v) = &target;
        com::ByRefTargets refs;
        Variant in = refs.convertIn(v);
        ASSERT_TRUE(in.isTypedRef());
        EXPECT_EQ(in.vt(), VT_BYREF | VT_I4);
        EXPECT_EQ(in.deref(), Variant::i4(77));
        in.deref() = assigned;
        EXPECT_EQ(failureOf([&] { refs.writeBack(); }), failure);
        EXPECT_EQ(target, expected);
    }
}

TEST(VariantBridge, VariantAndArrayReferencesAreReplaced) {
    const Variant bytes = Variant::array(VarType::UI1, 0, {Variant::ui1(0)});
    VARIANT inner = of(VT_I2, [](VARIANT& v) { V_I2(&v) = 1; });
    VARIANT ref = of(VT_BYREF | VT_VARIANT);
    V_VARIANTREF(&ref) = &inner;
    com::InOutVariant inout(&ref);
    EXPECT_EQ(inout.get().deref(), Variant::i2(1));
    inout.get().deref() = bytes;
    inout.commit();
    EXPECT_EQ(V_VT(&ref), VT_BYREF | VT_VARIANT) << "the caller's reference stays a reference";
    EXPECT_EQ(V_VARIANTREF(&ref), &inner);
    EXPECT_TRUE(sameValue(inner, bytes));
    VariantClear(&inner);

    VARIANT array = of(VT_ARRAY | VT_I4);
    V_ARRAY(&array) =
        makeArray(VT_I4, 1, 2, [](void* e, ULONG i) { *static_cast<LONG*>(e) = static_cast<LONG>(i); });
    VARIANT arrayRef = of(VT_BYREF | VT_ARRAY | VT_I4);
    V_ARRAYREF(&arrayRef) = &V_ARRAY(&array);
    com::ByRefTargets refs;
    Variant in = refs.convertIn(arrayRef);
    EXPECT_EQ(in.deref(), Variant::array(VarType::I4, 1, {Variant::i4(0), Variant::i4(1)}));
    in.deref() = Variant::array(VarType::I4, 0, {Variant::i4(5)});
    refs.writeBack();
    EXPECT_TRUE(sameValue(array, Variant::array(VarType::I4, 0, {Variant::i4(5)})));
    VariantClear(&array);

    // An [in, out] value that is no reference is replaced, and what it held is freed.
    VARIANT text = of(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = SysAllocString(L"old"); });
    com::InOutVariant replaced(&text);
    replaced.get() = Variant::i4(3);
    replaced.commit();
    EXPECT_TRUE(sameValue(text, Variant::i4(3)));
    // A value the core gives back by reference is written as the value itself.
    Variant target = Variant::string(u"held");
    VARIANT out;
    com::toVariant(Variant::byRef(&target), out);
    EXPECT_TRUE(sameValue(out, target));
    VariantClear(&out);
}

} // namespace
} // namespace seg4::wine
