// The compositor: scaling a picture to a box once per layout, then stacking the visible layers.
#include "display/compositor.h"

#include "automation/errors.h"
#include "component/led7seg4.h"
#include "display/pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

// stb_image_write is compiled here and nowhere else; PNGs are written to memory only.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace seg4 {

namespace {

// [SECTION] Resampling

struct Tap {
    int source;
    float weight;
};

/// Which source pixels feed each frame pixel along one axis, and how much.
struct AxisMap {
    int begin = 0;             // first frame pixel touched
    int end = 0;               // one past the last
    std::vector<int> first{0}; // taps of frame pixel begin + i are taps[first[i] .. first[i + 1])
    std::vector<Tap> taps;
};

/// Maps `sourceSize` pixels onto the span [pos, pos + length) of an axis `limit` pixels long.
/// Each frame pixel averages the source area under it; when enlarging, that area is widened
/// to one source pixel, which interpolates linearly between source pixel centres. A frame
/// pixel that the span covers only partly gets weights summing to the part covered.
AxisMap mapAxis(double pos, double length, int sourceSize, int limit) {
    AxisMap m;
    if (!(length > 0) || sourceSize <= 0 || limit <= 0) return m;
    const double spanEnd = pos + length;
    const double lo = std::clamp(pos, 0.0, static_cast<double>(limit));
    const double hi = std::clamp(spanEnd, 0.0, static_cast<double>(limit));
    m.begin = static_cast<int>(std::floor(lo));
    m.end = std::max(m.begin, static_cast<int>(std::ceil(hi)));
    const double scale = sourceSize / length;
    for (int i = m.begin; i < m.end; ++i) {
        const double a = std::max<double>(i, pos);
        const double b = std::min<double>(i + 1, spanEnd);
        const double coverage = b - a;
        if (coverage > 1e-9) {
            double sa = (a - pos) * scale;
            double sb = (b - pos) * scale;
            if (sb - sa < 1.0) {
                const double centre = (sa + sb) / 2;
                sa = centre - 0.5;
                sb = centre + 0.5;
                if (sa < 0) sa = 0, sb = 1;
                if (sb > sourceSize) sb = sourceSize, sa = sourceSize - 1;
            }
            const int k0 = std::max(0, static_cast<int>(std::floor(sa)));
            const int k1 = std::min(sourceSize, static_cast<int>(std::ceil(sb)));
            for (int k = k0; k < k1; ++k) {
                const double overlap = std::min<double>(k + 1, sb) - std::max<double>(k, sa);
                if (overlap > 0) m.taps.push_back({k, static_cast<float>(overlap / (sb - sa) * coverage)});
            }
        }
        m.first.push_back(static_cast<int>(m.taps.size()));
    }
    return m;
}

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

/// `picture` resampled onto the part of the box inside a frame of `frameWidth` x `frameHeight`;
/// sets x0, y0, w, h to where that part lies.
std::vector<std::uint32_t> resample(const Frame& picture, double left, double top, double width,
                                    double height, int opacity, int frameWidth, int frameHeight, int& x0,
                                    int& y0, int& w, int& h) {
    const AxisMap mx = mapAxis(left, width, picture.width, frameWidth);
    const AxisMap my = mapAxis(top, height, picture.height, frameHeight);
    x0 = mx.begin;
    y0 = my.begin;
    w = mx.end - mx.begin;
    h = my.end - my.begin;
    std::vector<std::uint32_t> out;
    if (w <= 0 || h <= 0) {
        w = h = 0;
        return out;
    }

    // Horizontal pass over every source row, then the vertical pass.
    std::vector<Rgba> rows(static_cast<std::size_t>(picture.height) * static_cast<std::size_t>(w));
    for (int sy = 0; sy < picture.height; ++sy) {
        const std::uint32_t* src = picture.pixels.data() + static_cast<std::size_t>(sy) * picture.width;
        Rgba* dst = rows.data() + static_cast<std::size_t>(sy) * w;
        for (int i = 0; i < w; ++i) {
            Rgba acc;
            for (int t = mx.first[static_cast<std::size_t>(i)]; t < mx.first[static_cast<std::size_t>(i) + 1];
                 ++t) {
                const Tap tap = mx.taps[static_cast<std::size_t>(t)];
                const std::uint32_t p = src[tap.source];
                acc.r += tap.weight * px::red(p);
                acc.g += tap.weight * px::green(p);
                acc.b += tap.weight * px::blue(p);
                acc.a += tap.weight * px::alpha(p);
            }
            dst[i] = acc;
        }
    }

    const float fade = static_cast<float>(std::clamp(opacity, 0, 100)) / 100.0f;
    out.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            Rgba acc;
            for (int t = my.first[static_cast<std::size_t>(j)]; t < my.first[static_cast<std::size_t>(j) + 1];
                 ++t) {
                const Tap tap = my.taps[static_cast<std::size_t>(t)];
                const Rgba& p = rows[static_cast<std::size_t>(tap.source) * w + i];
                acc.r += tap.weight * p.r;
                acc.g += tap.weight * p.g;
                acc.b += tap.weight * p.b;
                acc.a += tap.weight * p.a;
            }
            const auto a = static_cast<std::uint32_t>(std::clamp(std::lround(acc.a * fade), 0L, 255L));
            const auto channel = [&](float c) {
                return static_cast<std::uint32_t>(
                    std::clamp(std::lround(c * fade), 0L, static_cast<long>(a)));
            };
            out[static_cast<std::size_t>(j) * w + i] =
                px::pack(channel(acc.r), channel(acc.g), channel(acc.b), a);
        }
    }
    return out;
}

// [SECTION] Stacking

/// Premultiplied source over destination, two channels at a time with exact rounding of x / 255.
inline std::uint32_t over(std::uint32_t s, std::uint32_t d) {
    const std::uint32_t inverse = 255 - (s >> 24);
    std::uint32_t rb = (d & 0x00FF00FFu) * inverse + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    std::uint32_t ag = ((d >> 8) & 0x00FF00FFu) * inverse + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return s + rb + ag;
}

void checkFrameSize(int width, int height) {
    // Frame indices are kept in 32 bits.
    if (width > kMaxFrameSide || height > kMaxFrameSide) raise(hr::InvalidArgument);
}

void resizeFrame(Frame& frame, int width, int height) {
    frame.width = std::max(width, 0);
    frame.height = std::max(height, 0);
    frame.pixels.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height));
}

} // namespace

void drawPicture(Frame& frame, const Frame& picture, double left, double top, double width, double height,
                 int opacity) {
    int x0 = 0, y0 = 0, w = 0, h = 0;
    const std::vector<std::uint32_t> scaled =
        resample(picture, left, top, width, height, opacity, frame.width, frame.height, x0, y0, w, h);
    for (int j = 0; j < h; ++j) {
        std::uint32_t* dst = frame.pixels.data() + static_cast<std::size_t>(y0 + j) * frame.width + x0;
        const std::uint32_t* src = scaled.data() + static_cast<std::size_t>(j) * w;
        for (int i = 0; i < w; ++i)
            if (src[i] >> 24) dst[i] = over(src[i], dst[i]);
    }
}

bool Compositor::Key::operator==(const Key& other) const {
    static_assert(sizeof(Key) == 9 * sizeof(std::uint32_t), "no padding in the key");
    return std::memcmp(this, &other, sizeof(Key)) == 0; // NOLINT(bugprone-suspicious-memory-comparison)
}

bool Compositor::prepare(std::size_t slotIndex, const Frame& picture, const Key& key) {
    Slot& slot = slots_[slotIndex];
    if (slot.key == key) return false;
    slot.key = key;
    slot.pixels =
        resample(picture, double{key.left} / key.twipsPerPixelX, double{key.top} / key.twipsPerPixelY,
                 double{key.width} / key.twipsPerPixelX, double{key.height} / key.twipsPerPixelY, key.opacity,
                 key.frameWidth, key.frameHeight, slot.x0, slot.y0, slot.w, slot.h);
    ++scaled_;
    return true;
}

void Compositor::build(unsigned visibleBackdrops, int width, int height) {
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const auto forEachPixel = [width](const Slot& slot, auto&& f) {
        for (int j = 0; j < slot.h; ++j)
            for (int i = 0; i < slot.w; ++i) {
                const std::uint32_t p = slot.pixels[static_cast<std::size_t>(j) * slot.w + i];
                if (p >> 24) f(static_cast<std::uint32_t>((slot.y0 + j) * width + slot.x0 + i), p);
            }
    };

    base_.assign(n, 0u);
    for (std::size_t b = 0; b < kColourCount; ++b)
        if (visibleBackdrops & (1u << b))
            forEachPixel(slots_[b],
                         [&](std::uint32_t index, std::uint32_t p) { base_[index] = over(p, base_[index]); });
    dark_ = base_;
    std::vector<std::uint8_t> coverers(n, 0);
    for (std::size_t k = 0; k < kOverlays; ++k)
        forEachPixel(slots_[kColourCount + k], [&](std::uint32_t index, std::uint32_t p) {
            dark_[index] = over(p, dark_[index]);
            if (coverers[index] < 255) ++coverers[index];
        });

    // Runs of the pixels each overlay touches alone; the others, with their overlays in order.
    std::vector<std::pair<std::uint32_t, ManyLayer>> shared;
    for (std::size_t k = 0; k < kOverlays; ++k) {
        std::vector<Run>& runs = runs_[k];
        runs.clear();
        forEachPixel(slots_[kColourCount + k], [&](std::uint32_t index, std::uint32_t p) {
            if (coverers[index] > 1) {
                shared.push_back({index, {static_cast<std::uint32_t>(k), p}});
            } else if (!runs.empty() && runs.back().index + runs.back().length == index) {
                ++runs.back().length;
            } else {
                runs.push_back({index, 1});
            }
        });
    }
    std::stable_sort(shared.begin(), shared.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    shared_.clear();
    sharedValues_.clear();
    many_.clear();
    manyLayers_.clear();
    for (std::size_t i = 0; i < shared.size();) {
        const std::uint32_t index = shared[i].first;
        std::size_t end = i;
        while (end < shared.size() && shared[end].first == index) ++end;
        const auto count = static_cast<std::uint32_t>(end - i);
        if (count <= 4) {
            Shared entry{index, static_cast<std::uint32_t>(sharedValues_.size()), count, {}};
            for (std::uint32_t j = 0; j < count; ++j)
                entry.overlays[j] = static_cast<std::uint8_t>(shared[i + j].second.overlay);
            for (std::uint32_t shownBits = 0; shownBits < (1u << count); ++shownBits) {
                std::uint32_t p = base_[index];
                for (std::uint32_t j = 0; j < count; ++j)
                    if (shownBits & (1u << j)) p = over(shared[i + j].second.pixel, p);
                sharedValues_.push_back(p);
            }
            shared_.push_back(entry);
        } else {
            const auto begin = static_cast<std::uint32_t>(manyLayers_.size());
            for (std::size_t j = i; j < end; ++j) manyLayers_.push_back(shared[j].second);
            many_.push_back({index, begin, static_cast<std::uint32_t>(manyLayers_.size())});
        }
        i = end;
    }
    builtBackdrops_ = visibleBackdrops;
    built_ = true;
}

void Compositor::draw(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                      float twipsPerPixelY, Frame& frame) {
    checkFrameSize(width, height);
    if (!(twipsPerPixelX > 0) || !(twipsPerPixelY > 0)) raise(hr::InvalidArgument);
    resizeFrame(frame, width, height);

    // Scale whatever changed since the last draw, visible or not, so that showing a layer later
    // costs nothing extra.
    bool rescaled = false;
    unsigned visibleBackdrops = 0;
    for (std::size_t i = 0; i < kLayers; ++i) {
        const bool isBackdrop = i < kColourCount;
        const Layer& layer = isBackdrop ? layers.backdrops[i] : layers.overlays[i - kColourCount];
        const Key key{layer.left,     layer.top,   layer.width,  layer.height, twipsPerPixelX,
                      twipsPerPixelY, frame.width, frame.height, layer.opacity};
        if (!(slots_[i].key == key)) {
            const Frame& source = isBackdrop ? picture(PictureKind::Backdrop, static_cast<int>(i))
                                             : picture(PictureKind::Overlay,
                                                       static_cast<int>((i - kColourCount) % kSegmentCount));
            rescaled = prepare(i, source, key) || rescaled;
        }
        if (isBackdrop && layer.visible) visibleBackdrops |= 1u << i;
    }
    if (rescaled || !built_ || visibleBackdrops != builtBackdrops_)
        build(visibleBackdrops, frame.width, frame.height);
    if (base_.empty()) return;

    std::array<bool, kOverlays> shown{};
    std::size_t shownCount = 0;
    for (std::size_t k = 0; k < kOverlays; ++k) shownCount += shown[k] = layers.overlays[k].visible;

    // Start from the frame nearer to what shows, then copy the overlays that differ from it.
    const bool fromDark = 2 * shownCount > kOverlays;
    const std::uint32_t* start = fromDark ? dark_.data() : base_.data();
    const std::uint32_t* other = fromDark ? base_.data() : dark_.data();
    std::uint32_t* out = frame.pixels.data();
    std::memcpy(out, start, base_.size() * sizeof(std::uint32_t));
    for (std::size_t k = 0; k < kOverlays; ++k) {
        if (shown[k] == fromDark) continue;
        for (const Run& r : runs_[k]) {
            // Mostly a few pixels each: a plain loop beats a call.
            const std::uint32_t* from = other + r.index;
            std::uint32_t* to = out + r.index;
            for (std::uint32_t i = 0; i < r.length; ++i) to[i] = from[i];
        }
    }
    for (const Shared& p : shared_) {
        std::uint32_t bits = 0;
        for (std::uint32_t j = 0; j < p.count; ++j) bits |= std::uint32_t{shown[p.overlays[j]]} << j;
        out[p.index] = sharedValues_[p.values + bits];
    }
    for (const Many& m : many_) {
        std::uint32_t p = base_[m.index];
        for (std::uint32_t l = m.begin; l < m.end; ++l)
            if (shown[manyLayers_[l].overlay]) p = over(manyLayers_[l].pixel, p);
        out[m.index] = p;
    }
}

Frame composite(const LayerSet& layers, int width, int height, float twipsPerPixelX, float twipsPerPixelY) {
    Compositor compositor;
    Frame frame;
    compositor.draw(layers, width, height, twipsPerPixelX, twipsPerPixelY, frame);
    return frame;
}

int pixelsFromTwips(float twips, float twipsPerPixel) {
    const double pixels = double{twips} / twipsPerPixel;
    if (!(pixels > 0)) return 0;
    return static_cast<int>(std::min(std::nearbyint(pixels), 1073741824.0));
}

Frame snapshot(const Led7Seg4& control, float twipsPerPixelX, float twipsPerPixelY) {
    return composite(control.layers(), pixelsFromTwips(control.extentWidthTwips(), twipsPerPixelX),
                     pixelsFromTwips(control.extentHeightTwips(), twipsPerPixelY), twipsPerPixelX,
                     twipsPerPixelY);
}

std::vector<std::uint8_t> encodePng(const Frame& frame) {
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() != static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height))
        raise(hr::InvalidArgument);
    checkFrameSize(frame.width, frame.height);
    std::vector<std::uint8_t> straight(frame.pixels.size() * 4);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
        const std::uint32_t p = frame.pixels[i];
        const std::uint32_t a = px::alpha(p);
        const auto unmultiply = [a](std::uint32_t c) {
            return a == 0 ? 0u : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
        };
        straight[4 * i + 0] = static_cast<std::uint8_t>(unmultiply(px::red(p)));
        straight[4 * i + 1] = static_cast<std::uint8_t>(unmultiply(px::green(p)));
        straight[4 * i + 2] = static_cast<std::uint8_t>(unmultiply(px::blue(p)));
        straight[4 * i + 3] = static_cast<std::uint8_t>(a);
    }
    std::vector<std::uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
    };
    if (!stbi_write_png_to_func(append, &png, frame.width, frame.height, 4, straight.data(), frame.width * 4))
        raise(hr::OutOfMemory);
    return png;
}

} // namespace seg4
