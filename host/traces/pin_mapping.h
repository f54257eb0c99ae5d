// Which signal of a recorded trace drives which pin of a display, and the pin levels the
// trace gives them step by step.
#pragma once

#include "traces/value_change_trace.h"

#include <array>
#include <string>
#include <vector>

namespace qhost {

constexpr std::size_t kTracePins = 12;

/// The wire each pin follows, and the signals no pin follows (by name, for the report).
struct PinWires {
    std::array<std::uint32_t, kTracePins> wire{};
    std::vector<std::string> ignored;
};

/// Maps the pins to the trace's signals: first by `map` ("SIGNAL=PIN,..." where SIGNAL is a
/// name, with its scopes before it joined by dots if need be, and PIN a number 0-11 or a pin
/// name), then every other pin to the signal of its name (blanks as underscores, any letter
/// case, in any scope; in the scope named like `displayName` when several scopes have it).
/// Throws TraceError for an unknown or ambiguous signal, an unknown pin, a signal wider than
/// one bit, or pins left without a signal.
PinWires mapPins(const TraceHeader& trace, const std::array<std::string, kTracePins>& pinNames,
                 const std::string& displayName, const std::string& map);

/// The levels of the pins from a time on: '0', '1', or 'x' where the trace leaves a pin
/// undriven (unknown, high impedance, or no value yet).
struct ReplayStep {
    double seconds = 0; // since the trace's first time
    std::array<char, kTracePins> levels{};
};

/// One step per time at which the pins' levels change, the first at 0; `end` is set to the
/// trace's last time. Throws TraceError when a pin's signal carries a wider value.
std::vector<ReplayStep> replaySteps(const TraceHeader& trace, const TraceBody& body, const PinWires& pins,
                                    double& end);

} // namespace qhost
