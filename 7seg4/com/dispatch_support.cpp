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

/// The description of the member a call with these flags reaches, or none.
class MemberDescription {
public:
    MemberDescription(ITypeInfo* info, DISPID member, WORD flags) : info_(info) {
        // Every call comes through here: the member's index is asked for, not found by reading
        // (and copying) each of up to 62 descriptions in turn. The invocation flags have the
        // bits of the invoke kinds.
        ComPtr<ITypeInfo2> indexed;
        if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, indexed.putVoid()))) {
            for (const INVOKEKIND kind :
                 {INVOKE_FUNC, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, INVOKE_PROPERTYPUTREF}) {
                UINT index = 0;
                if ((flags & kind) && SUCCEEDED(indexed->GetFuncIndexOfMemId(member, kind, &index)) &&
                    SUCCEEDED(info->GetFuncDesc(index, &desc_)))
                    break;
            }
        }
        if (!desc_) return;
        parameters_ = desc_->cParams;
        if (parameters_ > 0 &&
            (desc_->lprgelemdescParam[parameters_ - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
            --parameters_;
    }
    MemberDescription(const MemberDescription&) = delete;
    MemberDescription& operator=(const MemberDescription&) = delete;
    ~MemberDescription() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    explicit operator bool() const { return desc_ != nullptr; }

    /// The parameter that rgvarg[index] stands for, or -1 when its name is no parameter. Named
    /// arguments come first in rgvarg; the positional ones follow, the last parameter first.
    int parameterOf(const DISPPARAMS& params, UINT index, WORD flags) const {
        if (index >= params.cNamedArgs) return static_cast<int>(params.cArgs - 1 - index);
        const DISPID id = params.rgdispidNamedArgs[index];
        if (id == DISPID_PROPERTYPUT && (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)))
            return parameters_ - 1;
        return id >= 0 && id < parameters_ ? static_cast<int>(id) : -1;
    }
    int parameters() const { return parameters_; }

    /// Whether the argument converts to the parameter's type (what a pointer points at).
    bool takes(VARIANTARG& argument, int parameter) const {
        const TYPEDESC& type = desc_->lprgelemdescParam[parameter].tdesc;
        const VARTYPE target = type.vt == VT_PTR ? type.lptdesc->vt : type.vt;
        if (target == VT_VARIANT) return true;
        if (V_ISBYREF(&argument) && !V_BYREF(&argument)) return false; // a reference to nothing
        VARIANT value, converted;
        VariantInit(&value);
        VariantInit(&converted);
        const bool ok = SUCCEEDED(VariantCopyInd(&value, &argument)) &&
                        SUCCEEDED(VariantChangeType(&converted, &value, 0, target));
        VariantClear(&converted);
        VariantClear(&value);
        return ok;
    }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_ = nullptr;
    int parameters_ = 0;
};

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

HRESULT invokeThroughTypeInfo(void* self, ITypeInfo* info, DISPID member, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    const MemberDescription description(info, member, flags);
    if (description) {
        // Wine's dispatcher makes a put with one argument too many all the same.
        if (params->cArgs > static_cast<UINT>(description.parameters())) return DISP_E_BADPARAMCOUNT;
        for (UINT i = 0; i < params->cNamedArgs; ++i) {
            const int parameter = description.parameterOf(*params, i, flags);
            if (parameter < 0 || parameter >= description.parameters()) {
                if (argError) *argError = i;
                return DISP_E_PARAMNOTFOUND;
            }
        }
    }
    const HRESULT hr = DispInvoke(self, info, member, flags, params, result, exception, argError);
    if (hr != DISP_E_TYPEMISMATCH || !argError || !description) return hr;
    // The first argument in the caller's order is the last one in rgvarg.
    for (UINT i = params->cArgs; i-- > 0;) {
        const int parameter = description.parameterOf(*params, i, flags);
        if (parameter >= 0 && parameter < description.parameters() &&
            !description.takes(params->rgvarg[i], parameter)) {
            *argError = i;
            break;
        }
    }
    return hr;
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
