// Turns a display's layers into pixels: each visible layer's picture stretched to its box, at
// its opacity, stacked in order. The same code draws on every platform (the Windows module's
// view drawing, qhost's snapshots), so pictures of one display agree pixel for pixel.
#pragma once

#include "component/layers.h"
#include "display/frame.h"

#include <array>
#include <cstdint>
#include <vector>

namespace seg4 {

class Led7Seg4;

/// Frames are refused beyond this many pixels a side (invalid argument): a stored size can ask
/// for a control far larger than any screen.
inline constexpr int kMaxFrameSide = 16384;

/// Draws `picture` stretched to the box (frame pixels, fractional allowed) over `frame`, at
/// `opacity` percent. The filter averages the source area under each frame pixel (linear
/// interpolation when enlarging) on premultiplied colour; box edges that cut a pixel cover it
/// partly. Boxes with no width or height draw nothing.
void drawPicture(Frame& frame, const Frame& picture, double left, double top, double width, double height,
                 int opacity = 100);

/// Draws the visible layers of a display, backdrops 0..3 first, then overlays 0..31; backdrop i
/// shows backdrop picture i and overlay 8 * d + s overlay picture s. Layer boxes are in twips
/// and become pixels with the given twips per pixel. Pixels no layer covers stay transparent.
///
/// Keeps every layer's picture scaled for its current box, and from them two frames: the
/// visible backdrops alone, and with every overlay stacked on them. Most overlay pixels belong
/// to one overlay only, so a draw starts from whichever of the two frames is closer to the
/// overlays shown and copies the runs of the overlays that differ from the other; the few pixels
/// several overlays touch are looked up. Fully transparent overlay pixels cost
/// nothing. A change of box, frame size or twips per pixel rescales just the layers it touches.
class Compositor {
public:
    /// Draws into `frame`, which becomes `width` x `height`; its old pixels are not used.
    /// Negative sizes give an empty frame; sides beyond kMaxFrameSide and twips per pixel that
    /// are not positive fail with the invalid-argument result.
    void draw(const LayerSet& layers, int width, int height, float twipsPerPixelX, float twipsPerPixelY,
              Frame& frame);

    /// How many layer pictures were scaled so far (each costs far more than a draw).
    std::uint64_t scaledPictures() const noexcept { return scaled_; }

private:
    static constexpr std::size_t kLayers = kColourCount + std::size_t{kDigitCount} * kSegmentCount;
    static constexpr std::size_t kOverlays = std::size_t{kDigitCount} * kSegmentCount;

    struct Key {
        float left = 0, top = 0, width = 0, height = 0;
        float twipsPerPixelX = 0, twipsPerPixelY = 0;
        int frameWidth = -1, frameHeight = -1;
        int opacity = 0;
        /// Bitwise: a cache key, where telling -0 from 0 only costs a needless rescale.
        bool operator==(const Key& other) const;
    };
    /// A layer's picture scaled and clipped to its box in one frame size.
    struct Slot {
        Key key;
        std::vector<std::uint32_t> pixels; // the box's part inside the frame
        int x0 = 0, y0 = 0, w = 0, h = 0;  // where that part lies in the frame
    };
    /// Pixels [index, index + length) of the frame.
    struct Run {
        std::uint32_t index, length;
    };
    /// A pixel up to four overlays touch: its value for each way they can show.
    struct Shared {
        std::uint32_t index;
        std::uint32_t values; // offset of its 2^count values in sharedValues_
        std::uint32_t count;  // overlays touching it, 2..4
        std::array<std::uint8_t, 4>
            overlays{}; // in drawing order; bit i of a value's offset = overlay i shown
    };
    /// A pixel more overlays touch: stacked at each draw from those shown.
    struct Many {
        std::uint32_t index;
        std::uint32_t begin, end; // its overlays in manyLayers_, in drawing order
    };
    struct ManyLayer {
        std::uint32_t overlay;
        std::uint32_t pixel;
    };

    std::array<Slot, kLayers> slots_{};
    std::uint64_t scaled_ = 0;
    // Built from the slots for the backdrops visible at the time.
    bool built_ = false;
    unsigned builtBackdrops_ = 0;
    std::vector<std::uint32_t> base_;              // the visible backdrops stacked
    std::vector<std::uint32_t> dark_;              // and every overlay over them
    std::array<std::vector<Run>, kOverlays> runs_; // pixels only this overlay touches
    std::vector<Shared> shared_;
    std::vector<std::uint32_t> sharedValues_;
    std::vector<Many> many_;
    std::vector<ManyLayer> manyLayers_;

    bool prepare(std::size_t slotIndex, const Frame& picture, const Key& key);
    void build(unsigned visibleBackdrops, int width, int height);
};

/// One drawing without a kept cache.
Frame composite(const LayerSet& layers, int width, int height, float twipsPerPixelX, float twipsPerPixelY);

/// Whole pixels of a length in twips (nearest; never negative).
int pixelsFromTwips(float twips, float twipsPerPixel);

/// The display as it is now: a frame of the control's size in pixels.
Frame snapshot(const Led7Seg4& control, float twipsPerPixelX, float twipsPerPixelY);

/// The frame as a PNG file (straight alpha RGBA). An empty frame fails with invalid argument.
std::vector<std::uint8_t> encodePng(const Frame& frame);

} // namespace seg4
