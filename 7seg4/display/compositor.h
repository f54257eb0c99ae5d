// Turns a display's layers into pixels: each visible layer's picture stretched to its box, at
// its opacity, stacked in order. The same code draws on every platform (the Windows module's
// view drawing, qhost's snapshots), so pictures of one display agree pixel for pixel.
#pragma once

#include "display/frame.h"
#include "model/layers.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace seg4 {

/// Frames are refused beyond this many pixels a side (invalid argument): a stored size can ask
/// for a control far larger than any screen.
inline constexpr int kMaxFrameSide = 16384;

/// Draws `picture` stretched to the box (frame pixels, fractional allowed) over `frame`, at
/// `opacity` percent, with the filter of resample() (resampler.h). Boxes with no width or
/// height draw nothing.
void drawPicture(Frame& frame, const Frame& picture, double left, double top, double width, double height,
                 int opacity = 100);

/// Draws the visible layers of a display, backdrops 0..3 first, then overlays 0..31; backdrop i
/// shows backdrop picture i and overlay 8 * d + s overlay picture s. Layer boxes are in twips
/// and become pixels with the given twips per pixel. Pixels no layer covers stay transparent.
///
/// What a draw needs besides the overlays' visibility (every layer's picture scaled for its
/// box, and from them two frames: the visible backdrops alone, and with every overlay stacked
/// on them) depends only on the boxes, the visible backdrops, the frame size and the twips per
/// pixel. It is kept once per process for each such set and shared by every compositor that
/// draws one, whatever thread it runs on: a thousand displays of one size and colour keep one
/// copy, and a snapshot of a display drawn before scales nothing. Most overlay pixels belong to
/// one overlay only, so a draw starts from whichever of the two frames is closer to the
/// overlays shown and copies the runs of the overlays that differ from the other; the few pixels
/// several overlays touch are looked up. A change of box, frame size or twips per pixel rescales
/// just the layers it touches.
class Compositor {
public:
    Compositor();
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    /// Draws into `frame`, which becomes `width` x `height`; its old pixels are not used.
    /// Negative sizes give an empty frame; sides beyond kMaxFrameSide and twips per pixel that
    /// are not positive fail with the invalid-argument result.
    void draw(const LayerSet& layers, int width, int height, float twipsPerPixelX, float twipsPerPixelY,
              Frame& frame);

    /// How many layer pictures this compositor scaled itself (each costs far more than a draw;
    /// what the process had kept already costs nothing).
    std::uint64_t scaledPictures() const noexcept { return scaled_; }

    /// Bytes the process keeps for drawing, over every compositor.
    static std::size_t sharedBytes();
    /// Lets go of what no compositor uses now (the process otherwise keeps a few such sets for
    /// the next snapshot).
    static void releaseUnused();

    struct Key {
        float left = 0, top = 0, width = 0, height = 0;
        float twipsPerPixelX = 0, twipsPerPixelY = 0;
        int frameWidth = -1, frameHeight = -1;
        int opacity = 0;
        /// Bitwise: a cache key, where telling -0 from 0 only costs a needless rescale.
        bool operator==(const Key& other) const;
    };
    static constexpr std::size_t kLayers = kColourCount + std::size_t{kDigitCount} * kSegmentCount;
    static constexpr std::size_t kOverlays = std::size_t{kDigitCount} * kSegmentCount;
    /// Every layer's key (a hidden backdrop's left empty: it is not drawn) and the visible backdrops.
    struct SetKey {
        std::array<Key, kLayers> layers{};
        unsigned visibleBackdrops = 0;
        bool operator==(const SetKey& other) const;
    };
    struct Prepared;

    /// What the last draw was given but the overlays' visibility: a draw given the same again
    /// draws from what it has without building a key. Floats are compared bit for bit, and every
    /// box is kept (a hidden backdrop's too), so "the same" is never wrong; at worst a change
    /// that does not matter builds the key once.
    struct Given {
        struct Box {
            float left = 0, top = 0, width = 0, height = 0;
            int opacity = 0;
        };
        std::array<Box, kLayers> boxes{};
        unsigned visibleBackdrops = 0;
        int frameWidth = -1, frameHeight = -1;
        float twipsPerPixelX = 0, twipsPerPixelY = 0;
    };

private:
    /// Finds or builds what the layers need (a change of anything but the overlays' visibility).
    void prepare(const LayerSet& layers, int width, int height, float twipsPerPixelX, float twipsPerPixelY);

    Given given_;
    std::shared_ptr<const Prepared> prepared_;
    std::uint64_t scaled_ = 0;
};

/// One drawing without a kept cache.
Frame composite(const LayerSet& layers, int width, int height, float twipsPerPixelX, float twipsPerPixelY);

/// Whole pixels of a length in twips (nearest; never negative).
int pixelsFromTwips(float twips, float twipsPerPixel);

/// The frame as a PNG file (straight alpha RGBA). An empty frame fails with invalid argument.
std::vector<std::uint8_t> encodePng(const Frame& frame);

} // namespace seg4
