// Resize and Paint: the control's 16:5 size, where the 36 layers lie, which of them show, and
// when the layout is redone.
#include "automation/errors.h"
#include "display_fixture.h"

#include <cstdint>
#include <functional>
#include <limits>

namespace seg4 {
namespace {

using test::DisplayTest;

HResult failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

// [SECTION] Size and layout

TEST_F(DisplayTest, SizeIsSixteenFifthsOfTheHeightAndDigitsAreQuarters) {
    struct Row {
        float twipsX, twipsY;
        std::int32_t size;
        float width, height;
        float digitWidth;
    };
    const Row rows[] = {
        {15, 15, 20, 960, 300, 240},
        {15, 15, 50, 2400, 750, 600},
        {15, 15, 85, 4080, 1275, 1020},
        {12, 12, 51, 1958.4f, 612, 490},
        {12, 12, 50, 1920, 600, 480},
        {15, 12, 50, 2400, 600, 600},
        {15, 15, 100, 4800, 1500, 1200},            // loaded beyond the setter's range
        {13.125f, 13.125f, 21, 882, 275.625f, 220}, // 220.5 rounds to the even neighbour
        {13.125f, 13.125f, 23, 966, 301.875f, 242}, // 241.5 too
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.twipsX << " twips per pixel, size " << r.size);
        platform.twipsX = r.twipsX;
        platform.twipsY = r.twipsY;
        control.stateForTesting().m_lLEDSize = r.size;
        control.stateForTesting().m_lLastSize = 0; // lay out even where only the screen changed
        control.Resize();
        control.Paint();
        EXPECT_FLOAT_EQ(control.extentWidthTwips(), r.width);
        EXPECT_FLOAT_EQ(control.extentHeightTwips(), r.height);
        ASSERT_FALSE(site.extents.empty());
        EXPECT_FLOAT_EQ(site.extents.back().first, r.width);
        EXPECT_FLOAT_EQ(site.extents.back().second, r.height);
        for (const Layer& b : control.layers().backdrops) {
            EXPECT_EQ(b.left, 0);
            EXPECT_EQ(b.top, 0);
            EXPECT_EQ(b.width, 4 * r.digitWidth);
            EXPECT_FLOAT_EQ(b.height, r.height);
        }
        for (int d = 0; d < 4; ++d)
            for (int s = 0; s < 8; ++s) {
                EXPECT_EQ(overlay(d, s).left, (3 - d) * r.digitWidth) << d << "," << s;
                EXPECT_EQ(overlay(d, s).top, 0);
                EXPECT_EQ(overlay(d, s).width, r.digitWidth);
                EXPECT_FLOAT_EQ(overlay(d, s).height, r.height);
                EXPECT_EQ(overlay(d, s).opacity, 85);
            }
    }
}

TEST_F(DisplayTest, SizesThatLeaveSixteenBitsFailWithOverflowAndKeepTheLayers) {
    control.Paint();
    const LayerSet before = control.layers();
    struct Row {
        std::int32_t size;
        bool resizeFails;
    };
    // 3000: the digit width 36000 leaves 16 bits; 1000: four digit widths (48000) do;
    // the largest sizes overflow already when Resize multiplies them.
    for (const Row r : {Row{3000, false}, Row{1000, false}, Row{-3000, false},
                        Row{std::numeric_limits<std::int32_t>::max(), true}}) {
        SCOPED_TRACE(r.size);
        control.stateForTesting().m_lLEDSize = r.size;
        EXPECT_EQ(failureOf([&] { control.Resize(); }), r.resizeFails ? hr::Overflow : hr::Ok);
        EXPECT_EQ(failureOf([&] { control.Paint(); }), hr::Overflow);
        for (std::size_t i = 0; i < before.overlays.size(); ++i) {
            EXPECT_EQ(control.layers().overlays[i].width, before.overlays[i].width);
            EXPECT_EQ(control.layers().overlays[i].left, before.overlays[i].left);
        }
        EXPECT_EQ(control.layers().backdrops[0].width, before.backdrops[0].width);
    }
    // Failed passes are not remembered as laid out: back at the size of the last good pass,
    // Paint needs no layout and succeeds.
    control.stateForTesting().m_lLEDSize = 50;
    EXPECT_NO_THROW(control.Paint());
    EXPECT_EQ(control.layoutPasses(), 1u);
    EXPECT_EQ(overlay(0, 0).width, 600);
}

// [SECTION] The lit rule

TEST_F(DisplayTest, LitRuleFollowsCommonAnodesInEverySimulationState) {
    enum class Sim { Never, Running, Stopped };
    struct Row {
        Sim sim;
        bool anode, line, lit;
    };
    const Row rows[] = {
        // Before any simulation, a selected digit lights whatever its lines say.
        {Sim::Never, false, false, false},
        {Sim::Never, false, true, false},
        {Sim::Never, true, false, true},
        {Sim::Never, true, true, true},
        // Once a simulation ran, only low lines light, also after it stopped.
        {Sim::Running, false, false, false},
        {Sim::Running, false, true, false},
        {Sim::Running, true, false, true},
        {Sim::Running, true, true, false},
        {Sim::Stopped, false, false, false},
        {Sim::Stopped, false, true, false},
        {Sim::Stopped, true, false, true},
        {Sim::Stopped, true, true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << "sim " << int(r.sim) << " anode " << r.anode << " line " << r.line);
        auto& st = control.stateForTesting();
        st.m_bSimulating = r.sim == Sim::Running;
        st.m_bHasSimulated = r.sim == Sim::Stopped;
        for (int p = 0; p < 12; ++p)
            (*st.m_Pins)[static_cast<std::size_t>(p)].SimValue = p < 4 ? r.anode : r.line;
        control.Paint();
        for (int d = 0; d < 4; ++d)
            for (int s = 0; s < 8; ++s) EXPECT_EQ(overlay(d, s).visible, !r.lit) << d << "," << s;
        EXPECT_EQ(visibleBackdrops(), std::vector<int>{0});
    }
}

TEST_F(DisplayTest, PinZeroDrivesTheRightmostDigit) {
    control.stateForTesting().m_bSimulating = true;
    // Digit patterns as the simulation writes them: "7" on pin 0's digit, "2." on pin 3's.
    struct Row {
        int digit;
        std::uint8_t pattern;
        float left;
    };
    for (const Row r : {Row{0, 0xF8, 1800}, Row{1, 0xA4, 1200}, Row{2, 0x80, 600}, Row{3, 0x24, 0}}) {
        SCOPED_TRACE(r.digit);
        showPattern(r.digit, r.pattern);
        control.Paint();
        for (int d = 0; d < 4; ++d)
            for (int s = 0; s < 8; ++s) {
                const bool lit = d == r.digit && !((r.pattern >> s) & 1);
                EXPECT_EQ(overlay(d, s).visible, !lit) << d << "," << s;
            }
        EXPECT_EQ(overlay(r.digit, 0).left, r.left);
    }
}

TEST_F(DisplayTest, NewDisplayShowsEverySegmentUnlit) {
    control.Paint();
    for (const Layer& o : control.layers().overlays) EXPECT_TRUE(o.visible);
    EXPECT_EQ(visibleBackdrops(), std::vector<int>{0});
}

// [SECTION] The layout cache

TEST_F(DisplayTest, LayoutRunsOnlyWhenSizeOrColourChanged) {
    struct Step {
        const char* what;
        std::function<void(test::DisplayTest&)> act;
        std::uint64_t layouts; // total after the step
        int paints;            // total after the step
    };
    const Step steps[] = {
        {"first paint", [](auto& t) { t.control.Paint(); }, 1, 1},
        {"second paint", [](auto& t) { t.control.Paint(); }, 1, 2},
        {"pin levels",
         [](auto& t) {
             t.setHighPins({0, 4});
             t.control.Paint();
         },
         1, 3},
        {"refused colour", [](auto& t) { t.control.put_LEDColour(4); }, 1, 3},
        {"colour alone", [](auto& t) { t.control.put_LEDColour(2); }, 2, 4},
        {"same colour", [](auto& t) { t.control.put_LEDColour(2); }, 2, 5},
        {"same size", [](auto& t) { t.control.put_LEDSize(50); }, 2, 6},
        {"refused size", [](auto& t) { t.control.put_LEDSize(86); }, 2, 6},
        {"new size", [](auto& t) { t.control.put_LEDSize(85); }, 3, 7},
        {"size and colour back",
         [](auto& t) {
             t.control.stateForTesting().m_lLEDSize = 50;
             t.control.stateForTesting().m_lLEDColour = 0;
             t.control.Paint();
         },
         4, 8},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act(*this);
        EXPECT_EQ(control.layoutPasses(), step.layouts);
        EXPECT_EQ(control.paintCount(), static_cast<std::uint64_t>(step.paints));
        EXPECT_EQ(site.invalidations, step.paints);
        EXPECT_EQ(visibleBackdrops(), std::vector<int>{control.get_LEDColour()});
    }
}

TEST_F(DisplayTest, PaintWithoutChangeKeepsTheBoxesOfTheLastLayout) {
    control.Paint();
    const LayerSet laidOut = control.layers();
    // A new screen resolution alone does not move anything until colour or size change.
    platform.twipsX = 12;
    platform.twipsY = 12;
    setHighPins({1, 2, 5});
    control.Paint();
    for (std::size_t i = 0; i < laidOut.overlays.size(); ++i) {
        EXPECT_EQ(control.layers().overlays[i].left, laidOut.overlays[i].left);
        EXPECT_EQ(control.layers().overlays[i].width, laidOut.overlays[i].width);
        EXPECT_EQ(control.layers().overlays[i].height, laidOut.overlays[i].height);
    }
    control.put_LEDColour(1);
    EXPECT_EQ(overlay(0, 0).width, 480); // laid out again at 12 twips per pixel
    EXPECT_EQ(visibleBackdrops(), std::vector<int>{1});
}

// [SECTION] What loading can leave behind

TEST_F(DisplayTest, StoredColourOutsideTheRangeShowsRedAndIsKept) {
    for (const std::int32_t colour : {4, 7, -1, std::numeric_limits<std::int32_t>::min()}) {
        SCOPED_TRACE(colour);
        control.stateForTesting().m_lLEDColour = colour;
        EXPECT_NO_THROW(control.Paint());
        EXPECT_EQ(visibleBackdrops(), std::vector<int>{0});
        EXPECT_EQ(control.get_LEDColour(), colour);
        // A valid colour afterwards shows that colour alone.
        control.put_LEDColour(3);
        EXPECT_EQ(visibleBackdrops(), std::vector<int>{3});
    }
}

TEST(DisplayWithoutPins, PaintShowsEverySegmentUnlitInsteadOfFailing) {
    test::FakePlatform platform;
    test::RecordingSite site;
    Led7Seg4 control(platform, &site);
    control.Initialize();
    // Loaded without the new-instance initialisation: a size, no pin table.
    control.stateForTesting().m_lLEDSize = 50;
    control.stateForTesting().m_bHasSimulated = true;
    ASSERT_FALSE(control.state().m_Pins.has_value());
    EXPECT_NO_THROW(control.Resize());
    EXPECT_NO_THROW(control.Paint());
    EXPECT_EQ(control.layoutPasses(), 1u);
    EXPECT_EQ(site.invalidations, 1);
    for (const Layer& o : control.layers().overlays) EXPECT_TRUE(o.visible);
    EXPECT_TRUE(control.layers().backdrops[0].visible);
    EXPECT_FLOAT_EQ(control.extentWidthTwips(), 2400);
}

} // namespace
} // namespace seg4
