// A picture in memory: the decoded pictures of the display and the frames the compositor draws.
#pragma once

#include <cstdint>
#include <vector>

namespace seg4 {

/// Pixels row by row from the top left, premultiplied RGBA packed as R | G << 8 | B << 16 |
/// A << 24 (bytes R, G, B, A in memory on a little-endian machine). Premultiplied so that
/// stretching and stacking filter colour and coverage together.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

namespace px {
constexpr std::uint32_t pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    return r | g << 8 | b << 16 | a << 24;
}
constexpr std::uint8_t red(std::uint32_t p) { return static_cast<std::uint8_t>(p); }
constexpr std::uint8_t green(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 8); }
constexpr std::uint8_t blue(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 16); }
constexpr std::uint8_t alpha(std::uint32_t p) { return static_cast<std::uint8_t>(p >> 24); }

/// Straight-alpha colour to premultiplied, rounded to nearest.
constexpr std::uint32_t premultiply(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    return pack((r * a + 127) / 255, (g * a + 127) / 255, (b * a + 127) / 255, a);
}
} // namespace px

} // namespace seg4
