// The control's size (Resize) and its layers (Paint): where the 36 layers lie and which of them
// show, from LEDSize, LEDColour and the pin levels.
//
// Nothing here draws pixels: Paint only updates the retained layers; the compositor turns the
// layers into pixels when the container draws.
#include "display/layout.h"

#include "automation/conversions.h"
#include "automation/errors.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace seg4::display {

namespace {

/// `size * factor` as a 32-bit value; a stored size can be anything, and leaving the range is
/// the overflow error.
std::int32_t scaledSize(std::int32_t size, std::int32_t factor) {
    const std::int64_t v = std::int64_t{size} * factor;
    if (v < INT32_MIN || v > INT32_MAX) raise(hr::Overflow);
    return static_cast<std::int32_t>(v);
}

/// A twips length rounded half to even into a 16-bit integer; out of range is the overflow error.
std::int16_t roundTo16(double twips) {
    const double r = roundHalfEven(twips);
    if (!(r >= -32768.0 && r <= 32767.0)) raise(hr::Overflow);
    return narrowTo16(static_cast<std::int64_t>(r));
}

/// The backdrop shown for a colour index. Only loading can store an index outside 0..3 (the
/// setter refuses it); such a display shows the default colour, red, and keeps the stored index
/// untouched so that saving writes it back as it was.
std::size_t backdropFor(std::int32_t colour) {
    return (colour >= 0 && colour < kColourCount) ? static_cast<std::size_t>(colour) : 0;
}

} // namespace

Extent extentFor(std::int32_t ledSize, float twipsPerPixelX, float twipsPerPixelY) {
    const double width = double{twipsPerPixelX} * scaledSize(ledSize, 16) / 5.0;
    const double height = double{twipsPerPixelY} * ledSize;
    return {static_cast<float>(width), static_cast<float>(height)};
}

void Layout::layOut(std::int32_t ledSize, float twipsPerPixelX, float twipsPerPixelY) {
    // The digit width is worked out before any layer changes. The backdrops' width, four of
    // them in 16 bits, is worked out as the first backdrop gets it: a size that overflows there
    // has hidden that backdrop already (its top and left are 0 as ever), and nothing else.
    const std::int16_t digitWidth = roundTo16(double{twipsPerPixelX} * scaledSize(ledSize, 4) / 5.0);
    const auto displayHeight = static_cast<float>(double{twipsPerPixelY} * ledSize);

    for (Layer& backdrop : layers_.backdrops) {
        backdrop.visible = false;
        backdrop.top = 0;
        backdrop.left = 0;
        backdrop.width = checkedMul16(4, digitWidth);
        backdrop.height = displayHeight;
    }
    for (int d = 0; d < kDigitCount; ++d) {
        // Digit d sits (3 - d) cells from the left: pin 0's digit is the rightmost.
        const std::int16_t left = checkedMul16(3 - d, digitWidth);
        for (int s = 0; s < kSegmentCount; ++s) {
            Layer& overlay = layers_.overlays[LayerSet::overlayIndex(d, s)];
            overlay.visible = false;
            overlay.top = 0;
            overlay.width = digitWidth;
            overlay.height = displayHeight;
            overlay.left = left;
        }
    }
    ++layoutPasses_;
}

void Layout::paint(Led7Seg4State& state, float twipsPerPixelX, float twipsPerPixelY) {
    if (state.m_lLEDSize != state.m_lLastSize || state.m_lLEDColour != state.m_lLastColour)
        layOut(state.m_lLEDSize, twipsPerPixelX, twipsPerPixelY);

    layers_.backdrops[backdropFor(state.m_lLEDColour)].visible = true;

    // A display without a pin table (loaded without the new-instance initialisation) has no
    // levels to read: it shows every segment unlit, as a new display with all levels low does,
    // instead of failing every redraw.
    std::array<bool, 12> high{};
    if (state.m_Pins) {
        const std::vector<RSPin>& pins = *state.m_Pins;
        for (std::size_t i = 0; i < high.size() && i < pins.size(); ++i) high[i] = pins[i].SimValue;
    }
    // Common anodes: a digit is selected while its anode is high, and a selected digit lights a
    // segment while the segment's line is low. Until a simulation has run on this display, a
    // selected digit also lights the segments whose lines are high.
    const bool neverSimulated = !state.m_bSimulating && !state.m_bHasSimulated;
    std::array<bool, kSegmentCount> lineLights{};
    for (std::size_t s = 0; s < lineLights.size(); ++s) lineLights[s] = !high[4 + s] || neverSimulated;
    for (int d = 0; d < kDigitCount; ++d) {
        const bool selected = high[static_cast<std::size_t>(d)];
        for (int s = 0; s < kSegmentCount; ++s)
            layers_.overlays[LayerSet::overlayIndex(d, s)].visible =
                !(selected && lineLights[static_cast<std::size_t>(s)]);
    }

    state.m_lLastSize = state.m_lLEDSize;
    state.m_lLastColour = state.m_lLEDColour;
    ++paintCount_;
}

} // namespace seg4::display
