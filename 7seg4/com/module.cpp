// The module's entry points: DllMain, the class factories of led7seg4 and ppg7seg4, DllGetClassObject,
// DllCanUnloadNow, and the help file path for hosts.
#include "module.h"

#include "com_base.h"
#include "control_object.h"
#include "dispatch_support.h"
#include "facets.h"
#include "property_page.h"

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

#include <algorithm>
#include <cwchar>

namespace seg4::com {

namespace {

HMODULE g_module = nullptr;

/// The factory of one class: `Create` makes an object of it.
class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    using Create = HRESULT (*)(REFIID riid, void** ppv);
    explicit ClassFactory(Create make) : create_(make) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ModuleCount::lock();
        else
            ModuleCount::unlock();
        return S_OK;
    }

private:
    Create create_;
};

} // namespace

HMODULE moduleHandle() { return g_module; }

std::wstring modulePath() {
    const std::u16string path = modulePlatform().modulePath();
    return std::wstring(path.begin(), path.end());
}

Win32Platform& modulePlatform() {
    static Win32Platform platform(g_module);
    return platform;
}

void releaseModuleCaches() {
    releaseTypeInformation();
    unregisterControlWindowClass();
    unregisterPageWindowClasses();
}

} // namespace seg4::com

using seg4::com::ModuleCount;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        seg4::com::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    seg4::com::ClassFactory::Create create = nullptr;
    if (IsEqualCLSID(clsid, CLSID_led7seg4))
        create = &seg4::com::ControlObject::create;
    else if (IsEqualCLSID(clsid, CLSID_ppg7seg4))
        create = &seg4::com::PropertyPage::create;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = seg4::com::ClassFactory::create(create);
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (!ModuleCount::idle()) return S_FALSE;
    seg4::com::releaseModuleCaches();
    return S_OK;
}

HRESULT WINAPI Seg4LayoutPasses(IUnknown* control, ULONGLONG* passes) {
    if (!control || !passes) return E_POINTER;
    void* host = nullptr;
    if (FAILED(control->QueryInterface(IID_IQuorvaneComponentV4, &host)) || !host) return E_INVALIDARG;
    // Only a facet built by this module has this vtable; another object's interface is refused
    // before anything of it is read as ours.
    const auto* facet = static_cast<const seg4::com::Facet*>(host);
    const HRESULT hr = facet->vtable == seg4::com::hostInterfaceVtable() ? S_OK : E_INVALIDARG;
    if (SUCCEEDED(hr)) *passes = facet->owner->core().layoutPasses();
    static_cast<IUnknown*>(host)->Release();
    return hr;
}

HRESULT WINAPI Seg4PageComboEvents(IUnknown* page, LPWSTR buffer, UINT capacity, UINT* length) {
    if (!page || !length) return E_POINTER;
    seg4::com::PropertyPage* ours = seg4::com::PropertyPage::ofObject(page);
    if (!ours || !ours->model()) return E_INVALIDARG;
    seg4::ComboEventLog& events = ours->model()->colourListEvents();
    const std::u16string text = events.text();
    *length = static_cast<UINT>(text.size());
    // A buffer too small for all of them takes none: the events stay for the next call.
    if (!buffer || capacity <= text.size()) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = L'\0';
    events.clear();
    return S_OK;
}

UINT WINAPI Seg4HelpFile(LPWSTR buffer, UINT capacity) {
    const std::u16string path = seg4::com::modulePlatform().helpFile();
    if (buffer && capacity > 0) {
        const std::size_t n = std::min<std::size_t>(path.size(), capacity - 1);
        std::copy_n(path.begin(), n, buffer);
        buffer[n] = L'\0';
    }
    return static_cast<UINT>(path.size());
}

} // extern "C"
