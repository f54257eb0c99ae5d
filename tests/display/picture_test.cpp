// The segment geometry and the pictures drawn from it: boxes, telling rows, colours, and each
// overlay lying over its lit segment in every backdrop cell.
#include "display/compositor.h"
#include "display/pictures.h"
#include "display/segment_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

namespace seg4 {
namespace {

using namespace geometry;

bool inside(const Segment& s, double x, double y) {
    if (s.pointCount == 0) return std::hypot(x - s.centre.x, y - s.centre.y) <= s.radius;
    bool in = false;
    for (int i = 0, j = s.pointCount - 1; i < s.pointCount; j = i++) {
        const Point a = s.outline[std::size_t(i)], b = s.outline[std::size_t(j)];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
}

/// Share of the cell area [x, x + w) x [y, y + h) that a segment covers, by 8 x 8 samples: an
/// oracle independent of the drawing library.
double coverage(const Segment& s, double x, double y, double w = 1, double h = 1) {
    int hits = 0;
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) hits += inside(s, x + (i + 0.5) * w / 8, y + (j + 0.5) * h / 8);
    return hits / 64.0;
}

/// First and last pixel of a row at or above half ink.
template <typename F>
std::pair<int, int> span(int width, F ink) {
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x)
        if (ink(x) >= 0.5) last = x, first = first < 0 ? x : first;
    return {first, last};
}

TEST(SegmentPictures, ShapesAndOverlaysHonourTheirBoxesAndTellingRows) {
    for (std::size_t k = 0; k < kSegments.size(); ++k) {
        const Segment& s = kSegments[k];
        SCOPED_TRACE(s.name);
        const Frame& overlay = picture(PictureKind::Overlay, int(k));
        ASSERT_EQ(overlay.width * 1000 + overlay.height, 70087);
        bool rim = false;
        for (int y = 0; y < kCellHeight; ++y)
            for (int x = 0; x < kCellWidth; ++x) {
                const bool inBox = x >= s.box.x0 && x <= s.box.x1 && y >= s.box.y0 && y <= s.box.y1;
                const bool nearBox =
                    x >= s.box.x0 - 1 && x <= s.box.x1 + 1 && y >= s.box.y0 - 1 && y <= s.box.y1 + 1;
                EXPECT_TRUE(inBox || coverage(s, x, y) <= 0.1) << "shape at " << x << "," << y;
                const std::uint32_t p = overlay.at(x, y);
                EXPECT_TRUE(nearBox || px::alpha(p) == 0) << "overlay at " << x << "," << y;
                // Black inside, a neutral grey rim at the edge.
                EXPECT_TRUE(px::alpha(p) < 255 || (p & 0xFFFFFFu) == 0) << x << "," << y;
                EXPECT_NEAR(px::red(p), px::blue(p), 2);
                rim = rim || (px::alpha(p) < 200 && px::red(p) * 255 > 10 * px::alpha(p));
            }
        EXPECT_TRUE(rim);
        for (int r = 0; r < s.rowCount; ++r) {
            const TellingRow row = s.rows[std::size_t(r)];
            EXPECT_EQ(span(kCellWidth, [&](int x) { return coverage(s, x, row.y); }),
                      std::make_pair(row.x0, row.x1))
                << "shape row " << row.y;
            const auto [first, last] =
                span(kCellWidth, [&](int x) { return px::alpha(overlay.at(x, row.y)) / 255.0; });
            EXPECT_TRUE(std::abs(first - row.x0) <= 1 && std::abs(last - row.x1) <= 1)
                << "overlay row " << row.y;
        }
    }
}

TEST(SegmentPictures, PreviewsAreOneFullyLitDigitOnATransparentGround) {
    for (int c = 0; c < 4; ++c) {
        const Frame& f = picture(PictureKind::Preview, c);
        const Rgb colour = kPreviewColours[std::size_t(c)];
        for (int y = 0; y < kCellHeight; y += 2) // every other row: the shapes are checked above
            for (int x = 0; x < kCellWidth; ++x) {
                double ink = 0;
                for (const Segment& s : kSegments) ink += coverage(s, x, y);
                EXPECT_NEAR(px::alpha(f.at(x, y)) / 255.0, ink, 0.25) << c << ": " << x << "," << y;
            }
        EXPECT_EQ(f.at(34, 43), px::pack(colour.r, colour.g, colour.b, 255)); // inside G
    }
}

/// How far a pixel is from the ground towards the lit colour (0 ground, 1 lit).
double litLevel(std::uint32_t p, Rgb lit) {
    const double d[3] = {lit.r - 19.0, lit.g - 20.0, lit.b - 22.0};
    const double v[3] = {px::red(p) - 19.0, px::green(p) - 20.0, px::blue(p) - 22.0};
    return (d[0] * v[0] + d[1] * v[1] + d[2] * v[2]) / (d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

/// Coverage of backdrop pixel (x, y) by segment s of the cell it lies in, computed once.
double backdropCoverage(std::size_t s, int x, int y) {
    static const auto maps = [] {
        std::vector<std::vector<double>> m(8, std::vector<double>(kBackdropWidth * kBackdropHeight));
        const double w = kCellWidth / kBackdropCellWidth, h = double(kCellHeight) / kBackdropHeight;
        for (std::size_t k = 0; k < 8; ++k)
            for (int j = 0; j < kBackdropHeight; ++j)
                for (int i = 0; i < kBackdropWidth; ++i) {
                    const double cellX = std::fmod(i, kBackdropCellWidth) * w;
                    if (cellX >= kSegments[k].box.x0 - 2 && cellX <= kSegments[k].box.x1 + 2)
                        m[k][std::size_t(j * kBackdropWidth + i)] =
                            coverage(kSegments[k], cellX, j * h, w, h);
                }
        return m;
    }();
    return maps[s][std::size_t(y * kBackdropWidth + x)];
}

TEST(SegmentPictures, BackdropsShowFourOpaqueLitDigitsInsideTheirSpans) {
    for (int c = 0; c < 4; ++c) {
        const Frame& f = picture(PictureKind::Backdrop, c);
        ASSERT_EQ(f.width * 1000 + f.height, 373115);
        EXPECT_EQ(f.at(0, 0), px::pack(19, 20, 22, 255));
        EXPECT_EQ(f.at(372, 114), px::pack(19, 20, 22, 255));
        const Rgb lit = kLitColours[std::size_t(c)];
        std::array<PixelBox, 4> ink;
        ink.fill({999, 999, -1, -1});
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                double expected = 0;
                for (std::size_t s = 0; s < 8; ++s) expected += backdropCoverage(s, x, y);
                ASSERT_EQ(px::alpha(f.at(x, y)), 255);
                EXPECT_NEAR(litLevel(f.at(x, y), lit), expected, 0.25) << c << ": " << x << "," << y;
                if (litLevel(f.at(x, y), lit) < 0.05) continue;
                PixelBox& b = ink[std::size_t(x / kBackdropCellWidth)];
                b = {std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x), std::max(b.y1, y)};
            }
        // The ink of each digit stays inside its span, give or take an anti-aliased pixel, and
        // fills most of it.
        for (std::size_t d = 0; d < 4; ++d) {
            const PixelBox want = kBackdropInk[d], got = ink[d];
            EXPECT_TRUE(got.x0 >= want.x0 - 1 && got.x1 <= want.x1 + 1 &&
                        got.x1 - got.x0 >= want.x1 - want.x0 - 4)
                << c << ": digit " << d << " ink x " << got.x0 << "-" << got.x1;
            EXPECT_TRUE(std::abs(got.y0 - want.y0) <= 1 && std::abs(got.y1 - want.y1) <= 1)
                << c << ": digit " << d;
        }
    }
}

TEST(SegmentPictures, EachOverlayCoversExactlyItsLitSegmentInEveryCell) {
    // Fully opaque overlays make the check strict; the display draws them at 85 %.
    for (int c = 0; c < 4; ++c)
        for (int d = 0; d < 4; ++d)
            for (std::size_t s = 0; s < 8; ++s) {
                const Frame& backdrop = picture(PictureKind::Backdrop, c);
                Frame f = backdrop;
                drawPicture(f, picture(PictureKind::Overlay, int(s)), d * kBackdropCellWidth, 0,
                            kBackdropCellWidth, kBackdropHeight, 100);
                double leftLit = 0, neighbourLoss = 0;
                for (int y = 0; y < f.height; ++y)
                    for (int x = int(d * kBackdropCellWidth); x < int((d + 1) * kBackdropCellWidth); ++x) {
                        const Rgb lit = kLitColours[std::size_t(c)];
                        if (backdropCoverage(s, x, y) > 0) {
                            leftLit = std::max(leftLit, litLevel(f.at(x, y), lit));
                            continue;
                        }
                        for (std::size_t o = 0; o < 8; ++o)
                            if (backdropCoverage(o, x, y) > 0)
                                neighbourLoss = std::max(neighbourLoss, litLevel(backdrop.at(x, y), lit) -
                                                                            litLevel(f.at(x, y), lit));
                    }
                // No lit fringe stays around it; only the faint tail of its rim reaches a neighbour.
                EXPECT_LT(leftLit, 0.3) << "colour " << c << " cell " << d << " segment " << s;
                EXPECT_LT(neighbourLoss, 0.08) << "colour " << c << " cell " << d << " segment " << s;
            }
}

TEST(SegmentPictures, ToolboxBitmapIsSixteenByFifteenTwentyFourBit) {
    std::ifstream in(SEG4_GENERATED_DIR "/toolbox.bmp", std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(b.size(), 54u + 16 * 15 * 3);
    const auto u32 = [&](std::size_t o) { return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | b[o + 3] << 24; };
    // Signature, file size, pixel offset, header size, width, height, planes + 24 bits, no compression.
    EXPECT_EQ(std::vector<int>({b[0], b[1], u32(2), u32(10), u32(14), u32(18), u32(22), u32(26), u32(30)}),
              std::vector<int>({'B', 'M', 774, 54, 40, 16, 15, 1 | 24 << 16, 0}));
    int red = 0; // a lit red digit on the dark face
    for (std::size_t o = 54; o < b.size(); o += 3) red += b[o + 2] > 150 && b[o + 1] < 90 && b[o] < 90;
    EXPECT_GE(red, 8);
}

} // namespace
} // namespace seg4
