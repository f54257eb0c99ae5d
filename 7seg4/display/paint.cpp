// PLACEHOLDER until the display lands: Resize and Paint only count and notify.
#include "component/control_site.h"
#include "component/led7seg4.h"

namespace seg4 {

void Led7Seg4::Resize() {}
void Led7Seg4::layoutLayers() {}

void Led7Seg4::Paint() {
    ++paintCount_;
    if (site_) site_->invalidate();
}

} // namespace seg4
