// Resize and Paint: the 16:5 size, where the 36 layers lie and which of them show (the layout
// module on a display's state), and when a display lays out again.
#include "display/layout.h"
#include "display_fixture.h"

#include <functional>
#include <limits>

namespace seg4 {
namespace {

using test::DisplayTest;
using test::failureOf;

/// A display's state with its twelve pins, all low, at size 50 in red; and its layers.
struct LayoutTest : testing::Test {
    Led7Seg4State state;
    display::Layout layout;
    LayoutTest() {
        state.m_lPinCount = 12;
        state.m_Pins.emplace(12);
        state.m_lLEDSize = 50;
    }
    void setPins(unsigned high) {
        for (std::size_t p = 0; p < 12; ++p) (*state.m_Pins)[p].SimValue = (high >> p) & 1;
    }
};

const Layer& overlay(const LayerSet& layers, int d, int s) {
    return layers.overlays[LayerSet::overlayIndex(d, s)];
}

std::vector<int> visibleBackdrops(const LayerSet& layers) {
    std::vector<int> v;
    for (int i = 0; i < 4; ++i)
        if (layers.backdrops[std::size_t(i)].visible) v.push_back(i);
    return v;
}

TEST_F(LayoutTest, SizeIsSixteenFifthsOfTheHeightDigitsAreQuartersAndSixteenBit) {
    struct Row {
        float twipsX, twipsY;
        std::int32_t size;
        float width, height, digitWidth;
    };
    const Row rows[] = {
        {15, 15, 50, 2400, 750, 600},
        {12, 12, 51, 1958.4f, 612, 490},
        {15, 12, 50, 2400, 600, 600},
        {13.125f, 13.125f, 21, 882, 275.625f, 220}, // 220.5 and 241.5 round to the even neighbour
        {13.125f, 13.125f, 23, 966, 301.875f, 242},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.twipsX << " twips per pixel, size " << r.size);
        state.m_lLEDSize = r.size;
        state.m_lLastSize = 0; // lay out even where only the screen changed
        const display::Extent extent = display::extentFor(r.size, r.twipsX, r.twipsY);
        layout.paint(state, r.twipsX, r.twipsY);
        EXPECT_EQ(std::make_pair(extent.width, extent.height), std::make_pair(r.width, r.height));
        for (const Layer& b : layout.layers().backdrops)
            EXPECT_TRUE(b.left == 0 && b.top == 0 && b.width == 4 * r.digitWidth && b.height == r.height);
        for (int d = 0; d < 4; ++d)
            for (int s = 0; s < 8; ++s) {
                const Layer& o = overlay(layout.layers(), d, s);
                EXPECT_TRUE(o.left == (3 - d) * r.digitWidth && o.top == 0 && o.width == r.digitWidth &&
                            o.height == r.height && o.opacity == 85)
                    << d << "," << s;
            }
    }
    // Sizes only loading can store: 4000 gives a digit width (42000) beyond 16 bits, which fails
    // before any layer changes; 1000 and -3000 four of them (4 x 10500, 4 x -31500), which fails as
    // the first backdrop gets its width, after it was hidden; the largest overflows in Resize
    // already. Nothing else changes.
    struct Overflowing {
        std::int32_t size;
        bool resizeFails, firstBackdropHidden;
    };
    for (const Overflowing& o :
         {Overflowing{4000, false, false}, Overflowing{1000, false, true}, Overflowing{-3000, false, true},
          Overflowing{std::numeric_limits<std::int32_t>::max(), true, false}}) {
        state.m_lLEDSize = 23;
        layout.paint(state, 13.125f, 13.125f);
        state.m_lLEDSize = o.size;
        EXPECT_EQ(failureOf([&] { display::extentFor(o.size, 13.125f, 13.125f); }),
                  o.resizeFails ? hr::Overflow : hr::Ok)
            << o.size;
        EXPECT_EQ(failureOf([&] { layout.paint(state, 13.125f, 13.125f); }), hr::Overflow) << o.size;
        EXPECT_EQ(visibleBackdrops(layout.layers()),
                  o.firstBackdropHidden ? std::vector<int>{} : std::vector{0})
            << o.size;
        EXPECT_EQ(layout.layers().backdrops[0].width, 4 * 242) << o.size;
        EXPECT_EQ(overlay(layout.layers(), 0, 0).width, 242) << o.size;
        EXPECT_TRUE(overlay(layout.layers(), 0, 0).visible) << o.size;
    }
}

TEST_F(LayoutTest, LitRuleFollowsCommonAnodesInEverySimulationState) {
    struct Row {
        bool simulating, hasSimulated, anode, line, lit;
    };
    const Row rows[] = {
        // Before any simulation a selected digit lights whatever its lines say; once one ran,
        // also after it stopped, only low lines light.
        {false, false, false, false, false}, {false, false, false, true, false},
        {false, false, true, false, true},   {false, false, true, true, true},
        {true, false, false, false, false},  {true, false, false, true, false},
        {true, false, true, false, true},    {true, false, true, true, false},
        {false, true, false, true, false},   {false, true, true, false, true},
        {false, true, true, true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.simulating << r.hasSimulated << " anode " << r.anode << " line " << r.line);
        state.m_bSimulating = r.simulating;
        state.m_bHasSimulated = r.hasSimulated;
        setPins((r.anode ? 0xFu : 0u) | (r.line ? 0xFF0u : 0u));
        layout.paint(state, 15, 15);
        for (const Layer& o : layout.layers().overlays) EXPECT_EQ(o.visible, !r.lit);
        EXPECT_EQ(visibleBackdrops(layout.layers()), std::vector<int>{0});
    }
}

TEST_F(DisplayTest, LayoutRunsOnlyWhenSizeOrColourChanged) {
    struct Step {
        const char* what;
        std::function<void(DisplayTest&)> act;
        std::uint64_t layouts, paints; // totals after the step
        float digitWidth;
    };
    const Step steps[] = {
        {"first paint", [](auto& t) { t.control.Paint(); }, 1, 1, 600},
        {"pin levels written", [](auto& t) { t.setPins(0x11); }, 1, 2, 600},
        {"new screen alone", [](auto& t) { t.platform.twipsX = 12, t.control.Paint(); }, 1, 3, 600},
        {"refused colour", [](auto& t) { t.control.put_LEDColour(4); }, 1, 3, 600},
        {"colour alone", [](auto& t) { t.control.put_LEDColour(2); }, 2, 4, 480},
        {"same colour", [](auto& t) { t.control.put_LEDColour(2); }, 2, 5, 480},
        {"same size", [](auto& t) { t.control.put_LEDSize(50); }, 2, 6, 480},
        {"refused size", [](auto& t) { t.control.put_LEDSize(86); }, 2, 6, 480},
        {"new size", [](auto& t) { t.control.put_LEDSize(85); }, 3, 7, 816},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(*this);
        EXPECT_EQ(control.layoutPasses(), step.layouts);
        EXPECT_EQ(control.paintCount(), step.paints);
        EXPECT_EQ(site.invalidations, static_cast<int>(step.paints));
        EXPECT_EQ(overlay(control.layers(), 3, 7).width, step.digitWidth);
        EXPECT_EQ(visibleBackdrops(control.layers()), std::vector<int>{control.get_LEDColour()});
    }
}

TEST_F(DisplayTest, ShowDigitRepaintsOnlyOnceTheCallerHoldsTheAffectedPins) {
    // The caller's variable for the affected pins, as a script or a typed client passes it. One
    // that cannot hold a Long() fails the call before the repaint; the pins are set by then and
    // the cycle count is written.
    platform.setFile(platform.folder + u"\\ARM_7seg4.c", "[MacroNames]\r\nCount=1\r\n1=SHOW_DIGIT\r\n");
    control.put_QuorvaneVersion(0x0400);
    struct Row {
        const char* what;
        Variant held;
        bool typed;
        HResult failure;
    };
    const Row rows[] = {
        {"Variant", Variant::string(u"old"), false, hr::Ok},
        {"Long", Variant::i4(5), true, hr::TypeMismatch},
        {"String", Variant::string(u"old"), true, hr::TypeMismatch},
        {"Long()", Variant::array(VarType::I4, 1, {Variant::i4(9)}), true, hr::Ok},
        {"Integer()", Variant::array(VarType::I2, 0, {}), true, hr::TypeMismatch},
    };
    std::int16_t digit = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        digit = static_cast<std::int16_t>((digit + 1) % 4);
        Variant held = r.held;
        Variant affected = r.typed ? Variant::typedRef(&held) : Variant::byRef(&held);
        std::int32_t ret = 7, cycles = 0;
        const std::uint64_t paints = control.paintCount();
        const Variant params =
            Variant::array(VarType::Variant, 0, {Variant::i2(digit), Variant::i2(8), Variant()});
        EXPECT_EQ(failureOf([&] { control.SimMacroCall(0, params, ret, affected, cycles); }), r.failure);
        EXPECT_EQ(cycles, 32);
        EXPECT_EQ(ret, 7);
        Variant levels;
        control.SimReadPins(levels);
        EXPECT_EQ(arrayElement(levels, digit), Variant::boolean(true)) << "the anode is set either way";
        EXPECT_EQ(control.paintCount(), paints + (r.failure == hr::Ok ? 1 : 0));
        if (r.failure != hr::Ok)
            EXPECT_EQ(held, r.held);
        else
            EXPECT_EQ(upperBound(held), 11);
    }
}

TEST_F(LayoutTest, StoredColourOutsideTheRangeShowsRedAndIsKept) {
    for (const std::int32_t colour : {4, -1}) {
        state.m_lLEDColour = colour;
        EXPECT_NO_THROW(layout.paint(state, 15, 15));
        EXPECT_EQ(visibleBackdrops(layout.layers()), std::vector<int>{0});
        EXPECT_EQ(state.m_lLEDColour, colour);
    }
}

TEST_F(LayoutTest, WithoutPinsEverySegmentShowsUnlitInsteadOfFailing) {
    state.m_Pins.reset(); // loaded without the new-instance initialisation
    EXPECT_NO_THROW(layout.paint(state, 15, 15));
    for (const Layer& o : layout.layers().overlays) EXPECT_TRUE(o.visible);
    EXPECT_TRUE(layout.layers().backdrops[0].visible);
}

} // namespace
} // namespace seg4
