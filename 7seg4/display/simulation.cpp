#include "display/simulation.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "model/digit_pattern.h"

namespace seg4::display {

namespace {

constexpr std::int32_t kWrittenPins = 12; // the host always writes twelve levels
constexpr std::size_t kDecimalPointPin = 11;

std::vector<RSPin>& table(PinTable& pins) {
    if (!pins) raise(hr::SubscriptOutOfRange);
    return *pins;
}

/// The levels of the usual call (an array of twelve or more Booleans or integers, read without
/// conversion) against a table of twelve or more pins: compared in one pass, stored only when
/// one differs. nullopt for any other argument, which then takes the general path and fails
/// there as it always has (nothing is stored before that).
std::optional<bool> writePlainLevels(PinTable& pins, const Variant& levels) {
    const SafeArray* array = (levels.isByRef() ? levels.deref() : levels).ownArray();
    if (!array || !array->dimensions.empty() || !pins ||
        pins->size() < static_cast<std::size_t>(kWrittenPins) || array->lowerBound > 0 ||
        array->upperBound() < kWrittenPins - 1)
        return std::nullopt;
    const Variant* element = array->elements.data() - array->lowerBound;
    RSPin* pin = pins->data();
    bool changed = false;
    for (std::int32_t i = 0; i < kWrittenPins; ++i) {
        const std::int64_t* value = element[i].ownSignedInteger();
        if (!value) return std::nullopt;
        changed |= pin[i].SimValue != (*value != 0);
    }
    if (changed)
        for (std::int32_t i = 0; i < kWrittenPins; ++i) pin[i].SimValue = *element[i].ownSignedInteger() != 0;
    return changed;
}

} // namespace

bool writeLevels(PinTable& pins, const Variant& levels) {
    if (const std::optional<bool> changed = writePlainLevels(pins, levels)) return *changed;
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
