// The rules of the platform's INI profile reader, as pure code over the file's bytes, so the
// Linux adapter and the tests give the answers GetPrivateProfileStringA gives on Windows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace seg4 {

/// The value of `key` in the first section named `section` of `content`, or `defaultValue`,
/// copied into a buffer of `bufferChars` characters (at most bufferChars - 1 come back).
std::string readProfileString(std::string_view content, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t bufferChars);

} // namespace seg4
