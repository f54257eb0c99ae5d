// A prepared layer set: from the layers' scaled pictures, the two frames a draw starts from
// (the visible backdrops alone, and every overlay over them), the runs of pixels each overlay
// touches alone, and the few pixels several overlays touch with their values looked up.
#include "display/prepared_layer_set.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace seg4 {

using namespace compositing;

void Compositor::Prepared::build(int width, int height) {
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const auto forEachPixel = [this, width](std::size_t layer, auto&& f) {
        const ScaledPicture& slot = *slots[layer];
        const Place at = places[layer];
        for (int j = 0; j < slot.h; ++j)
            for (int i = slot.rowFrom[static_cast<std::size_t>(j)];
                 i < slot.rowTo[static_cast<std::size_t>(j)]; ++i) {
                const std::uint32_t p = slot.pixels[static_cast<std::size_t>(j) * slot.w + i];
                if (p >> 24) {
                    const auto x = static_cast<std::uint32_t>(at.x0 + i);
                    const auto y = static_cast<std::uint32_t>(at.y0 + j);
                    f(y * static_cast<std::uint32_t>(width) + x, p);
                }
            }
    };

    base.assign(n, 0u);
    const unsigned backdrops = key.visibleBackdrops;
    if (backdrops != 0 && (backdrops & (backdrops - 1)) == 0) {
        // One backdrop over nothing: its pixels as they are (a pixel over a transparent one is
        // itself).
        const auto layer = static_cast<std::size_t>(__builtin_ctz(backdrops));
        const ScaledPicture& slot = *slots[layer];
        for (int j = 0; j < slot.h; ++j)
            std::memcpy(
                base.data() + static_cast<std::size_t>(places[layer].y0 + j) * width + places[layer].x0,
                slot.pixels.data() + static_cast<std::size_t>(j) * slot.w, slot.w * sizeof(std::uint32_t));
    } else {
        for (std::size_t b = 0; b < kColourCount; ++b)
            if (backdrops & (1u << b))
                forEachPixel(
                    b, [&](std::uint32_t index, std::uint32_t p) { base[index] = over(p, base[index]); });
    }
    dark = base;
    std::vector<std::uint8_t> coverers(n, 0);
    for (std::size_t k = 0; k < kOverlays; ++k)
        forEachPixel(kColourCount + k, [&](std::uint32_t index, std::uint32_t p) {
            dark[index] = over(p, dark[index]);
            if (coverers[index] < 255) ++coverers[index];
        });

    // Runs of the pixels each overlay touches alone; the others, with their overlays in order.
    std::vector<std::pair<std::uint32_t, ManyLayer>> pile;
    // The box around each digit's own pixels, for starting each digit from its nearer frame.
    frameWidth = static_cast<std::uint32_t>(width);
    const Box none{static_cast<std::uint32_t>(width), 0, static_cast<std::uint32_t>(height), 0};
    digitBoxes.fill(none);
    for (std::size_t k = 0; k < kOverlays; ++k) {
        std::vector<Run>& own = runs[k];
        Box& box = digitBoxes[k / kSegmentCount];
        forEachPixel(kColourCount + k, [&](std::uint32_t index, std::uint32_t p) {
            if (coverers[index] > 1) {
                pile.push_back({index, {static_cast<std::uint32_t>(k), p}});
                return;
            }
            if (!own.empty() && own.back().index + own.back().length == index)
                ++own.back().length;
            else
                own.push_back({index, 1});
        });
        for (const Run& r : own) {
            const std::uint32_t last = r.index + r.length - 1;
            std::uint32_t left = r.index % frameWidth, right = last % frameWidth + 1;
            const std::uint32_t top = r.index / frameWidth, bottom = last / frameWidth + 1;
            if (bottom - top > 1) left = 0, right = frameWidth; // a run on from one row to the next
            box = {std::min(box.left, left), std::max(box.right, right), std::min(box.top, top),
                   std::max(box.bottom, bottom)};
        }
    }
    std::stable_sort(pile.begin(), pile.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // Shared pixels by their overlays, the four places packed in one number for quick sorting.
    std::vector<std::pair<std::uint32_t, Shared>> byOverlays;
    for (std::size_t i = 0; i < pile.size();) {
        const std::uint32_t index = pile[i].first;
        std::size_t end = i;
        while (end < pile.size() && pile[end].first == index) ++end;
        const auto count = static_cast<std::uint32_t>(end - i);
        if (count <= 4) {
            std::array<std::uint8_t, 4> overlays;
            overlays.fill(static_cast<std::uint8_t>(kOverlays));
            for (std::uint32_t j = 0; j < count; ++j)
                overlays[j] = static_cast<std::uint8_t>(pile[i + j].second.overlay);
            std::uint32_t packed;
            std::memcpy(&packed, overlays.data(), sizeof packed);
            byOverlays.push_back({packed, {index, static_cast<std::uint32_t>(sharedValues.size())}});
            for (std::uint32_t shownBits = 0; shownBits < (1u << count); ++shownBits) {
                std::uint32_t p = base[index];
                for (std::uint32_t j = 0; j < count; ++j)
                    if (shownBits & (1u << j)) p = over(pile[i + j].second.pixel, p);
                sharedValues.push_back(p);
            }
        } else {
            const auto begin = static_cast<std::uint32_t>(manyLayers.size());
            for (std::size_t j = i; j < end; ++j) manyLayers.push_back(pile[j].second);
            many.push_back({index, begin, static_cast<std::uint32_t>(manyLayers.size())});
        }
        i = end;
    }
    // Any order within a group will do: its pixels are distinct.
    std::sort(byOverlays.begin(), byOverlays.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < byOverlays.size(); ++i) {
        if (i == 0 || byOverlays[i].first != byOverlays[i - 1].first) {
            SharedGroup group{{}, static_cast<std::uint32_t>(i), 0};
            std::memcpy(group.overlays.data(), &byOverlays[i].first, sizeof byOverlays[i].first);
            sharedGroups.push_back(group);
        }
        shared.push_back(byOverlays[i].second);
        sharedGroups.back().end = static_cast<std::uint32_t>(i + 1);
    }

    // The groups by digit, those of several digits last; a digit's box takes in its groups'
    // pixels, so that a digit that starts from a frame of its own finds them there.
    const auto digitOf = [](const SharedGroup& g) {
        const std::uint32_t d = g.overlays[0] / kSegmentCount;
        for (const std::uint8_t o : g.overlays)
            if (o != kOverlays && o / kSegmentCount != d) return std::uint32_t{kDigitCount};
        return d;
    };
    std::stable_sort(sharedGroups.begin(), sharedGroups.end(),
                     [&](const SharedGroup& a, const SharedGroup& b) { return digitOf(a) < digitOf(b); });
    groupsFrom.fill(static_cast<std::uint32_t>(sharedGroups.size()));
    for (std::size_t i = sharedGroups.size(); i-- > 0;) {
        const std::uint32_t d = digitOf(sharedGroups[i]);
        for (std::uint32_t e = 0; e <= d; ++e) groupsFrom[e] = static_cast<std::uint32_t>(i);
        if (d == kDigitCount) continue;
        Box& box = digitBoxes[d];
        for (std::uint32_t k = sharedGroups[i].begin; k < sharedGroups[i].end; ++k) {
            const std::uint32_t x = shared[k].index % frameWidth, y = shared[k].index / frameWidth;
            box = {std::min(box.left, x), std::max(box.right, x + 1), std::min(box.top, y),
                   std::max(box.bottom, y + 1)};
        }
    }

    byDigit = true;
    for (std::size_t d = 0; d < kDigitCount; ++d) {
        Box& box = digitBoxes[d];
        if (box.left >= box.right) box = {}; // no pixel of its own: nothing to start
        for (std::size_t e = 0; e < d; ++e) {
            const Box& other = digitBoxes[e];
            if (box.left < other.right && other.left < box.right && box.top < other.bottom &&
                other.top < box.bottom)
                byDigit = false;
        }
    }
}

std::size_t Compositor::Prepared::bytesWithoutSlots() const {
    std::size_t bytes = sizeof(*this) + (base.capacity() + dark.capacity() + sharedValues.capacity()) * 4 +
                        shared.capacity() * sizeof(Shared) + sharedGroups.capacity() * sizeof(SharedGroup) +
                        many.capacity() * sizeof(Many) + manyLayers.capacity() * sizeof(ManyLayer);
    for (const auto& r : runs) bytes += r.capacity() * sizeof(Run);
    return bytes;
}

} // namespace seg4
