// PLACEHOLDER until the code-file readers land: the readers answer "" / the default.
#include "automation/errors.h"
#include "component/led7seg4.h"

namespace seg4 {

std::u16string Led7Seg4::GetIniKeyValue(std::u16string&, std::u16string&, std::u16string& lpDefault) {
    return lpDefault;
}
std::u16string Led7Seg4::GetCodeFromFile(std::u16string&) { return {}; }
std::u16string Led7Seg4::get_CodeFilename() { raise(hr::NotImplemented); }

} // namespace seg4
