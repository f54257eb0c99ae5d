// The display's pictures, embedded in the module as PNG files and decoded once per process.
#pragma once

#include "display/frame.h"

#include <cstdint>
#include <span>

namespace seg4 {

enum class PictureKind {
    Backdrop, ///< 373 x 115, opaque: all four digits lit in colour i (0 red .. 3 light blue)
    Overlay,  ///< 70 x 87: segment i (A..G, DP) in black, the rest transparent
    Preview,  ///< 70 x 87: one fully lit digit in colour i for the property page
};

/// How many pictures of a kind there are (4, 8, 4).
int pictureCount(PictureKind kind) noexcept;

/// The decoded picture (premultiplied). Decoded on first use, immutable afterwards and shared
/// by every display of the process; safe to call from any thread. An index outside the kind's
/// pictures fails with subscript out of range.
const Frame& picture(PictureKind kind, int index);

/// The embedded PNG file of a picture.
std::span<const std::uint8_t> pictureFile(PictureKind kind, int index);

/// Decodes a PNG file into a premultiplied frame; anything that is not a PNG picture fails with
/// the invalid-argument result.
Frame decodePng(std::span<const std::uint8_t> bytes);

} // namespace seg4
