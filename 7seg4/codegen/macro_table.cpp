// PLACEHOLDER until the macro table lands.
#include "automation/errors.h"
#include "component/led7seg4.h"

namespace seg4 {

void Led7Seg4::BuildMacroTable() {}
const std::vector<RSMacro>& Led7Seg4::macroTable() { raise(hr::NotImplemented); }
Variant Led7Seg4::get_MacroNames() { raise(hr::NotImplemented); }
std::int32_t Led7Seg4::get_MacroIsFunction(std::int32_t) { raise(hr::NotImplemented); }
std::int32_t Led7Seg4::get_MacroIsPrivate(std::int32_t) { raise(hr::NotImplemented); }
Variant Led7Seg4::get_MacroParameters(std::int32_t) { raise(hr::NotImplemented); }

} // namespace seg4
