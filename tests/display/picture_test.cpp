// The segment geometry and the pictures drawn from it: boxes, telling rows, colours, and the
// overlays lying exactly over the lit segments of every backdrop cell.
#include "automation/errors.h"
#include "display/compositor.h"
#include "display/pictures.h"
#include "display/segment_geometry.h"
#include "geometry_raster.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace seg4 {
namespace {

using geometry::kSegments;

/// Pixels of a row whose value is at least `threshold`: first and last, or -1 when none.
template <typename F>
std::pair<int, int> inkSpan(int width, F value, double threshold) {
    int first = -1, last = -1;
    for (int x = 0; x < width; ++x)
        if (value(x) >= threshold) {
            if (first < 0) first = x;
            last = x;
        }
    return {first, last};
}

// [SECTION] The geometry table

TEST(SegmentGeometry, EveryShapeFillsItsBoxAndTellingRowsExactly) {
    for (const geometry::Segment& s : kSegments) {
        SCOPED_TRACE(s.name);
        const std::vector<double> cov = test::coverageMap(s);
        const auto at = [&](int x, int y) {
            return cov[static_cast<std::size_t>(y * geometry::kCellWidth + x)];
        };
        // Every pixel the shape touches noticeably is inside its box; the pixels it mostly
        // covers reach every side of the box.
        int minX = 99, minY = 99, maxX = -1, maxY = -1;
        for (int y = 0; y < geometry::kCellHeight; ++y)
            for (int x = 0; x < geometry::kCellWidth; ++x) {
                if (at(x, y) > 0.1) {
                    EXPECT_TRUE(x >= s.box.x0 && x <= s.box.x1 && y >= s.box.y0 && y <= s.box.y1)
                        << "ink at " << x << "," << y << " = " << at(x, y);
                }
                if (at(x, y) >= 0.5) {
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
                    minY = std::min(minY, y), maxY = std::max(maxY, y);
                }
            }
        EXPECT_LE(std::abs(minX - s.box.x0), 1);
        EXPECT_LE(std::abs(maxX - s.box.x1), 1);
        EXPECT_EQ(minY, s.box.y0);
        EXPECT_EQ(maxY, s.box.y1);
        for (int r = 0; r < s.rowCount; ++r) {
            const geometry::TellingRow row = s.rows[static_cast<std::size_t>(r)];
            const auto [first, last] = inkSpan(
                geometry::kCellWidth, [&](int x) { return at(x, row.y); }, 0.5);
            EXPECT_EQ(first, row.x0) << "row " << row.y;
            EXPECT_EQ(last, row.x1) << "row " << row.y;
        }
    }
}

TEST(SegmentGeometry, BarsAreSevenPixelsThickAndLeanOnePixelInSix) {
    // Thickness across each telling row of the vertical bars, and the lean between two rows.
    struct Bar {
        int segment;
    };
    for (const Bar bar : {Bar{1}, Bar{2}, Bar{4}, Bar{5}}) {
        const geometry::Segment& s = kSegments[static_cast<std::size_t>(bar.segment)];
        SCOPED_TRACE(s.name);
        const std::vector<double> cov = test::coverageMap(s);
        double centre[2] = {};
        for (int r = 0; r < 2; ++r) {
            const int y = s.rows[static_cast<std::size_t>(r)].y;
            double width = 0, moment = 0;
            for (int x = 0; x < geometry::kCellWidth; ++x) {
                const double c = cov[static_cast<std::size_t>(y * geometry::kCellWidth + x)];
                width += c;
                moment += c * (x + 0.5);
            }
            EXPECT_NEAR(width, 7.5, 0.6) << "row " << y;
            centre[r] = moment / width;
        }
        const double rise = s.rows[1].y - s.rows[0].y;
        EXPECT_NEAR((centre[0] - centre[1]) / rise, 1.0 / 6.0, 0.02);
    }
}

TEST(SegmentGeometry, NeighbouringSegmentsNeverTouch) {
    // An overlay's rim reaches half a pixel beyond its shape; neighbours stay clear of it.
    for (std::size_t i = 0; i < kSegments.size(); ++i)
        for (std::size_t j = 0; j < kSegments.size(); ++j) {
            if (i == j) continue;
            double nearest = 1e9;
            for (const geometry::Point p : test::outlinePoints(kSegments[i]))
                nearest = std::min(nearest, test::distanceToSegment(kSegments[j], p));
            EXPECT_GE(nearest, 1.0) << kSegments[i].name << " to " << kSegments[j].name;
        }
}

// [SECTION] The generated pictures

TEST(Pictures, KindsHaveTheirCountsAndSizes) {
    struct Row {
        PictureKind kind;
        int count, width, height;
    };
    for (const Row r : {Row{PictureKind::Backdrop, 4, 373, 115}, Row{PictureKind::Overlay, 8, 70, 87},
                        Row{PictureKind::Preview, 4, 70, 87}}) {
        EXPECT_EQ(pictureCount(r.kind), r.count);
        for (int i = 0; i < r.count; ++i) {
            const Frame& f = picture(r.kind, i);
            EXPECT_EQ(f.width, r.width);
            EXPECT_EQ(f.height, r.height);
            EXPECT_EQ(f.pixels.size(), static_cast<std::size_t>(r.width * r.height));
            // Decoded once: the same object every time.
            EXPECT_EQ(&f, &picture(r.kind, i));
        }
        for (const int bad : {-1, r.count}) {
            try {
                picture(r.kind, bad);
                ADD_FAILURE() << "index " << bad << " accepted";
            } catch (const ComError& e) {
                EXPECT_EQ(e.code(), hr::SubscriptOutOfRange);
            }
        }
    }
}

TEST(Pictures, OverlaysHoldTheirSegmentInBlackWithinOnePixel) {
    for (int s = 0; s < 8; ++s) {
        const geometry::Segment& seg = kSegments[static_cast<std::size_t>(s)];
        SCOPED_TRACE(seg.name);
        const Frame& f = picture(PictureKind::Overlay, s);
        const auto a = [&](int x, int y) { return px::alpha(f.at(x, y)) / 255.0; };
        bool rim = false;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const std::uint32_t p = f.at(x, y);
                if (px::alpha(p) == 0) continue;
                EXPECT_TRUE(x >= seg.box.x0 - 1 && x <= seg.box.x1 + 1 && y >= seg.box.y0 - 1 &&
                            y <= seg.box.y1 + 1)
                    << "ink at " << x << "," << y;
                if (px::alpha(p) == 255) {
                    EXPECT_EQ(p & 0xFFFFFFu, 0u) << "interior not black at " << x << "," << y;
                }
                // The rim: a neutral grey edge.
                const double r = test::straight(px::red(p), px::alpha(p));
                EXPECT_NEAR(r, test::straight(px::green(p), px::alpha(p)), 3.0);
                if (px::alpha(p) < 200 && r > 10) rim = true;
            }
        EXPECT_TRUE(rim) << "no grey rim";
        for (int r = 0; r < seg.rowCount; ++r) {
            const geometry::TellingRow row = seg.rows[static_cast<std::size_t>(r)];
            const auto [first, last] = inkSpan(
                f.width, [&](int x) { return a(x, row.y); }, 0.5);
            EXPECT_LE(std::abs(first - row.x0), 1) << "row " << row.y;
            EXPECT_LE(std::abs(last - row.x1), 1) << "row " << row.y;
            for (int x = row.x0 + 1; x < row.x1; ++x) EXPECT_EQ(a(x, row.y), 1.0) << x << "," << row.y;
        }
    }
}

TEST(Pictures, PreviewsAreOneFullyLitDigitOnATransparentGround) {
    std::vector<std::vector<double>> maps;
    for (const geometry::Segment& s : kSegments) maps.push_back(test::coverageMap(s));
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        const Frame& f = picture(PictureKind::Preview, c);
        const geometry::Rgb colour = geometry::kPreviewColours[static_cast<std::size_t>(c)];
        int worse = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                double expected = 0;
                for (const auto& m : maps) expected += m[static_cast<std::size_t>(y * f.width + x)];
                const std::uint32_t p = f.at(x, y);
                const double alpha = px::alpha(p) / 255.0;
                if (std::abs(alpha - std::min(expected, 1.0)) > 0.25) ++worse;
                if (px::alpha(p) > 64) {
                    EXPECT_NEAR(test::straight(px::red(p), px::alpha(p)), colour.r, 4) << x << "," << y;
                    EXPECT_NEAR(test::straight(px::green(p), px::alpha(p)), colour.g, 4) << x << "," << y;
                    EXPECT_NEAR(test::straight(px::blue(p), px::alpha(p)), colour.b, 4) << x << "," << y;
                }
            }
        EXPECT_EQ(worse, 0);
        EXPECT_EQ(px::alpha(f.at(0, 0)), 0);
        EXPECT_EQ(px::alpha(f.at(35, 25)), 0); // inside the upper loop of the 8
    }
}

/// How far a backdrop pixel is from the ground towards the lit colour (0 ground, 1 lit).
double litLevel(std::uint32_t p, geometry::Rgb lit) {
    const geometry::Rgb g = geometry::kGround;
    const double d[3] = {double(lit.r) - g.r, double(lit.g) - g.g, double(lit.b) - g.b};
    const double v[3] = {double(px::red(p)) - g.r, double(px::green(p)) - g.g, double(px::blue(p)) - g.b};
    return (d[0] * v[0] + d[1] * v[1] + d[2] * v[2]) / (d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

/// Coverage of every backdrop pixel by segment s of the digit cell the pixel lies in.
const std::vector<std::vector<double>>& backdropCoverage() {
    static const std::vector<std::vector<double>> maps = [] {
        std::vector<std::vector<double>> m;
        const double sx = geometry::kCellWidth / geometry::kBackdropCellWidth;
        const double sy = double(geometry::kCellHeight) / geometry::kBackdropHeight;
        for (const geometry::Segment& s : kSegments) {
            std::vector<double> map(geometry::kBackdropWidth * geometry::kBackdropHeight);
            for (int y = 0; y < geometry::kBackdropHeight; ++y)
                for (int x = 0; x < geometry::kBackdropWidth; ++x) {
                    const int cell = std::min(3, static_cast<int>(x / geometry::kBackdropCellWidth));
                    map[static_cast<std::size_t>(y * geometry::kBackdropWidth + x)] = test::segmentCoverage(
                        s, (x - cell * geometry::kBackdropCellWidth) * sx, y * sy, sx, sy);
                }
            m.push_back(std::move(map));
        }
        return m;
    }();
    return maps;
}

double backdropCoverage(int segment, int x, int y) {
    return backdropCoverage()[static_cast<std::size_t>(segment)]
                             [static_cast<std::size_t>(y * geometry::kBackdropWidth + x)];
}

TEST(Pictures, BackdropsShowFourLitDigitsOnTheGround) {
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        const Frame& f = picture(PictureKind::Backdrop, c);
        const geometry::Rgb lit = geometry::kLitColours[static_cast<std::size_t>(c)];
        std::array<geometry::PixelBox, 4> ink{}, faintInk{};
        ink.fill({9999, 9999, -1, -1});
        faintInk.fill({9999, 9999, -1, -1});
        int worse = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const std::uint32_t p = f.at(x, y);
                ASSERT_EQ(px::alpha(p), 255) << x << "," << y;
                double expected = 0;
                for (int s = 0; s < 8; ++s) expected += backdropCoverage(s, x, y);
                if (std::abs(litLevel(p, lit) - std::min(1.0, expected)) > 0.25) ++worse;
                const auto cell =
                    static_cast<std::size_t>(std::min(3, int(x / geometry::kBackdropCellWidth)));
                const auto grow = [x, y](geometry::PixelBox& box) {
                    box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x),
                           std::max(box.y1, y)};
                };
                if (litLevel(p, lit) >= 0.5) grow(ink[cell]);
                if (litLevel(p, lit) >= 0.05) grow(faintInk[cell]);
            }
        EXPECT_EQ(worse, 0);
        EXPECT_EQ(f.at(0, 0), px::pack(19, 20, 22, 255));
        EXPECT_EQ(f.at(372, 114), px::pack(19, 20, 22, 255));
        // A point in the middle of segment G of digit 2 is exactly the lit colour.
        EXPECT_EQ(f.at(int(2 * geometry::kBackdropCellWidth + 34 * 93.25 / 70), int(43.5 * 115 / 87)),
                  px::pack(lit.r, lit.g, lit.b, 255));
        // The ink of each digit lies inside its span (give or take an anti-aliased pixel) and
        // fills most of it.
        for (int d = 0; d < 4; ++d) {
            SCOPED_TRACE(testing::Message() << "digit cell " << d);
            const geometry::PixelBox want = geometry::kBackdropInk[static_cast<std::size_t>(d)];
            const geometry::PixelBox faint = faintInk[static_cast<std::size_t>(d)];
            const geometry::PixelBox got = ink[static_cast<std::size_t>(d)];
            EXPECT_GE(faint.x0, want.x0 - 1);
            EXPECT_LE(faint.x1, want.x1 + 1);
            EXPECT_GE(faint.y0, want.y0 - 1);
            EXPECT_LE(faint.y1, want.y1 + 1);
            EXPECT_GE(got.x1 - got.x0 + 1, want.x1 - want.x0 + 1 - 4);
            EXPECT_LE(std::abs(got.y0 - want.y0), 1);
            EXPECT_LE(std::abs(got.y1 - want.y1), 1);
        }
    }
}

TEST(Pictures, EachOverlayCoversExactlyItsLitSegmentInEveryCell) {
    // Fully opaque overlays make the check strict; the display draws them at 85 %.
    for (int c = 0; c < 4; ++c) {
        const Frame& backdrop = picture(PictureKind::Backdrop, c);
        const geometry::Rgb lit = geometry::kLitColours[static_cast<std::size_t>(c)];
        for (int d = 0; d < 4; ++d)
            for (int s = 0; s < 8; ++s) {
                SCOPED_TRACE(testing::Message()
                             << "colour " << c << " cell " << d << " segment " << kSegments[s].name);
                Frame f = backdrop;
                drawPicture(f, picture(PictureKind::Overlay, s), d * geometry::kBackdropCellWidth, 0,
                            geometry::kBackdropCellWidth, geometry::kBackdropHeight, 100);
                double brightestLeft = 0, neighbourLoss = 0;
                const int x0 = static_cast<int>(d * geometry::kBackdropCellWidth);
                for (int y = 0; y < f.height; ++y)
                    for (int x = std::max(0, x0 - 2); x < std::min(f.width, x0 + 96); ++x) {
                        if (backdropCoverage(s, x, y) > 0) {
                            brightestLeft = std::max(brightestLeft, litLevel(f.at(x, y), lit));
                            continue;
                        }
                        for (int o = 0; o < 8; ++o)
                            if (backdropCoverage(o, x, y) > 0)
                                neighbourLoss = std::max(neighbourLoss, litLevel(backdrop.at(x, y), lit) -
                                                                            litLevel(f.at(x, y), lit));
                    }
                // Only the faint tail of the rim may touch a neighbour's edge pixels.
                EXPECT_LT(brightestLeft, 0.3) << "lit fringe left around the overlay";
                EXPECT_LT(neighbourLoss, 0.08) << "overlay reaches into a neighbour";
            }
    }
}

TEST(Pictures, ToolboxBitmapIsSixteenByFifteenTwentyFourBit) {
    std::ifstream in(std::string(SEG4_GENERATED_DIR) + "/toolbox.bmp", std::ios::binary);
    ASSERT_TRUE(in);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto u32 = [&](std::size_t o) { return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | b[o + 3] << 24; };
    const auto u16 = [&](std::size_t o) { return b[o] | b[o + 1] << 8; };
    ASSERT_EQ(b.size(), 54u + 16 * 3 * 15);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(2), b.size());
    EXPECT_EQ(u32(10), 54);
    EXPECT_EQ(u32(14), 40);
    EXPECT_EQ(u32(18), 16); // width
    EXPECT_EQ(u32(22), 15); // height, bottom-up
    EXPECT_EQ(u16(26), 1);
    EXPECT_EQ(u16(28), 24);
    EXPECT_EQ(u32(30), 0); // uncompressed
    // It shows a red digit on the dark face: some pixels are mostly red.
    int red = 0;
    for (std::size_t o = 54; o + 2 < b.size(); o += 3)
        if (b[o + 2] > 150 && b[o + 1] < 90 && b[o] < 90) ++red; // stored blue, green, red
    EXPECT_GE(red, 8);
}

} // namespace
} // namespace seg4
