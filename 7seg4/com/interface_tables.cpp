// The function tables of IQuorvaneComponentV4 and _led7seg4, produced from the member tables.
//
// This file sees the interfaces as the C structs of the IDL header (CINTERFACE): each slot is
// a named field of a function-pointer type, the .def rows fill them by name in their order
// (designated initialisers must follow the declaration order), and the compiler checks every
// thunk's signature against the slot. A row out of order, a missing member or a type that
// differs from the IDL does not compile.
#define CINTERFACE
#define COBJMACROS

#include "dispatch_support.h"
#include "member_thunks.h"

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

namespace seg4::com {

namespace {

using thunks::MemberThunk;

/// IUnknown and IDispatch of a facet: identity and lifetime come from the owning object,
/// dispatch runs through the interface's own type information.
template <class Iface, FacetId Id>
struct DispatchSlots {
    static FacetOwner* owner(Iface* self) { return reinterpret_cast<Facet*>(self)->owner; }

    static HRESULT STDMETHODCALLTYPE QueryInterface(Iface* self, REFIID riid, void** ppv) {
        return owner(self)->facetQueryInterface(riid, ppv);
    }
    static ULONG STDMETHODCALLTYPE AddRef(Iface* self) { return owner(self)->facetAddRef(); }
    static ULONG STDMETHODCALLTYPE Release(Iface* self) { return owner(self)->facetRelease(); }

    static HRESULT STDMETHODCALLTYPE GetTypeInfoCount(Iface*, UINT* count) {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE GetTypeInfo(Iface*, UINT index, LCID, ITypeInfo** info) {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        void* ti = nullptr;
        const HRESULT hr = facetTypeInfo(Id, &ti);
        if (FAILED(hr)) return hr;
        *info = static_cast<ITypeInfo*>(ti);
        ITypeInfo_AddRef(*info);
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE GetIDsOfNames(Iface*, REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                   DISPID* ids) {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        HRESULT hr = checkNameLookup(names, count, ids);
        if (FAILED(hr) || count == 0) return hr;
        void* ti = nullptr;
        hr = facetTypeInfo(Id, &ti);
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(static_cast<ITypeInfo*>(ti), names, count, ids);
    }

    // The type information calls back into this very vtable, so arguments are coerced and
    // errors reported (DISP_E_EXCEPTION with the error info in EXCEPINFO) as for any dual
    // interface on Windows. A repaint is told once the whole call, the dispatching included, is
    // done.
    static HRESULT STDMETHODCALLTYPE Invoke(Iface* self, DISPID member, REFIID riid, LCID, WORD flags,
                                            DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                            UINT* argError) {
        if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        HRESULT hr = checkInvokeParameters(params);
        if (FAILED(hr)) return hr;
        void* ti = nullptr;
        hr = facetTypeInfo(Id, &ti);
        if (FAILED(hr)) return hr;
        const MemberCall scope(owner(self));
        return invokeThroughTypeInfo(self, static_cast<ITypeInfo*>(ti), member, flags, params, result,
                                     exception, argError);
    }
};

using HostSlots = DispatchSlots<IQuorvaneComponentV4, FacetId::Host>;
using ControlSlots = DispatchSlots<_led7seg4, FacetId::Control>;

#define SEG4_HOST_SLOT(no, name, kind, method)                                                               \
    .method = &MemberThunk<IQuorvaneComponentV4, FacetId::Host, &Led7Seg4::method>::call,
#define SEG4_CONTROL_SLOT(no, name, kind, method)                                                            \
    .method = &MemberThunk<_led7seg4, FacetId::Control, &Led7Seg4::method>::call,

const IQuorvaneComponentV4Vtbl kHostVtable = {
    .QueryInterface = &HostSlots::QueryInterface,
    .AddRef = &HostSlots::AddRef,
    .Release = &HostSlots::Release,
    .GetTypeInfoCount = &HostSlots::GetTypeInfoCount,
    .GetTypeInfo = &HostSlots::GetTypeInfo,
    .GetIDsOfNames = &HostSlots::GetIDsOfNames,
    .Invoke = &HostSlots::Invoke,
#define HOST_MEMBER SEG4_HOST_SLOT
#include "component/host_members.def"
#undef HOST_MEMBER
};

const _led7seg4Vtbl kControlVtable = {
    .QueryInterface = &ControlSlots::QueryInterface,
    .AddRef = &ControlSlots::AddRef,
    .Release = &ControlSlots::Release,
    .GetTypeInfoCount = &ControlSlots::GetTypeInfoCount,
    .GetTypeInfo = &ControlSlots::GetTypeInfo,
    .GetIDsOfNames = &ControlSlots::GetIDsOfNames,
    .Invoke = &ControlSlots::Invoke,
#define CONTROL_MEMBER SEG4_CONTROL_SLOT
#include "component/control_members.def"
#undef CONTROL_MEMBER
};

#undef SEG4_HOST_SLOT
#undef SEG4_CONTROL_SLOT

// A table entry the IDL has but the .def lacks would be left null by the initialisers above.
static_assert(sizeof(IQuorvaneComponentV4Vtbl) == (7 + 62) * sizeof(void*),
              "IQuorvaneComponentV4 has IDispatch and the 62 host members");
static_assert(sizeof(_led7seg4Vtbl) == (7 + 17) * sizeof(void*),
              "_led7seg4 has IDispatch and the 17 members of the control");

} // namespace

const void* hostInterfaceVtable() { return &kHostVtable; }
const void* controlInterfaceVtable() { return &kControlVtable; }

const IID& facetIid(FacetId id) { return id == FacetId::Host ? IID_IQuorvaneComponentV4 : IID__led7seg4; }

} // namespace seg4::com
