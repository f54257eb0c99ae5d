// PLACEHOLDER until the simulation lands.
#include "automation/errors.h"
#include "component/led7seg4.h"

namespace seg4 {

void Led7Seg4::StartSimulation() { raise(hr::NotImplemented); }
void Led7Seg4::StopSimulation() { raise(hr::NotImplemented); }
std::int32_t Led7Seg4::get_IsSimulating() { raise(hr::NotImplemented); }
std::int32_t Led7Seg4::get_SimIODirection(std::int32_t) { raise(hr::NotImplemented); }
void Led7Seg4::SimReadPins(Variant&) { raise(hr::NotImplemented); }
void Led7Seg4::SimWritePins(const Variant&) { raise(hr::NotImplemented); }
void Led7Seg4::SimMacroCall(std::int32_t, const Variant&, std::int32_t&, Variant&, std::int32_t&) {
    raise(hr::NotImplemented);
}
void Led7Seg4::SimMacroCall2(std::int32_t, const Variant&, Variant&, Variant&, std::int32_t&) {
    raise(hr::NotImplemented);
}
void Led7Seg4::SimShowDigit(const Variant&, Variant&, std::int32_t&) { raise(hr::NotImplemented); }

} // namespace seg4
