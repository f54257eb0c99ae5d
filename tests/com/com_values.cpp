// Sample automation values and the comparison of VARIANTs with core Variants.
#include "com_values.h"

#include <oleauto.h>

#include <cstring>

namespace seg4::wine {

SAFEARRAY* makeArray(VARTYPE vt, LONG lower, ULONG count, void (*fill)(void*, ULONG)) {
    SAFEARRAYBOUND bound{count, lower};
    SAFEARRAY* a = SafeArrayCreate(vt, 1, &bound);
    void* data = nullptr;
    SafeArrayAccessData(a, &data);
    for (ULONG i = 0; i < count; ++i) fill(static_cast<char*>(data) + i * a->cbElements, i);
    SafeArrayUnaccessData(a);
    return a;
}

namespace {

VARIANT comOf(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = vt;
    return v;
}

// Twelve pin levels: pin 0 high (digit selected), segments low (lit) except G and DP.
bool pinLevel(ULONG i) { return i == 0 || i == 10 || i == 11; }

const std::vector<ValueCase> kCases = {
    {"empty", [] { return comOf(VT_EMPTY); }, [] { return Variant(); }},
    {"long 5",
     [] {
         VARIANT v = comOf(VT_I4);
         V_I4(&v) = 5;
         return v;
     },
     [] { return Variant::i4(5); }},
    {"text",
     [] {
         VARIANT v = comOf(VT_BSTR);
         V_BSTR(&v) = SysAllocString(L"x");
         return v;
     },
     [] { return Variant::string(u"x"); }},
    {"pin levels",
     [] {
         VARIANT v = comOf(VT_ARRAY | VT_BOOL);
         V_ARRAY(&v) = makeArray(VT_BOOL, 0, 12, [](void* e, ULONG i) {
             *static_cast<VARIANT_BOOL*>(e) = pinLevel(i) ? VARIANT_TRUE : VARIANT_FALSE;
         });
         return v;
     },
     [] {
         std::vector<Variant> pins;
         for (ULONG i = 0; i < 12; ++i) pins.push_back(Variant::boolean(pinLevel(i)));
         return Variant::array(VarType::Bool, 0, std::move(pins));
     }},
    {"digit parameters",
     [] {
         VARIANT v = comOf(VT_ARRAY | VT_VARIANT);
         V_ARRAY(&v) = makeArray(VT_VARIANT, 0, 3, [](void* e, ULONG i) {
             auto* element = static_cast<VARIANT*>(e);
             if (i < 2) {
                 V_VT(element) = VT_I2;
                 V_I2(element) = static_cast<SHORT>(i == 0 ? 1 : 8);
             } else {
                 V_VT(element) = VT_BOOL;
                 V_BOOL(element) = VARIANT_TRUE;
             }
         });
         return v;
     },
     [] {
         return Variant::array(VarType::Variant, 0, {Variant::i2(1), Variant::i2(8), Variant::boolean(true)});
     }},
    {"longs from 3",
     [] {
         VARIANT v = comOf(VT_ARRAY | VT_I4);
         V_ARRAY(&v) = makeArray(VT_I4, 3, 2, [](void* e, ULONG i) { *static_cast<LONG*>(e) = 10 + i; });
         return v;
     },
     [] {
         return Variant::array(VarType::I4, 3, {Variant::i4(10), Variant::i4(11)});
     }},
    {"no array",
     [] {
         VARIANT v = comOf(VT_ARRAY | VT_I4);
         V_ARRAY(&v) = nullptr;
         return v;
     },
     [] { return Variant::noArray(VarType::I4); }},
};

testing::AssertionResult sameScalar(VARTYPE vt, const void* p, const Variant& core) {
    auto read = [p](auto sample) {
        decltype(sample) v;
        std::memcpy(&v, p, sizeof v);
        return v;
    };
    bool same = false;
    switch (vt) {
    case VT_I1: same = read(std::int8_t{}) == core.asSigned(); break;
    case VT_I2: same = read(std::int16_t{}) == core.asSigned(); break;
    case VT_I4: same = read(std::int32_t{}) == core.asSigned(); break;
    case VT_I8: same = read(std::int64_t{}) == core.asSigned(); break;
    case VT_ERROR: same = read(std::int32_t{}) == core.asSigned(); break;
    case VT_UI1: same = read(std::uint8_t{}) == core.asUnsigned(); break;
    case VT_UI2: same = read(std::uint16_t{}) == core.asUnsigned(); break;
    case VT_UI4: same = read(std::uint32_t{}) == core.asUnsigned(); break;
    case VT_UI8: same = read(std::uint64_t{}) == core.asUnsigned(); break;
    case VT_R4: same = read(float{}) == core.asDouble(); break;
    case VT_R8:
    case VT_DATE: same = read(double{}) == core.asDouble(); break;
    case VT_CY: same = read(std::int64_t{}) == core.asCurrencyScaled(); break;
    case VT_BOOL: same = (read(std::int16_t{}) != 0) == core.asBool(); break;
    case VT_BSTR: {
        const BSTR b = read(BSTR{});
        const std::u16string text =
            b ? std::u16string(reinterpret_cast<const char16_t*>(b), SysStringLen(b)) : u"";
        same = text == core.asString();
        break;
    }
    default: return testing::AssertionFailure() << "unexpected VARTYPE " << vt;
    }
    if (same) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "values of type " << vt << " differ";
}

} // namespace

const std::vector<ValueCase>& valueCases() { return kCases; }

testing::AssertionResult sameValue(const VARIANT& com, const Variant& coreRef) {
    const Variant& core = coreRef.deref();
    if (V_VT(&com) != core.vt())
        return testing::AssertionFailure() << "vt " << V_VT(&com) << " instead of " << core.vt();
    if (core.isArray()) {
        const SafeArray* data = core.arrayData();
        SAFEARRAY* a = V_ARRAY(&com);
        if (!data || !a) {
            if (!data && !a) return testing::AssertionSuccess();
            return testing::AssertionFailure() << "one side holds no array";
        }
        LONG lower = 0, upper = 0;
        if (SafeArrayGetDim(a) != 1) return testing::AssertionFailure() << "not one dimension";
        SafeArrayGetLBound(a, 1, &lower);
        SafeArrayGetUBound(a, 1, &upper);
        if (lower != data->lowerBound || upper != data->upperBound())
            return testing::AssertionFailure() << "bounds " << lower << ".." << upper << " instead of "
                                               << data->lowerBound << ".." << data->upperBound();
        const VARTYPE elementVt = V_VT(&com) & VT_TYPEMASK;
        for (LONG i = lower; i <= upper; ++i) {
            const Variant& expected = data->elements[static_cast<std::size_t>(i - lower)];
            testing::AssertionResult r = testing::AssertionSuccess();
            if (elementVt == VT_VARIANT) {
                VARIANT e;
                VariantInit(&e);
                SafeArrayGetElement(a, &i, &e);
                r = sameValue(e, expected);
                VariantClear(&e);
            } else {
                void* p = nullptr;
                SafeArrayPtrOfIndex(a, &i, &p);
                r = sameScalar(elementVt, p, expected);
            }
            if (!r) return r << " (element " << i << ")";
        }
        return testing::AssertionSuccess();
    }
    if (V_VT(&com) == VT_EMPTY || V_VT(&com) == VT_NULL) return testing::AssertionSuccess();
    return sameScalar(V_VT(&com), &V_I1(&com), core);
}

} // namespace seg4::wine
