// What the eye sees of a multiplexed display over simulated time.
#pragma once

#include "backends/backend.h"
#include "views/pin_history.h"

#include <vector>

namespace qhost {

constexpr double kEyeWindow = 0.020; // the eye's persistence
constexpr int kMaxAnimationFrames = 600;

/// The eye's view at `end` over the last `window` seconds of the history: each segment at the
/// brightness of its lit share, scaled so that a share of 1/4 (one digit of four) looks fully
/// lit. The display shows each state to be drawn and is left as it was.
Picture eyeView(Display& display, const PinHistory& history, double end, double window);

/// One eye view every `step` seconds from the history's start to `now` (at most
/// kMaxAnimationFrames).
std::vector<Picture> eyeAnimation(Display& display, const PinHistory& history, double now, double step,
                                  double window);

} // namespace qhost
