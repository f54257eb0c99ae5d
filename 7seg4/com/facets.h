// The two table-built dual interfaces of the control (IQuorvaneComponentV4 and _led7seg4) as
// "facets": a vtable pointer plus the owning object. The vtables are built in
// interface_tables.cpp, which sees the interfaces as C structs (CINTERFACE) so that every slot
// is checked against the IDL; this header names no interface type, so both kinds of translation
// unit can include it.
#pragma once

#include <objbase.h>

namespace seg4 {
class Led7Seg4;
}

namespace seg4::com {

enum class FacetId { Host, Control };

/// What a facet's IUnknown and member slots need from the object that holds it.
class FacetOwner {
public:
    virtual HRESULT facetQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG facetAddRef() = 0;
    virtual ULONG facetRelease() = 0;
    virtual Led7Seg4& core() = 0;
    /// A member call through a facet starts and ends: the repaints it makes are told to the
    /// container at its end, once the caller holds what the member wrote to its arguments.
    virtual void memberCallStarts() = 0;
    virtual void memberCallEnds() = 0;

protected:
    ~FacetOwner() = default;
};

/// One member call through a facet, from the vtable slot or Invoke to the return.
class MemberCall {
public:
    explicit MemberCall(FacetOwner* owner) : owner_(owner) { owner_->memberCallStarts(); }
    ~MemberCall() { owner_->memberCallEnds(); }
    MemberCall(const MemberCall&) = delete;
    MemberCall& operator=(const MemberCall&) = delete;

private:
    FacetOwner* owner_;
};

/// The memory layout of an interface pointer: the vtable first, then what the slots use.
struct Facet {
    const void* vtable;
    FacetOwner* owner;
};

/// The vtables, in the layout of the IDL's C structs.
const void* hostInterfaceVtable();
const void* controlInterfaceVtable();

/// The interface identifier of a facet.
const IID& facetIid(FacetId id);

/// The ITypeInfo (borrowed, cached for the module's life) that dispatches a facet, read from the
/// module's embedded type libraries. Returns the failure when the library cannot be loaded.
HRESULT facetTypeInfo(FacetId id, void** typeInfo);

/// Called from inside a catch block: turns the exception in flight into a result code and
/// publishes its description as the thread's error info for interface `iid`.
HRESULT failFromCurrentException(const IID& iid) noexcept;
/// Publishes the description of `code` as error info for `iid` and returns `code`.
HRESULT fail(const IID& iid, HRESULT code) noexcept;

/// Runs `step` (work of the core) and turns whatever it throws into a result code.
template <class Step>
HRESULT guarded(const IID& iid, Step&& step) noexcept {
    try {
        step();
        return S_OK;
    } catch (...) {
        return failFromCurrentException(iid);
    }
}

} // namespace seg4::com
