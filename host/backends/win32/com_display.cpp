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

/// The container's side of a placed display. The control keeps no window of its own here (it is
/// drawn through its view), so the site only answers what every control may ask.
class ClientSite final : public seg4::com::ComObject<ClientSite, IOleClientSite> {
public:
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
};

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
        // The control asks for its site before it is initialised.
        site_ = ComPtr<IOleClientSite>::adopt(ClientSite::create());
        if (!site_) throw std::bad_alloc();
        check(ole_->SetClientSite(site_.get()));
    }

    ~ComDisplay() override {
        CallScope scope(*shared_);
        if (ole_) {
            ole_->Close(OLECLOSE_NOSAVE);
            ole_->SetClientSite(nullptr);
        }
    }

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
    ComPtr<IOleClientSite> site_;
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
