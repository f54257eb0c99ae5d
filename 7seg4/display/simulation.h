// The simulation on a display's pins: levels the host writes and reads, and the SHOW_DIGIT macro
// run on them. A display without a pin table (one loaded without the new-display
// initialisation) fails each of these with subscript out of range.
#pragma once

#include "automation/variant.h"
#include "model/records.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace seg4::display {

using PinTable = std::optional<std::vector<RSPin>>;

/// SHOW_DIGIT's cycle count on the target.
inline constexpr std::int32_t kShowDigitCycles = 32;

namespace detail {

inline constexpr std::size_t kLevelCount = 12; // the host always writes twelve levels

/// The first of the twelve elements the usual call gives (an array the value holds itself, of
/// one dimension, with elements 0 to 11) when the pin table has twelve pins or more, else
/// nullptr.
inline const Variant* plainElements(const PinTable& pins, const Variant& levels) noexcept {
    const SafeArray* array = levels.ownArray();
    if (!array || !array->dimensions.empty() || !pins || pins->size() < kLevelCount ||
        array->lowerBound > 0 || array->upperBound() < static_cast<std::int32_t>(kLevelCount) - 1)
        return nullptr;
    return array->elements.data() - array->lowerBound;
}

/// Whether twelve elements are all Boolean scalars held by value (the host's usual call). Every
/// kind is read before any value, with no branch per element (and the loop unrolled: else the
/// compiler packs the kinds into vectors through the stack).
inline bool allBooleanScalars(const Variant* element) noexcept {
    std::uint32_t other = 0; // non-zero once an element is anything else
#pragma GCC unroll 12
    for (std::size_t i = 0; i < kLevelCount; ++i)
        other |= element[i].kindBits() ^ static_cast<std::uint32_t>(VarType::Bool);
    return other == 0;
}

/// Whether twelve Boolean scalars differ from the first twelve pins. A True level is stored as
/// -1 and a high pin as 1, so a level and its pin agree exactly when their sum is zero.
inline bool booleanLevelsDiffer(const Variant* element, const RSPin* pin) noexcept {
    std::int64_t sums = 0;
#pragma GCC unroll 12
    for (std::size_t i = 0; i < kLevelCount; ++i)
        sums |= element[i].booleanBits() + std::int64_t{pin[i].SimValue};
    return sums != 0;
}

// Out of line, so that the usual call that changes nothing keeps its values in a few registers
// and saves none.
/// Stores twelve Boolean levels; true, as they changed.
bool storeBooleanLevels(const Variant* element, RSPin* pin);
/// Every call but the usual one: levels by reference, integers, or anything the general path
/// converts (or refuses) element by element.
bool writeOtherLevels(PinTable& pins, const Variant& levels);

/// Twelve Boolean levels: compared first, stored only when one differs.
inline bool writeBooleanLevels(const Variant* element, RSPin* pin) {
    if (!booleanLevelsDiffer(element, pin)) return false;
    return storeBooleanLevels(element, pin);
}

} // namespace detail

/// Stores the first twelve levels of `levels` (an array; each element converted to Boolean);
/// true when one of them changed. Levels are stored one by one, so a failure at element i keeps
/// the levels before it. Inline: the host writes after every simulated instruction, mostly
/// twelve Booleans in an array passed by value that change nothing.
inline bool writeLevels(PinTable& pins, const Variant& levels) {
    if (const Variant* element = detail::plainElements(pins, levels);
        element && detail::allBooleanScalars(element))
        return detail::writeBooleanLevels(element, pins->data());
    return detail::writeOtherLevels(pins, levels);
}

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
