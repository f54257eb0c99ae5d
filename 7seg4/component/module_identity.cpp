// The module's identity for the native build.
#include "component/module_identity.h"

#include "component/control_class_id.h" // generated from the control's IDL
#include "component/module_version.h"

namespace seg4 {

namespace {

/// Whether the text version reads as the numbers: "M.mm.rrrr" with the build number 0.
constexpr bool textAgrees(std::string_view text) {
    constexpr int parts[] = {SEG4_VERSION_MAJOR, SEG4_VERSION_MINOR, SEG4_VERSION_REVISION};
    std::size_t at = 0;
    for (int part : parts) {
        int value = 0;
        bool digits = false;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + (text[at++] - '0');
            digits = true;
        }
        if (!digits || value != part) return false;
        if (at < text.size() && text[at] == '.') ++at;
    }
    return at == text.size() && SEG4_VERSION_BUILD == 0;
}
static_assert(textAgrees(SEG4_VERSION_TEXT), "SEG4_VERSION_TEXT disagrees with the version numbers");

} // namespace

std::string_view controlClassId() { return SEG4_CONTROL_CLASS_ID; }

std::string fileVersionText() {
    return std::to_string(SEG4_VERSION_MAJOR) + "." + std::to_string(SEG4_VERSION_MINOR) + "." +
           std::to_string(SEG4_VERSION_BUILD) + "." + std::to_string(SEG4_VERSION_REVISION);
}

} // namespace seg4
