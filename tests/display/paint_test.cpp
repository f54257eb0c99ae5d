// Resize and Paint: the 16:5 size, where the 36 layers lie, which of them show, and when the
// layout is redone.
#include "display_fixture.h"

#include <functional>
#include <limits>

namespace seg4 {
namespace {

using test::DisplayTest;
using test::failureOf;

TEST_F(DisplayTest, SizeIsSixteenFifthsOfTheHeightDigitsAreQuartersAndSixteenBit) {
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
        platform.twipsX = r.twipsX, platform.twipsY = r.twipsY;
        control.stateForTesting().m_lLEDSize = r.size;
        control.stateForTesting().m_lLastSize = 0; // lay out even where only the screen changed
        control.Resize();
        control.Paint();
        EXPECT_EQ(site.extents.back(), std::make_pair(r.width, r.height));
        EXPECT_EQ(control.extentWidthTwips(), r.width);
        for (const Layer& b : control.layers().backdrops)
            EXPECT_TRUE(b.left == 0 && b.top == 0 && b.width == 4 * r.digitWidth && b.height == r.height);
        for (int d = 0; d < 4; ++d)
            for (int s = 0; s < 8; ++s) {
                const Layer& o = overlay(d, s);
                EXPECT_TRUE(o.left == (3 - d) * r.digitWidth && o.top == 0 && o.width == r.digitWidth &&
                            o.height == r.height && o.opacity == 85)
                    << d << "," << s;
            }
    }
    // Sizes only loading can store: 3000 gives a digit width (36000) beyond 16 bits, 1000 four
    // of them (48000), the largest overflows in Resize already. The layers stay as they were.
    for (const std::int32_t size : {3000, 1000, -3000, std::numeric_limits<std::int32_t>::max()}) {
        control.stateForTesting().m_lLEDSize = size;
        EXPECT_EQ(failureOf([&] { control.Resize(); }), size > 3000 ? hr::Overflow : hr::Ok) << size;
        EXPECT_EQ(failureOf([&] { control.Paint(); }), hr::Overflow) << size;
        EXPECT_EQ(overlay(0, 0).width, 242);
    }
}

TEST_F(DisplayTest, LitRuleFollowsCommonAnodesInEverySimulationState) {
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
        control.stateForTesting().m_bSimulating = r.simulating;
        control.stateForTesting().m_bHasSimulated = r.hasSimulated;
        setPins((r.anode ? 0xFu : 0u) | (r.line ? 0xFF0u : 0u));
        control.Paint();
        for (const Layer& o : control.layers().overlays) EXPECT_EQ(o.visible, !r.lit);
        EXPECT_EQ(visibleBackdrops(), std::vector<int>{0});
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
        {"pin levels", [](auto& t) { t.setPins(0x11), t.control.Paint(); }, 1, 2, 600},
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
        EXPECT_EQ(overlay(3, 7).width, step.digitWidth);
        EXPECT_EQ(visibleBackdrops(), std::vector<int>{control.get_LEDColour()});
    }
}

TEST_F(DisplayTest, StoredColourOutsideTheRangeShowsRedAndIsKept) {
    for (const std::int32_t colour : {4, -1}) {
        control.stateForTesting().m_lLEDColour = colour;
        EXPECT_NO_THROW(control.Paint());
        EXPECT_EQ(visibleBackdrops(), std::vector<int>{0});
        EXPECT_EQ(control.get_LEDColour(), colour);
    }
}

TEST(DisplayWithoutPins, PaintShowsEverySegmentUnlitInsteadOfFailing) {
    test::FakePlatform platform;
    Led7Seg4 control(platform);
    control.Initialize(); // loaded without the new-instance initialisation: no pin table
    control.stateForTesting().m_lLEDSize = 50;
    EXPECT_NO_THROW(control.Paint());
    for (const Layer& o : control.layers().overlays) EXPECT_TRUE(o.visible);
    EXPECT_TRUE(control.layers().backdrops[0].visible);
}

} // namespace
} // namespace seg4
