// The compositor's draw: from the prepared layer set, the frame nearer to the overlays shown,
// then the runs and looked-up pixels of the overlays that differ from it.
#include "display/compositor.h"

#include "display/prepared_layer_set.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace seg4 {

using namespace compositing;

namespace {

void resizeFrame(Frame& frame, int width, int height) {
    frame.width = std::max(width, 0);
    frame.height = std::max(height, 0);
    frame.pixels.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height));
}

} // namespace

void drawPicture(Frame& frame, const Frame& picture, double left, double top, double width, double height,
                 int opacity) {
    const ScaledPicture scaled =
        resample(picture, left, top, width, height, opacity, frame.width, frame.height);
    for (int j = 0; j < scaled.h; ++j) {
        std::uint32_t* dst =
            frame.pixels.data() + static_cast<std::size_t>(scaled.y0 + j) * frame.width + scaled.x0;
        const std::uint32_t* src = scaled.pixels.data() + static_cast<std::size_t>(j) * scaled.w;
        for (int i = 0; i < scaled.w; ++i)
            if (src[i] >> 24) dst[i] = over(src[i], dst[i]);
    }
}

Compositor::Compositor() = default;
Compositor::~Compositor() = default;

namespace {

/// How many of eight bits are set (no call into the compiler's library where the processor
/// has no instruction for it).
constexpr int countOfEight(std::uint32_t bits) {
    bits = bits - ((bits >> 1) & 0x55u);
    bits = (bits & 0x33u) + ((bits >> 2) & 0x33u);
    return static_cast<int>((bits + (bits >> 4)) & 0x0Fu);
}
static_assert(countOfEight(0) == 0 && countOfEight(0xFF) == 8 && countOfEight(0xA5) == 4);

/// Pixels of a shared group for the overlays shown (bit k of `shown`: overlay k).
inline void drawGroup(std::uint32_t* out, const SharedGroup& g, const Shared* shared,
                      const std::uint32_t* sharedValues, std::uint64_t shown) {
    const auto bits =
        static_cast<std::uint32_t>(((shown >> g.overlays[0]) & 1) | ((shown >> g.overlays[1]) & 1) << 1 |
                                   ((shown >> g.overlays[2]) & 1) << 2 | ((shown >> g.overlays[3]) & 1) << 3);
    const std::uint32_t* values = sharedValues + bits;
    for (const Shared *s = shared + g.begin, *end = shared + g.end; s != end; ++s)
        out[s->index] = values[s->values];
}

} // namespace

void Compositor::draw(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                      float twipsPerPixelY, Frame& frame) {
    checkFrameSize(width, height);
    if (!(twipsPerPixelX > 0) || !(twipsPerPixelY > 0)) raise(hr::InvalidArgument);
    resizeFrame(frame, width, height);
    if (!prepared_ || !sameAsGiven(given_, layers, frame.width, frame.height, twipsPerPixelX, twipsPerPixelY))
        prepare(layers, frame.width, frame.height, twipsPerPixelX, twipsPerPixelY);
    const Prepared& p = *prepared_;
    if (p.base.empty()) return;

    // Bit k: overlay k shows. Bit kOverlays stays clear: the unused places of a shared group name it.
    // Unrolled, so that each shift is a constant and the ORs need not wait on one another.
    std::uint64_t shown = 0;
#pragma GCC unroll 32
    for (std::size_t k = 0; k < kOverlays; ++k) shown |= std::uint64_t{layers.overlays[k].visible} << k;

    // Start from the frame nearer to what shows, then copy the overlays that differ from it. When
    // the digits' own pixels lie in boxes apart, each digit starts from the frame nearer to its
    // own overlays; one whose overlays all show, or none, is then done.
    const std::uint32_t* const frames[2] = {p.base.data(), p.dark.data()};
    std::array<bool, kDigitCount> digitDark{};
    int darkDigits = 0, shownCount = 0;
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        const int count = countOfEight(static_cast<std::uint32_t>(shown >> (d * kSegmentCount)) & 0xFFu);
        shownCount += count;
        darkDigits += digitDark[d] = 2 * count > kSegmentCount;
    }
    const bool fromDark =
        p.byDigit ? 2 * darkDigits > kDigitCount : 2 * shownCount > static_cast<int>(kOverlays);
    std::uint32_t* out = frame.pixels.data();
    std::memcpy(out, frames[fromDark], p.base.size() * sizeof(std::uint32_t));
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        if (!p.byDigit) {
            digitDark[d] = fromDark;
        } else if (digitDark[d] != fromDark) {
            const Prepared::Box box = p.digitBoxes[d];
            const std::uint32_t* from = frames[digitDark[d]];
            const std::size_t rowBytes = std::size_t{box.right - box.left} * sizeof(std::uint32_t);
            for (std::uint32_t y = box.top; y < box.bottom; ++y) {
                const std::size_t start = std::size_t{y} * p.frameWidth + box.left;
                std::memcpy(out + start, from + start, rowBytes);
            }
        }
        // The overlays that differ from the digit's start frame.
        const auto pattern = static_cast<std::uint32_t>(shown >> (d * kSegmentCount)) & 0xFFu;
        const std::uint32_t differ = digitDark[d] ? ~pattern & 0xFFu : pattern;
        if (differ == 0) continue;
        const std::uint32_t* other = frames[!digitDark[d]];
        for (std::uint32_t bits = differ; bits != 0; bits &= bits - 1) {
            for (const Run& r : p.runs[d * kSegmentCount + static_cast<std::size_t>(__builtin_ctz(bits))]) {
                // Mostly a few pixels each: a plain loop beats a call. The length is read once
                // (the stores could change it, for all the compiler knows).
                const std::uint32_t* from = other + r.index;
                std::uint32_t* to = out + r.index;
                const std::uint32_t length = r.length;
                for (std::uint32_t i = 0; i < length; ++i) to[i] = from[i];
            }
        }
        for (std::uint32_t g = p.groupsFrom[d]; g < p.groupsFrom[d + 1]; ++g)
            drawGroup(out, p.sharedGroups[g], p.shared.data(), p.sharedValues.data(), shown);
    }
    for (std::uint32_t g = p.groupsFrom[kDigitCount]; g < p.groupsFrom[kDigitCount + 1]; ++g)
        drawGroup(out, p.sharedGroups[g], p.shared.data(), p.sharedValues.data(), shown);
    for (const Many& m : p.many) {
        std::uint32_t px = p.base[m.index];
        for (std::uint32_t l = m.begin; l < m.end; ++l)
            if ((shown >> p.manyLayers[l].overlay) & 1) px = over(p.manyLayers[l].pixel, px);
        out[m.index] = px;
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

} // namespace seg4
