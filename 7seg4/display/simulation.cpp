// The simulation members: pin levels written and read by the host, and SHOW_DIGIT run on the pins.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "platform/platform.h"

namespace seg4 {

namespace {

constexpr std::int32_t kShowDigitMacro = 0;
constexpr std::int32_t kShowDigitCycles = 32;
constexpr std::int32_t kWrittenPins = 12; // the host always writes twelve levels
constexpr std::size_t kDecimalPointPin = 11;

} // namespace

void Led7Seg4::StartSimulation() {
    state_.m_bSimulating = true;
    state_.m_bHasSimulated = true;
    Refresh();
}

void Led7Seg4::StopSimulation() {
    // The last levels stay in the pin table and on show.
    state_.m_bSimulating = false;
    Refresh();
}

std::int32_t Led7Seg4::get_IsSimulating() { return state_.m_bSimulating ? -1 : 0; }

std::int32_t Led7Seg4::get_SimIODirection(std::int32_t lPinID) { return get_Direction(lPinID); }

void Led7Seg4::SimReadPins(Variant& pVal) {
    const std::vector<RSPin>& pins = pinTable();
    std::vector<Variant> levels;
    levels.reserve(pins.size());
    for (const RSPin& pin : pins) levels.push_back(Variant::boolean(pin.SimValue));
    pVal.deref() = Variant::array(VarType::Bool, 0, std::move(levels));
}

void Led7Seg4::SimWritePins(const Variant& NewVal) {
    // Levels are stored one by one, so a failure at element i keeps the levels before it.
    bool changed = false;
    for (std::int32_t i = 0; i < kWrittenPins; ++i) {
        const bool level = toBoolean(arrayElement(NewVal, i));
        std::vector<RSPin>& pins = pinTable();
        if (static_cast<std::size_t>(i) >= pins.size()) raise(hr::SubscriptOutOfRange);
        RSPin& pin = pins[static_cast<std::size_t>(i)];
        if (level != pin.SimValue) changed = true;
        pin.SimValue = level;
    }
    if (changed) Refresh(); // the host may write after every instruction: redraw only on change
}

void Led7Seg4::SimMacroCall(std::int32_t lMacroID, const Variant& vParams, std::int32_t&, Variant& pvAffected,
                            std::int32_t& pCycles) {
    const Variant params = vParams.deref();
    const std::vector<RSMacro>& macros = macroTable();
    if (lMacroID < 0 || static_cast<std::size_t>(lMacroID) >= macros.size()) return;
    if (lMacroID == kShowDigitMacro) SimShowDigit(params, pvAffected, pCycles);
}

void Led7Seg4::SimShowDigit(const Variant& params, Variant& pvAffected, std::int32_t& pCycles) {
    pCycles = kShowDigitCycles;
    // Every conversion happens before any pin changes, so a bad parameter changes nothing.
    const std::int16_t digit = toInteger(arrayElement(params, 0));
    const std::int16_t value = toInteger(arrayElement(params, 1));
    const std::int16_t decimalPoint = toInteger(arrayElement(params, 2));
    const std::uint8_t pattern = DigitPattern(toByte(Variant::i2(value)));

    std::vector<RSPin>& pins = pinTable();
    if (pins.size() <= kDecimalPointPin) raise(hr::SubscriptOutOfRange);
    for (std::int16_t d = 0; d < 4; ++d) pins[static_cast<std::size_t>(d)].SimValue = d == digit;
    for (std::int16_t b = 0; b < 7; ++b)
        pins[static_cast<std::size_t>(4 + b)].SimValue = (pattern & ShiftLeft(1, b)) != 0;
    // A non-zero DECIMAL_PT drives the point's line low, which lights it.
    pins[kDecimalPointPin].SimValue = decimalPoint == 0;

    std::vector<Variant> affected;
    for (std::int32_t i = 0; i < 12; ++i) affected.push_back(Variant::i4(i));
    pvAffected.deref() = Variant::array(VarType::I4, 0, std::move(affected));
    Paint();
}

void Led7Seg4::SimMacroCall2(std::int32_t, const Variant&, Variant&, Variant&, std::int32_t&) {
    macroTable(); // the bounds are queried, as SimMacroCall does; no table fails here
    showMessage(u"Error in <SimMacroCall2>");
}

} // namespace seg4
