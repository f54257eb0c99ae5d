// The module's string resources compiled in: lookups in the generated table.
#include "platform/string_resources.h"

#include <algorithm>

namespace seg4 {

namespace {
#include "string_table.inc"
} // namespace

std::optional<std::u16string> builtInString(std::uint32_t absoluteId) {
    const auto it =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), absoluteId,
                         [](const BuiltInString& s, std::uint32_t id) { return s.absoluteId < id; });
    if (it == std::end(kStrings) || it->absoluteId != absoluteId) return std::nullopt;
    return std::u16string(it->text);
}

std::span<const BuiltInLanguage> builtInLanguages() { return kLanguages; }

std::span<const BuiltInString> builtInStrings() { return kStrings; }

} // namespace seg4
