// Showing the control: in-place activation with a child window, IViewObject2, and the one
// routine that turns the layers into pixels on a device context (through the shared compositor,
// so that the pixels equal the portable core's snapshot).
#include "control_object.h"

#include "display/compositor.h"
#include "frame_dib.h"
#include "module.h"

#include <ARM_7seg4.h>

#include <mutex>

namespace seg4::com {

namespace {

constexpr wchar_t kWindowClass[] = L"Seg4Led7Seg4Display";

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* control = reinterpret_cast<ControlObject*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_NCDESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
    case WM_ERASEBKGND: return 1; // the backdrops cover the whole control
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        if (control && dc) control->render(dc, client);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::mutex classMutex;
bool classRegistered = false;

bool ensureWindowClass() {
    std::lock_guard lock(classMutex);
    if (classRegistered) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = moduleHandle();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kWindowClass;
    classRegistered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return classRegistered;
}

} // namespace

void unregisterControlWindowClass() {
    std::lock_guard lock(classMutex);
    if (classRegistered) UnregisterClassW(kWindowClass, moduleHandle());
    classRegistered = false;
}

HRESULT ControlObject::render(HDC dc, const RECT& rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return S_OK;
    return guarded(IID_IViewObject, [&] {
        // A container that has the control draw raises its Paint: a new control shows its four
        // unlit digits from the first draw, without a Refresh before it. The container is
        // drawing already, so that Paint asks it for no further redraw.
        drawing_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{drawing_};
        core_.Paint();

        // The control's extent fills the rectangle: at the control's own pixel size these are
        // the screen's twips per pixel, and the picture equals the core's snapshot.
        Platform& platform = modulePlatform();
        float twipsX = platform.twipsPerPixelX();
        float twipsY = platform.twipsPerPixelY();
        if (core_.extentWidthTwips() > 0 && pixelsFromTwips(core_.extentWidthTwips(), twipsX) != width)
            twipsX = core_.extentWidthTwips() / static_cast<float>(width);
        if (core_.extentHeightTwips() > 0 && pixelsFromTwips(core_.extentHeightTwips(), twipsY) != height)
            twipsY = core_.extentHeightTwips() / static_cast<float>(height);
        Frame frame;
        compositor_.draw(core_.layers(), width, height, twipsX, twipsY, frame);

        if (!blendFrame(dc, rect.left, rect.top, frame)) raise(E_FAIL);
    });
}

// ---- in-place activation ----

HRESULT ControlObject::createWindow(HWND parent, const RECT& rect) {
    if (!ensureWindowClass()) return HRESULT_FROM_WIN32(GetLastError());
    HWND hwnd = CreateWindowExW(0, kWindowClass, kControlName, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                nullptr, moduleHandle(), this);
    if (!hwnd) return HRESULT_FROM_WIN32(GetLastError());
    window_.reset(hwnd);
    return S_OK;
}

HRESULT ControlObject::activateInPlace(bool uiActivate, IOleClientSite* activeSite, HWND parent,
                                       LPCRECT posRect) {
    IOleClientSite* site = activeSite ? activeSite : clientSite_.get();
    if (!site) return E_UNEXPECTED;
    if (!inPlaceSite_) {
        ComPtr<IOleInPlaceSite> inPlace = ComPtr<IOleClientSite>(site).as<IOleInPlaceSite>();
        if (!inPlace) return E_NOINTERFACE;
        if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
        inPlace->OnInPlaceActivate();

        HWND parentWindow = nullptr;
        if (FAILED(inPlace->GetWindow(&parentWindow)) || !parentWindow) parentWindow = parent;
        RECT pos{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        if (FAILED(
                inPlace->GetWindowContext(inPlaceFrame_.put(), document_.put(), &pos, &clip, &frameInfo))) {
            inPlaceFrame_.reset();
            document_.reset();
        }
        if (posRect) pos = *posRect;
        const HRESULT hr = createWindow(parentWindow, pos);
        if (FAILED(hr)) {
            inPlace->OnInPlaceDeactivate();
            inPlaceFrame_.reset();
            document_.reset();
            return hr;
        }
        posRect_ = pos;
        inPlaceSite_ = inPlace;
    }
    if (uiActivate && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        auto* active = static_cast<IOleInPlaceActiveObject*>(this);
        if (inPlaceFrame_) inPlaceFrame_->SetActiveObject(active, kControlName);
        if (document_) document_->SetActiveObject(active, kControlName);
    }
    ShowWindow(window_.get(), SW_SHOW);
    if (clientSite_) clientSite_->ShowObject();
    return S_OK;
}

HRESULT ControlObject::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_.get();
    return *window ? S_OK : E_FAIL;
}

HRESULT ControlObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT ControlObject::InPlaceDeactivate() {
    UIDeactivate();
    window_.reset();
    if (inPlaceSite_) {
        ComPtr<IOleInPlaceSite> site = inPlaceSite_;
        inPlaceSite_.reset();
        site->OnInPlaceDeactivate();
    }
    inPlaceFrame_.reset();
    document_.reset();
    return S_OK;
}

HRESULT ControlObject::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (inPlaceFrame_) inPlaceFrame_->SetActiveObject(nullptr, nullptr);
    if (document_) document_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

// The container places the window. A size other than the control's own is what the framework
// reports as a Resize; the core answers with its own size, and a nested call made while it
// does so only moves the window.
HRESULT ControlObject::SetObjectRects(LPCRECT posRect, LPCRECT) {
    if (!posRect) return E_POINTER;
    posRect_ = *posRect;
    if (window_.get())
        MoveWindow(window_.get(), posRect->left, posRect->top, posRect->right - posRect->left,
                   posRect->bottom - posRect->top, TRUE);
    if (resizing_) return S_OK;
    Platform& platform = modulePlatform();
    const int width = pixelsFromTwips(core_.extentWidthTwips(), platform.twipsPerPixelX());
    const int height = pixelsFromTwips(core_.extentHeightTwips(), platform.twipsPerPixelY());
    if (width == posRect->right - posRect->left && height == posRect->bottom - posRect->top) return S_OK;
    resizing_ = true;
    const HRESULT hr = guarded(IID_IOleInPlaceObject, [this] { core_.Resize(); });
    resizing_ = false;
    return hr;
}

HRESULT ControlObject::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }
HRESULT ControlObject::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT ControlObject::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT ControlObject::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT ControlObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT ControlObject::EnableModeless(BOOL) { return S_OK; }

// ---- IViewObject, IViewObject2 ----

HRESULT ControlObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                            LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    const RECT rect{bounds->left, bounds->top, bounds->right, bounds->bottom};
    return render(dc, rect);
}

HRESULT ControlObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
    if (colours) *colours = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}

HRESULT ControlObject::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT ControlObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewSink_ = ComPtr<IAdviseSink>(sink);
    viewAspects_ = aspects;
    viewFlags_ = flags;
    if (sink && (flags & ADVF_PRIMEFIRST)) sink->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

HRESULT ControlObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) *sink = ComPtr<IAdviseSink>(viewSink_).detach();
    return S_OK;
}

HRESULT ControlObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

} // namespace seg4::com
