// The control as an OLE object: one identity behind every interface, reference counts, the class
// factory, the connection point, a module that unloads exactly when no object and no lock is
// left; and in a container: extent, class information, in-place activation with a window of its
// own that keeps the control's proportions, and deactivation.
#include "call_sequence.h"
#include "wine_support.h"

#include <docobj.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cmath>

namespace seg4::wine {
namespace {

TEST(Lifetime, EveryInterfaceLeadsBackToOneIdentity) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IUnknown> identity;
    ASSERT_EQ(host.query(identity), S_OK);
    const IID* interfaces[] = {&IID_IQuorvaneComponentV4,
                               &IID__led7seg4,
                               &IID_IDispatch,
                               &IID_IOleObject,
                               &IID_IOleWindow,
                               &IID_IOleInPlaceObject,
                               &IID_IOleInPlaceActiveObject,
                               &IID_IOleControl,
                               &IID_IViewObject,
                               &IID_IViewObject2,
                               &IID_IPersist,
                               &IID_IPersistStreamInit,
                               &IID_IPersistPropertyBag,
                               &IID_IProvideClassInfo,
                               &IID_IProvideClassInfo2,
                               &IID_IConnectionPointContainer,
                               &IID_ISpecifyPropertyPages,
                               &IID_ISupportErrorInfo};
    for (const IID* iid : interfaces) {
        Ref<IUnknown> face, back;
        ASSERT_EQ(identity->QueryInterface(*iid, face.putVoid()), S_OK);
        ASSERT_EQ(face->QueryInterface(IID_IUnknown, back.putVoid()), S_OK);
        EXPECT_EQ(back.get(), identity.get()) << "the same object behind every interface";
        Ref<IQuorvaneComponentV4> again;
        EXPECT_EQ(face.query(again), S_OK) << "each interface reaches the host interface";
    }
    for (const IID* iid : {&IID_IClassFactory, &IID_IOleDocument, &IID_IPersistStorage}) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(identity->QueryInterface(*iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(identity->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // host, identity and control: each AddRef through any interface counts for the object.
    Ref<_led7seg4> control;
    ASSERT_EQ(host.query(control), S_OK);
    EXPECT_EQ(host->AddRef(), 4u);
    EXPECT_EQ(control->Release(), 3u);
}

TEST(Lifetime, ModuleUnloadsOnlyWhenNothingIsLeft) {
    auto unload = moduleEntry<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    ASSERT_NE(unload, nullptr);
    {
        Ref<IQuorvaneComponentV4> host;
        createControl(host);
        EXPECT_EQ(unload(), S_FALSE) << "a control is alive";
        Ref<IConnectionPointContainer> container;
        ASSERT_EQ(host.query(container), S_OK);
        Ref<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(DIID___led7seg4, point.put()), S_OK);
        host.put();
        container.put();
        EXPECT_EQ(unload(), S_FALSE) << "the connection point keeps the control";
    }
    EXPECT_EQ(unload(), S_OK);

    Ref<IClassFactory> factory;
    ASSERT_EQ(
        CoGetClassObject(CLSID_led7seg4, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()),
        S_OK);
    EXPECT_EQ(unload(), S_FALSE) << "a factory is alive";
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.put();
    EXPECT_EQ(unload(), S_FALSE) << "the module is locked";
    ASSERT_EQ(
        CoGetClassObject(CLSID_led7seg4, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()),
        S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    // An unlock without its lock must not leave the count below zero: the next balanced pair
    // would then keep the module loaded for ever.
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.put();
    EXPECT_EQ(unload(), S_OK);
}

TEST(Lifetime, FactoryRefusesWhatItCannotMake) {
    auto getClassObject =
        moduleEntry<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    ASSERT_NE(getClassObject, nullptr);
    Ref<IClassFactory> factory;
    EXPECT_EQ(getClassObject(IID__ppg7seg4, IID_IClassFactory, factory.putVoid()), CLASS_E_CLASSNOTAVAILABLE)
        << "an interface is no class";
    // The display and its property page: each factory makes its own class and nothing else.
    for (const CLSID* clsid : {&CLSID_led7seg4, &CLSID_ppg7seg4}) {
        ASSERT_EQ(getClassObject(*clsid, IID_IClassFactory, factory.putVoid()), S_OK);
        Ref<IUnknown> object, outer;
        ASSERT_EQ(factory.query(outer), S_OK); // any IUnknown will do as a would-be aggregator
        EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, object.putVoid()),
                  CLASS_E_NOAGGREGATION);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, object.putVoid()), E_NOINTERFACE);
        EXPECT_EQ(object.get(), nullptr);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPersist, object.putVoid()),
                  *clsid == CLSID_led7seg4 ? S_OK : E_NOINTERFACE);
        Ref<IPropertyPage> page;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, page.putVoid()),
                  *clsid == CLSID_ppg7seg4 ? S_OK : E_NOINTERFACE);
    }
}

TEST(Lifetime, ConnectionPointOfferedForTheEventInterfaceOnly) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IConnectionPointContainer> container;
    ASSERT_EQ(host.query(container), S_OK);
    Ref<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(DIID___led7seg4, point.put()), S_OK);

    // A sink that answers IDispatch connects; cookies are unique and disconnect once.
    Ref<IDispatch> sink;
    ASSERT_EQ(host.query(sink), S_OK); // any IDispatch will do as a sink that never hears events
    DWORD first = 0, second = 0;
    EXPECT_EQ(point->Advise(sink.get(), &first), S_OK);
    EXPECT_EQ(point->Advise(sink.get(), &second), S_OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(point->Unadvise(first), S_OK);
    EXPECT_EQ(point->Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(second), S_OK);

    Ref<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u) << "only one point";
    IID iid{};
    EXPECT_EQ(got[0]->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, DIID___led7seg4));
    got[0]->Release();
}

/// A container site that records every call the control makes on it, in order. Like a real
/// container it answers a request for a new rectangle by placing the control there.
class TestSite : public IOleClientSite, public IOleInPlaceSite {
public:
    explicit TestSite(HWND parent) : parent_(parent) {}
    virtual ~TestSite() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *ppv = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow))
            *ppv = static_cast<IOleInPlaceSite*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return calls.record("SaveObject"), S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override {
        return calls.record("GetMoniker"), E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override {
        return calls.record("GetContainer"), E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return calls.record("ShowObject"), S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override {
        return calls.record("OnShowWindow", std::to_string(show)), S_OK;
    }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override {
        return calls.record("RequestNewObjectLayout"), E_NOTIMPL;
    }
    // IOleWindow, IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        calls.record("GetWindow");
        return *window = parent_, S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override {
        return calls.record("ContextSensitiveHelp"), E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override {
        return calls.record("CanInPlaceActivate"), S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return calls.record("OnInPlaceActivate"), S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return calls.record("OnUIActivate"), S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        calls.record("GetWindowContext");
        *frame = nullptr;
        *doc = nullptr;
        *pos = *clip = RECT{10, 20, 110, 50};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return calls.record("Scroll"), E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override {
        return calls.record("OnUIDeactivate", std::to_string(undoable)), S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        return calls.record("OnInPlaceDeactivate"), S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return calls.record("DiscardUndoState"), S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return calls.record("DeactivateAndUndo"), S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
        calls.record("OnPosRectChange", size(*rect));
        return placed ? placed->SetObjectRects(rect, rect) : S_OK;
    }

    static std::string size(const RECT& r) {
        return std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
    }

    IOleInPlaceObject* placed = nullptr;
    test::SequenceRecorder calls;

private:
    HWND parent_;
};

TEST(Container, InPlaceWindowFollowsTheControlsOwnSize) {
    HWND parent =
        CreateWindowExW(0, L"STATIC", L"panel", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    TestSite site(parent);
    Ref<IQuorvaneComponentV4> host;
    createControl(host, false);
    Ref<IOleObject> ole;
    Ref<IOleInPlaceObject> inPlace;
    Ref<IPersistStreamInit> persist;
    Ref<_led7seg4> control;
    ASSERT_EQ(host.query(ole), S_OK);
    ASSERT_EQ(host.query(inPlace), S_OK);
    ASSERT_EQ(host.query(persist), S_OK);
    ASSERT_EQ(host.query(control), S_OK);
    ASSERT_EQ(ole->SetClientSite(&site), S_OK);
    ASSERT_EQ(persist->InitNew(), S_OK);
    site.placed = inPlace.get();
    EXPECT_TRUE(test::sameSequence({}, site.calls.take())) << "the site is not asked before activation";

    HWND window = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL) << "no window before activation";
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, nullptr), S_OK);
    ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetParent(window), parent);
    EXPECT_TRUE(test::sameSequence(
        {{"CanInPlaceActivate"}, {"OnInPlaceActivate"}, {"GetWindow"}, {"GetWindowContext"}, {"ShowObject"}},
        site.calls.take()));

    // The container's first rectangle is 100 x 30: the control asks for its own 160 x 50 (at
    // 96 dpi) once, and for every new size in the same way; the container's answer, placing it
    // there, asks nothing more.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    struct Step {
        LONG size; // LEDSize set through the control's interface, 0: only the container's rectangle
        LONG width, height;
    };
    for (const Step& s : {Step{0, 160, 50}, Step{85, 272, 85}}) {
        if (s.size) {
            ASSERT_EQ(control->put_LEDSize(s.size), S_OK);
        } else {
            RECT pos{10, 20, 110, 50};
            ASSERT_EQ(inPlace->SetObjectRects(&pos, &pos), S_OK);
        }
        const RECT wanted{0, 0, std::lround(s.width * dpi / 96.0), std::lround(s.height * dpi / 96.0)};
        EXPECT_TRUE(
            test::sameSequence({{"OnPosRectChange", 0, {}, {}, TestSite::size(wanted)}}, site.calls.take()))
            << s.size;
        RECT placed{};
        GetWindowRect(window, &placed);
        EXPECT_EQ(TestSite::size(placed), TestSite::size(wanted));
    }

    ASSERT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, parent, nullptr), S_OK);
    EXPECT_TRUE(test::sameSequence({{"OnUIActivate"}, {"ShowObject"}}, site.calls.take()));
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(
        test::sameSequence({{"OnUIDeactivate", 0, {}, {}, "0"}, {"OnInPlaceDeactivate"}}, site.calls.take()));
    site.placed = nullptr;
    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
    EXPECT_TRUE(test::sameSequence({}, site.calls.take())) << "closing an inactive control asks nothing";
    DestroyWindow(parent);
}

TEST(Container, StatusExtentClassInformationAndPages) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IOleObject> ole;
    ASSERT_EQ(host.query(ole), S_OK);
    DWORD status = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 131473u) << "as registered";
    SIZEL own{}, proposed{5000, 5000}, after{}, viewed{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &own), S_OK);
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &proposed), S_OK);
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &after), S_OK);
    EXPECT_EQ(std::pair(after.cx, after.cy), std::pair(own.cx, own.cy))
        << "the control keeps the size of its LEDSize";
    Ref<IViewObject2> view;
    ASSERT_EQ(host.query(view), S_OK);
    ASSERT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewed), S_OK);
    EXPECT_EQ(std::pair(viewed.cx, viewed.cy), std::pair(own.cx, own.cy));
    EXPECT_EQ(ole->SetExtent(DVASPECT_ICON, &proposed), DV_E_DVASPECT);

    Ref<IProvideClassInfo2> info;
    ASSERT_EQ(host.query(info), S_OK);
    GUID source{};
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID___led7seg4));
    Ref<ITypeInfo> coclass;
    ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->cImplTypes, 3);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
    coclass->ReleaseTypeAttr(attr);

    Ref<ISpecifyPropertyPages> pages;
    ASSERT_EQ(host.query(pages), S_OK);
    CAUUID list{5, reinterpret_cast<GUID*>(1)};
    ASSERT_EQ(pages->GetPages(&list), S_OK);
    ASSERT_EQ(list.cElems, 1u) << "the display's one property page";
    EXPECT_TRUE(IsEqualCLSID(list.pElems[0], CLSID_ppg7seg4));
    CoTaskMemFree(list.pElems);
}

} // namespace
} // namespace seg4::wine
