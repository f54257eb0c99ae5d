// Arbitrary bytes as a registry export file: they load, or they fail with std::runtime_error
// and leave the registry exactly as it was. A file that loads once loads again to the same
// registry, and every value of it answers a query.
#include "registry.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace seg4;
    const seg4::text::AnsiCodec& ansi = seg4::text::windows1252();
    Registry registry;
    registry.setString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentProfile", u"QuorvaneV4");
    registry.setValue(u"Software\\Bin", RegistryValue{u"b", regtype::Binary, {1, 2, 3}});
    const Registry before = registry;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        registry.load(bytes, "fuzz.reg", ansi);
    } catch (const std::runtime_error&) {
        if (!(registry == before)) std::abort();
        return 0;
    }
    const Registry once = registry;
    registry.load(bytes, "fuzz.reg", ansi); // must not throw: it loaded before
    if (!(registry == once)) std::abort();
    for (std::size_t buffer : {std::size_t{0}, std::size_t{4}, std::size_t{256}})
        (void)registry.queryAnsiString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentProfile", buffer,
                                       ansi);
    return 0;
}
