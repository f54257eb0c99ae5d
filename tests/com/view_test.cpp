// Drawing through IViewObject::Draw into a DIB: the pixels equal the portable core's snapshot of
// a twin in the same state, at the control's own size and stretched; a redraw is announced to
// the view's advise sink.
#include "wine_support.h"

#include "display/compositor.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace seg4::wine {
namespace {

constexpr std::uint32_t kBackground = 0xFF203040; // opaque BGRA behind the control

/// A 32-bit top-down DIB selected into a memory DC, filled with the background.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i) bits_[i] = kBackground;
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    std::uint32_t at(int x, int y) const { return bits_[y * width_ + x]; }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

/// The snapshot pixel (premultiplied RGBA) over the background, as BGRA.
std::uint32_t over(std::uint32_t rgba) {
    const std::uint32_t a = px::alpha(rgba);
    auto channel = [a](std::uint32_t source, std::uint32_t back) { return source + back * (255 - a) / 255; };
    const std::uint32_t b = channel(px::blue(rgba), kBackground & 0xFF);
    const std::uint32_t g = channel(px::green(rgba), (kBackground >> 8) & 0xFF);
    const std::uint32_t r = channel(px::red(rgba), (kBackground >> 16) & 0xFF);
    const std::uint32_t outA = channel(a, kBackground >> 24);
    return b | g << 8 | r << 16 | outA << 24;
}

/// Every pixel equals the frame over the background; partly covered pixels may differ by one
/// step of rounding in the blend.
testing::AssertionResult sameAsFrame(const Canvas& canvas, const Frame& frame) {
    int differences = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const std::uint32_t want = over(frame.at(x, y));
            const std::uint32_t got = canvas.at(x, y);
            const bool partial = px::alpha(frame.at(x, y)) != 0 && px::alpha(frame.at(x, y)) != 255;
            for (int shift = 0; shift < 32; shift += 8) {
                const int d = std::abs(static_cast<int>((want >> shift) & 0xFF) -
                                       static_cast<int>((got >> shift) & 0xFF));
                if (d > (partial ? 1 : 0)) {
                    if (differences++ == 0)
                        return testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex
                                                           << got << " instead of " << want;
                }
            }
        }
    }
    return testing::AssertionSuccess();
}

struct Viewed {
    Ref<IQuorvaneComponentV4> host;
    Ref<_led7seg4> control;
    Ref<IViewObject2> view;
};

void open(Viewed& v) {
    createControl(v.host);
    ASSERT_TRUE(v.host.get());
    ASSERT_EQ(v.host.query(v.control), S_OK);
    ASSERT_EQ(v.host.query(v.view), S_OK);
}

HRESULT draw(IViewObject2* view, const Canvas& canvas, int width, int height) {
    RECTL bounds{0, 0, width, height};
    return view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds, nullptr, nullptr,
                      0);
}

TEST(View, DrawGivesTheCoreSnapshotForEveryColour) {
    Viewed v;
    open(v);
    CoreTwin twin;
    for (LONG colour : {0, 1, 2, 3}) {
        SCOPED_TRACE(colour);
        ASSERT_EQ(v.control->put_LEDColour(colour), S_OK);
        twin.core().put_LEDColour(colour);
        const Frame expected =
            snapshot(twin.core(), twin.platform().twipsPerPixelX(), twin.platform().twipsPerPixelY());
        ASSERT_GT(expected.width, 0);
        Canvas canvas(expected.width, expected.height);
        ASSERT_EQ(draw(v.view.get(), canvas, expected.width, expected.height), S_OK);
        EXPECT_TRUE(sameAsFrame(canvas, expected));
    }
}

TEST(View, DrawStretchesThePictureToTheRectangle) {
    Viewed v;
    open(v);
    CoreTwin twin;
    SIZEL extent{};
    Ref<IOleObject> ole;
    ASSERT_EQ(v.host.query(ole), S_OK);
    ASSERT_EQ(v.view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
    ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    const float twipsX = twin.platform().twipsPerPixelX();
    const float twipsY = twin.platform().twipsPerPixelY();
    const int width = 2 * pixelsFromTwips(twin.core().extentWidthTwips(), twipsX);
    const int height = 2 * pixelsFromTwips(twin.core().extentHeightTwips(), twipsY);
    ASSERT_GT(width, 0);
    const Frame expected =
        composite(twin.core().layers(), width, height, twin.core().extentWidthTwips() / width,
                  twin.core().extentHeightTwips() / height);
    Canvas canvas(width, height);
    ASSERT_EQ(draw(v.view.get(), canvas, width, height), S_OK);
    EXPECT_TRUE(sameAsFrame(canvas, expected));
}

TEST(View, DrawRefusesWhatItCannotDraw) {
    Viewed v;
    open(v);
    Canvas canvas(4, 4);
    RECTL bounds{0, 0, 4, 4};
    EXPECT_EQ(
        v.view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds, nullptr, nullptr, 0),
        DV_E_DVASPECT);
    EXPECT_EQ(v.view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), nullptr, nullptr,
                           nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(
        v.view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0),
        E_INVALIDARG);
    EXPECT_EQ(canvas.at(0, 0), kBackground);
}

/// Counts what the control tells its view sink.
class CountingSink : public IAdviseSink {
public:
    virtual ~CountingSink() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAdviseSink)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG) override {
        if (aspect == DVASPECT_CONTENT) ++viewChanges;
    }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}
    int viewChanges = 0;
};

TEST(View, RepaintsAreAnnouncedToTheViewSink) {
    Viewed v;
    open(v);
    CountingSink sink;
    ASSERT_EQ(v.view->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
    struct Step {
        const char* what;
        HRESULT (*call)(IQuorvaneComponentV4*, _led7seg4*);
        int announced;
    };
    const Step steps[] = {
        {"Refresh", [](IQuorvaneComponentV4* h, _led7seg4*) { return h->Refresh(); }, 1},
        {"a colour in range", [](IQuorvaneComponentV4*, _led7seg4* c) { return c->put_LEDColour(1); }, 1},
        {"a colour out of range", [](IQuorvaneComponentV4*, _led7seg4* c) { return c->put_LEDColour(9); }, 0},
        {"a new port", [](IQuorvaneComponentV4* h, _led7seg4*) { return h->put_Port(2, 1); }, 1},
        {"the same port again", [](IQuorvaneComponentV4* h, _led7seg4*) { return h->put_Port(2, 1); }, 0},
        {"a common anode", [](IQuorvaneComponentV4*, _led7seg4* c) { return c->put_CommonAnode(1); }, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        sink.viewChanges = 0;
        ASSERT_EQ(s.call(v.host.get(), v.control.get()), S_OK);
        EXPECT_EQ(sink.viewChanges, s.announced);
    }
    DWORD aspects = 0;
    Ref<IAdviseSink> got;
    EXPECT_EQ(v.view->GetAdvise(&aspects, nullptr, got.put()), S_OK);
    EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
    EXPECT_EQ(v.view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
}

} // namespace
} // namespace seg4::wine
