// Where a display's 36 layers lie and which of them show: the work of its Resize and Paint
// container events, on the display's state.
#pragma once

#include "model/layers.h"
#include "model/led7seg4_state.h"

#include <cstdint>

namespace seg4::display {

/// The control's size in twips: always 16/5 x LEDSize by LEDSize pixels, whatever size it was
/// given. A stored size that leaves 32 bits is the overflow error.
struct Extent {
    float width = 0;
    float height = 0;
};
Extent extentFor(std::int32_t ledSize, float twipsPerPixelX, float twipsPerPixelY);

/// The layers of one display and the Paint decision.
class Layout {
public:
    /// Lays the layers out again when the size or colour changed since the last pass (and
    /// records them as laid out), shows the colour's backdrop and the overlays of the unlit
    /// segments. A size whose geometry leaves 16 bits fails with overflow before any layer
    /// changes.
    void paint(Led7Seg4State& state, float twipsPerPixelX, float twipsPerPixelY);

    const LayerSet& layers() const noexcept { return layers_; }
    /// How many layout passes were made (only colour or size changes lay out).
    std::uint64_t layoutPasses() const noexcept { return layoutPasses_; }
    /// How many times paint ran.
    std::uint64_t paintCount() const noexcept { return paintCount_; }

private:
    void layOut(std::int32_t ledSize, float twipsPerPixelX, float twipsPerPixelY);

    LayerSet layers_;
    std::uint64_t layoutPasses_ = 0;
    std::uint64_t paintCount_ = 0;
};

} // namespace seg4::display
