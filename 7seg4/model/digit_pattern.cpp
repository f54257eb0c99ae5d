// The digit patterns and the checked shift.
#include "model/digit_pattern.h"

#include "automation/conversions.h"

#include <array>

namespace seg4 {

namespace {
// Active-low patterns of 0..9: a set bit leaves its segment dark. The 9 keeps D dark.
constexpr std::array<std::uint8_t, 10> kDigitPatterns{0xC0, 0xF9, 0xA4, 0xB0, 0x99,
                                                      0x92, 0x82, 0xF8, 0x80, 0x98};
} // namespace

std::int16_t ShiftLeft(std::int16_t value, std::int16_t count) {
    // Doubling `count` times overflows exactly when the end result does not fit, and any
    // non-zero value doubled sixteen times does not.
    if (count <= 0 || value == 0) return value;
    if (count >= 16) return checkedMul16(value, 1 << 16);
    return narrowTo16(std::int64_t{value} * (std::int64_t{1} << count));
}

std::uint8_t DigitPattern(std::uint8_t value) {
    return value < kDigitPatterns.size() ? kDigitPatterns[value] : 0;
}

} // namespace seg4
