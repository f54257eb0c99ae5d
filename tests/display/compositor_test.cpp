// The compositor: stretching, coverage and opacity on small pictures, then whole displays in
// pixels, the scaled-picture cache, and PNG snapshots.
#include "automation/errors.h"
#include "display/compositor.h"
#include "display/pictures.h"
#include "display/segment_geometry.h"
#include "display_fixture.h"

#include <cmath>
#include <string>

namespace seg4 {
namespace {

using test::DisplayTest;

Frame solid(int w, int h, std::uint32_t p) {
    return Frame{w, h, std::vector<std::uint32_t>(std::size_t(w * h), p)};
}

Frame greys(std::initializer_list<int> values, int w) {
    Frame f{w, static_cast<int>(values.size()) / w, {}};
    for (int v : values) f.pixels.push_back(px::pack(v, v, v, 255));
    return f;
}

std::vector<int> reds(const Frame& f) {
    std::vector<int> v;
    for (std::uint32_t p : f.pixels) v.push_back(px::red(p));
    return v;
}

std::vector<int> alphas(const Frame& f) {
    std::vector<int> v;
    for (std::uint32_t p : f.pixels) v.push_back(px::alpha(p));
    return v;
}

/// The layers stacked one by one, the plain way: what the compositor's kept data must equal.
Frame stackLayers(const LayerSet& layers, int width, int height, float twips) {
    Frame f{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), 0u)};
    const auto put = [&](const Layer& l, const Frame& picture) {
        if (l.visible)
            drawPicture(f, picture, double{l.left} / twips, double{l.top} / twips, double{l.width} / twips,
                        double{l.height} / twips, l.opacity);
    };
    for (int i = 0; i < 4; ++i) put(layers.backdrops[std::size_t(i)], picture(PictureKind::Backdrop, i));
    for (int i = 0; i < 32; ++i) put(layers.overlays[std::size_t(i)], picture(PictureKind::Overlay, i % 8));
    return f;
}

HResult failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

// [SECTION] One picture into a frame

TEST(DrawPicture, StretchesWithAreaAveragingAndLinearEnlarging) {
    struct Row {
        const char* what;
        Frame picture;
        int frameWidth;
        double left, width;
        std::vector<int> red;
    };
    const Row rows[] = {
        {"same size", greys({10, 20, 30, 40}, 4), 4, 0, 4, {10, 20, 30, 40}},
        {"halved: pairs averaged", greys({10, 30, 100, 200}, 4), 2, 0, 2, {20, 150}},
        {"a third: triples averaged", greys({0, 30, 60, 90, 120, 150}, 6), 2, 0, 2, {30, 120}},
        {"doubled: interpolated between centres", greys({0, 255}, 2), 4, 0, 4, {0, 64, 191, 255}},
        {"shifted by two pixels", greys({50, 60}, 2), 4, 2, 2, {0, 0, 50, 60}},
        {"clipped at the right", greys({50, 60, 70}, 3), 2, 1, 3, {0, 50}},
        {"clipped at the left", greys({50, 60, 70}, 3), 2, -2, 3, {70, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Frame f = solid(r.frameWidth, 1, 0);
        drawPicture(f, r.picture, r.left, 0, r.width, 1);
        EXPECT_EQ(reds(f), r.red);
    }
}

TEST(DrawPicture, BoxEdgesInsidePixelsCoverThemPartly) {
    Frame f = solid(3, 2, 0);
    // An opaque white square over [0.5, 2.5) x [0, 1.5).
    drawPicture(f, solid(1, 1, px::pack(255, 255, 255, 255)), 0.5, 0, 2, 1.5);
    EXPECT_EQ(alphas(f), (std::vector<int>{128, 255, 128, 64, 128, 64}));
    EXPECT_EQ(reds(f), (std::vector<int>{128, 255, 128, 64, 128, 64})); // premultiplied
}

TEST(DrawPicture, OpacityAndStackingUsePremultipliedOver) {
    struct Row {
        const char* what;
        std::uint32_t below, picture;
        int opacity;
        std::uint32_t result;
    };
    const Row rows[] = {
        {"opaque black at 85 % over red", px::pack(220, 52, 47, 255), px::pack(0, 0, 0, 255), 85,
         px::pack(33, 8, 7, 255)},
        {"white at 85 % over black", px::pack(0, 0, 0, 255), px::pack(255, 255, 255, 255), 85,
         px::pack(217, 217, 217, 255)},
        {"half-transparent red over blue", px::pack(0, 0, 255, 255), px::premultiply(255, 0, 0, 128), 100,
         px::pack(128, 0, 127, 255)},
        {"anything over transparent keeps its own colour", 0, px::premultiply(10, 200, 30, 100), 100,
         px::premultiply(10, 200, 30, 100)},
        {"transparent pixels change nothing", px::pack(1, 2, 3, 255), 0, 100, px::pack(1, 2, 3, 255)},
        {"zero opacity changes nothing", px::pack(1, 2, 3, 255), px::pack(255, 255, 255, 255), 0,
         px::pack(1, 2, 3, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Frame f = solid(1, 1, r.below);
        drawPicture(f, solid(1, 1, r.picture), 0, 0, 1, 1, r.opacity);
        EXPECT_EQ(f.pixels[0], r.result);
    }
}

TEST(DrawPicture, EmptyOrOutsideBoxesDrawNothing) {
    struct Row {
        double left, top, width, height;
    };
    for (const Row r : {Row{0, 0, 0, 2}, Row{0, 0, 2, 0}, Row{0, 0, -2, 2}, Row{5, 0, 2, 2}, Row{-3, 0, 2, 2},
                        Row{0, 9, 2, 2}}) {
        Frame f = solid(4, 2, px::pack(9, 9, 9, 255));
        drawPicture(f, solid(2, 2, px::pack(255, 0, 0, 255)), r.left, r.top, r.width, r.height);
        EXPECT_EQ(f.pixels, solid(4, 2, px::pack(9, 9, 9, 255)).pixels) << r.left << "," << r.top;
    }
}

// [SECTION] Whole displays

/// The pixel in the middle of segment s of the digit drawn in cell `cell` (0 = leftmost).
std::uint32_t segmentPixel(const Frame& f, int cell, int s) {
    static const geometry::Point middles[8] = {{40, 8.5}, {58, 25}, {51, 62},     {28, 79.5},
                                               {10, 62},  {17, 25}, {34.5, 43.5}, {61.5, 78.5}};
    const double cellWidth = f.width / 4.0;
    const auto x = static_cast<int>(cell * cellWidth + middles[s].x / geometry::kCellWidth * cellWidth);
    const auto y = static_cast<int>(middles[s].y / geometry::kCellHeight * f.height);
    return f.at(x, y);
}

void expectNear(std::uint32_t p, geometry::Rgb want, int tolerance, const std::string& where) {
    EXPECT_NEAR(px::red(p), want.r, tolerance) << where;
    EXPECT_NEAR(px::green(p), want.g, tolerance) << where;
    EXPECT_NEAR(px::blue(p), want.b, tolerance) << where;
    EXPECT_EQ(px::alpha(p), 255) << where;
}

geometry::Rgb faint(geometry::Rgb lit) {
    const auto f = [](std::uint8_t c) { return static_cast<std::uint8_t>(std::lround(c * 0.15)); };
    return {f(lit.r), f(lit.g), f(lit.b)};
}

TEST_F(DisplayTest, NewDisplayRendersFourFaintDigitsInEachColour) {
    for (int colour = 0; colour < 4; ++colour) {
        SCOPED_TRACE(colour);
        control.put_LEDColour(colour);
        const Frame f = snapshot(control, 15, 15);
        ASSERT_EQ(f.width, 160);
        ASSERT_EQ(f.height, 50);
        const geometry::Rgb unlit = faint(geometry::kLitColours[static_cast<std::size_t>(colour)]);
        for (int cell = 0; cell < 4; ++cell)
            for (int s = 0; s < 8; ++s)
                expectNear(segmentPixel(f, cell, s), unlit, 3,
                           "cell " + std::to_string(cell) + " segment " + std::to_string(s));
        // Between the segments lies the ground, and every pixel is opaque.
        expectNear(f.at(20, 14), geometry::kGround, 1, "upper loop of the leftmost 8");
        for (std::uint32_t p : f.pixels) ASSERT_EQ(px::alpha(p), 255);
    }
}

TEST_F(DisplayTest, SelectedDigitShowsItsPatternLitAndTheOthersFaint) {
    control.stateForTesting().m_bSimulating = true;
    const geometry::Rgb lit = geometry::kLitColours[0];
    struct Row {
        int digit;
        std::uint8_t pattern;
    };
    for (const Row r : {Row{1, 0xA4 /* 2 */}, Row{0, 0x19 /* 4. */}, Row{3, 0x80 /* 8 */}}) {
        SCOPED_TRACE(r.digit);
        showPattern(r.digit, r.pattern);
        control.Paint();
        const Frame f = snapshot(control, 15, 15);
        for (int d = 0; d < 4; ++d)
            for (int s = 0; s < 8; ++s) {
                const bool on = d == r.digit && !((r.pattern >> s) & 1);
                expectNear(segmentPixel(f, 3 - d, s), on ? lit : faint(lit), 3,
                           "digit " + std::to_string(d) + " segment " + std::to_string(s));
            }
    }
}

TEST_F(DisplayTest, KeptPicturesMatchPlainStackingThroughChanges) {
    Compositor compositor;
    Frame kept;
    struct Step {
        const char* what;
        std::function<void(DisplayTest&)> act;
        float twips;
        std::uint64_t scaled; // pictures scaled so far by the kept compositor
    };
    const Step steps[] = {
        // Every layer is scaled once, shown or not; then only changed boxes are scaled again.
        {"new display", [](DisplayTest& t) { t.control.Paint(); }, 15, 36},
        {"all lit",
         [](DisplayTest& t) {
             t.setHighPins({0, 1, 2, 3}), t.control.Paint();
         },
         15, 36},
        {"two digits lit",
         [](DisplayTest& t) {
             t.setHighPins({1, 3, 6, 9}), t.control.Paint();
         },
         15, 36},
        {"all unlit again", [](DisplayTest& t) { t.setHighPins({}), t.control.Paint(); }, 15, 36},
        {"another colour", [](DisplayTest& t) { t.control.put_LEDColour(3); }, 15, 36},
        {"another size", [](DisplayTest& t) { t.control.put_LEDSize(51); }, 15, 72},
        {"another screen", [](DisplayTest& t) { t.control.put_LEDColour(2); }, 12, 108},
        // Same layers drawn for a finer target (a zoomed container): every picture rescaled.
        {"twice the resolution", [](DisplayTest&) {}, 6, 144},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        platform.twipsX = platform.twipsY = step.twips;
        step.act(*this);
        const int w = pixelsFromTwips(control.extentWidthTwips(), step.twips);
        const int h = pixelsFromTwips(control.extentHeightTwips(), step.twips);
        compositor.draw(control.layers(), w, h, step.twips, step.twips, kept);
        const Frame plain = stackLayers(control.layers(), w, h, step.twips);
        EXPECT_EQ(kept.width, plain.width);
        EXPECT_EQ(kept.height, plain.height);
        EXPECT_TRUE(kept.pixels == plain.pixels);
        EXPECT_EQ(compositor.scaledPictures(), step.scaled);
    }
}

TEST_F(DisplayTest, DigitCellsOfOddSizesLeaveNoSeams) {
    // At 12 twips per pixel and size 51 the digits are 40.83 pixels wide: cells meet inside
    // pixels, and the backdrop (1960 twips) is wider than the control (1958.4).
    platform.twipsX = platform.twipsY = 12;
    control.put_LEDSize(51);
    setHighPins({0, 1, 2, 3}); // every segment lit: a misplaced cell would light the gaps
    control.Paint();
    const Frame f = snapshot(control, 12, 12);
    ASSERT_EQ(f.width, 163);
    ASSERT_EQ(f.height, 51);
    for (std::uint32_t p : f.pixels) ASSERT_EQ(px::alpha(p), 255);
    // The ground between digit cells stays the ground: no lit ink, no transparent seams.
    for (int y = 0; y < f.height; ++y) {
        for (int x : {40, 41, 81, 82, 122, 123}) {
            const std::uint32_t p = f.at(x, y);
            EXPECT_LE(px::red(p), 40) << x << "," << y;
        }
    }
}

TEST(Compositor, OverlappingLayersStackInOrderWhateverShows) {
    // Layers piled on one cell: two backdrops, the four A overlays, G and E shifted by fractions
    // of a pixel, and G moved up onto A, so that pixels have one to six overlays over them.
    LayerSet layers;
    layers.backdrops[1] = {0, 0, 1050, 1305, false, 100};
    layers.backdrops[2] = {150, 0, 1050, 1305, false, 60};
    for (const std::size_t a : {0u, 8u, 16u, 24u}) layers.overlays[a] = {0, 0, 1050, 1305, false, 85};
    layers.overlays[14] = {7, 4, 1050, 1305, false, 85};
    layers.overlays[20] = {30, 15, 1050, 1305, false, 85};
    layers.overlays[6] = {-20, -525, 1050, 1305, false, 85};
    const std::size_t piled[] = {0, 8, 16, 24, 14, 20, 6};
    Compositor compositor;
    Frame kept;
    // A spread of the 512 ways to show them (stepping by a number prime to 512).
    for (unsigned mask = 0; mask < (1u << 9); mask += 7) {
        SCOPED_TRACE(mask);
        layers.backdrops[1].visible = mask & 1;
        layers.backdrops[2].visible = mask & 2;
        for (std::size_t i = 0; i < std::size(piled); ++i)
            layers.overlays[piled[i]].visible = (mask >> (i + 2)) & 1;
        compositor.draw(layers, 70, 87, 15, 15, kept);
        ASSERT_TRUE(kept.pixels == stackLayers(layers, 70, 87, 15).pixels);
    }
    EXPECT_EQ(compositor.scaledPictures(), 36u);
}

TEST(Compositor, InvisibleLayersLeaveTheFrameTransparent) {
    LayerSet layers;
    layers.backdrops[0] = {0, 0, 2400, 750, false, 100};
    const Frame f = composite(layers, 160, 50, 15, 15);
    EXPECT_EQ(f.pixels, std::vector<std::uint32_t>(160 * 50, 0u));
}

TEST(Compositor, RefusesFramesItCannotDraw) {
    const LayerSet layers;
    struct Row {
        int width, height;
        float twips;
        HResult result;
        int pixels;
    };
    for (const Row r : {Row{kMaxFrameSide + 1, 10, 15, hr::InvalidArgument, 0},
                        Row{10, kMaxFrameSide + 1, 15, hr::InvalidArgument, 0},
                        Row{10, 10, 0, hr::InvalidArgument, 0}, Row{10, 10, -15, hr::InvalidArgument, 0},
                        Row{-5, 10, 15, hr::Ok, 0}, Row{0, 0, 15, hr::Ok, 0}, Row{3, 2, 15, hr::Ok, 6}}) {
        SCOPED_TRACE(testing::Message() << r.width << " x " << r.height << " at " << r.twips);
        Frame f;
        EXPECT_EQ(failureOf([&] { Compositor().draw(layers, r.width, r.height, r.twips, r.twips, f); }),
                  r.result);
        EXPECT_EQ(f.pixels.size(), static_cast<std::size_t>(r.pixels));
    }
}

TEST(Compositor, PixelsFromTwipsRoundsAndNeverGoesNegative) {
    struct Row {
        float twips, perPixel;
        int pixels;
    };
    for (const Row r : {Row{2400, 15, 160}, Row{1958.4f, 12, 163}, Row{1962, 12, 164}, Row{-30, 15, 0},
                        Row{0, 15, 0}, Row{1e30f, 15, 1 << 30}})
        EXPECT_EQ(pixelsFromTwips(r.twips, r.perPixel), r.pixels) << r.twips;
}

// [SECTION] PNG

TEST(EncodePng, RoundTripsStraightAndTranslucentPixels) {
    Frame f{3, 2, {}};
    f.pixels = {px::pack(19, 20, 22, 255),       px::pack(220, 52, 47, 255),       0,
                px::premultiply(255, 0, 0, 128), px::premultiply(10, 200, 30, 51), px::pack(0, 0, 0, 255)};
    const std::vector<std::uint8_t> png = encodePng(f);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
    const Frame back = decodePng(png);
    ASSERT_EQ(back.width, 3);
    ASSERT_EQ(back.height, 2);
    for (std::size_t i = 0; i < f.pixels.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(px::alpha(back.pixels[i]), px::alpha(f.pixels[i]));
        EXPECT_NEAR(px::red(back.pixels[i]), px::red(f.pixels[i]), 1);
        EXPECT_NEAR(px::green(back.pixels[i]), px::green(f.pixels[i]), 1);
        EXPECT_NEAR(px::blue(back.pixels[i]), px::blue(f.pixels[i]), 1);
    }
}

TEST(EncodePng, RefusesEmptyFramesAndDecodingRefusesNonPictures) {
    EXPECT_EQ(failureOf([] { encodePng(Frame{}); }), hr::InvalidArgument);
    EXPECT_EQ(failureOf([] { encodePng(Frame{2, 2, {0, 0, 0}}); }), hr::InvalidArgument);
    const std::uint8_t junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
    EXPECT_EQ(failureOf([&] { decodePng(junk); }), hr::InvalidArgument);
    EXPECT_EQ(failureOf([] { decodePng({}); }), hr::InvalidArgument);
}

} // namespace
} // namespace seg4
