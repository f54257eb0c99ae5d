// The two routines the simulation and the generated code share: a digit's segment pattern and
// the 16-bit shift that turns a bit number into a mask.
#pragma once

#include <cstdint>

namespace seg4 {

/// value * 2^count in signed 16-bit arithmetic; overflow as soon as a product leaves it.
std::int16_t ShiftLeft(std::int16_t value, std::int16_t count);
/// Active-low segment pattern of a decimal digit (bit 0 = A .. bit 7 = DP); 0 otherwise.
std::uint8_t DigitPattern(std::uint8_t value);

} // namespace seg4
