// The module's string resources compiled into the core, for platforms whose modules carry no
// resource section: 23 language blocks of 200 identifiers, generated from localisation/strings/.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace seg4 {

/// One language block of the table.
struct BuiltInLanguage {
    std::u16string_view name;
    /// The block holds the identifiers stringOffset + 1 ... stringOffset + 153.
    std::int16_t stringOffset;
    std::int16_t localeId;
    /// The resource language the Windows string table tags the block with. It is the locale
    /// identifier except for Portuguese (2070 against 1046); lookups never use it.
    std::uint16_t resourceLanguage;
};

struct BuiltInString {
    std::uint16_t absoluteId;
    std::u16string_view text;
};

/// The text with this absolute identifier (string offset + relative id), if the table has one.
std::optional<std::u16string> builtInString(std::uint32_t absoluteId);

/// The language blocks, in ascending string offset.
std::span<const BuiltInLanguage> builtInLanguages();

/// Every text of every block, in ascending absolute identifier.
std::span<const BuiltInString> builtInStrings();

} // namespace seg4
