// The plain records of the control: one pin of the display and one macro of its code file.
#pragma once

#include "automation/variant.h"

#include <cstdint>
#include <string>

namespace seg4 {

/// One of the twelve connections. Pin 0..3 are the anodes (pin 0 = "Anode 3", the rightmost
/// digit), pin 4..10 the segment lines A..G, pin 11 the decimal point.
struct RSPin {
    std::u16string PinName;
    std::int32_t Direction = 0;
    std::int32_t DesiredPort = 0;
    bool PortMandatory = false;
    std::int32_t SamePortAsID = 0;
    std::int32_t DesiredBit = 0;
    bool BitMandatory = false;
    bool SimValue = false; // simulated level, true = high
    double AnalogueSim = 0.0;
    std::int32_t Port = 0; // -1 = not connected
    std::int32_t Bit = 0;  // -1 = not connected

    bool connected() const noexcept { return Port != -1 && Bit != -1; }
};

/// One macro the host can call, as listed in the code file.
struct RSMacro {
    std::u16string MacroName; // display name | code name | return type
    bool IsFunction = false;
    bool IsPrivate = false;
    Variant MacroParams; // array of strings, empty variant array, or Empty
};

} // namespace seg4
