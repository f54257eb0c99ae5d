// The property page object: the frame's interfaces and the selected objects reached by name.
#include "property_page.h"
#include "property_page_window.h"

#include "automation/errors.h"
#include "dispatch_support.h"
#include "facets.h"
#include "module.h"
#include "variant_bridge.h"
#include "win32_combo_window.h"

#include <olectl.h>

#include <atomic>
#include <cstring>

namespace seg4::com {

// ---- a selected object, reached through its IDispatch by property name ----

class DispatchTarget final : public PageTarget {
public:
    explicit DispatchTarget(ComPtr<IDispatch> object) : object_(std::move(object)) {}

    /// The frame took the object back: later reads and writes fail instead of reaching it.
    void release() { object_.reset(); }

    Variant getProperty(const std::u16string& name) override {
        VariantHolder result;
        DISPPARAMS none{};
        invoke(name, DISPATCH_PROPERTYGET, none, result.get());
        ByRefTargets refs;
        return refs.convertIn(*result.get());
    }

    void putProperty(const std::u16string& name, const Variant& value) override {
        VariantHolder argument;
        toVariant(value, *argument.get());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{argument.get(), &named, 1, 1};
        invoke(name, DISPATCH_PROPERTYPUT, params, nullptr);
    }

private:
    void invoke(const std::u16string& name, WORD flags, DISPPARAMS& params, VARIANT* result) {
        if (!object_) raise(E_UNEXPECTED);
        std::wstring text(name.begin(), name.end());
        LPOLESTR names[] = {text.data()};
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) raise(hr);
        EXCEPINFO exception{};
        UINT argError = 0;
        hr =
            object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argError);
        if (hr == DISP_E_EXCEPTION) raiseException(exception);
        if (FAILED(hr)) raise(hr);
    }

    /// The error an exception describes, with the object's own description when it gave one.
    [[noreturn]] static void raiseException(EXCEPINFO& exception) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        Bstr description = Bstr::adopt(exception.bstrDescription);
        Bstr source = Bstr::adopt(exception.bstrSource);
        Bstr help = Bstr::adopt(exception.bstrHelpFile);
        HRESULT code = exception.scode;
        if (code == S_OK)
            code = exception.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, exception.wCode)
                                   : DISP_E_EXCEPTION;
        std::u16string text = description.text();
        if (text.empty()) raise(code);
        raise(code, std::move(text));
    }

    ComPtr<IDispatch> object_;
};

// ---- creation ----

HRESULT PropertyPage::create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!ensureWindowClasses()) return HRESULT_FROM_WIN32(GetLastError());
    PropertyPage* page = ComObject::create();
    if (!page) return E_OUTOFMEMORY;
    HRESULT hr = guarded(IID_IPropertyPage, [page] {
        // The colour list's window is made now, before the frame has a window for the page: it
        // waits in a hidden window of its own until the page is shown.
        page->parking_.reset(CreateWindowExW(0, kPageWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                             moduleHandle(), nullptr));
        if (!page->parking_.get()) raise(HRESULT_FROM_WIN32(GetLastError()));
        page->comboWindows_ = notifyingComboWindows(
            std::make_unique<Win32ComboWindowFactory>(modulePlatform(), moduleHandle(), page->parking_.get()),
            [page] { page->refreshFromModel(); });
        page->model_ = std::make_unique<Ppg7Seg4>(modulePlatform(), *page->comboWindows_);
        page->model_->Initialize();
    });
    if (SUCCEEDED(hr)) hr = page->QueryInterface(riid, ppv);
    page->Release();
    return hr;
}

namespace {
/// The table of IPropertyPage2 of every page, taken from the first page made: a page's interface
/// is known by it (no page made yet: no object is one).
std::atomic<const void*> g_pageVtable{nullptr};

const void* vtableOf(const void* object) { return *static_cast<const void* const*>(object); }
} // namespace

PropertyPage::PropertyPage() { g_pageVtable.store(vtableOf(static_cast<IPropertyPage2*>(this))); }

PropertyPage* PropertyPage::ofObject(IUnknown* object) {
    IPropertyPage2* page = nullptr;
    if (!object || FAILED(object->QueryInterface(IID_IPropertyPage2, reinterpret_cast<void**>(&page))) ||
        !page)
        return nullptr;
    const void* ours = g_pageVtable.load();
    PropertyPage* found = ours && vtableOf(page) == ours ? static_cast<PropertyPage*>(page) : nullptr;
    page->Release();
    return found;
}

PropertyPage::~PropertyPage() {
    Deactivate();
    releaseTargets();
    model_.reset(); // the colour list's window goes before its parking window
    comboWindows_.reset();
}

void PropertyPage::releaseTargets() {
    for (auto& target : targets_) target->release();
}

// ---- IPropertyPage ----

HRESULT PropertyPage::SetPageSite(IPropertyPageSite* site) {
    site_ = ComPtr<IPropertyPageSite>(site);
    reportedDirty_ = false;
    return S_OK;
}

HRESULT PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    const std::wstring title = wideOf(model_->caption());
    const std::size_t bytes = (title.size() + 1) * sizeof(wchar_t);
    auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!text) return E_OUTOFMEMORY;
    std::memcpy(text, title.c_str(), bytes);
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = text;
    info->size = SIZE{pixelsX(Ppg7Seg4::kWidthTwips), pixelsY(Ppg7Seg4::kHeightTwips)};
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

HRESULT PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count > 0 && !objects) return E_POINTER;
    std::vector<std::unique_ptr<DispatchTarget>> targets;
    for (ULONG i = 0; i < count; ++i) {
        if (!objects[i]) return E_POINTER;
        ComPtr<IDispatch> dispatch;
        const HRESULT hr = objects[i]->QueryInterface(IID_IDispatch, dispatch.putVoid());
        if (FAILED(hr)) return hr;
        targets.push_back(std::make_unique<DispatchTarget>(dispatch));
    }
    // The targets the model still holds stay alive (released) until it has the new ones.
    releaseTargets();
    std::vector<PageTarget*> selected;
    for (auto& target : targets) selected.push_back(target.get());
    if (selected.empty()) {
        targets_.insert(targets_.end(), std::make_move_iterator(targets.begin()),
                        std::make_move_iterator(targets.end()));
        return S_OK; // the frame lets go of its objects; the model reads nothing
    }
    HRESULT hr = guarded(IID_IPropertyPage, [&] { model_->SelectionChanged(selected); });
    targets_ = std::move(targets);
    refreshFromModel();
    return hr;
}

HRESULT PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (!rect) return E_POINTER;
    if (page_.get()) return E_UNEXPECTED;
    HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kPageWindowClass, wideOf(model_->caption()).c_str(),
                                WS_CHILD | WS_CLIPCHILDREN, rect->left, rect->top, rect->right - rect->left,
                                rect->bottom - rect->top, parent, nullptr, moduleHandle(), this);
    if (!hwnd) return HRESULT_FROM_WIN32(GetLastError());
    page_.reset(hwnd);
    const HRESULT hr = guarded(IID_IPropertyPage, [this] {
        const HRESULT created = createChildren();
        if (FAILED(created)) raise(created);
    });
    if (FAILED(hr)) {
        Deactivate();
        return hr;
    }
    refreshFromModel();
    if (focusOnActivate_ != DISPID_UNKNOWN) EditProperty(std::exchange(focusOnActivate_, DISPID_UNKNOWN));
    return S_OK;
}

HRESULT PropertyPage::Deactivate() {
    // The colour list's window goes back to waiting; destroying the page would destroy it.
    if (page_.get() && model_ && parking_.get()) {
        if (auto list = reinterpret_cast<HWND>(model_->colourList().get_hWnd());
            list && GetParent(list) == page_.get()) {
            ShowWindow(list, SW_HIDE);
            SetParent(list, parking_.get());
        }
    }
    for (HWND label : {versionLabel_, colourLabel_, sizeLabel_, sizeText_})
        if (label) RemovePropW(label, kFontPointsProperty);
    page_.reset();
    for (Font* font : {&versionFont_, &colourFont_, &sizeFont_, &textFont_}) font->reset();
    versionLabel_ = colourLabel_ = sizeLabel_ = sizeText_ = scroll_ = nullptr;
    previews_.fill(nullptr);
    return S_OK;
}

HRESULT PropertyPage::Show(UINT command) {
    if (!page_.get()) return E_UNEXPECTED;
    ShowWindow(page_.get(), command == SW_HIDE ? SW_HIDE : SW_SHOWNA);
    return S_OK;
}

HRESULT PropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!page_.get()) return E_UNEXPECTED;
    MoveWindow(page_.get(), rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT PropertyPage::IsPageDirty() { return model_->changed() ? S_OK : S_FALSE; }

HRESULT PropertyPage::Apply() {
    if (!model_->changed()) return S_OK;
    if (targets_.empty()) return E_UNEXPECTED; // nothing to write to
    const HRESULT hr = guarded(IID_IPropertyPage, [this] { model_->ApplyChanges(); });
    refreshFromModel();
    return hr;
}

HRESULT PropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; } // the frame shows the page's help file

HRESULT PropertyPage::TranslateAccelerator(MSG* msg) {
    if (!msg) return E_POINTER;
    if (!page_.get() || !model_) return S_FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP && msg->message != WM_CHAR) return S_FALSE;
    // Keys for the colour list (arrows, and Enter or Escape while its list is dropped) go to the
    // list rather than to the frame's dialog navigation.
    auto list = reinterpret_cast<HWND>(model_->colourList().get_hWnd());
    if (!list || !msg->hwnd || (msg->hwnd != list && !IsChild(list, msg->hwnd))) return S_FALSE;
    const LRESULT wants = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    const bool arrow = msg->wParam == VK_UP || msg->wParam == VK_DOWN || msg->wParam == VK_LEFT ||
                       msg->wParam == VK_RIGHT || msg->wParam == VK_HOME || msg->wParam == VK_END ||
                       msg->wParam == VK_PRIOR || msg->wParam == VK_NEXT;
    const bool dropped = model_->colourList().get_Dropped();
    const bool confirm = msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE;
    if ((wants & DLGC_WANTALLKEYS) || ((wants & DLGC_WANTARROWS) && arrow) || (dropped && confirm)) {
        TranslateMessage(msg);
        DispatchMessageW(msg);
        return S_OK;
    }
    return S_FALSE;
}

HRESULT PropertyPage::EditProperty(DISPID id) {
    // The control's own members: LEDColour is edited in the colour list, LEDSize in the size box.
    constexpr DISPID kColour = 11, kSize = 12;
    if (id != kColour && id != kSize) return E_NOTIMPL;
    if (!page_.get()) {
        focusOnActivate_ = id;
        return S_OK;
    }
    HWND target = id == kSize ? sizeText_ : reinterpret_cast<HWND>(model_->colourList().get_hWndCombo());
    if (target) SetFocus(target);
    return S_OK;
}

// ---- IDispatch ----

HRESULT PropertyPage::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT PropertyPage::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return pageInterfaceInfo(info);
}

HRESULT PropertyPage::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = checkNameLookup(names, count, ids);
    if (FAILED(hr) || count == 0) return hr;
    ComPtr<ITypeInfo> info;
    hr = pageInterfaceInfo(info.put());
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info.get(), names, count, ids);
}

HRESULT PropertyPage::Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = checkInvokeParameters(params);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = pageInterfaceInfo(info.put());
    if (FAILED(hr)) return hr;
    return invokeThroughTypeInfo(static_cast<_ppg7seg4*>(this), info.get(), member, flags, params, result,
                                 exception, argError);
}

HRESULT PropertyPage::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID_IPropertyPage) || IsEqualIID(riid, IID_IPropertyPage2) ? S_OK : S_FALSE;
}

} // namespace seg4::com
