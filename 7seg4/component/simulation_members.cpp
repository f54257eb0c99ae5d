// The simulation members of the host interface, over the display's simulation module.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "display/simulation.h"

namespace seg4 {

namespace {
constexpr std::int32_t kShowDigitMacro = 0;
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

void Led7Seg4::SimReadPins(Variant& pVal) { storeArgument(pVal, display::readLevels(state_.m_Pins)); }

void Led7Seg4::SimWritePins(const Variant& NewVal) {
    // The host may write after every instruction: redraw only on a change.
    if (display::writeLevels(state_.m_Pins, NewVal)) Refresh();
}

void Led7Seg4::SimMacroCall(std::int32_t lMacroID, const Variant& vParams, std::int32_t&, Variant& pvAffected,
                            std::int32_t& pCycles) {
    const Variant& params = vParams.deref();
    const std::vector<RSMacro>& macros = macroTable();
    if (lMacroID < 0 || static_cast<std::size_t>(lMacroID) >= macros.size()) return;
    if (lMacroID != kShowDigitMacro) return;
    pCycles = display::kShowDigitCycles; // before the parameters are read: a failed call has it too
    const display::DigitCall call = display::readDigitCall(params);
    // A caller's typed variable that cannot hold the list fails the call here, before the
    // repaint; the pins are already set and the cycle count written.
    storeArgument(pvAffected, display::showDigit(state_.m_Pins, call));
    Paint();
}

void Led7Seg4::SimMacroCall2(std::int32_t, const Variant&, Variant&, Variant&, std::int32_t&) {
    macroTable(); // the bounds are queried, as SimMacroCall does; no table fails here
    showMessage(u"Error in <SimMacroCall2>");
}

} // namespace seg4
