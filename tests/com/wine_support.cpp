// Shared helpers of the Wine tests.
#include "wine_support.h"

#include <gtest/gtest.h>

namespace seg4::wine {

std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

std::u16string narrowToU16(const wchar_t* s) {
    return s ? std::u16string(reinterpret_cast<const char16_t*>(s)) : std::u16string();
}

VARIANT longVariant(LONG value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

void createControl(Ref<IQuorvaneComponentV4>& host, bool initNew) {
    HRESULT hr = CoCreateInstance(CLSID_led7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvaneComponentV4,
                                  host.putVoid());
    ASSERT_EQ(hr, S_OK) << "CoCreateInstance of the registered control";
    if (!initNew) return;
    Ref<IPersistStreamInit> persist;
    ASSERT_EQ(host.query(persist), S_OK);
    ASSERT_EQ(persist->InitNew(), S_OK);
}

HMODULE controlModule() {
    HMODULE module = GetModuleHandleW(L"ARM_7seg4.ocx");
    if (!module) {
        Ref<IQuorvaneComponentV4> first;
        createControl(first);
        module = GetModuleHandleW(L"ARM_7seg4.ocx");
    }
    return module;
}

std::wstring layoutFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controlModule(), path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// The same start as a new control inside the module: Initialize, then InitNew (InitProperties
// and the first Resize).
CoreTwin::CoreTwin() : platform_(controlModule()), core_(std::make_unique<Led7Seg4>(platform_)) {
    core_->Initialize();
    core_->InitProperties();
    core_->Resize();
}

// ---- message boxes ----

SeenBoxes& SeenBoxes::instance() {
    static SeenBoxes boxes;
    return boxes;
}

void SeenBoxes::start() {
    std::call_once(started_, [this] {
        // The tests call the module without marking their calls: look often.
        watcher_ = std::make_unique<qhost::win32::MessageBoxWatcher>(std::chrono::milliseconds(10));
        watcher_->setHandler([this](const std::u16string& title, const std::u16string& text) {
            std::lock_guard lock(mutex_);
            seen_.push_back(
                {std::wstring(title.begin(), title.end()), std::wstring(text.begin(), text.end())});
        });
    });
}

std::vector<SeenBox> SeenBoxes::take() {
    std::lock_guard lock(mutex_);
    return std::exchange(seen_, {});
}

// ---- property bag ----

TestPropertyBag::~TestPropertyBag() {
    for (auto& [name, value] : written) VariantClear(&value);
    for (auto& [name, value] : stored_) VariantClear(&value);
}

HRESULT TestPropertyBag::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
        *ppv = static_cast<IPropertyBag*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT TestPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    reads.emplace_back(name);
    if (failReadsWith != S_OK) return failReadsWith;
    auto it = stored_.find(name);
    if (it == stored_.end()) return E_INVALIDARG;
    return VariantCopy(value, &it->second);
}

HRESULT TestPropertyBag::Write(LPCOLESTR name, VARIANT* value) {
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopy(&copy, value);
    if (FAILED(hr)) return hr;
    written.emplace_back(name, copy);
    set(name, *value);
    return S_OK;
}

void TestPropertyBag::set(const std::wstring& name, const VARIANT& value) {
    VARIANT& slot = stored_[name];
    VariantClear(&slot);
    VariantCopy(&slot, const_cast<VARIANT*>(&value)); // the source is only read
}

} // namespace seg4::wine
