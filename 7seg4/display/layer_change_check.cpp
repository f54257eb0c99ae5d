// Whether a draw is given what the last one was, but the overlays' visibility: the usual draw
// during a simulation, which then draws from what it has without building a key.
#include "display/prepared_layer_set.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace seg4::compositing {

namespace {

using Words = std::uint32_t __attribute__((vector_size(16)));
static_assert(offsetof(Layer, left) == 0 && offsetof(Layer, top) == 4 && offsetof(Layer, width) == 8 &&
              offsetof(Layer, height) == 12 && offsetof(Compositor::Given::Box, height) == 12);

/// A layer's box as four words, to compare bit for bit.
inline Words boxWords(const void* box) {
    Words w;
    std::memcpy(&w, box, sizeof w);
    return w;
}

} // namespace

/// Whether the layers, frame and twips per pixel are those `given` holds, but the overlays'
/// visibility. Every word is compared, none skipped on an early difference: in the usual draw
/// nothing differs.
bool sameAsGiven(const Compositor::Given& given, const LayerSet& layers, int width, int height,
                 float twipsPerPixelX, float twipsPerPixelY) {
    Words boxes{};
    int other = 0;
    unsigned backdrops = 0;
    for (std::size_t i = 0; i < kColourCount; ++i) {
        const Layer& l = layers.backdrops[i];
        boxes |= boxWords(&l) ^ boxWords(&given.boxes[i]);
        other |= l.opacity ^ given.boxes[i].opacity;
        backdrops |= unsigned{l.visible} << i;
    }
    for (std::size_t k = 0; k < kOverlayCount; ++k) {
        const Layer& l = layers.overlays[k];
        boxes |= boxWords(&l) ^ boxWords(&given.boxes[kColourCount + k]);
        other |= l.opacity ^ given.boxes[kColourCount + k].opacity;
    }
    const auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
    return (boxes[0] | boxes[1] | boxes[2] | boxes[3]) == 0 && other == 0 &&
           backdrops == given.visibleBackdrops && width == given.frameWidth && height == given.frameHeight &&
           bits(twipsPerPixelX) == bits(given.twipsPerPixelX) &&
           bits(twipsPerPixelY) == bits(given.twipsPerPixelY);
}

Compositor::Given givenOf(const LayerSet& layers, int width, int height, float twipsPerPixelX,
                          float twipsPerPixelY) {
    Compositor::Given given;
    for (std::size_t i = 0; i < Compositor::kLayers; ++i) {
        const Layer& l = i < kColourCount ? layers.backdrops[i] : layers.overlays[i - kColourCount];
        given.boxes[i] = {l.left, l.top, l.width, l.height, l.opacity};
        if (i < kColourCount && l.visible) given.visibleBackdrops |= 1u << i;
    }
    given.frameWidth = width;
    given.frameHeight = height;
    given.twipsPerPixelX = twipsPerPixelX;
    given.twipsPerPixelY = twipsPerPixelY;
    return given;
}

} // namespace seg4::compositing
