// The placeholder rule as written, slow and plain, for checking the substitution against.
#pragma once

#include "codegen/placeholders.h"

#include <optional>
#include <span>
#include <string>

namespace seg4::test {

/// For each pair in order: find the placeholder from the first character, replace it, and
/// search again from the first character until it is gone. Nothing after more than
/// `maxReplacements` replacements (a value that holds its own placeholder never finishes).
inline std::optional<std::u16string> byTheRule(std::u16string text,
                                               std::span<const codegen::Substitution> pairs,
                                               std::size_t maxReplacements = 1000000) {
    std::size_t replacements = 0;
    for (const codegen::Substitution& pair : pairs) {
        const std::u16string placeholder = u"%" + std::u16string(1, pair.letter);
        for (std::size_t p = text.find(placeholder); p != std::u16string::npos; p = text.find(placeholder)) {
            if (++replacements > maxReplacements) return std::nullopt;
            text.replace(p, placeholder.size(), pair.value);
        }
    }
    return text;
}

} // namespace seg4::test
