// The 36 picture layers a display owns: four backdrops (one per colour) under 32 dark
// segment overlays (8 per digit).
#pragma once

#include <array>
#include <cstddef>

namespace seg4 {

inline constexpr int kColourCount = 4;
inline constexpr int kDigitCount = 4;
inline constexpr int kSegmentCount = 8; // A..G and the decimal point
inline constexpr std::size_t kOverlayCount = std::size_t{kDigitCount} * kSegmentCount;
inline constexpr int kOverlayOpacity = 85; // of 100: an unlit segment keeps 15 % of its colour

/// One layer: a shared picture stretched to a box in twips relative to the control.
struct Layer {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    bool visible = false;
    int opacity = 100; // 0..100
};

/// Backdrop i always shows colour i; overlay 8 * d + s darkens segment s of digit d.
struct LayerSet {
    std::array<Layer, kColourCount> backdrops{};
    std::array<Layer, kOverlayCount> overlays{};

    LayerSet() {
        for (auto& o : overlays) o.opacity = kOverlayOpacity;
    }
    static constexpr std::size_t overlayIndex(int digit, int segment) {
        return static_cast<std::size_t>(digit) * kSegmentCount + static_cast<std::size_t>(segment);
    }
};

} // namespace seg4
