// Arbitrary bytes split into a buffer size, a section, a key and the file: the profile reader
// answers without failing, never with more than buffer - 1 bytes, and the same answer twice.
// Layout: byte 0 = buffer size, byte 1 = section length, byte 2 = key length, then the section,
// the key, and the rest is the file.
#include "profile_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t buffer = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::size_t sectionLength = std::min<std::size_t>(data[1], rest.size());
    const std::string_view section = rest.substr(0, sectionLength);
    rest.remove_prefix(sectionLength);
    const std::size_t keyLength = std::min<std::size_t>(data[2], rest.size());
    const std::string_view key = rest.substr(0, keyLength);
    rest.remove_prefix(keyLength);

    const std::string answer = seg4::readProfileString(rest, section, key, " 'default' ", buffer);
    if (answer.size() > (buffer == 0 ? 0 : buffer - 1)) std::abort();
    if (seg4::readProfileString(rest, section, key, " 'default' ", buffer) != answer) std::abort();
    const std::string unreadable = seg4::unreadableProfileString(rest, buffer, seg4::text::windows1252());
    if (unreadable.size() > (buffer == 0 ? 0 : buffer - 1)) std::abort();
    return 0;
}
