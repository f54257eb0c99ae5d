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

const std::vector<Variant>& sampleValues() {
    static const std::vector<Variant> values = [] {
        std::vector<Variant> pins; // pin 0 high (digit selected), segments low (lit) except G and DP
        for (int i = 0; i < 12; ++i) pins.push_back(Variant::boolean(i == 0 || i == 10 || i == 11));
        return std::vector<Variant>{
            Variant(),
            Variant::i4(5),
            Variant::string(u"x"),
            Variant::array(VarType::Bool, 0, std::move(pins)),
            Variant::array(VarType::Variant, 0, {Variant::i2(1), Variant::i2(8), Variant::boolean(true)}),
            Variant::array(VarType::I4, 3, {Variant::i4(10), Variant::i4(11)}),
            Variant::noArray(VarType::I4),
        };
    }();
    return values;
}

namespace {

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
    case VT_I4:
    case VT_ERROR: same = read(std::int32_t{}) == core.asSigned(); break;
    case VT_I8: same = read(std::int64_t{}) == core.asSigned(); break;
    case VT_UI1: same = read(std::uint8_t{}) == core.asUnsigned(); break;
    case VT_UI2: same = read(std::uint16_t{}) == core.asUnsigned(); break;
    case VT_UI4: same = read(std::uint32_t{}) == core.asUnsigned(); break;
    case VT_UI8: same = read(std::uint64_t{}) == core.asUnsigned(); break;
    case VT_R4: same = read(float{}) == core.asDouble(); break;
    case VT_R8:
    case VT_DATE: same = read(double{}) == core.asDouble(); break;
    case VT_CY: same = read(std::int64_t{}) == core.asCurrencyScaled(); break;
    case VT_BOOL: same = read(std::int16_t{}) == (core.asBool() ? -1 : 0); break;
    case VT_BSTR: {
        const BSTR b = read(BSTR{});
        same = (b ? std::u16string(reinterpret_cast<const char16_t*>(b), SysStringLen(b)) : u"") ==
               core.asString();
        break;
    }
    default: return testing::AssertionFailure() << "unexpected VARTYPE " << vt;
    }
    if (same) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "values of type " << vt << " differ";
}

} // namespace

testing::AssertionResult sameValue(const VARIANT& com, const Variant& coreRef) {
    const Variant& core = coreRef.deref();
    if (V_VT(&com) != core.vt())
        return testing::AssertionFailure() << "vt " << V_VT(&com) << " instead of " << core.vt();
    if (!core.isArray()) {
        if (V_VT(&com) == VT_EMPTY || V_VT(&com) == VT_NULL) return testing::AssertionSuccess();
        return sameScalar(V_VT(&com), &V_I1(&com), core);
    }
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
    for (LONG i = lower; i <= upper; ++i) {
        const Variant& expected = data->elements[static_cast<std::size_t>(i - lower)];
        testing::AssertionResult r = testing::AssertionSuccess();
        if ((V_VT(&com) & VT_TYPEMASK) == VT_VARIANT) {
            VARIANT e;
            VariantInit(&e);
            SafeArrayGetElement(a, &i, &e);
            r = sameValue(e, expected);
            VariantClear(&e);
        } else {
            void* p = nullptr;
            SafeArrayPtrOfIndex(a, &i, &p);
            r = sameScalar(V_VT(&com) & VT_TYPEMASK, p, expected);
        }
        if (!r) return r << " (element " << i << ")";
    }
    return testing::AssertionSuccess();
}

} // namespace seg4::wine
