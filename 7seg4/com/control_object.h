// The display control led7seg4 as a COM object: the core control behind the two table-built
// dual interfaces, and the ActiveX interfaces a container needs to site, show, draw and store it.
//
// Life of an object: the class factory constructs it and runs the core's Initialize at once
// (language, code file name, help file; a missing help file shows its message box inside
// CreateInstance). A new control then gets InitNew (InitProperties, then the first Resize, which
// gives it its size); a stored one gets Load (ReadProperties, which sizes and paints it).
#pragma once

#include "com_base.h"
#include "com_holders.h"
#include "component/control_site.h"
#include "component/led7seg4.h"
#include "display/compositor.h"
#include "display/frame.h"
#include "facets.h"

#include <docobj.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>

namespace seg4::com {

class ControlObject final
    : public ComObject<ControlObject, IOleObject, Expose<IOleInPlaceObject, IOleWindow>,
                       IOleInPlaceActiveObject, IOleControl, Expose<IViewObject2, IViewObject>,
                       Expose<IPersistStreamInit, IPersist>, IPersistPropertyBag,
                       Expose<IProvideClassInfo2, IProvideClassInfo>, IConnectionPointContainer,
                       ISpecifyPropertyPages, ISupportErrorInfo>,
      public FacetOwner,
      private ControlSite {
public:
    /// CreateInstance of the class factory: a new control with Initialize done.
    static HRESULT create(REFIID riid, void** ppv);

    ControlObject(); // through create()
    ~ControlObject() override;

    HRESULT queryOther(REFIID riid, void** ppv);

    // ---- FacetOwner ----
    HRESULT facetQueryInterface(REFIID riid, void** ppv) override { return QueryInterface(riid, ppv); }
    ULONG facetAddRef() override { return AddRef(); }
    ULONG facetRelease() override { return Release(); }
    Led7Seg4& core() override { return core_; }
    void memberCallStarts() override { ++memberCalls_; }
    void memberCallEnds() override;

    // ---- IOleObject ----
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index,
                                     HWND parent, LPCRECT posRect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* userType) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ----
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT posRect, LPCRECT clipRect) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // ---- IOleControl ----
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // ---- IViewObject, IViewObject2 ----
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                                   HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL windowBounds,
                                   BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                                          HDC targetDc, LOGPALETTE** colours) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target,
                                        LPSIZEL size) override;

    // ---- IPersist, IPersistStreamInit, IPersistPropertyBag ----
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override; // both interfaces: InitProperties
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // ---- IProvideClassInfo2 ----
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    // ---- IConnectionPointContainer ----
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // ---- ISpecifyPropertyPages ----
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // ---- ISupportErrorInfo ----
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // ---- event sinks of the (eventless) default source interface ----
    HRESULT adviseEvents(IUnknown* sink, DWORD* cookie);
    HRESULT unadviseEvents(DWORD cookie);

    /// Paints the control's picture into `rect` of `dc` (the window and IViewObject::Draw).
    HRESULT render(HDC dc, const RECT& rect);

private:
    // ---- ControlSite: what the core asks of its container ----
    void setExtent(float widthTwips, float heightTwips) override;
    void invalidate() override;

    HRESULT activateInPlace(bool uiActivate, IOleClientSite* activeSite, HWND parent, LPCRECT posRect);
    HRESULT createWindow(HWND parent, const RECT& rect);

    Led7Seg4 core_;
    Facet hostFacet_;
    Facet controlFacet_;
    bool initialised_ = false; // InitNew or Load has run

    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;

    ComPtr<IOleInPlaceSite> inPlaceSite_;
    ComPtr<IOleInPlaceFrame> inPlaceFrame_;
    ComPtr<IOleInPlaceUIWindow> document_;
    bool uiActive_ = false;
    bool resizing_ = false;   // inside the Resize that a container's new rectangle started
    bool drawing_ = false;    // inside a container's request to draw: it is repainting already
    int memberCalls_ = 0;     // member calls through the interfaces under way (nested ones count)
    int heldViewChanges_ = 0; // repaints they made, told to the view sink when the outermost ends
    WindowHolder window_;
    RECT posRect_{};
    SIZEL extent_{}; // HIMETRIC

    std::map<DWORD, ComPtr<IUnknown>> eventSinks_;
    DWORD nextCookie_ = 1;

    // Holds the process's scaled pictures for this control's boxes, shared with every control
    // of the same size and colour; the frame lives only while a draw lasts.
    Compositor compositor_;
};

/// Unregisters the window class of in-place active controls (when the module goes idle).
void unregisterControlWindowClass();

} // namespace seg4::com
