// The display control object: creation, identity, IOleObject, IOleControl, class information
// and what the core asks of its container (size and redraw).
#include "control_object.h"

#include "connection_points.h"
#include "dispatch_support.h"
#include "display/compositor.h"
#include "module.h"

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace seg4::com {

namespace {

LONG twipsToHimetric(float twips) { return std::lround(twips * 2540.0 / 1440.0); }

} // namespace

HRESULT ControlObject::create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    ControlObject* object = ComObject::create();
    if (!object) return E_OUTOFMEMORY;
    // Initialize runs once, here, before the container sees the object: it reads the language,
    // names the code file and looks for the help file (or says that it is missing).
    HRESULT hr = guarded(IID_IUnknown, [object] { object->core_.Initialize(); });
    if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

ControlObject::ControlObject()
    : core_(modulePlatform(), this), hostFacet_{hostInterfaceVtable(), this}, controlFacet_{
                                                                                  controlInterfaceVtable(),
                                                                                  this} {}

ControlObject::~ControlObject() {
    core_.attachSite(nullptr);
    window_.reset();
}

HRESULT ControlObject::queryOther(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IQuorvaneComponentV4))
        *ppv = &hostFacet_;
    else if (IsEqualIID(riid, IID__led7seg4) || IsEqualIID(riid, IID_IDispatch))
        *ppv = &controlFacet_; // the coclass's default interface answers for IDispatch
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// ---- ControlSite ----

void ControlObject::setExtent(float widthTwips, float heightTwips) {
    // A size only loading can store (below 1) makes an empty control, never a negative one.
    extent_ =
        SIZEL{twipsToHimetric(std::max(widthTwips, 0.0f)), twipsToHimetric(std::max(heightTwips, 0.0f))};
    if (!inPlaceSite_ || !window_.get()) return;
    Platform& platform = modulePlatform();
    RECT wanted = posRect_;
    // In whole pixels as the picture is drawn.
    wanted.right = wanted.left + pixelsFromTwips(widthTwips, platform.twipsPerPixelX());
    wanted.bottom = wanted.top + pixelsFromTwips(heightTwips, platform.twipsPerPixelY());
    // The container decides and answers with SetObjectRects.
    if (!EqualRect(&wanted, &posRect_)) inPlaceSite_->OnPosRectChange(&wanted);
}

void ControlObject::invalidate() {
    if (drawing_) return;
    if (window_.get()) InvalidateRect(window_.get(), nullptr, FALSE);
    // A repaint inside a member call (SHOW_DIGIT's is its last step) is told when the call
    // returns: a container that looks at the call's results as it hears of the repaint finds
    // them written.
    if (memberCalls_ > 0) {
        ++heldViewChanges_;
        return;
    }
    if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

void ControlObject::memberCallEnds() {
    if (--memberCalls_ > 0) return;
    while (heldViewChanges_ > 0) { // the sink may call in again: each change is told once
        --heldViewChanges_;
        if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    }
}

// ---- IOleObject ----

HRESULT ControlObject::SetClientSite(IOleClientSite* site) {
    clientSite_ = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT ControlObject::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = ComPtr<IOleClientSite>(clientSite_).detach();
    return S_OK;
}

HRESULT ControlObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT ControlObject::Close(DWORD) {
    // Nothing is ever dirty (no setter reports a change), so there is nothing to save first.
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT ControlObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT ControlObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT ControlObject::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT ControlObject::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent,
                              LPCRECT posRect) {
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE: return activateInPlace(true, activeSite, parent, posRect);
    case OLEIVERB_INPLACEACTIVATE: return activateInPlace(false, activeSite, parent, posRect);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (window_.get()) ShowWindow(window_.get(), SW_HIDE);
        return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE: return S_OK;
    case OLEIVERB_OPEN:
    case OLEIVERB_PROPERTIES: return E_NOTIMPL; // no open editing; the container shows the pages
    default:
        if (verb < 0) return E_NOTIMPL;
        // An unknown positive verb runs the primary verb, as OLE asks of every object.
        const HRESULT hr = activateInPlace(true, activeSite, parent, posRect);
        return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT ControlObject::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
}

HRESULT ControlObject::Update() { return S_OK; }
HRESULT ControlObject::IsUpToDate() { return S_OK; }

HRESULT ControlObject::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_led7seg4;
    return S_OK;
}

HRESULT ControlObject::GetUserType(DWORD, LPOLESTR* userType) {
    if (!userType) return E_POINTER;
    const std::size_t bytes = sizeof(kControlName);
    *userType = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!*userType) return E_OUTOFMEMORY;
    std::memcpy(*userType, kControlName, bytes);
    return S_OK;
}

// The container proposes a size; the control answers with the size its LEDSize gives it
// (Resize sets the extent again), as a control that keeps its own proportions does.
HRESULT ControlObject::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return guarded(IID_IOleObject, [this] { core_.Resize(); });
}

HRESULT ControlObject::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT ControlObject::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!adviseHolder_) {
        const HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}

HRESULT ControlObject::Unadvise(DWORD connection) {
    if (!adviseHolder_) return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(connection);
}

HRESULT ControlObject::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    if (!adviseHolder_) return S_OK;
    return adviseHolder_->EnumAdvise(advise);
}

HRESULT ControlObject::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = kControlMiscStatus;
    return S_OK;
}

HRESULT ControlObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleControl: no mnemonics, no ambient properties read ----

HRESULT ControlObject::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->cb = sizeof(CONTROLINFO);
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT ControlObject::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT ControlObject::OnAmbientPropertyChange(DISPID) { return S_OK; }
HRESULT ControlObject::FreezeEvents(BOOL) { return S_OK; }

// ---- IProvideClassInfo2 ----

HRESULT ControlObject::GetClassInfo(ITypeInfo** info) { return controlClassInfo(info); }

HRESULT ControlObject::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = DIID___led7seg4;
    return S_OK;
}

// ---- IConnectionPointContainer: the default source interface declares no events ----

HRESULT ControlObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points) return E_POINTER;
    *points = nullptr;
    return createEventPointEnumerator(this, points);
}

HRESULT ControlObject::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, DIID___led7seg4)) return CONNECT_E_NOCONNECTION;
    return createEventPoint(this, point);
}

HRESULT ControlObject::adviseEvents(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IUnknown> events;
    if (FAILED(sink->QueryInterface(DIID___led7seg4, events.putVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, events.putVoid())))
        return CONNECT_E_CANNOTCONNECT;
    eventSinks_.emplace(nextCookie_, events);
    *cookie = nextCookie_++;
    return S_OK;
}

HRESULT ControlObject::unadviseEvents(DWORD cookie) {
    return eventSinks_.erase(cookie) == 1 ? S_OK : CONNECT_E_NOCONNECTION;
}

// ---- ISpecifyPropertyPages: the display's one page, ppg7seg4 ----

HRESULT ControlObject::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_ppg7seg4;
    pages->cElems = 1;
    return S_OK;
}

// ---- ISupportErrorInfo ----

HRESULT ControlObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID_IQuorvaneComponentV4) || IsEqualIID(riid, IID__led7seg4) ? S_OK : S_FALSE;
}

} // namespace seg4::com
