// Generic adapters from a core member function to a slot of a C vtable.
//
// `MemberThunk<Iface, Id, &Led7Seg4::method>::call` has the C signature that the IDL gives the
// slot: the core argument types map to COM types (int32_t -> LONG, int16_t -> SHORT,
// u16string -> BSTR, Variant -> VARIANT; a non-const reference -> a pointer for [in, out]) and a
// result becomes a trailing [out, retval] pointer. Placing it into the IDL's vtable struct lets
// the compiler check each slot against the interface definition.
#pragma once

#include "automation/variant.h"
#include "com_holders.h"
#include "component/led7seg4.h"
#include "facets.h"
#include "variant_bridge.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>

namespace seg4::com::thunks {

// ---- arguments: a holder made from the COM argument, handing the core what it takes ----

template <class A>
struct Arg;

template <>
struct Arg<std::int32_t> {
    using Com = LONG;
    explicit Arg(LONG v) : value(v) {}
    bool valid() const { return true; }
    std::int32_t get() const { return value; }
    void commit() {}
    bool written() const { return false; }
    std::int32_t value;
};

template <>
struct Arg<std::int16_t> {
    using Com = SHORT;
    explicit Arg(SHORT v) : value(v) {}
    bool valid() const { return true; }
    std::int16_t get() const { return value; }
    void commit() {}
    bool written() const { return false; }
    std::int16_t value;
};

/// An [in, out] number: read before the call, written back after it.
template <class T, class ComT>
struct NumberRef {
    using Com = ComT*;
    explicit NumberRef(ComT* p) : ptr(p), value(p ? static_cast<T>(*p) : T{}), original(value) {}
    bool valid() const { return ptr != nullptr; }
    T& get() { return value; }
    void commit() { *ptr = static_cast<ComT>(value); }
    bool written() const { return value != original; }
    ComT* ptr;
    T value;
    T original;
};
template <>
struct Arg<std::int32_t&> : NumberRef<std::int32_t, LONG> {
    using NumberRef::NumberRef;
};
template <>
struct Arg<std::int16_t&> : NumberRef<std::int16_t, SHORT> {
    using NumberRef::NumberRef;
};

template <>
struct Arg<const std::u16string&> {
    using Com = BSTR;
    explicit Arg(BSTR b) : value(Bstr::text(b)) {}
    bool valid() const { return true; }
    const std::u16string& get() const { return value; }
    void commit() {}
    bool written() const { return false; }
    std::u16string value;
};
template <>
struct Arg<std::u16string> : Arg<const std::u16string&> {
    using Arg<const std::u16string&>::Arg;
};

template <>
struct Arg<std::u16string&> {
    using Com = BSTR*;
    explicit Arg(BSTR* p) : ptr(p), value(p ? Bstr::text(*p) : std::u16string()), original(value) {}
    bool valid() const { return ptr != nullptr; }
    std::u16string& get() { return value; }
    void commit() {
        BSTR fresh = Bstr::allocate(value);
        SysFreeString(*ptr);
        *ptr = fresh;
    }
    bool written() const { return value != original; }
    BSTR* ptr;
    std::u16string value;
    std::u16string original;
};

template <>
struct Arg<const Variant&> {
    using Com = VARIANT;
    explicit Arg(const VARIANT& v) : value(refs.convertIn(v)) {}
    bool valid() const { return true; }
    const Variant& get() const { return value; }
    void commit() {} // an [in] value: the caller's references are not written
    bool written() const { return false; }
    ByRefTargets refs;
    Variant value;
};

template <>
struct Arg<Variant&> {
    using Com = VARIANT*;
    explicit Arg(VARIANT* p) : inout(p), ptr(p) {}
    bool valid() const { return ptr != nullptr; }
    Variant& get() { return inout.get(); }
    void commit() { inout.commit(); }
    bool written() const { return inout.written(); }
    InOutVariant inout;
    VARIANT* ptr;
};

// ---- results: the trailing [out, retval] pointer ----

template <class R>
struct Out;
template <>
struct Out<std::int32_t> {
    using Com = LONG;
    static void store(std::int32_t v, LONG* out) { *out = v; }
};
template <>
struct Out<std::int16_t> {
    using Com = SHORT;
    static void store(std::int16_t v, SHORT* out) { *out = v; }
};
template <>
struct Out<std::u16string> {
    using Com = BSTR;
    static void store(const std::u16string& v, BSTR* out) { *out = Bstr::allocate(v); }
};
template <>
struct Out<Variant> {
    using Com = VARIANT;
    static void store(const Variant& v, VARIANT* out) { toVariant(v, *out); }
};

// ---- the call itself ----

/// Hands the caller the [in, out] arguments the member wrote before it failed; the others stay
/// exactly as the caller passed them.
template <class... H>
void commitWritten(std::tuple<H...>& holders) noexcept {
    std::apply(
        [](auto&... h) {
            [[maybe_unused]] const auto one = [](auto& holder) {
                try {
                    if (holder.written()) holder.commit();
                } catch (...) { // out of memory for the copy: the member's own error is reported
                }
            };
            (one(h), ...);
        },
        holders);
}

/// Hands the caller the [in, out] arguments the member wrote; one it did not write stays exactly
/// as the caller passed it (its type, a string's very pointer, an object the core cannot hold).
template <class... H>
void commitWrites(std::tuple<H...>& holders) {
    std::apply([](auto&... h) { ((h.written() ? h.commit() : void()), ...); }, holders);
}

/// Converts the arguments, checks every pointer, runs the core member and writes the results.
/// A member that fails part-way keeps the writes it made to [in, out] arguments before the
/// failure (SHOW_DIGIT sets its cycle count before it reads its parameters).
template <class R, class... A, class Call, class ComOut>
HRESULT invoke(const IID& iid, Call&& call, ComOut* out, typename Arg<A>::Com... args) noexcept {
    try {
        std::tuple<Arg<A>...> holders(args...);
        const bool allValid = std::apply([](auto&... h) { return (h.valid() && ... && true); }, holders);
        if (!allValid) return fail(iid, E_POINTER);
        if constexpr (!std::is_void_v<R>) {
            if (!out) return fail(iid, E_POINTER);
        }
        try {
            if constexpr (std::is_void_v<R>) {
                std::apply([&](auto&... h) { call(h.get()...); }, holders);
                commitWrites(holders);
            } else {
                R result = std::apply([&](auto&... h) { return call(h.get()...); }, holders);
                commitWrites(holders);
                Out<R>::store(result, out);
            }
        } catch (...) {
            commitWritten(holders);
            throw;
        }
        return S_OK;
    } catch (...) {
        return failFromCurrentException(iid);
    }
}

template <class Iface, FacetId Id, auto Method>
struct MemberThunk;

template <class Iface, FacetId Id, class R, class... A, R (Led7Seg4::*Method)(A...)>
requires(!std::is_void_v<R>) struct MemberThunk<Iface, Id, Method> {
    static HRESULT STDMETHODCALLTYPE call(Iface* self, typename Arg<A>::Com... args,
                                          typename Out<R>::Com* out) {
        const MemberCall scope(reinterpret_cast<Facet*>(self)->owner);
        Led7Seg4& core = reinterpret_cast<Facet*>(self)->owner->core();
        return invoke<R, A...>(
            facetIid(Id), [&core](auto&&... a) -> R { return (core.*Method)(a...); }, out, args...);
    }
};

template <class Iface, FacetId Id, class... A, void (Led7Seg4::*Method)(A...)>
struct MemberThunk<Iface, Id, Method> {
    static HRESULT STDMETHODCALLTYPE call(Iface* self, typename Arg<A>::Com... args) {
        const MemberCall scope(reinterpret_cast<Facet*>(self)->owner);
        Led7Seg4& core = reinterpret_cast<Facet*>(self)->owner->core();
        return invoke<void, A...>(
            facetIid(Id), [&core](auto&&... a) { (core.*Method)(a...); }, static_cast<void*>(nullptr),
            args...);
    }
};

} // namespace seg4::com::thunks
