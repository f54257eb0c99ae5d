// The module's VARIANT bridge on its own: every type the core knows in both directions, arrays
// with their bounds, values passed by reference and written back, and the type-mismatch error
// for what the core cannot hold.
#include "com_values.h"
#include "variant_bridge.h"

#include "automation/errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace seg4::wine {
namespace {

constexpr HResult kMismatch = hr::TypeMismatch;

HResult failureOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

struct Scalar {
    const char* name;
    VARTYPE vt;
    void (*set)(VARIANT&);
    Variant core;
};

const Scalar kScalars[] = {
    {"I1", VT_I1, [](VARIANT& v) { V_I1(&v) = -5; }, Variant::i1(-5)},
    {"UI1", VT_UI1, [](VARIANT& v) { V_UI1(&v) = 200; }, Variant::ui1(200)},
    {"I2", VT_I2, [](VARIANT& v) { V_I2(&v) = -32768; }, Variant::i2(-32768)},
    {"UI2", VT_UI2, [](VARIANT& v) { V_UI2(&v) = 65535; }, Variant::ui2(65535)},
    {"I4", VT_I4, [](VARIANT& v) { V_I4(&v) = -2147483647 - 1; }, Variant::i4(-2147483647 - 1)},
    {"UI4", VT_UI4, [](VARIANT& v) { V_UI4(&v) = 4000000000u; }, Variant::ui4(4000000000u)},
    {"I8", VT_I8, [](VARIANT& v) { V_I8(&v) = -9000000000000000000LL; }, Variant::i8(-9000000000000000000LL)},
    {"UI8", VT_UI8, [](VARIANT& v) { V_UI8(&v) = 18000000000000000000ULL; },
     Variant::ui8(18000000000000000000ULL)},
    {"R4", VT_R4, [](VARIANT& v) { V_R4(&v) = 1.5f; }, Variant::r4(1.5f)},
    {"R8", VT_R8, [](VARIANT& v) { V_R8(&v) = -2.25e300; }, Variant::r8(-2.25e300)},
    {"CY", VT_CY, [](VARIANT& v) { V_CY(&v).int64 = 123456789; }, Variant::currency(123456789)},
    {"DATE", VT_DATE, [](VARIANT& v) { V_DATE(&v) = 45000.75; }, Variant::date(45000.75)},
    {"ERROR", VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; },
     Variant::error(DISP_E_PARAMNOTFOUND)},
    {"BOOL", VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; }, Variant::boolean(true)},
    {"BSTR with NUL", VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = SysAllocStringLen(L"a\0b", 3); },
     Variant::string(std::u16string(u"a\0b", 3))},
    {"NULL", VT_NULL, [](VARIANT&) {}, Variant::null()},
};

TEST(VariantBridge, ScalarsCrossBothWays) {
    for (const Scalar& s : kScalars) {
        SCOPED_TRACE(s.name);
        VARIANT com;
        VariantInit(&com);
        V_VT(&com) = s.vt;
        s.set(com);
        com::ByRefTargets refs;
        EXPECT_EQ(refs.convertIn(com), s.core);
        VARIANT back;
        com::toVariant(s.core, back);
        EXPECT_TRUE(sameValue(back, s.core));
        VariantClear(&back);
        VariantClear(&com);
    }
}

TEST(VariantBridge, MachineWordIntegersArriveAsTheirFixedWidthTwins) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_INT;
    V_INT(&v) = -9;
    com::ByRefTargets refs;
    EXPECT_EQ(refs.convertIn(v), Variant::i4(-9));
    V_VT(&v) = VT_UINT;
    V_UINT(&v) = 9;
    EXPECT_EQ(refs.convertIn(v), Variant::ui4(9));
}

TEST(VariantBridge, SampleValuesAndArraysCrossBothWays) {
    for (const ValueCase& c : valueCases()) {
        SCOPED_TRACE(c.name);
        VARIANT com = c.makeCom();
        com::ByRefTargets refs;
        EXPECT_EQ(refs.convertIn(com), c.makeCore());
        VARIANT back;
        com::toVariant(c.makeCore(), back);
        EXPECT_TRUE(sameValue(back, c.makeCore()));
        VariantClear(&back);
        VariantClear(&com);
    }
}

TEST(VariantBridge, WhatTheCoreCannotHoldIsATypeMismatch) {
    struct Row {
        const char* what;
        VARIANT (*make)();
    };
    const Row rows[] = {
        {"an object",
         [] {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_DISPATCH;
             V_DISPATCH(&v) = nullptr;
             return v;
         }},
        {"a decimal",
         [] {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_DECIMAL;
             return v;
         }},
        {"a variant that is no reference",
         [] {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_VARIANT;
             return v;
         }},
        {"a reference to nothing",
         [] {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_BYREF | VT_I4;
             V_BYREF(&v) = nullptr;
             return v;
         }},
        {"two dimensions",
         [] {
             SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_ARRAY | VT_I4;
             V_ARRAY(&v) = SafeArrayCreate(VT_I4, 2, bounds);
             return v;
         }},
        {"elements of another size than the type says",
         [] {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_ARRAY | VT_I4;
             V_ARRAY(&v) = makeArray(VT_I2, 0, 4, [](void* e, ULONG) { *static_cast<SHORT*>(e) = 1; });
             return v;
         }},
        {"an array of nothing",
         [] {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_ARRAY | VT_EMPTY;
             return v;
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        VARIANT v = r.make();
        com::ByRefTargets refs;
        EXPECT_EQ(failureOf([&] { refs.convertIn(v); }), kMismatch);
        if (V_VT(&v) == (VT_ARRAY | VT_I4)) SafeArrayDestroy(V_ARRAY(&v)); // the VARTYPE may lie about it
    }
    VARIANT out;
    EXPECT_EQ(failureOf([&] { com::toVariant(Variant::array(VarType::Empty, 0, {}), out); }), kMismatch);
    EXPECT_EQ(V_VT(&out), VT_EMPTY) << "a failed conversion leaves nothing to free";
}

TEST(VariantBridge, TypedReferencesAreWrittenBackInTheirType) {
    struct Row {
        const char* what;
        Variant assigned;
        LONG expected;
        HResult failure;
    };
    const Row rows[] = {{"a long", Variant::i4(9), 9, hr::Ok},
                        {"a short", Variant::i2(-4), -4, hr::Ok},
                        {"numeric text", Variant::string(u"12"), 12, hr::Ok},
                        {"text that is no number", Variant::string(u"abc"), 77, kMismatch}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        LONG target = 77;
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BYREF | VT_I4;
        V_I4REF(&v) = &target;
        com::ByRefTargets refs;
        Variant in = refs.convertIn(v);
        ASSERT_TRUE(in.isByRef());
        EXPECT_EQ(in.deref(), Variant::i4(77));
        in.deref() = r.assigned;
        EXPECT_EQ(failureOf([&] { refs.writeBack(); }), r.failure);
        EXPECT_EQ(target, r.expected);
    }
}

TEST(VariantBridge, VariantAndArrayReferencesAreReplaced) {
    VARIANT inner;
    VariantInit(&inner);
    V_VT(&inner) = VT_I2;
    V_I2(&inner) = 1;
    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&ref) = &inner;

    com::InOutVariant inout(&ref);
    EXPECT_EQ(inout.get().deref(), Variant::i2(1));
    inout.get().deref() = Variant::array(VarType::UI1, 0, {Variant::ui1(0)});
    inout.commit();
    EXPECT_EQ(V_VT(&ref), VT_BYREF | VT_VARIANT) << "the caller's reference stays a reference";
    EXPECT_EQ(V_VARIANTREF(&ref), &inner);
    EXPECT_TRUE(sameValue(inner, Variant::array(VarType::UI1, 0, {Variant::ui1(0)})));
    VariantClear(&inner);

    SAFEARRAY* array =
        makeArray(VT_I4, 1, 2, [](void* e, ULONG i) { *static_cast<LONG*>(e) = static_cast<LONG>(i); });
    VARIANT arrayRef;
    VariantInit(&arrayRef);
    V_VT(&arrayRef) = VT_BYREF | VT_ARRAY | VT_I4;
    V_ARRAYREF(&arrayRef) = &array;
    com::ByRefTargets refs;
    Variant in = refs.convertIn(arrayRef);
    EXPECT_EQ(in.deref(), Variant::array(VarType::I4, 1, {Variant::i4(0), Variant::i4(1)}));
    in.deref() = Variant::array(VarType::I4, 0, {Variant::i4(5)});
    refs.writeBack();
    VARIANT check;
    VariantInit(&check);
    V_VT(&check) = VT_ARRAY | VT_I4;
    V_ARRAY(&check) = array;
    EXPECT_TRUE(sameValue(check, Variant::array(VarType::I4, 0, {Variant::i4(5)})));
    VariantClear(&check);
}

TEST(VariantBridge, ReplacingAnInOutValueFreesTheOldOne) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"old");
    com::InOutVariant inout(&v);
    inout.get() = Variant::i4(3);
    inout.commit();
    EXPECT_EQ(V_VT(&v), VT_I4);
    EXPECT_EQ(V_I4(&v), 3);
    // A value the core gives back by reference is written as the value itself.
    Variant target = Variant::string(u"held");
    VARIANT out;
    com::toVariant(Variant::byRef(&target), out);
    EXPECT_EQ(V_VT(&out), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&out), L"held");
    VariantClear(&out);
}

} // namespace
} // namespace seg4::wine
