// Value change dumps (IEEE 1364 VCD) of the displays' pin histories, for waveform viewers.
#pragma once

#include "views/pin_history.h"

#include <array>
#include <string>
#include <vector>

namespace qhost {

/// One display as the dump shows it: a scope named after the display, one wire per pin.
struct DumpedDisplay {
    std::string name;
    std::array<std::string, 12> pinNames; // as the display names its pins (UTF-8)
    const PinHistory* history = nullptr;
};

/// The time step of a dump: the coarsest of 1 ns, 100 ps, 10 ps and 1 ps that still resolves
/// one cycle of a `clockHz` clock.
struct DumpTimescale {
    const char* text; // as the dump's $timescale writes it
    double stepsPerSecond;
};
DumpTimescale dumpTimescale(double clockHz);

/// The pin levels of `displays` from time 0 up to `now` as a value change dump: the names
/// made legal (letters, digits and underscores), an initial $dumpvars (x for a display
/// placed later), then every change at its simulated time, and `now` as the last time.
std::string valueChangeDump(const std::vector<DumpedDisplay>& displays, double now, DumpTimescale timescale);

/// A name a dump may use: ASCII letters, digits and underscores, every other character (a
/// blank, punctuation, a letter beyond ASCII) an underscore; never empty, never a leading digit.
std::string dumpName(const std::string& utf8);

} // namespace qhost
