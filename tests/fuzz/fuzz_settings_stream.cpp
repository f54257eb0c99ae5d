// Arbitrary bytes as the control's settings stream: reading either fails with one of the
// stream's result codes or takes exactly the bytes of the entries it returns (writing them again
// gives a stream of that length, which reads back to the same stream), and what was read loads
// into a control or fails with an automation error. Nothing crashes.
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "persistence/stream_format.h"
#include "posix_platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace {

/// A stream over the bytes that hands out at most `chunk` bytes a call, as a container's
/// stream may.
struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t chunk;
    std::size_t at = 0;
    std::size_t operator()(unsigned char* into, std::size_t want) {
        const std::size_t n = std::min({want, size - at, chunk});
        if (n > 0) std::memcpy(into, data + at, n);
        at += n;
        return n;
    }
};

bool isStreamFailure(seg4::HResult code) {
    return code == seg4::hr::StreamReadFault || code == seg4::hr::StreamInvalidHeader ||
           code == seg4::hr::StreamOldFormat;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // Byte 0 chooses how many bytes the stream hands out at once (1 to 256).
    Bytes stream{data + 1, size - 1, std::size_t{data[0]} + 1};
    seg4::StoredEntries read;
    try {
        read = seg4::readSettingsStream(std::ref(stream));
    } catch (const seg4::ComError& e) {
        if (!isStreamFailure(e.code())) __builtin_trap();
        return 0;
    }
    const std::vector<unsigned char> written = seg4::writeSettingsStream(read);
    if (written.size() != stream.at) __builtin_trap(); // no byte past the control's data
    Bytes again{written.data(), written.size(), written.size()};
    if (seg4::writeSettingsStream(seg4::readSettingsStream(std::ref(again))) != written) __builtin_trap();

    static seg4::PosixPlatform platform;
    seg4::Led7Seg4 control(platform);
    control.Initialize();
    try {
        control.ReadProperties(read);
    } catch (const seg4::ComError&) {
        return 0; // a value of the wrong kind fails the load as it fails a property bag's
    }
    seg4::StoredEntries saved;
    control.WriteProperties(saved);
    if (saved.entries.size() != 26) __builtin_trap();
    return 0;
}
