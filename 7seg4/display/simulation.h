// The simulation on a display's pins: levels the host writes and reads, and the SHOW_DIGIT macro
// run on them. A display without a pin table (one loaded without the new-display
// initialisation) fails each of these with subscript out of range.
#pragma once

#include "automation/variant.h"
#include "model/records.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace seg4::display {

using PinTable = std::optional<std::vector<RSPin>>;

/// SHOW_DIGIT's cycle count on the target.
inline constexpr std::int32_t kShowDigitCycles = 32;

/// Stores the first twelve levels of `levels` (an array; each element converted to Boolean);
/// true when one of them changed. Levels are stored one by one, so a failure at element i keeps
/// the levels before it.
bool writeLevels(PinTable& pins, const Variant& levels);

/// Every pin's level, as a Boolean array from 0.
Variant readLevels(const PinTable& pins);

/// SHOW_DIGIT's parameters (DIGIT, VALUE, DECIMAL_PT), converted before any pin changes, so a
/// bad parameter changes nothing.
struct DigitCall {
    std::int16_t digit = 0;
    std::uint8_t pattern = 0; // active low: a set bit leaves its segment dark
    std::int16_t decimalPoint = 0;
};
DigitCall readDigitCall(const Variant& params);

/// Drives the pins for the call: digit `digit`'s anode high and the others low, the segment
/// lines from the pattern, the point's line low for a non-zero DECIMAL_PT. Answers the pins it
/// affected (all twelve, a Long array from 0).
Variant showDigit(PinTable& pins, const DigitCall& call);

} // namespace seg4::display
