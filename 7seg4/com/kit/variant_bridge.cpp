// VARIANT <-> core Variant: scalars, one-dimensional SAFEARRAYs with bounds, by-reference values.
#include "variant_bridge.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "com_holders.h"

#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace seg4::com {

namespace {

// VT_INT and VT_UINT are the machine-word aliases of VT_I4 and VT_UI4 (32 bits on Windows);
// the core has no such types, so they arrive as their fixed-width twins.
VarType coreTypeOf(VARTYPE vt) {
    switch (vt) {
    case VT_EMPTY: return VarType::Empty;
    case VT_NULL: return VarType::Null;
    case VT_I2: return VarType::I2;
    case VT_I4:
    case VT_INT: return VarType::I4;
    case VT_R4: return VarType::R4;
    case VT_R8: return VarType::R8;
    case VT_CY: return VarType::Currency;
    case VT_DATE: return VarType::Date;
    case VT_BSTR: return VarType::String;
    case VT_ERROR: return VarType::Error;
    case VT_BOOL: return VarType::Bool;
    case VT_VARIANT: return VarType::Variant;
    case VT_I1: return VarType::I1;
    case VT_UI1: return VarType::UI1;
    case VT_UI2: return VarType::UI2;
    case VT_UI4:
    case VT_UINT: return VarType::UI4;
    case VT_I8: return VarType::I8;
    case VT_UI8: return VarType::UI8;
    case VT_DISPATCH:
    case VT_UNKNOWN: return VarType::Object;
    default: raise(hr::TypeMismatch);
    }
}

/// Bytes of one array element of a type, 0 for a type that cannot be an element.
std::size_t elementSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    case VT_BSTR: return sizeof(BSTR);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
    }
}

/// A scalar of type `vt` read from memory laid out as the VARIANT union / an array element.
Variant scalarAt(VARTYPE vt, const void* p) {
    auto read = [p](auto sample) {
        decltype(sample) v;
        std::memcpy(&v, p, sizeof v);
        return v;
    };
    switch (vt) {
    case VT_I1: return Variant::i1(read(std::int8_t{}));
    case VT_UI1: return Variant::ui1(read(std::uint8_t{}));
    case VT_I2: return Variant::i2(read(std::int16_t{}));
    case VT_UI2: return Variant::ui2(read(std::uint16_t{}));
    case VT_I4:
    case VT_INT: return Variant::i4(read(std::int32_t{}));
    case VT_UI4:
    case VT_UINT: return Variant::ui4(read(std::uint32_t{}));
    case VT_I8: return Variant::i8(read(std::int64_t{}));
    case VT_UI8: return Variant::ui8(read(std::uint64_t{}));
    case VT_R4: return Variant::r4(read(float{}));
    case VT_R8: return Variant::r8(read(double{}));
    case VT_CY: return Variant::currency(read(std::int64_t{}));
    case VT_DATE: return Variant::date(read(double{}));
    case VT_BSTR: return Variant::string(Bstr::text(read(BSTR{})));
    case VT_ERROR: return Variant::error(read(std::int32_t{}));
    case VT_BOOL: return Variant::boolean(read(std::int16_t{}) != 0);
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return Variant::object(); // the caller keeps it: an [in, out] one is only written when replaced
    case VT_DECIMAL: { // the core has no decimal: its nearest double, as a number it converts to any other
        DECIMAL decimal = read(DECIMAL{});
        double value = 0;
        if (FAILED(VarR8FromDec(&decimal, &value))) raise(hr::Overflow);
        return Variant::r8(value);
    }
    default: raise(hr::TypeMismatch);
    }
}

Variant valueOf(const VARIANT& v, ByRefTargets* refs);

/// A SAFEARRAY of element type `elementVt` as a core array; a null array is "no array".
Variant arrayOf(VARTYPE elementVt, const SAFEARRAY* a) {
    const VarType elementType = coreTypeOf(elementVt);
    if (elementType == VarType::Empty || elementType == VarType::Null) raise(hr::TypeMismatch);
    if (!a) return Variant::noArray(elementType);
    // The core's arrays have one or two dimensions; the element size guards against an array
    // whose features disagree with the type the VARIANT claims.
    if ((a->cDims != 1 && a->cDims != 2) || a->cbElements != elementSize(elementVt)) raise(hr::TypeMismatch);

    auto* array = const_cast<SAFEARRAY*>(a); // locking does not change the elements
    SafeArrayAccess access(array);
    if (!access.ok()) raise(hr::TypeMismatch);
    // rgsabound lists the dimensions from the last to the first; the elements are stored with the
    // first index running fastest, as the core keeps them.
    ArrayDimension dims[2] = {};
    std::uint64_t total = 1;
    for (UINT d = 0; d < a->cDims; ++d) {
        const SAFEARRAYBOUND& b = a->rgsabound[a->cDims - 1 - d];
        if (b.cElements > static_cast<ULONG>(std::numeric_limits<std::int32_t>::max())) raise(hr::Overflow);
        dims[d] = {b.lLbound, static_cast<std::int32_t>(b.cElements)};
        total *= b.cElements;
    }
    if (total > std::numeric_limits<std::uint32_t>::max()) raise(hr::Overflow);
    const auto count = static_cast<ULONG>(total);
    std::vector<Variant> elements;
    elements.reserve(count);
    const auto* bytes = static_cast<const unsigned char*>(a->pvData);
    for (ULONG i = 0; i < count; ++i) {
        const void* p = bytes + static_cast<std::size_t>(i) * a->cbElements;
        if (elementVt == VT_VARIANT)
            elements.push_back(valueOf(*static_cast<const VARIANT*>(p), nullptr));
        else
            elements.push_back(scalarAt(elementVt, p));
    }
    if (a->cDims == 2) return Variant::array2(elementType, dims[0], dims[1], std::move(elements));
    return Variant::array(elementType, dims[0].lowerBound, std::move(elements));
}

/// The value of `v`; by-reference values are followed (and, with `refs`, turned into holders).
Variant valueOf(const VARIANT& v, ByRefTargets* refs) {
    const VARTYPE vt = V_VT(&v);
    if (vt & VT_BYREF) {
        if (refs) return refs->convertIn(v);
        if (!V_BYREF(&v)) raise(hr::TypeMismatch);
        const VARTYPE base = vt & static_cast<VARTYPE>(~VT_BYREF);
        if (base == VT_VARIANT) return valueOf(*V_VARIANTREF(&v), nullptr);
        if (base & VT_ARRAY) return arrayOf(base & VT_TYPEMASK, *V_ARRAYREF(&v));
        return scalarAt(base, V_BYREF(&v));
    }
    if (vt & VT_ARRAY) {
        if (vt & ~(VT_ARRAY | VT_TYPEMASK)) raise(hr::TypeMismatch);
        return arrayOf(vt & VT_TYPEMASK, V_ARRAY(&v));
    }
    switch (vt) {
    case VT_EMPTY: return Variant();
    case VT_NULL: return Variant::null();
    case VT_DECIMAL: return scalarAt(vt, &V_DECIMAL(&v)); // it fills the whole VARIANT, type field aside
    default: return scalarAt(vt, &V_I1(&v)); // every other scalar starts at the union's first byte
    }
}

VARTYPE vartypeOf(VarType t) { return static_cast<VARTYPE>(t); }

void writeScalarAt(const Variant& v, VARTYPE vt, void* p) {
    auto write = [p](auto value) { std::memcpy(p, &value, sizeof value); };
    switch (vt) {
    case VT_I1: write(static_cast<std::int8_t>(v.asSigned())); break;
    case VT_I2: write(static_cast<std::int16_t>(v.asSigned())); break;
    case VT_I4:
    case VT_INT: write(static_cast<std::int32_t>(v.asSigned())); break;
    case VT_I8: write(static_cast<std::int64_t>(v.asSigned())); break;
    case VT_UI1: write(static_cast<std::uint8_t>(v.asUnsigned())); break;
    case VT_UI2: write(static_cast<std::uint16_t>(v.asUnsigned())); break;
    case VT_UI4:
    case VT_UINT: write(static_cast<std::uint32_t>(v.asUnsigned())); break;
    case VT_UI8: write(static_cast<std::uint64_t>(v.asUnsigned())); break;
    case VT_R4: write(static_cast<float>(v.asDouble())); break;
    case VT_R8:
    case VT_DATE: write(v.asDouble()); break;
    case VT_CY: write(v.asCurrencyScaled()); break;
    case VT_ERROR: write(static_cast<std::int32_t>(v.asSigned())); break;
    case VT_BOOL: write(static_cast<VARIANT_BOOL>(v.asBool() ? VARIANT_TRUE : VARIANT_FALSE)); break;
    case VT_BSTR: write(Bstr::allocate(v.asString())); break;
    default: raise(hr::TypeMismatch);
    }
}

/// A new SAFEARRAY holding the core array `a` with element type `vt`.
SAFEARRAY* safeArrayOf(const SafeArray& a, VARTYPE vt) {
    if (elementSize(vt) == 0) raise(hr::TypeMismatch);
    // SafeArrayCreate takes the bounds from the first dimension to the last.
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(a.elements.size()), a.lowerBound}, {}};
    for (std::size_t d = 0; d < a.dimensions.size() && d < 2; ++d)
        bounds[d] = {static_cast<ULONG>(a.dimensions[d].count), a.dimensions[d].lowerBound};
    SafeArrayHolder holder(SafeArrayCreate(vt, static_cast<UINT>(a.dimensionCount()), bounds));
    if (!holder.get()) throw std::bad_alloc();
    {
        SafeArrayAccess access(holder.get());
        if (!access.ok()) throw std::bad_alloc();
        auto* bytes = static_cast<unsigned char*>(holder.get()->pvData);
        for (std::size_t i = 0; i < a.elements.size(); ++i) {
            void* p = bytes + i * holder.get()->cbElements;
            // Elements written so far belong to the array and go with it on a failure.
            if (vt == VT_VARIANT)
                toVariant(a.elements[i], *static_cast<VARIANT*>(p));
            else
                writeScalarAt(a.elements[i].deref(), vt, p);
        }
    }
    return holder.detach();
}

/// Stores `value` into the location a by-reference VARIANT of base type `vt` points at.
void storeThrough(VARTYPE vt, void* location, const Variant& value) {
    const Variant& v = value.deref();
    if (vt == VT_VARIANT) {
        VARIANT fresh;
        toVariant(v, fresh);
        auto* target = static_cast<VARIANT*>(location);
        VariantClear(target);
        *target = fresh;
        return;
    }
    if (vt & VT_ARRAY) {
        const VARTYPE element = vt & VT_TYPEMASK;
        if (!v.isArray() || vartypeOf(v.type()) != element) raise(hr::TypeMismatch);
        const SafeArray* data = v.arrayData();
        SAFEARRAY* fresh = data ? safeArrayOf(*data, element) : nullptr;
        auto** target = static_cast<SAFEARRAY**>(location);
        if (*target) SafeArrayDestroy(*target);
        *target = fresh;
        return;
    }
    if (vt == VT_DECIMAL) { // a decimal reference keeps its type too, from the value as a double
        DECIMAL fresh;
        if (FAILED(VarDecFromR8(changeType(v, VarType::R8).asDouble(), &fresh))) raise(hr::Overflow);
        std::memcpy(location, &fresh, sizeof fresh);
        return;
    }
    // A typed reference keeps its type: the value is converted with the core's rules.
    const Variant converted = v.vt() == vt ? v : changeType(v, coreTypeOf(vt));
    if (vt == VT_BSTR) {
        BSTR fresh = Bstr::allocate(converted.asString());
        auto* target = static_cast<BSTR*>(location);
        SysFreeString(*target);
        *target = fresh;
        return;
    }
    writeScalarAt(converted, vt, location);
}

} // namespace

Variant ByRefTargets::convertIn(const VARIANT& v) {
    const VARTYPE vt = V_VT(&v);
    if (!(vt & VT_BYREF)) return valueOf(v, this);
    if (!V_BYREF(&v)) raise(hr::TypeMismatch);
    const VARTYPE base = vt & static_cast<VARTYPE>(~VT_BYREF);
    Target t{base, V_BYREF(&v), Variant(), Variant()};
    if (base == VT_VARIANT)
        t.value = valueOf(*V_VARIANTREF(&v), nullptr);
    else if (base & VT_ARRAY)
        t.value = arrayOf(base & VT_TYPEMASK, *V_ARRAYREF(&v));
    else if (base == VT_EMPTY || base == VT_NULL)
        raise(hr::TypeMismatch);
    else
        t.value = scalarAt(base, V_BYREF(&v));
    t.original = t.value;
    targets_.push_back(std::move(t));
    // A reference to a typed variable keeps its type when the core stores through it, so a value
    // it cannot take fails where the core stores it, not later on the way back.
    Variant* holder = &targets_.back().value;
    return base == VT_VARIANT ? Variant::byRef(holder) : Variant::typedRef(holder);
}

void ByRefTargets::writeBack() {
    for (Target& t : targets_) storeThrough(t.vt, t.location, t.value);
}

bool ByRefTargets::changed() const {
    return std::any_of(targets_.begin(), targets_.end(),
                       [](const Target& t) { return t.value != t.original; });
}

void toVariant(const Variant& value, VARIANT& out) {
    VariantInit(&out);
    const Variant& v = value.deref();
    if (v.isArray()) {
        const VARTYPE element = vartypeOf(v.type());
        const SafeArray* data = v.arrayData();
        // A typed array that holds no array is VT_ARRAY | type with a null parray.
        SAFEARRAY* a = data ? safeArrayOf(*data, element) : nullptr;
        V_VT(&out) = static_cast<VARTYPE>(VT_ARRAY | element);
        V_ARRAY(&out) = a;
        return;
    }
    switch (v.type()) {
    case VarType::Empty: return;
    case VarType::Null: V_VT(&out) = VT_NULL; return;
    case VarType::Variant: raise(hr::TypeMismatch); // only an array element type
    default: break;
    }
    const VARTYPE vt = vartypeOf(v.type());
    VARIANT fresh;
    VariantInit(&fresh);
    writeScalarAt(v, vt, &V_I1(&fresh));
    V_VT(&fresh) = vt;
    out = fresh;
}

InOutVariant::InOutVariant(VARIANT* p) : p_(p) {
    if (!p_) return;
    value_ = refs_.convertIn(*p_);
    original_ = value_;
}

void InOutVariant::commit() {
    if (!p_) return;
    refs_.writeBack();
    // The caller's VARIANT still refers to the same place: the write-back above was the result.
    if (value_.isByRef() && value_ == original_) return;
    VARIANT fresh;
    toVariant(value_, fresh);
    VariantClear(p_); // a by-reference VARIANT is only forgotten, its target stays the caller's
    *p_ = fresh;
}

} // namespace seg4::com
