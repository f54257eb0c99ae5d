// Construction, access and comparison of automation values.
#include "automation/variant.h"

#include "automation/conversions.h"
#include "automation/errors.h"

#include <limits>

namespace seg4 {

Variant Variant::null() {
    Variant v;
    v.type_ = VarType::Null;
    return v;
}

#define SEG4_SIGNED_FACTORY(fn, T, vt)                                                                       \
    Variant Variant::fn(T value) {                                                                           \
        Variant v;                                                                                           \
        v.type_ = VarType::vt;                                                                               \
        v.data_ = static_cast<std::int64_t>(value);                                                          \
        return v;                                                                                            \
    }
#define SEG4_UNSIGNED_FACTORY(fn, T, vt)                                                                     \
    Variant Variant::fn(T value) {                                                                           \
        Variant v;                                                                                           \
        v.type_ = VarType::vt;                                                                               \
        v.data_ = static_cast<std::uint64_t>(value);                                                         \
        return v;                                                                                            \
    }
SEG4_SIGNED_FACTORY(i1, std::int8_t, I1)
SEG4_SIGNED_FACTORY(i2, std::int16_t, I2)
SEG4_SIGNED_FACTORY(i4, std::int32_t, I4)
SEG4_SIGNED_FACTORY(i8, std::int64_t, I8)
SEG4_SIGNED_FACTORY(error, std::int32_t, Error)
SEG4_UNSIGNED_FACTORY(ui1, std::uint8_t, UI1)
SEG4_UNSIGNED_FACTORY(ui2, std::uint16_t, UI2)
SEG4_UNSIGNED_FACTORY(ui4, std::uint32_t, UI4)
SEG4_UNSIGNED_FACTORY(ui8, std::uint64_t, UI8)
#undef SEG4_SIGNED_FACTORY
#undef SEG4_UNSIGNED_FACTORY

Variant Variant::object() {
    Variant v;
    v.type_ = VarType::Object;
    return v;
}

Variant Variant::r4(float value) {
    Variant v;
    v.type_ = VarType::R4;
    v.data_ = static_cast<double>(value);
    return v;
}

Variant Variant::r8(double value) {
    Variant v;
    v.type_ = VarType::R8;
    v.data_ = value;
    return v;
}

Variant Variant::currency(std::int64_t scaled) {
    Variant v;
    v.type_ = VarType::Currency;
    v.data_ = scaled;
    return v;
}

Variant Variant::date(double days) {
    Variant v;
    v.type_ = VarType::Date;
    v.data_ = days;
    return v;
}

Variant Variant::string(std::u16string value) {
    Variant v;
    v.type_ = VarType::String;
    v.data_ = std::move(value);
    return v;
}

Variant Variant::boolean(bool value) {
    Variant v;
    v.type_ = VarType::Bool;
    v.data_ = static_cast<std::int64_t>(value ? -1 : 0);
    return v;
}

Variant Variant::byRef(Variant* target) {
    Variant v;
    v.type_ = VarType::Variant;
    v.data_ = target;
    return v;
}

Variant Variant::typedRef(Variant* target) {
    Variant v = byRef(target);
    v.typedReference_ = 1;
    return v;
}

Variant Variant::array(VarType elementType, std::int32_t lowerBound, std::vector<Variant> elements) {
    const auto last = static_cast<std::int64_t>(lowerBound) + static_cast<std::int64_t>(elements.size()) - 1;
    if (last > std::numeric_limits<std::int32_t>::max()) raise(hr::Overflow);
    if (elementType != VarType::Variant) {
        for (Variant& e : elements)
            if (e.isByRef() || e.isArray() || e.type() != elementType) e = changeType(e, elementType);
    }
    Variant v;
    v.type_ = elementType;
    v.isArray_ = true;
    auto a = std::make_shared<SafeArray>();
    a->elementType = elementType;
    a->lowerBound = lowerBound;
    a->elements = std::move(elements);
    v.data_ = std::move(a);
    return v;
}

Variant Variant::array2(VarType elementType, ArrayDimension first, ArrayDimension second,
                        std::vector<Variant> elements) {
    if (first.count < 0 || second.count < 0 ||
        static_cast<std::int64_t>(first.count) * second.count != static_cast<std::int64_t>(elements.size()))
        raise(hr::InvalidArgument);
    for (const ArrayDimension& d : {first, second})
        if (static_cast<std::int64_t>(d.lowerBound) + d.count - 1 > std::numeric_limits<std::int32_t>::max())
            raise(hr::Overflow);
    Variant v = array(elementType, first.lowerBound, std::move(elements));
    std::get<std::shared_ptr<SafeArray>>(v.data_)->dimensions = {first, second};
    return v;
}

Variant Variant::emptyArray(VarType elementType) { return array(elementType, 0, {}); }

Variant Variant::noArray(VarType elementType) {
    Variant v;
    v.type_ = elementType;
    v.isArray_ = true;
    v.data_ = std::shared_ptr<SafeArray>();
    return v;
}

std::uint16_t Variant::vt() const noexcept {
    if (isTypedRef()) {
        const Variant& target = deref();
        if (!target.isByRef()) return static_cast<std::uint16_t>(kVtByRefFlag | target.vt());
    }
    if (isByRef())
        return static_cast<std::uint16_t>(kVtByRefFlag | static_cast<std::uint16_t>(VarType::Variant));
    auto bits = static_cast<std::uint16_t>(type_);
    return isArray_ ? static_cast<std::uint16_t>(bits | kVtArrayFlag) : bits;
}

const Variant& Variant::deref() const noexcept {
    const Variant* v = this;
    for (int depth = 0; depth < kMaxReferenceDepth; ++depth) {
        const auto* p = std::get_if<Variant*>(&v->data_);
        if (p == nullptr || *p == nullptr) break;
        v = *p;
    }
    return *v;
}

Variant& Variant::deref() noexcept {
    return const_cast<Variant&>(static_cast<const Variant&>(*this).deref());
}

std::int64_t Variant::asSigned() const {
    const Variant& v = deref();
    if (!v.isArray_) {
        if (const auto* i = std::get_if<std::int64_t>(&v.data_); i && v.type_ != VarType::Currency) return *i;
    }
    raise(hr::TypeMismatch);
}

std::uint64_t Variant::asUnsigned() const {
    const Variant& v = deref();
    if (!v.isArray_) {
        if (const auto* u = std::get_if<std::uint64_t>(&v.data_)) return *u;
    }
    raise(hr::TypeMismatch);
}

double Variant::asDouble() const {
    const Variant& v = deref();
    if (!v.isArray_) {
        if (const auto* d = std::get_if<double>(&v.data_)) return *d;
    }
    raise(hr::TypeMismatch);
}

std::int64_t Variant::asCurrencyScaled() const {
    const Variant& v = deref();
    if (!v.isArray_ && v.type_ == VarType::Currency) return std::get<std::int64_t>(v.data_);
    raise(hr::TypeMismatch);
}

const std::u16string& Variant::asString() const {
    const Variant& v = deref();
    if (!v.isArray_) {
        if (const auto* s = std::get_if<std::u16string>(&v.data_)) return *s;
    }
    raise(hr::TypeMismatch);
}

bool Variant::asBool() const {
    const Variant& v = deref();
    if (!v.isArray_ && v.type_ == VarType::Bool) return std::get<std::int64_t>(v.data_) != 0;
    raise(hr::TypeMismatch);
}

const SafeArray* Variant::arrayData() const noexcept {
    const Variant& v = deref();
    const auto* p = v.isArray_ ? std::get_if<std::shared_ptr<SafeArray>>(&v.data_) : nullptr;
    return p ? p->get() : nullptr;
}

SafeArray* Variant::arrayData() {
    Variant& v = deref();
    if (!v.isArray_) return nullptr;
    v.detachArray();
    return std::get<std::shared_ptr<SafeArray>>(v.data_).get();
}

void Variant::detachArray() {
    auto& p = std::get<std::shared_ptr<SafeArray>>(data_);
    if (p && p.use_count() > 1) p = std::make_shared<SafeArray>(*p);
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.vt() != b.vt()) return false;
    if (a.isByRef()) return std::get<Variant*>(a.data_) == std::get<Variant*>(b.data_);
    if (a.isArray_) {
        const SafeArray* x = a.arrayData();
        const SafeArray* y = b.arrayData();
        if (!x || !y) return x == y;
        return x->lowerBound == y->lowerBound && x->dimensions == y->dimensions && x->elements == y->elements;
    }
    return a.data_ == b.data_;
}

std::int32_t lowerBound(const Variant& v) {
    if (!v.deref().isArray()) raise(hr::TypeMismatch);
    const SafeArray* a = v.arrayData();
    if (!a) raise(hr::SubscriptOutOfRange);
    return a->lowerBound;
}

std::int32_t upperBound(const Variant& v) {
    if (!v.deref().isArray()) raise(hr::TypeMismatch);
    const SafeArray* a = v.arrayData();
    if (!a) raise(hr::SubscriptOutOfRange);
    return a->upper(1);
}

const Variant& arrayElement(const Variant& v, std::int32_t index) {
    const SafeArray* a = v.arrayData();
    if (!v.deref().isArray()) raise(hr::TypeMismatch);
    if (!a || a->dimensionCount() != 1 || index < a->lowerBound || index > a->upperBound())
        raise(hr::SubscriptOutOfRange);
    return a->elements[static_cast<std::size_t>(index - a->lowerBound)];
}

const Variant& arrayElement(const Variant& v, std::int32_t i, std::int32_t j) {
    const SafeArray* a = v.arrayData();
    if (!v.deref().isArray()) raise(hr::TypeMismatch);
    if (!a || a->dimensionCount() != 2 || i < a->lower(1) || i > a->upper(1) || j < a->lower(2) ||
        j > a->upper(2))
        raise(hr::SubscriptOutOfRange);
    const auto row = static_cast<std::size_t>(i - a->lower(1));
    const auto column = static_cast<std::size_t>(j - a->lower(2));
    return a->elements[column * static_cast<std::size_t>(a->dimensions[0].count) + row];
}

} // namespace seg4
