// PLACEHOLDER until persistence lands.
#include "automation/errors.h"
#include "component/led7seg4.h"

namespace seg4 {

void Led7Seg4::ReadProperties(PropertyBag&) { raise(hr::NotImplemented); }
void Led7Seg4::WriteProperties(PropertyBag&) { raise(hr::NotImplemented); }
std::u16string Led7Seg4::get_ReadCustomImages(std::int32_t) { raise(hr::NotImplemented); }
void Led7Seg4::put_WriteCustomImages(std::int32_t, const std::u16string&) { raise(hr::NotImplemented); }

} // namespace seg4
