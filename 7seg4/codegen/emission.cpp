// PLACEHOLDER until code emission lands.
#include "automation/errors.h"
#include "component/led7seg4.h"

namespace seg4 {

std::u16string Led7Seg4::get_MacroCode(std::int32_t) { raise(hr::NotImplemented); }
std::u16string Led7Seg4::get_InitialisationCode() { raise(hr::NotImplemented); }
std::u16string Led7Seg4::get_InterruptCode() { raise(hr::NotImplemented); }
std::u16string Led7Seg4::get_DefinesCode() { raise(hr::NotImplemented); }
void Led7Seg4::MacroCodeOverride(std::u16string&) { raise(hr::NotImplemented); }
std::u16string Led7Seg4::ReplacePlaceholders(std::u16string&) { raise(hr::NotImplemented); }

} // namespace seg4
