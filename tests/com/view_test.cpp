// Drawing through IViewObject::Draw into a DIB: the pixels equal the portable core's snapshot of
// a twin in the same state, at the control's own size and stretched, from the very first draw;
// a redraw is announced to the view's advise sink, and a draw itself announces nothing.
#include "call_sequence.h"
#include "variant_bridge.h"
#include "wine_support.h"

#include "display/compositor.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace seg4::wine {
namespace {

constexpr std::uint32_t kBackground = 0xFF203040; // opaque BGRA behind the control

/// Every pixel equals the frame's (premultiplied RGBA) over the background; partly covered
/// pixels may differ by one step of rounding in the blend.
testing::AssertionResult sameAsFrame(const Canvas& canvas, const Frame& frame) {
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const std::uint32_t p = frame.at(x, y), a = px::alpha(p);
            const std::uint32_t source[] = {px::blue(p), px::green(p), px::red(p), a};
            for (int c = 0; c < 4; ++c) {
                const auto want =
                    static_cast<int>(source[c] + ((kBackground >> (8 * c)) & 0xFF) * (255 - a) / 255);
                const auto got = static_cast<int>((canvas.at(x, y) >> (8 * c)) & 0xFF);
                if (std::abs(want - got) > (a != 0 && a != 255 ? 1 : 0))
                    return testing::AssertionFailure() << "pixel " << x << "," << y << " channel " << c
                                                       << " is " << got << " instead of " << want;
            }
        }
    }
    return testing::AssertionSuccess();
}

HRESULT draw(IViewObject2* view, HDC dc, const RECTL* bounds, DWORD aspect = DVASPECT_CONTENT) {
    return view->Draw(aspect, -1, nullptr, nullptr, nullptr, dc, bounds, nullptr, nullptr, 0);
}

TEST(View, DrawGivesTheCoreSnapshotAndStretchesIt) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<_led7seg4> control;
    Ref<IViewObject2> view;
    ASSERT_EQ(host.query(control), S_OK);
    ASSERT_EQ(host.query(view), S_OK);
    CoreTwin twin;
    Led7Seg4& core = twin.core();
    // First as created: the container's first draw is its first Paint, with no Refresh or setter
    // before it; then after a colour change, stretched.
    for (auto [colour, scale] : {std::pair{-1, 1}, std::pair{3, 2}}) {
        SCOPED_TRACE(scale);
        if (colour < 0) {
            core.Paint();
        } else {
            ASSERT_EQ(control->put_LEDColour(colour), S_OK);
            core.put_LEDColour(colour);
        }
        const Frame own = snapshot(core, twin.platform().twipsPerPixelX(), twin.platform().twipsPerPixelY());
        ASSERT_GT(own.width, 0);
        const int width = scale * own.width, height = scale * own.height;
        const Frame expected = scale == 1
                                   ? own
                                   : composite(core.layers(), width, height, core.extentWidthTwips() / width,
                                               core.extentHeightTwips() / height);
        Canvas canvas(width, height, kBackground);
        const RECTL bounds{0, 0, width, height};
        ASSERT_EQ(draw(view.get(), canvas.dc(), &bounds), S_OK);
        EXPECT_TRUE(sameAsFrame(canvas, expected));
    }
    Canvas canvas(4, 4, kBackground);
    const RECTL bounds{0, 0, 4, 4};
    EXPECT_EQ(draw(view.get(), canvas.dc(), &bounds, DVASPECT_ICON), DV_E_DVASPECT);
    EXPECT_EQ(draw(view.get(), canvas.dc(), nullptr), E_INVALIDARG);
    EXPECT_EQ(draw(view.get(), nullptr, &bounds), E_INVALIDARG);
    EXPECT_EQ(canvas.at(0, 0), kBackground);
}

/// Records what the control tells its view sink.
class RecordingSink : public IAdviseSink {
public:
    virtual ~RecordingSink() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAdviseSink);
        *ppv = known ? this : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override { calls.record("OnDataChange"); }
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG index) override {
        calls.record({"OnViewChange", 0, aspect, index});
        if (whenViewChanges) whenViewChanges();
    }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override { calls.record("OnRename"); }
    void STDMETHODCALLTYPE OnSave() override { calls.record("OnSave"); }
    void STDMETHODCALLTYPE OnClose() override { calls.record("OnClose"); }
    test::SequenceRecorder calls;
    std::function<void()> whenViewChanges; // looks at the caller's variables as the repaint is told
};

TEST(View, RepaintsAreAnnouncedToTheViewSink) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    Ref<IViewObject2> view;
    ASSERT_EQ(host.query(view), S_OK);
    RecordingSink sink;
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
    const test::Step changed{"OnViewChange", 0, DVASPECT_CONTENT, -1};
    struct Step {
        HRESULT (*call)(IQuorvaneComponentV4*);
        std::vector<test::Step> told;
    };
    const Step steps[] = {
        {[](IQuorvaneComponentV4* h) { return h->Refresh(); }, {changed}},
        {[](IQuorvaneComponentV4* h) { return h->put_Port(2, 1); }, {changed}},
        {[](IQuorvaneComponentV4* h) { return h->put_Port(2, 1); }, {}}}; // the same port again
    sink.calls.take();
    for (const Step& s : steps) {
        ASSERT_EQ(s.call(host.get()), S_OK);
        EXPECT_TRUE(test::sameSequence(s.told, sink.calls.take()));
    }
    // The Paint that a draw raises asks for no further draw: a container redrawing on every
    // announcement would never stop.
    Canvas canvas(16, 5, kBackground);
    const RECTL bounds{0, 0, 16, 5};
    ASSERT_EQ(draw(view.get(), canvas.dc(), &bounds), S_OK);
    EXPECT_TRUE(test::sameSequence({}, sink.calls.take()));
    DWORD aspects = 0;
    Ref<IAdviseSink> got;
    EXPECT_EQ(view->GetAdvise(&aspects, nullptr, got.put()), S_OK);
    EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
    EXPECT_EQ(got.get(), &sink);
    EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
}

TEST(View, ShowDigitRepaintsOnlyOnceTheCallerHoldsTheAffectedPins) {
    // The repaint is the macro's last step: a sink told of it finds the caller's cycle count and
    // affected pins written already. A typed client's variable for the affected pins that cannot
    // hold a Long() fails the call with type mismatch before the repaint; the pins are set and
    // the cycle count written.
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    ASSERT_EQ(host->put_QuorvaneVersion(1026), S_OK);
    Ref<IViewObject2> view;
    ASSERT_EQ(host.query(view), S_OK);
    RecordingSink sink;
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
    constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x800A000D);
    LONG number = 5;
    BSTR text = SysAllocString(L"old");
    VARIANT inner = longVariant(3);
    VARIANT affected;
    const struct {
        const char* what;
        VARTYPE vt;
        void* target;
        const VARIANT* holder; // where the list lands
        HRESULT result;
    } rows[] = {{"Variant reference", VT_BYREF | VT_VARIANT, &inner, &inner, S_OK},
                {"Variant", VT_EMPTY, nullptr, &affected, S_OK},
                {"Long", VT_BYREF | VT_I4, &number, nullptr, kTypeMismatch},
                {"String", VT_BYREF | VT_BSTR, &text, nullptr, kTypeMismatch}};
    LONG digit = 0, ret = 7, cycles = 0;
    const VARIANT* holder = nullptr;
    std::function<LONG()> cyclesHeld = [&] { return cycles; };
    std::vector<std::pair<LONG, VARTYPE>> seen; // the cycle count and the list's type, per repaint
    sink.whenViewChanges = [&] { seen.emplace_back(cyclesHeld(), V_VT(holder)); };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        digit = (digit + 1) % 4;
        Var params;
        com::toVariant(
            Variant::array(VarType::Variant, 0, {Variant::i4(digit), Variant::i4(8), Variant::i4(0)}),
            params.v);
        VariantInit(&affected);
        V_VT(&affected) = r.vt;
        if (r.target) V_BYREF(&affected) = r.target;
        holder = r.holder;
        cycles = 0;
        seen.clear();
        sink.calls.take();
        EXPECT_EQ(host->SimMacroCall(0, params.v, &ret, &affected, &cycles), r.result);
        EXPECT_EQ(cycles, 32);
        EXPECT_EQ(ret, 7);
        std::vector<test::Step> repaint;
        std::vector<std::pair<LONG, VARTYPE>> written;
        if (r.result == S_OK) {
            repaint.push_back({"OnViewChange", 0, DVASPECT_CONTENT, -1});
            written.emplace_back(32, static_cast<VARTYPE>(VT_ARRAY | VT_I4));
        }
        EXPECT_TRUE(test::sameSequence(repaint, sink.calls.take()));
        EXPECT_EQ(seen, written) << "what the caller holds as the repaint is told";
        Var levels;
        ASSERT_EQ(host->SimReadPins(levels.get()), S_OK);
        VARIANT_BOOL anode = 0;
        SafeArrayGetElement(V_ARRAY(levels.get()), &digit, &anode);
        EXPECT_EQ(anode, VARIANT_TRUE) << "the anode is set either way";
        if (r.vt == VT_EMPTY) VariantClear(&affected);
    }
    // Through Invoke, with the by-reference types a late-bound caller passes.
    VARIANT listVariant{};
    LONG invokeCycles = 0, invokeRet = 7;
    Var params;
    com::toVariant(Variant::array(VarType::Variant, 0, {Variant::i4(2), Variant::i4(8), Variant::i4(0)}),
                   params.v);
    VARIANT args[5]{}; // last argument first
    V_VT(&args[0]) = VT_BYREF | VT_I4;
    V_I4REF(&args[0]) = &invokeCycles;
    V_VT(&args[1]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[1]) = &listVariant;
    V_VT(&args[2]) = VT_BYREF | VT_I4;
    V_I4REF(&args[2]) = &invokeRet;
    args[3] = params.v;
    args[4] = longVariant(0);
    std::wstring name = L"SimMacroCall";
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    ASSERT_EQ(host->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    DISPPARAMS call{args, nullptr, 5, 0};
    holder = &listVariant;
    cyclesHeld = [&] { return invokeCycles; };
    seen.clear();
    EXPECT_EQ(host->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &call, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(seen, (std::vector<std::pair<LONG, VARTYPE>>{{32, static_cast<VARTYPE>(VT_ARRAY | VT_I4)}}));
    EXPECT_EQ(invokeRet, 7);
    VariantClear(&listVariant);
    sink.whenViewChanges = nullptr;
    EXPECT_EQ(number, 5);
    EXPECT_STREQ(text, L"old");
    EXPECT_EQ(V_VT(&inner), VT_ARRAY | VT_I4) << "a Variant variable takes the list";
    SysFreeString(text);
    VariantClear(&inner);
    EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
}

} // namespace
} // namespace seg4::wine
