// The module's string table compiled into the core: 23 language blocks of 200 identifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace seg4 {

/// The text with this absolute identifier (string offset + relative id), if the table has one.
std::optional<std::u16string> builtInString(std::uint32_t absoluteId);

} // namespace seg4
