#include "display/simulation.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "model/digit_pattern.h"

#include <optional>

namespace seg4::display {

namespace {

constexpr std::int32_t kWrittenPins = static_cast<std::int32_t>(detail::kLevelCount);
constexpr std::size_t kDecimalPointPin = 11;

std::vector<RSPin>& table(PinTable& pins) {
    if (!pins) raise(hr::SubscriptOutOfRange);
    return *pins;
}

/// Levels that are Booleans or signed integers held by value: compared first, stored only when
/// one differs; nullopt (nothing stored) when an element is anything else.
std::optional<bool> writeIntegerLevels(const Variant* element, RSPin* pin) {
    unsigned bits = 0;
    for (std::size_t i = 0; i < detail::kLevelCount; ++i) {
        const std::int64_t* value = element[i].ownSignedInteger();
        if (!value) return std::nullopt;
        bits |= unsigned{*value != 0} << i;
    }
    bool changed = false;
    for (std::size_t i = 0; i < detail::kLevelCount; ++i) {
        const bool level = ((bits >> i) & 1u) != 0;
        changed |= pin[i].SimValue != level;
        pin[i].SimValue = level;
    }
    return changed;
}

/// Any other argument: each element converted and stored in turn, so a failure at element i
/// keeps the levels before it.
bool writeConvertedLevels(PinTable& pins, const Variant& levels) {
    bool changed = false;
    for (std::int32_t i = 0; i < kWrittenPins; ++i) {
        const bool level = toBoolean(arrayElement(levels, i));
        std::vector<RSPin>& all = table(pins);
        if (static_cast<std::size_t>(i) >= all.size()) raise(hr::SubscriptOutOfRange);
        RSPin& pin = all[static_cast<std::size_t>(i)];
        if (level != pin.SimValue) changed = true;
        pin.SimValue = level;
    }
    return changed;
}

} // namespace

namespace detail {

bool storeBooleanLevels(const Variant* element, RSPin* pin) {
    for (std::size_t i = 0; i < kLevelCount; ++i) pin[i].SimValue = element[i].booleanBits() != 0;
    return true;
}

bool writeOtherLevels(PinTable& pins, const Variant& levels) {
    if (const Variant* element = plainElements(pins, levels.isByRef() ? levels.deref() : levels)) {
        if (allBooleanScalars(element)) return writeBooleanLevels(element, pins->data());
        if (const std::optional<bool> changed = writeIntegerLevels(element, pins->data())) return *changed;
    }
    return writeConvertedLevels(pins, levels);
}

} // namespace detail

Variant readLevels(const PinTable& pins) {
    if (!pins) raise(hr::SubscriptOutOfRange);
    std::vector<Variant> levels;
    levels.reserve(pins->size());
    for (const RSPin& pin : *pins) levels.push_back(Variant::boolean(pin.SimValue));
    return Variant::array(VarType::Bool, 0, std::move(levels));
}

DigitCall readDigitCall(const Variant& params) {
    DigitCall call;
    call.digit = toInteger(arrayElement(params, 0));
    const std::int16_t value = toInteger(arrayElement(params, 1));
    call.decimalPoint = toInteger(arrayElement(params, 2));
    call.pattern = DigitPattern(toByte(Variant::i2(value)));
    return call;
}

Variant showDigit(PinTable& pins, const DigitCall& call) {
    std::vector<RSPin>& all = table(pins);
    if (all.size() <= kDecimalPointPin) raise(hr::SubscriptOutOfRange);
    for (std::int16_t d = 0; d < 4; ++d) all[static_cast<std::size_t>(d)].SimValue = d == call.digit;
    for (std::int16_t b = 0; b < 7; ++b)
        all[static_cast<std::size_t>(4 + b)].SimValue = (call.pattern & ShiftLeft(1, b)) != 0;
    // A non-zero DECIMAL_PT drives the point's line low, which lights it.
    all[kDecimalPointPin].SimValue = call.decimalPoint == 0;

    std::vector<Variant> affected;
    affected.reserve(12);
    for (std::int32_t i = 0; i < 12; ++i) affected.push_back(Variant::i4(i));
    return Variant::array(VarType::I4, 0, std::move(affected));
}

} // namespace seg4::display
