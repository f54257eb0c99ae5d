// Stretching a picture to a box of a frame: the filter every layer is drawn with.
#pragma once

#include "display/frame.h"

#include <cstdint>
#include <vector>

namespace seg4 {

/// A picture scaled to a box and clipped to a frame: `pixels` (w x h) lie at x0, y0. Row j
/// holds colour only in columns [rowFrom[j], rowTo[j]); the rest of it is transparent.
struct ScaledPicture {
    std::vector<std::uint32_t> pixels;
    int x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<int> rowFrom, rowTo;
};

/// Which source pixels feed each frame pixel along one axis, and how much.
struct AxisMap {
    struct Tap {
        int source;
        float weight;
    };
    int begin = 0;             // first frame pixel touched
    int end = 0;               // one past the last
    std::vector<int> first{0}; // taps of frame pixel begin + i are taps[first[i] .. first[i + 1])
    std::vector<Tap> taps;

    /// The same taps from its first frame pixel on, wherever that lies: the same pixels.
    bool sameShape(const AxisMap& other) const;
};

/// Maps `sourceSize` pixels onto the span [pos, pos + length) of an axis `limit` pixels long.
AxisMap mapAxis(double pos, double length, int sourceSize, int limit);

/// `picture` through the two maps (across, down), at `opacity` percent.
ScaledPicture resample(const Frame& picture, const AxisMap& across, const AxisMap& down, int opacity);

/// `picture` stretched to the box (frame pixels, fractional allowed) inside a frame of
/// `frameWidth` x `frameHeight`, at `opacity` percent. Each frame pixel averages the source
/// area under it (linear interpolation when enlarging) on premultiplied colour; box edges that
/// cut a pixel cover it partly. Boxes with no width or height give no pixels.
ScaledPicture resample(const Frame& picture, double left, double top, double width, double height,
                       int opacity, int frameWidth, int frameHeight);

} // namespace seg4
