// Recorded traces in the value change dump format (IEEE 1364 VCD), as logic analysers and
// simulators write them, read into signals and their changes over time.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qhost {

/// A trace that cannot be read or replayed: the message names the file and, where one is to
/// blame, the line ("capture.vcd:12: ...").
struct TraceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// The largest trace qhost reads. A capture of a few seconds at a few MHz with every channel
/// toggling stays below it. Only the changes of the wires a replay follows are kept.
inline constexpr std::uintmax_t kMaxTraceBytes = 32u << 20;

/// One declared variable. Several variables may share one identifier code (and so one wire).
struct TraceSignal {
    std::string scope; // the enclosing scopes joined with '.', empty at the top
    std::string name;  // without a bit range written after it
    int width = 1;
    std::size_t wire = 0; // index into Trace::wireCodes
    int line = 0;         // of its $var
};

/// The value a wire takes at a time step: '0', '1', 'x' (unknown or high impedance), or 'v' for
/// a vector or real value, which only a wire no pin reads may carry.
struct TraceChange {
    std::int64_t step = 0;
    std::uint32_t wire = 0;
    char value = 'x';
};

/// The declarations of a trace, from its header.
struct TraceHeader {
    std::string file;
    double secondsPerStep = 1e-9;
    std::vector<TraceSignal> signals;
    std::vector<std::string> wireCodes;
    std::size_t bodyOffset = 0; // where the time steps begin, after $enddefinitions
    int bodyLine = 1;
};

/// The changes of the wires asked for, in time order; the initial values at the first step.
struct TraceBody {
    std::vector<TraceChange> changes;
    std::int64_t firstStep = 0, lastStep = 0; // the first and the last time the trace names
};

/// Reads the header of `text`, the contents of `file`. Throws TraceError for a malformed one.
TraceHeader parseTraceHeader(std::string_view text, const std::string& file);

/// Reads the time steps after the header, keeping the changes of the wires whose `wanted` entry
/// is set. Throws TraceError for an undeclared identifier, a value that is no value, time going
/// backwards or a body without any time, whichever wires they concern.
TraceBody parseTraceBody(std::string_view text, const TraceHeader& header, const std::vector<bool>& wanted);

} // namespace qhost
