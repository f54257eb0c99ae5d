// The control in a container: IOleObject's answers, class information, in-place activation with
// a window of its own that keeps the control's proportions, and deactivation.
#include "wine_support.h"

#include <olectl.h>

#include <gtest/gtest.h>

#include <cmath>

namespace seg4::wine {
namespace {

/// A container site that records what the control asks of it. Like a real container it answers
/// a request for a new rectangle by placing the control there.
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
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow, IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override { return *window = parent_, S_OK; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return ++inPlaceActivations, S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return ++uiActivations, S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = *clip = RECT{10, 20, 110, 50};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return ++uiDeactivations, S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return ++inPlaceDeactivations, S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
        requested.push_back(*rect);
        return placed ? placed->SetObjectRects(rect, rect) : S_OK;
    }

    IOleInPlaceObject* placed = nullptr;
    std::vector<RECT> requested;
    int inPlaceActivations = 0, uiActivations = 0, uiDeactivations = 0, inPlaceDeactivations = 0;

private:
    HWND parent_;
};

SIZE windowSize(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

TEST(Container, InPlaceWindowFollowsTheControlsOwnSize) {
    HWND parent =
        CreateWindowExW(0, L"STATIC", L"panel", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    TestSite site(parent);
    Ref<IQuorvaneComponentV4> host;
    ASSERT_EQ(CoCreateInstance(CLSID_led7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvaneComponentV4,
                               host.putVoid()),
              S_OK);
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

    HWND window = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&window), E_FAIL) << "no window before activation";
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent, nullptr), S_OK);
    ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetParent(window), parent);
    EXPECT_EQ(site.inPlaceActivations, 1);
    EXPECT_EQ(site.uiActivations, 0);

    // The container's first rectangle is 100 x 30: the control answers with its own 160 x 50
    // (at 96 dpi), and every new size is asked for in the same way.
    const int dpi = [] {
        HDC dc = GetDC(nullptr);
        const int d = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(nullptr, dc);
        return d;
    }();
    struct Step {
        const char* what;
        LONG size; // LEDSize set through the control's interface, 0: only the container's rectangle
        LONG width, height;
    };
    const Step steps[] = {{"the container's own rectangle", 0, 160, 50}, {"a larger size", 85, 272, 85}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        site.requested.clear();
        if (s.size) {
            ASSERT_EQ(control->put_LEDSize(s.size), S_OK);
        } else {
            RECT pos{10, 20, 110, 50};
            ASSERT_EQ(inPlace->SetObjectRects(&pos, &pos), S_OK);
        }
        ASSERT_EQ(site.requested.size(), 1u);
        const RECT r = site.requested.front();
        EXPECT_EQ(r.right - r.left, std::lround(s.width * dpi / 96.0));
        EXPECT_EQ(r.bottom - r.top, std::lround(s.height * dpi / 96.0));
        EXPECT_EQ(windowSize(window).cx, r.right - r.left);
        EXPECT_EQ(windowSize(window).cy, r.bottom - r.top);
    }

    ASSERT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, parent, nullptr), S_OK);
    EXPECT_EQ(site.uiActivations, 1);
    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site.uiDeactivations, 1);
    EXPECT_EQ(site.inPlaceDeactivations, 1);
    site.placed = nullptr;
    EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(ole->SetClientSite(nullptr), S_OK);
    DestroyWindow(parent);
}

TEST(Container, ObjectAndClassInformation) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IOleObject> ole;
    ASSERT_EQ(host.query(ole), S_OK);
    CLSID clsid{};
    EXPECT_EQ(ole->GetUserClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_led7seg4));
    LPOLESTR userType = nullptr;
    EXPECT_EQ(ole->GetUserType(USERCLASSTYPE_FULL, &userType), S_OK);
    EXPECT_STREQ(userType, L"led7seg4");
    CoTaskMemFree(userType);
    DWORD status = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 131473u);
    SIZEL own{}, proposed{5000, 5000}, after{};
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &own), S_OK);
    EXPECT_EQ(ole->SetExtent(DVASPECT_CONTENT, &proposed), S_OK);
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &after), S_OK);
    EXPECT_EQ(after.cx, own.cx) << "the control keeps the size of its LEDSize";
    EXPECT_EQ(after.cy, own.cy);
    EXPECT_EQ(ole->SetExtent(DVASPECT_ICON, &proposed), DV_E_DVASPECT);
    Ref<IEnumOLEVERB> verbs;
    EXPECT_EQ(ole->EnumVerbs(verbs.put()), OLEOBJ_E_NOVERBS);

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
    EXPECT_EQ(pages->GetPages(&list), S_OK);
    EXPECT_EQ(list.cElems, 0u);
    EXPECT_EQ(list.pElems, nullptr);
}

} // namespace
} // namespace seg4::wine
