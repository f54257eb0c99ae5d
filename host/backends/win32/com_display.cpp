#include "com_display.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "backends/members.h"
#include "com_kit.h"
#include "dispatch_call.h"
#include "display/compositor.h"
#include "persistence/property_bag.h"

#include <ocidl.h>
#include <olectl.h>

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qhost {

using seg4::ComError;
using seg4::MemberInfo;
using seg4::Variant;
using seg4::com::ComPtr;

namespace {

// COM interfaces have no virtual destructor; these objects are deleted by their own Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/// The container's side of a placed display: a site the control activates in place in a hidden
/// window of the container, which answers the control's requests for another size by giving it
/// (SetObjectRects) and counts them, and counts the repaints the control announces through its
/// view's advise sink.
class ContainerSite final
    : public seg4::com::ComObject<ContainerSite, IOleClientSite,
                                  seg4::com::Expose<IOleInPlaceSite, IOleWindow>, IAdviseSink> {
public:
    explicit ContainerSite(HWND parent) : parent_(parent) {}

    /// The control's in-place object, which the site sizes; null once the control has closed.
    void attach(IOleInPlaceObject* object) { object_ = object; }
    void setPanel(const RECT& rect) { panel_ = rect; }
    const RECT& panel() const { return panel_; }
    ContainerCounts counts;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = parent_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        // No frame and no document window: the panel has no menus or tool bars to share.
        if (frame) *frame = nullptr;
        if (document) *document = nullptr;
        if (pos) *pos = panel_;
        if (clip) *clip = panel_;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        object_ = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
        if (!rect) return E_POINTER;
        ++counts.resizes;
        panel_ = *rect;
        return object_ ? object_->SetObjectRects(rect, rect) : S_OK;
    }

    // IAdviseSink: only the view's changes matter to the panel.
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG) override {
        if (aspect == DVASPECT_CONTENT) ++counts.paints;
    }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}

private:
    HWND parent_;
    IOleInPlaceObject* object_ = nullptr; // the control's; it outlives its activation
    RECT panel_{};
};

/// The count of the layout passes a display made, which its module exports for hosts that check
/// a display; null when the module has none. The module is the one whose code answers the
/// object's first interface.
using LayoutPassesFunction = HRESULT(WINAPI*)(IUnknown*, ULONGLONG*);
LayoutPassesFunction layoutPassesOf(IUnknown* object) {
    const void* code = *reinterpret_cast<void* const*>(object); // the interface's vtable
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(code), &module))
        return nullptr;
    return reinterpret_cast<LayoutPassesFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "Seg4LayoutPasses")));
}

/// Screen pixels of a HIMETRIC length along the axis (LOGPIXELSX or LOGPIXELSY).
long screenPixels(long himetric, int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, axis) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return std::lround(himetric * static_cast<double>(dpi) / 2540.0);
}

/// The host document's bag as the control's IPropertyBag. Every read goes to the document's
/// bag, which so learns the key a failed load stopped at; an entry the bag does not hold is the
/// interface's "no such property".
class HostBag final : public seg4::com::ComObject<HostBag, IPropertyBag> {
public:
    explicit HostBag(seg4::PropertyBag& bag) : bag_(bag) {}

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (!name || !value) return E_POINTER;
        try {
            // Automation's own mark of a missing value; the bag hands it back for an absent entry.
            const Variant missing = Variant::error(DISP_E_PARAMNOTFOUND);
            const Variant v = bag_.ReadProperty(fromWide(name), missing).deref();
            if (v.type() == seg4::VarType::Error && !v.isArray() && v.asSigned() == DISP_E_PARAMNOTFOUND)
                return E_INVALIDARG;
            VARIANT out;
            seg4::com::toVariant(v, out);
            VariantClear(value);
            *value = out;
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        if (!name || !value) return E_POINTER;
        try {
            seg4::com::ByRefTargets refs;
            const Variant v = refs.convertIn(*value).deref();
            bag_.WriteProperty(fromWide(name), v);
            return S_OK;
        } catch (...) {
            return failure();
        }
    }

private:
    seg4::PropertyBag& bag_;

    static HRESULT failure() noexcept {
        try {
            throw;
        } catch (const ComError& e) {
            return e.code();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
};

class ComDisplay final : public Display {
public:
    explicit ComDisplay(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {
        CallScope scope(*shared_);
        // The class factory runs the control's Initialize: the language, the code file, the help.
        check(
            CoCreateInstance(CLSID_led7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object_.putVoid()));
        check(object_->QueryInterface(IID_IQuorvaneComponentV4, host_.putVoid()));
        check(object_->QueryInterface(IID__led7seg4, control_.putVoid()));
        check(object_->QueryInterface(IID_IOleObject, ole_.putVoid()));
        check(object_->QueryInterface(IID_IPersistPropertyBag, persist_.putVoid()));
        check(object_->QueryInterface(IID_IViewObject, view_.putVoid()));
        check(object_->QueryInterface(IID_IOleInPlaceObject, inPlace_.putVoid()));
        layoutPasses_ = layoutPassesOf(object_.get());
        // The panel: a hidden window of the container, in which the control is activated.
        panel_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        if (!panel_) raiseFailure(HRESULT_FROM_WIN32(GetLastError()));
        // The control asks for its site before it is initialised.
        site_ = ComPtr<ContainerSite>::adopt(ContainerSite::create(panel_));
        if (!site_) throw std::bad_alloc();
        check(ole_->SetClientSite(site_.get()));
    }

    ~ComDisplay() override {
        CallScope scope(*shared_);
        if (view_) view_->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
        if (ole_) {
            ole_->Close(OLECLOSE_NOSAVE);
            ole_->SetClientSite(nullptr);
        }
        if (site_) site_->attach(nullptr);
        if (panel_) DestroyWindow(panel_);
    }
    ComDisplay(const ComDisplay&) = delete;
    ComDisplay& operator=(const ComDisplay&) = delete;

    Variant invoke(bool hostInterface, const MemberInfo& member, std::vector<Variant*>& args) override {
        IDispatch* target = hostInterface ? static_cast<IDispatch*>(host_.get()) : control_.get();
        return callByName(*shared_, target, hostInterface, member, args);
    }

    void initProperties() override {
        CallScope scope(*shared_);
        check(persist_->InitNew());
    }

    // The container gives the control the size it asks for, then has it draw: the control draws
    // its picture when the host asks it to refresh.
    void show() override {
        {
            CallScope scope(*shared_);
            SIZEL size{};
            check(ole_->GetExtent(DVASPECT_CONTENT, &size));
            check(ole_->SetExtent(DVASPECT_CONTENT, &size));
        }
        std::vector<Variant*> none;
        invoke(true, requireMember("Refresh", seg4::MemberKind::Method), none);
    }

    void readProperties(seg4::PropertyBag& bag) override {
        ComPtr<IPropertyBag> adapter = ComPtr<IPropertyBag>::adopt(HostBag::create(bag));
        if (!adapter) throw std::bad_alloc();
        CallScope scope(*shared_);
        check(persist_->Load(adapter.get(), nullptr));
    }

    void writeProperties(seg4::PropertyBag& bag) override {
        ComPtr<IPropertyBag> adapter = ComPtr<IPropertyBag>::adopt(HostBag::create(bag));
        if (!adapter) throw std::bad_alloc();
        CallScope scope(*shared_);
        check(persist_->Save(adapter.get(), TRUE, TRUE));
    }

    Picture render() override {
        SIZEL extent{};
        {
            CallScope scope(*shared_);
            check(ole_->GetExtent(DVASPECT_CONTENT, &extent));
        }
        // The control's own size in pixels of this screen (its extent is in HIMETRIC).
        HDC screen = GetDC(nullptr);
        const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        Picture frame;
        const long width = std::lround(extent.cx * static_cast<double>(dpiX) / 2540.0);
        const long height = std::lround(extent.cy * static_cast<double>(dpiY) / 2540.0);
        if (width <= 0 || height <= 0) return frame;
        if (width > seg4::kMaxFrameSide || height > seg4::kMaxFrameSide)
            seg4::raise(seg4::hr::InvalidArgument);

        seg4::com::MemoryDc dc(nullptr);
        if (!dc.get()) throw std::bad_alloc();
        void* bits = nullptr;
        seg4::com::GdiObject<HBITMAP> bitmap = seg4::com::topDownDib(dc.get(), width, height, &bits);
        const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        // Transparent black under the control: its premultiplied pixels come out unchanged.
        std::memset(bits, 0, count * 4);
        {
            seg4::com::SelectObjectScope select(dc.get(), bitmap.get());
            const RECTL bounds{0, 0, width, height};
            CallScope scope(*shared_);
            check(view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.get(), &bounds, nullptr,
                              nullptr, 0));
            GdiFlush();
        }
        frame.width = static_cast<int>(width);
        frame.height = static_cast<int>(height);
        frame.pixels.resize(count);
        const auto* bgra = static_cast<const std::uint32_t*>(bits);
        for (std::size_t i = 0; i < count; ++i) frame.pixels[i] = seg4::com::swapRedBlue(bgra[i]);
        return frame;
    }

    // The control is activated in place at its own size: from then on it asks the site for
    // another size with OnPosRectChange, and announces its repaints to the view's sink.
    void activate() override {
        CallScope scope(*shared_);
        SIZEL extent{};
        check(ole_->GetExtent(DVASPECT_CONTENT, &extent));
        const RECT own{0, 0, screenPixels(extent.cx, LOGPIXELSX), screenPixels(extent.cy, LOGPIXELSY)};
        site_->setPanel(own);
        check(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, panel_, &own));
        site_->attach(inPlace_.get());
        check(view_->SetAdvise(DVASPECT_CONTENT, 0, static_cast<IAdviseSink*>(site_.get())));
        site_->counts = {};
        layoutsBefore_ = layoutPasses();
    }

    void resize(int width, int height) override {
        CallScope scope(*shared_);
        const RECT rect{0, 0, width, height};
        site_->setPanel(rect);
        check(inPlace_->SetObjectRects(&rect, &rect));
    }

    // The host's Refresh is the control's Paint, raised alone.
    void paint() override {
        std::vector<Variant*> none;
        invoke(true, requireMember("Refresh", seg4::MemberKind::Method), none);
    }

    ContainerCounts counts() override {
        ContainerCounts c = site_->counts;
        c.layouts = layoutPasses() - layoutsBefore_;
        return c;
    }

    PanelSize panelSize() override {
        const RECT& r = site_->panel();
        return {static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)};
    }

    /// The control's identity, as a frame hands it to a property page.
    IUnknown* object() const { return object_.get(); }

    std::array<bool, 12> pinLevels() override {
        std::array<bool, 12> levels{};
        Variant pins;
        std::vector<Variant*> args{&pins};
        try {
            invoke(true, requireMember("SimReadPins", seg4::MemberKind::Method), args);
            const seg4::SafeArray* array = pins.arrayData();
            if (!array) return levels;
            for (std::size_t i = 0; i < levels.size() && i < array->elements.size(); ++i)
                levels[i] = seg4::toBoolean(array->elements[i]);
        } catch (const ComError&) {
            // A display loaded without its pins has no levels to read: all low.
        }
        return levels;
    }

private:
    std::shared_ptr<Shared> shared_;
    ComPtr<IUnknown> object_;
    ComPtr<IQuorvaneComponentV4> host_;
    ComPtr<_led7seg4> control_;
    ComPtr<IOleObject> ole_;
    ComPtr<IPersistPropertyBag> persist_;
    ComPtr<IViewObject> view_;
    ComPtr<IOleInPlaceObject> inPlace_;
    HWND panel_ = nullptr;
    ComPtr<ContainerSite> site_;
    LayoutPassesFunction layoutPasses_ = nullptr;
    std::uint64_t layoutsBefore_ = 0;

    std::uint64_t layoutPasses() {
        if (!layoutPasses_)
            seg4::raise(seg4::hr::NotImplemented, u"the registered module does not count its layout passes");
        ULONGLONG passes = 0;
        CallScope scope(*shared_);
        check(layoutPasses_(object_.get(), &passes));
        return passes;
    }
};

} // namespace

std::unique_ptr<Display> createComDisplay(std::shared_ptr<Shared> shared) {
    return std::make_unique<ComDisplay>(std::move(shared));
}

IUnknown* comObjectOf(Display& display) {
    auto* com = dynamic_cast<ComDisplay*>(&display);
    if (!com) throw std::logic_error("a display of another backend given to the Windows page");
    return com->object();
}

} // namespace qhost
