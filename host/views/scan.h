// The scan report of a display's pin history.
#pragma once

#include "views/pin_history.h"

#include <iosfwd>
#include <string>

namespace qhost {

/// Per digit the refresh rate and duty up to `now`, with warnings for flicker (under 50 Hz),
/// overlapping anodes and segment lines changing under a selected digit.
void scanReport(const std::string& name, const PinHistory& history, double now, std::ostream& out);

/// Seconds as milliseconds with three decimals ("20.000 ms").
std::string millis(double seconds);

} // namespace qhost
