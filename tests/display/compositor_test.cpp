// The compositor: stretching, coverage and opacity on small pictures, whole displays in pixels,
// the kept scaled pictures against plain stacking, and PNG snapshots.
#include "display/compositor.h"
#include "display/pictures.h"
#include "display/segment_geometry.h"
#include "display_fixture.h"

#include <cmath>
#include <functional>

namespace seg4 {
namespace {

using test::DisplayTest;
using test::failureOf;

Frame row(std::vector<std::uint32_t> pixels) { return Frame{int(pixels.size()), 1, std::move(pixels)}; }
std::uint32_t grey(int v, int a = 255) { return px::premultiply(v, v, v, a); }

TEST(DrawPicture, StretchesCoversAndFadesOnPremultipliedColour) {
    struct Row {
        const char* what;
        std::vector<std::uint32_t> picture, below;
        double left, width;
        int opacity;
        std::vector<std::uint32_t> result;
    };
    const std::uint32_t o = 0, red = px::pack(220, 52, 47, 255), blue = px::pack(0, 0, 255, 255),
                        halfRed = px::premultiply(255, 0, 0, 128);
    const Row rows[] = {
        {"halved", {grey(10), grey(30), grey(100), grey(200)}, {o, o}, 0, 2, 100, {grey(20), grey(150)}},
        {"doubled", {grey(0), grey(255)}, {o, o, o, o}, 0, 4, 100, {grey(0), grey(64), grey(191), grey(255)}},
        {"edges in pixels", {grey(255)}, {o, o, o}, 0.5, 2, 100, {grey(255, 128), grey(255), grey(255, 128)}},
        {"clipped", {grey(50), grey(60), grey(70), grey(80)}, {o, o}, -1, 4, 100, {grey(60), grey(70)}},
        {"outside", {grey(50)}, {red, red}, 2, 1, 100, {red, red}},
        {"black at 85 % leaves 15 % of red", {grey(0)}, {red}, 0, 1, 85, {px::pack(33, 8, 7, 255)}},
        {"translucent", {halfRed}, {blue}, 0, 1, 100, {px::pack(128, 0, 127, 255)}},
    };
    for (const Row& r : rows) {
        Frame f = row(r.below);
        drawPicture(f, row(r.picture), r.left, 0, r.width, 1, r.opacity);
        EXPECT_EQ(f.pixels, r.result) << r.what;
    }
}

/// The pixel in the middle of segment s of the digit in cell `cell` (0 = leftmost).
std::uint32_t segmentPixel(const Frame& f, int cell, std::size_t s) {
    static const geometry::Point middles[8] = {{40, 8.5}, {58, 25}, {51, 62},     {28, 79.5},
                                               {10, 62},  {17, 25}, {34.5, 43.5}, {61.5, 78.5}};
    const double cellWidth = f.width / 4.0;
    return f.at(int((cell + middles[s].x / 70) * cellWidth), int(middles[s].y / 87 * f.height));
}

void expectColour(std::uint32_t p, geometry::Rgb want, double share, const std::string& where) {
    EXPECT_NEAR(px::red(p), want.r * share, 3) << where;
    EXPECT_NEAR(px::green(p), want.g * share, 3) << where;
    EXPECT_NEAR(px::blue(p), want.b * share, 3) << where;
    EXPECT_EQ(px::alpha(p), 255) << where;
}

TEST_F(DisplayTest, RendersUnlitDigitsAtFifteenPercentAndLitOnesInFull) {
    control.Paint();
    for (int colour = 0; colour < 4; ++colour) {
        control.put_LEDColour(colour);
        const Frame f = snapshot(control, 15, 15);
        ASSERT_EQ(f.width * 1000 + f.height, 160050);
        for (int cell = 0; cell < 4; ++cell)
            for (std::size_t s = 0; s < 8; ++s)
                expectColour(segmentPixel(f, cell, s), geometry::kLitColours[std::size_t(colour)], 0.15,
                             "colour " + std::to_string(colour) + " cell " + std::to_string(cell));
        expectColour(f.at(20, 14), geometry::kGround, 1, "ground in the upper loop of an 8");
    }
    // A running simulation: pin d's digit shows its pattern d cells from the right.
    control.put_LEDColour(0);
    control.StartSimulation();
    for (const auto& [digit, pattern] :
         {std::pair{1, 0xA4u} /* 2 */, {0, 0x19u} /* 4. */, {3, 0x80u} /* 8 */}) {
        setPins(1u << digit | pattern << 4); // digit selected alone, lines active low
        control.Paint();
        const Frame f = snapshot(control, 15, 15);
        for (int d = 0; d < 4; ++d)
            for (std::size_t s = 0; s < 8; ++s) {
                const bool lit = d == digit && !((pattern >> s) & 1);
                expectColour(segmentPixel(f, 3 - d, s), geometry::kLitColours[0], lit ? 1 : 0.15,
                             "digit " + std::to_string(d) + " segment " + std::to_string(s));
            }
    }
}

/// The visible layers stacked one by one, the plain way.
Frame stackLayers(const LayerSet& layers, int width, int height, float twips) {
    Frame f{width, height, std::vector<std::uint32_t>(std::size_t(width * height), 0u)};
    const auto put = [&](const Layer& l, const Frame& p) {
        if (l.visible)
            drawPicture(f, p, double{l.left} / twips, double{l.top} / twips, double{l.width} / twips,
                        double{l.height} / twips, l.opacity);
    };
    for (int i = 0; i < 4; ++i) put(layers.backdrops[std::size_t(i)], picture(PictureKind::Backdrop, i));
    for (int i = 0; i < 32; ++i) put(layers.overlays[std::size_t(i)], picture(PictureKind::Overlay, i % 8));
    return f;
}

TEST_F(DisplayTest, KeptPicturesMatchPlainStackingThroughChangesAndAreSharedByEveryDisplay) {
    struct Step {
        const char* what;
        std::function<void(DisplayTest&)> act;
        float twips;
        std::uint64_t
            scaled; // pictures scaled so far: the shown backdrop and each overlay, then changed boxes
    };
    const Step steps[] = {
        {"new display", [](auto& t) { t.control.Paint(); }, 15, 9},
        {"all lit", [](auto& t) { t.setPins(0xF), t.control.Paint(); }, 15, 9},
        {"two digits lit", [](auto& t) { t.setPins(0x24A), t.control.Paint(); }, 15, 9},
        {"a simulation shows 1. on the rightmost digit",
         [](auto& t) { t.control.StartSimulation(), t.setPins(0x1 | 0x79 << 4), t.control.Paint(); }, 15, 9},
        {"another colour", [](auto& t) { t.control.put_LEDColour(3); }, 15, 10},
        {"another size", [](auto& t) { t.control.put_LEDSize(52); }, 15, 43},
        {"another screen: digits 40.8 pixels wide", [](auto& t) { t.control.put_LEDSize(51); }, 12, 76},
        {"a finer target, same layers", [](auto&) {}, 6, 109},
    };
    Compositor::releaseUnused(); // nothing left from other tests
    Compositor compositor;
    Frame kept;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        platform.twipsX = platform.twipsY = step.twips;
        step.act(*this);
        const int w = pixelsFromTwips(control.extentWidthTwips(), step.twips);
        const int h = pixelsFromTwips(control.extentHeightTwips(), step.twips);
        compositor.draw(control.layers(), w, h, step.twips, step.twips, kept);
        EXPECT_TRUE(kept.pixels == stackLayers(control.layers(), w, h, step.twips).pixels);
        EXPECT_EQ(compositor.scaledPictures(), step.scaled);
        for (std::uint32_t p : kept.pixels) ASSERT_EQ(px::alpha(p), 255);

        // Other displays drawing the same layers scale nothing and keep nothing more.
        const std::size_t shared = Compositor::sharedBytes();
        std::vector<Compositor> others(20);
        for (Compositor& other : others) {
            Frame f;
            other.draw(control.layers(), w, h, step.twips, step.twips, f);
            ASSERT_EQ(other.scaledPictures(), 0u);
            ASSERT_TRUE(f.pixels == kept.pixels);
        }
        EXPECT_EQ(Compositor::sharedBytes(), shared);
    }
}

TEST(Compositor, OverlappingLayersStackInOrderWhateverShowsAndWhereverTheyMove) {
    // Piled on one cell: two backdrops, the four A overlays, G and E off by fractions of a pixel
    // and G moved up onto A, so that pixels have from one to six overlays over them. Between
    // draws, besides which layers show, one layer's box edge or opacity moves a little, shown
    // or hidden: the kept compositor must see every such change.
    LayerSet layers;
    layers.backdrops[1] = {0, 0, 1050, 1305, false, 100};
    layers.backdrops[2] = {150, 0, 1050, 1305, false, 60};
    const std::size_t piled[] = {0, 8, 16, 24, 14, 20, 6};
    const float offsets[][2] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {7, 4}, {30, 15}, {-20, -525}};
    for (std::size_t i = 0; i < 7; ++i)
        layers.overlays[piled[i]] = {offsets[i][0], offsets[i][1], 1050, 1305, false, 85};
    Compositor compositor;
    Frame kept;
    float Layer::*const edges[] = {&Layer::left, &Layer::top, &Layer::width, &Layer::height};
    for (unsigned mask = 0, n = 0; mask < 512; mask += 7, ++n) { // a spread of the ways to show them
        layers.backdrops[1].visible = mask & 1;
        layers.backdrops[2].visible = mask & 2;
        for (std::size_t i = 0; i < 7; ++i) layers.overlays[piled[i]].visible = (mask >> (i + 2)) & 1;
        compositor.draw(layers, 70, 87, 15, 15, kept);
        ASSERT_TRUE(kept.pixels == stackLayers(layers, 70, 87, 15).pixels) << mask;
        // Then one layer moved, and next only shown or hidden the other way.
        Layer& moved = n % 8 == 7 ? layers.backdrops[2] : layers.overlays[piled[n % 8]];
        if (n % 5 == 4)
            moved.opacity = moved.opacity == 85 ? 70 : 85;
        else
            moved.*edges[n % 5] += n % 2 ? 8 : -8; // about half a pixel
        for (int flip = 0; flip < 2; ++flip, moved.visible = !moved.visible) {
            compositor.draw(layers, 70, 87, 15, 15, kept);
            ASSERT_TRUE(kept.pixels == stackLayers(layers, 70, 87, 15).pixels) << mask << " moved " << flip;
        }
    }
}

TEST(Compositor, RefusesFramesItCannotDrawAndSizesOthersFromTwips) {
    Frame f{1, 1, {7}};
    EXPECT_EQ(failureOf([&] { Compositor().draw({}, kMaxFrameSide + 1, 9, 15, 15, f); }),
              hr::InvalidArgument);
    EXPECT_EQ(failureOf([&] { Compositor().draw({}, 9, 9, 0, 15, f); }), hr::InvalidArgument);
    Compositor().draw({}, 3, 2, 15, 15, f); // nothing visible: transparent
    EXPECT_EQ(f.pixels, std::vector<std::uint32_t>(6, 0u));
    EXPECT_EQ(
        std::vector<int>({pixelsFromTwips(2400, 15), pixelsFromTwips(1958.4f, 12), pixelsFromTwips(1962, 12),
                          pixelsFromTwips(-30, 15), pixelsFromTwips(1e30f, 15)}),
        std::vector<int>({160, 163, 164, 0, 1 << 30}));
}

TEST(EncodePng, RoundTripsOpaqueAndTranslucentPixelsAndRefusesEmptyFrames) {
    const Frame f{3,
                  2,
                  {px::pack(19, 20, 22, 255), px::pack(220, 52, 47, 255), 0, px::premultiply(255, 0, 0, 128),
                   px::premultiply(10, 200, 30, 51), grey(0)}};
    EXPECT_EQ(decodePng(encodePng(f)).pixels, f.pixels);
    EXPECT_EQ(failureOf([] { encodePng(Frame{}); }), hr::InvalidArgument);
    EXPECT_EQ(failureOf([] { encodePng(Frame{2, 2, {0, 0, 0}}); }), hr::InvalidArgument);
    EXPECT_EQ(failureOf([] {
                  decodePng(std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 1, 2});
              }),
              hr::InvalidArgument);
}

} // namespace
} // namespace seg4
