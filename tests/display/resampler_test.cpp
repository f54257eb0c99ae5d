// The resampler gives the pictures it always gave: the straightforward two-pass filter (every
// tap of every pixel summed, rounded with lround) drawn beside it, for every layer of a display
// at every size, in every colour, on screens of 15 and 12 twips per pixel.
#include "display/layout.h"
#include "display/pictures.h"
#include "display/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace seg4 {
namespace {

struct PlainTap {
    int source;
    float weight;
};

struct PlainAxis {
    int begin = 0, end = 0;
    std::vector<int> first{0};
    std::vector<PlainTap> taps;
};

PlainAxis plainAxis(double pos, double length, int sourceSize, int limit) {
    PlainAxis m;
    if (!(length > 0) || sourceSize <= 0 || limit <= 0) return m;
    const double spanEnd = pos + length;
    m.begin = static_cast<int>(std::floor(std::clamp(pos, 0.0, double(limit))));
    m.end = std::max(m.begin, static_cast<int>(std::ceil(std::clamp(spanEnd, 0.0, double(limit)))));
    const double scale = sourceSize / length;
    for (int i = m.begin; i < m.end; ++i) {
        const double a = std::max<double>(i, pos), b = std::min<double>(i + 1, spanEnd);
        if (b - a > 1e-9) {
            double sa = (a - pos) * scale, sb = (b - pos) * scale;
            if (sb - sa < 1.0) {
                const double centre = (sa + sb) / 2;
                sa = centre - 0.5, sb = centre + 0.5;
                if (sa < 0) sa = 0, sb = 1;
                if (sb > sourceSize) sb = sourceSize, sa = sourceSize - 1;
            }
            for (int k = std::max(0, int(std::floor(sa))); k < std::min(sourceSize, int(std::ceil(sb)));
                 ++k) {
                const double overlap = std::min<double>(k + 1, sb) - std::max<double>(k, sa);
                if (overlap > 0) m.taps.push_back({k, static_cast<float>(overlap / (sb - sa) * (b - a))});
            }
        }
        m.first.push_back(int(m.taps.size()));
    }
    return m;
}

struct Sums {
    float r = 0, g = 0, b = 0, a = 0;
};

ScaledPicture plainResample(const Frame& picture, double left, double top, double width, double height,
                            int opacity, int frameWidth, int frameHeight) {
    const PlainAxis mx = plainAxis(left, width, picture.width, frameWidth);
    const PlainAxis my = plainAxis(top, height, picture.height, frameHeight);
    ScaledPicture out;
    out.x0 = mx.begin, out.y0 = my.begin, out.w = mx.end - mx.begin, out.h = my.end - my.begin;
    if (out.w <= 0 || out.h <= 0) out.w = out.h = 0;
    if (out.w == 0) return out;
    const auto w = std::size_t(out.w);
    std::vector<Sums> rows(std::size_t(picture.height) * w);
    for (int sy = 0; sy < picture.height; ++sy)
        for (std::size_t i = 0; i < w; ++i) {
            Sums& acc = rows[std::size_t(sy) * w + i];
            for (int t = mx.first[i]; t < mx.first[i + 1]; ++t) {
                const PlainTap tap = mx.taps[std::size_t(t)];
                const std::uint32_t p = picture.at(tap.source, sy);
                acc.r += tap.weight * px::red(p), acc.g += tap.weight * px::green(p);
                acc.b += tap.weight * px::blue(p), acc.a += tap.weight * px::alpha(p);
            }
        }
    const float fade = static_cast<float>(std::clamp(opacity, 0, 100)) / 100.0f;
    for (std::size_t j = 0; j < std::size_t(out.h); ++j)
        for (std::size_t i = 0; i < w; ++i) {
            Sums acc;
            for (int t = my.first[j]; t < my.first[j + 1]; ++t) {
                const PlainTap tap = my.taps[std::size_t(t)];
                const Sums& p = rows[std::size_t(tap.source) * w + i];
                acc.r += tap.weight * p.r, acc.g += tap.weight * p.g;
                acc.b += tap.weight * p.b, acc.a += tap.weight * p.a;
            }
            const long a = std::clamp(std::lround(acc.a * fade), 0L, 255L);
            const auto c = [&](float v) { return std::uint32_t(std::clamp(std::lround(v * fade), 0L, a)); };
            out.pixels.push_back(px::pack(c(acc.r), c(acc.g), c(acc.b), std::uint32_t(a)));
        }
    return out;
}

TEST(Resampler, EveryLayerAtEverySizeIsThePlainFiltersPicture) {
    for (const float twips : {15.0f, 12.0f})
        for (int size = 20; size <= 85; size += twips == 15.0f ? 1 : 5) {
            Led7Seg4State state;
            state.m_lLEDSize = size;
            display::Layout layout;
            layout.paint(state, twips, twips);
            const LayerSet& layers = layout.layers();
            const int width = int(std::lround(display::extentFor(size, twips, twips).width / twips));
            const auto check = [&](const Layer& l, const Frame& picture, const std::string& what) {
                const double left = l.left / twips, top = l.top / twips, w = l.width / twips,
                             h = l.height / twips;
                const ScaledPicture fast = resample(picture, left, top, w, h, l.opacity, width, size);
                const ScaledPicture plain = plainResample(picture, left, top, w, h, l.opacity, width, size);
                ASSERT_EQ(fast.x0, plain.x0) << what;
                ASSERT_EQ(fast.w, plain.w) << what;
                ASSERT_EQ(fast.h, plain.h) << what;
                ASSERT_TRUE(fast.pixels == plain.pixels) << what;
            };
            const std::string at =
                " at " + std::to_string(size) + ", " + std::to_string(int(twips)) + " twips";
            for (int c = 0; c < kColourCount; ++c)
                check(layers.backdrops[std::size_t(c)], picture(PictureKind::Backdrop, c),
                      "backdrop " + std::to_string(c) + at);
            for (std::size_t k = 0; k < kOverlayCount; ++k)
                check(layers.overlays[k], picture(PictureKind::Overlay, int(k % kSegmentCount)),
                      "overlay " + std::to_string(k) + at);
        }
}

} // namespace
} // namespace seg4
