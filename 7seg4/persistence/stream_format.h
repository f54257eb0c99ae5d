// The control's settings as one stream (what a container keeps through IPersistStreamInit): the
// same named entries the property bag holds, in a small binary format of their own.
//
// Format (little-endian): "S4PB", a 16-bit version (1), a 32-bit entry count, then per entry a
// 32-bit name length, the name in UTF-16, and the value as VARIANT type (16 bits) plus payload:
// nothing for Empty and Null, 8 bytes for every number, date and currency, 2 bytes for a
// Boolean, a 32-bit length and UTF-16 text for a string. Arrays are not stored (the control
// writes numbers only). A malformed stream fails the whole read before anything is applied, and
// the reader takes no byte beyond the control's data, where a container may store its own.
#pragma once

#include "automation/errors.h"
#include "persistence/property_bag.h"

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace seg4 {

namespace hr {
// Failures of a stream the control is stored in.
inline constexpr HResult StreamWriteFault = static_cast<HResult>(0x8003001DU);    // STG_E_WRITEFAULT
inline constexpr HResult StreamReadFault = static_cast<HResult>(0x8003001EU);     // STG_E_READFAULT
inline constexpr HResult StreamInvalidHeader = static_cast<HResult>(0x800300FBU); // STG_E_INVALIDHEADER
inline constexpr HResult StreamOldFormat = static_cast<HResult>(0x80030104U);     // STG_E_OLDFORMAT
} // namespace hr

/// Entries in the order the control wrote them (or the stream held them).
class StoredEntries : public PropertyBag {
public:
    Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override;
    void WriteProperty(const std::u16string& name, const Variant& value) override;
    std::vector<std::pair<std::u16string, Variant>> entries;
};

/// The stream's bytes for `entries`; an array value raises hr::TypeMismatch.
std::vector<unsigned char> writeSettingsStream(const StoredEntries& entries);

/// Reads at most `size` bytes into `into` and answers how many it read: 0 only at the end of the
/// stream. A failure of the stream itself raises its own result code.
using StreamRead = std::function<std::size_t(unsigned char* into, std::size_t size)>;

/// The entries of a stream read through `read`, which is asked for exactly the bytes the format
/// needs. A stream that ends early raises hr::StreamReadFault, a wrong signature or an unknown
/// value type hr::StreamInvalidHeader, another version hr::StreamOldFormat.
StoredEntries readSettingsStream(const StreamRead& read);

} // namespace seg4
