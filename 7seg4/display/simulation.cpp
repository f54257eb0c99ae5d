#include "display/simulation.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "model/digit_pattern.h"

namespace seg4::display {

namespace {

constexpr std::int32_t kWrittenPins = 12; // the host always writes twelve levels
constexpr unsigned kLevelCount = kWrittenPins;
constexpr std::size_t kDecimalPointPin = 11;

std::vector<RSPin>& table(PinTable& pins) {
    if (!pins) raise(hr::SubscriptOutOfRange);
    return *pins;
}

/// Whether the first twelve elements are all Boolean scalars held by value (the host's usual
/// call). Every kind is read before any value, with no branch per element.
bool allBooleanScalars(const Variant* element) {
    std::uint32_t other = 0; // non-zero once an element is anything else
#pragma GCC unroll 12
    for (unsigned i = 0; i < kLevelCount; ++i)
        other |= element[i].kindBits() ^ static_cast<std::uint32_t>(VarType::Bool);
    return other == 0;
}

/// Whether twelve Boolean scalars differ from the first twelve pins. A True level is stored as
/// -1 and a high pin as 1, so a level and its pin agree exactly when their sum is zero.
bool booleanLevelsDiffer(const Variant* element, const RSPin* pin) {
    std::int64_t sums = 0;
#pragma GCC unroll 12
    for (unsigned i = 0; i < kLevelCount; ++i)
        sums |= element[i].booleanBits() + std::int64_t{pin[i].SimValue};
    return sums != 0;
}

// The rarer paths are kept out of line, so that the usual call that changes nothing keeps its
// values in a few registers and saves none.

/// Stores twelve Boolean levels; true, as they changed.
[[gnu::noinline]] bool storeBooleanLevels(const Variant* element, RSPin* pin) {
    for (unsigned i = 0; i < kLevelCount; ++i) pin[i].SimValue = element[i].booleanBits() != 0;
    return true;
}

/// Levels that are Booleans or signed integers held by value: compared first, stored only when
/// one differs; nullopt (nothing stored) when an element is anything else.
[[gnu::noinline]] std::optional<bool> writeIntegerLevels(const Variant* element, RSPin* pin) {
    unsigned bits = 0;
    for (unsigned i = 0; i < kLevelCount; ++i) {
        const std::int64_t* value = element[i].ownSignedInteger();
        if (!value) return std::nullopt;
        bits |= unsigned{*value != 0} << i;
    }
    bool changed = false;
    for (unsigned i = 0; i < kLevelCount; ++i) {
        const bool level = ((bits >> i) & 1u) != 0;
        changed |= pin[i].SimValue != level;
        pin[i].SimValue = level;
    }
    return changed;
}

/// The first of the twelve elements the usual call gives (an array the value holds itself, of
/// one dimension, with elements 0 to 11) when the pin table has twelve pins or more, else
/// nullptr.
const Variant* plainElements(const PinTable& pins, const Variant& levels) noexcept {
    const SafeArray* array = levels.ownArray();
    if (!array || !array->dimensions.empty() || !pins ||
        pins->size() < static_cast<std::size_t>(kWrittenPins) || array->lowerBound > 0 ||
        array->upperBound() < kWrittenPins - 1)
        return nullptr;
    return array->elements.data() - array->lowerBound;
}

/// Twelve Boolean levels: compared first, stored only when one differs.
bool writeBooleanLevels(const Variant* element, RSPin* pin) {
    if (!booleanLevelsDiffer(element, pin)) return false;
    return storeBooleanLevels(element, pin);
}

/// Any other argument: each element converted and stored in turn, so a failure at element i
/// keeps the levels before it. Kept out of line so that the usual call saves no registers.
[[gnu::noinline]] bool writeConvertedLevels(PinTable& pins, const Variant& levels) {
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

/// Every call but the usual one: levels by reference, integers, or anything the general path
/// converts (or refuses) element by element. Nothing is stored before a failure.
[[gnu::noinline]] bool writeOtherLevels(PinTable& pins, const Variant& levels) {
    if (const Variant* element = plainElements(pins, levels.isByRef() ? levels.deref() : levels)) {
        if (allBooleanScalars(element)) return writeBooleanLevels(element, pins->data());
        if (const std::optional<bool> changed = writeIntegerLevels(element, pins->data())) return *changed;
    }
    return writeConvertedLevels(pins, levels);
}

} // namespace

bool writeLevels(PinTable& pins, const Variant& levels) {
    // The usual call, after every simulated instruction: twelve Booleans in an array passed by
    // value, which mostly change nothing.
    if (const Variant* element = plainElements(pins, levels); element && allBooleanScalars(element))
        return writeBooleanLevels(element, pins->data());
    return writeOtherLevels(pins, levels);
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
