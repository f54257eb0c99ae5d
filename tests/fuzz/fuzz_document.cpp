// Arbitrary bytes as a host document: read, and every display it names loaded into a real control
// through its property bag. A bad document is an error message, a bad entry fails that display's
// load with an automation error; nothing crashes and no other exception escapes.
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "posix_platform.h"
#include "views/documents.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static seg4::PosixPlatform platform;
    std::vector<std::string> warnings;
    std::vector<qhost::DocumentDisplay> displays;
    try {
        displays = qhost::documentFromJson(std::string(reinterpret_cast<const char*>(data), size), warnings);
    } catch (const std::runtime_error&) {
        return 0;
    }
    for (auto& d : displays) {
        seg4::Led7Seg4 control(platform);
        control.Initialize();
        try {
            control.ReadProperties(d.bag);
        } catch (const seg4::ComError&) {
            continue; // the entry that failed is reported by the host
        }
        // What loaded is stored again exactly as it was read.
        qhost::OrderedBag again;
        control.WriteProperties(again);
        if (again.entries.size() != 26) __builtin_trap();
    }
    return 0;
}
