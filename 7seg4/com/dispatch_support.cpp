// Type information from the module's embedded libraries, and errors reported as error infos.
#include "dispatch_support.h"

#include "automation/errors.h"
#include "com_holders.h"
#include "facets.h"
#include "module.h"

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

#include <mutex>

namespace seg4::com {

namespace {

struct TypeInfoCache {
    std::mutex mutex;
    ComPtr<ITypeLib> controlLib;
    ComPtr<ITypeLib> hostLib;
    ComPtr<ITypeInfo> hostInterface;
    ComPtr<ITypeInfo> controlInterface;
    ComPtr<ITypeInfo> pageInterface;
};

TypeInfoCache& cache() {
    static TypeInfoCache c;
    return c;
}

HRESULT loadLibrary(int resourceId, ComPtr<ITypeLib>& slot) {
    if (slot) return S_OK;
    std::wstring path = modulePath();
    if (resourceId != 1) path += L"\\" + std::to_wstring(resourceId);
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, slot.put());
}

/// The vtable half of a dual interface: dispatching through it calls the vtable slots.
HRESULT vtableInfoOf(ITypeLib* lib, const IID& iid, ComPtr<ITypeInfo>& slot) {
    if (slot) return S_OK;
    ComPtr<ITypeInfo> info;
    HRESULT hr = lib->GetTypeInfoOfGuid(iid, info.put());
    if (FAILED(hr)) return hr;
    TYPEATTR* attr = nullptr;
    hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const bool dualDispatch = attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL);
    info->ReleaseTypeAttr(attr);
    if (dualDispatch) {
        HREFTYPE ref = 0;
        hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
        if (FAILED(hr)) return hr;
        ComPtr<ITypeInfo> vtable;
        hr = info->GetRefTypeInfo(ref, vtable.put());
        if (FAILED(hr)) return hr;
        info = vtable;
    }
    slot = info;
    return S_OK;
}

void publishErrorInfo(const IID& iid, const std::u16string& description) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(kControlProgId));
    std::wstring text(description.begin(), description.end());
    create->SetDescription(text.data());
    ComPtr<IErrorInfo> info = create.as<IErrorInfo>();
    if (info) SetErrorInfo(0, info.get());
}

} // namespace

HRESULT facetTypeInfo(FacetId id, void** typeInfo) {
    if (!typeInfo) return E_POINTER;
    *typeInfo = nullptr;
    TypeInfoCache& c = cache();
    std::lock_guard lock(c.mutex);
    HRESULT hr = S_OK;
    // The host interface is dispatched through the host's own library (resource 2); the
    // control's library carries a copy of it, but the host's is the one the interface belongs to.
    if (id == FacetId::Host) {
        hr = loadLibrary(kHostTypeLibId, c.hostLib);
        if (SUCCEEDED(hr)) hr = vtableInfoOf(c.hostLib.get(), IID_IQuorvaneComponentV4, c.hostInterface);
        if (SUCCEEDED(hr)) *typeInfo = c.hostInterface.get();
    } else {
        hr = loadLibrary(kControlTypeLibId, c.controlLib);
        if (SUCCEEDED(hr)) hr = vtableInfoOf(c.controlLib.get(), IID__led7seg4, c.controlInterface);
        if (SUCCEEDED(hr)) *typeInfo = c.controlInterface.get();
    }
    return hr;
}

HRESULT controlClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    TypeInfoCache& c = cache();
    std::lock_guard lock(c.mutex);
    HRESULT hr = loadLibrary(kControlTypeLibId, c.controlLib);
    if (FAILED(hr)) return hr;
    return c.controlLib->GetTypeInfoOfGuid(CLSID_led7seg4, info);
}

HRESULT pageInterfaceInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    TypeInfoCache& c = cache();
    std::lock_guard lock(c.mutex);
    HRESULT hr = loadLibrary(kControlTypeLibId, c.controlLib);
    if (SUCCEEDED(hr)) hr = vtableInfoOf(c.controlLib.get(), IID__ppg7seg4, c.pageInterface);
    if (FAILED(hr)) return hr;
    *info = ComPtr<ITypeInfo>(c.pageInterface.get()).detach();
    return S_OK;
}

HRESULT checkNameLookup(LPOLESTR* names, UINT count, DISPID* ids) {
    if (count == 0) return S_OK;
    if (!ids) return E_POINTER;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (!names) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        if (!names[i]) return E_INVALIDARG;
    return S_OK;
}

HRESULT checkInvokeParameters(const DISPPARAMS* params) {
    if (!params) return E_INVALIDARG;
    if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
    if (params->cNamedArgs > 0 && !params->rgdispidNamedArgs) return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
    return S_OK;
}

void releaseTypeInformation() {
    TypeInfoCache& c = cache();
    std::lock_guard lock(c.mutex);
    c.pageInterface.reset();
    c.hostInterface.reset();
    c.controlInterface.reset();
    c.hostLib.reset();
    c.controlLib.reset();
}

HRESULT fail(const IID& iid, HRESULT code) noexcept {
    publishErrorInfo(iid, describeHResult(code));
    return code;
}

HRESULT failFromCurrentException(const IID& iid) noexcept {
    try {
        throw;
    } catch (const ComError& e) {
        publishErrorInfo(iid, e.description());
        return e.code();
    } catch (const std::bad_alloc&) {
        return fail(iid, E_OUTOFMEMORY);
    } catch (...) {
        return fail(iid, E_UNEXPECTED);
    }
}

} // namespace seg4::com
