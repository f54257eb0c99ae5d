// A property bag holding arbitrary values under the display's keys (and others): loading takes
// every entry it can and fails with an automation error at the first it cannot; a display that
// loaded stores back what it read, and one that failed can still be drawn (a size too large for
// the 16-bit layout fails the drawing with overflow).
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "fuzz_values.h"
#include "posix_platform.h"
#include "views/documents.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const char16_t* const kKeys[] = {u"Port0",  u"Bit0",  u"Port5",     u"Bit5",    u"Port10", u"Bit10",
                                 u"Port11", u"Bit11", u"LEDColour", u"LEDSize", u"Other"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static seg4::PosixPlatform platform;
    fuzz::Reader in(data, size);
    qhost::OrderedBag bag;
    while (in.more() && bag.entries.size() < 32)
        bag.WriteProperty(kKeys[in.byte() % std::size(kKeys)], in.value());

    seg4::Led7Seg4 control(platform);
    control.Initialize();
    const bool newDisplay = in.byte() & 1;
    if (newDisplay) control.InitProperties();
    try {
        control.ReadProperties(bag);
    } catch (const seg4::ComError& e) {
        const seg4::HResult c = e.code();
        if (c != seg4::hr::TypeMismatch && c != seg4::hr::Overflow && c != seg4::hr::InvalidUseOfNull &&
            c != seg4::hr::InvalidArgument)
            __builtin_trap();
        try {
            control.Paint(); // a display whose load failed still draws, or fails as loading did
        } catch (const seg4::ComError& again) {
            if (again.code() != seg4::hr::Overflow && again.code() != seg4::hr::InvalidArgument)
                __builtin_trap();
        }
        return 0;
    }
    qhost::OrderedBag saved;
    control.WriteProperties(saved);
    if (saved.entries.size() != 26) __builtin_trap();
    return 0;
}
