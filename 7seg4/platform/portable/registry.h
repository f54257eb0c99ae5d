// The current user's registry hive in memory, filled from registry export files (.reg) or by the
// host, and read the way the ANSI registry functions read it.
#pragma once

#include "text_codec.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace seg4 {

/// Registry value types, with their numbers in the platform's headers.
namespace regtype {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t String = 1;       // REG_SZ
inline constexpr std::uint32_t ExpandString = 2; // REG_EXPAND_SZ
inline constexpr std::uint32_t Binary = 3;       // REG_BINARY
inline constexpr std::uint32_t Dword = 4;        // REG_DWORD
inline constexpr std::uint32_t MultiString = 7;  // REG_MULTI_SZ
} // namespace regtype

/// One value: its name as written, its type and its data as stored (strings as UTF-16LE bytes
/// with their terminating NUL).
struct RegistryValue {
    std::u16string name;
    std::uint32_t type = regtype::None;
    std::vector<std::uint8_t> data;
    bool operator==(const RegistryValue&) const = default;
};

/// Keys and values of HKEY_CURRENT_USER. Key paths are relative to the hive ("Software\\A\\B";
/// "" is the hive itself); key and value names are compared without regard to letter case.
class Registry {
public:
    /// True when the key exists. A path with an empty part ("\\A", "A\\\\B") names no key; one
    /// trailing backslash is allowed.
    bool hasKey(std::u16string_view path) const;
    /// The value, or nullptr when the key or the value is missing.
    const RegistryValue* findValue(std::u16string_view path, std::u16string_view name) const;

    /// Creates the key with every missing parent and sets a string value (REG_SZ). Throws
    /// std::invalid_argument for a path with an empty part.
    void setString(std::u16string_view path, std::u16string_view name, std::u16string_view value);
    /// Creates the key with every missing parent and sets a value of any type.
    void setValue(std::u16string_view path, RegistryValue value);
    void clear();
    std::size_t keyCount() const noexcept { return keys_.size(); }
    /// Every key below the hive with its values, parents before their children: the path as it
    /// was first written and the values as stored. A host copies the hive into a real registry
    /// with it.
    std::vector<std::pair<std::u16string, std::vector<RegistryValue>>> keys() const;

    /// Applies a registry export file: "REGEDIT4" (ANSI text in `ansi`) or "Windows Registry
    /// Editor Version 5.00" (UTF-16LE with a byte-order mark, or UTF-8). Keys of other hives are
    /// skipped. All or nothing: a malformed file throws std::runtime_error naming `sourceName`
    /// and the line, and leaves the registry as it was.
    void load(std::string_view bytes, const std::string& sourceName, const text::AnsiCodec& ansi);

    /// RegQueryValueExA into a buffer of `bufferBytes` bytes: the data as the ANSI function
    /// returns it (strings converted to `ansi` with their terminating NUL, other types their
    /// stored bytes) must fit, else nothing; the answer is that data decoded through `ansi` up
    /// to its first NUL. The value's type plays no part beyond the conversion of strings.
    std::optional<std::u16string> queryAnsiString(std::u16string_view path, std::u16string_view name,
                                                  std::size_t bufferBytes, const text::AnsiCodec& ansi) const;

    bool operator==(const Registry&) const = default;

private:
    struct Key {
        std::u16string name;                            // as first written
        std::map<std::u16string, RegistryValue> values; // by upper-cased name
        bool operator==(const Key&) const = default;
    };
    friend class RegistryFileParser;
    Key& createKey(const std::u16string& normalPath, std::u16string_view writtenPath);
    void deleteKey(const std::u16string& normalPath);

    std::map<std::u16string, Key> keys_; // by upper-cased normal path; the root is always there
};

/// The upper-cased path without its trailing backslash, or nothing when a part is empty.
std::optional<std::u16string> normalKeyPath(std::u16string_view path);

} // namespace seg4
