// The history of a display's pin levels over simulated time, from which the views are drawn.
#pragma once

#include <array>
#include <vector>

namespace qhost {

using Levels = std::array<bool, 12>; // anodes 0-3, then the segment lines

/// The levels of the twelve pins from a moment of simulated time on.
struct PinSample {
    double time = 0; // seconds of simulated time
    Levels levels{};
};

using PinHistory = std::vector<PinSample>; // one sample per change of levels, in time order

} // namespace qhost
