// Mapping a trace's signals to a display's pins by name or by an explicit list.
#include "traces/pin_mapping.h"

#include "views/value_change_dump.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace qhost {

namespace {

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

/// Names compare as a dump writes them: blanks as underscores, any letter case.
std::string comparable(const std::string& name) { return lowerCase(dumpName(name)); }

std::string lastScope(const std::string& scope) {
    const std::size_t dot = scope.rfind('.');
    return dot == std::string::npos ? scope : scope.substr(dot + 1);
}

std::string fullName(const TraceSignal& s) { return s.scope.empty() ? s.name : s.scope + "." + s.name; }

/// The one signal called `wanted` (with or without its scopes), preferring the display's scope
/// when several scopes have one; none when there is no such signal.
std::optional<std::size_t> findSignal(const TraceHeader& trace, const std::string& wanted,
                                      const std::string& displayName) {
    // With its scopes a name must match whole, any letter case; without them, any scope's.
    const bool scoped = wanted.find('.') != std::string::npos;
    const std::string key = scoped ? lowerCase(wanted) : comparable(wanted);
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < trace.signals.size(); ++i) {
        const TraceSignal& s = trace.signals[i];
        if ((scoped ? lowerCase(fullName(s)) : comparable(s.name)) == key) found.push_back(i);
    }
    if (found.size() > 1) {
        const std::string scope = comparable(displayName);
        std::vector<std::size_t> inScope;
        for (std::size_t i : found)
            if (comparable(lastScope(trace.signals[i].scope)) == scope) inScope.push_back(i);
        if (inScope.size() == 1) return inScope[0];
        std::string names;
        for (std::size_t i : found) names += (names.empty() ? "" : ", ") + fullName(trace.signals[i]);
        throw TraceError(trace.file + ": the signal '" + wanted + "' is ambiguous (" + names +
                         "); name it with its scope in --map");
    }
    if (found.empty()) return std::nullopt;
    return found[0];
}

/// The pin a map entry names: its number or its name.
std::size_t findPin(const std::string& pin, const std::array<std::string, kTracePins>& pinNames,
                    const std::string& file) {
    if (!pin.empty() && pin.size() <= 2 &&
        std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const std::size_t n = std::stoul(pin);
        if (n < kTracePins) return n;
    }
    for (std::size_t p = 0; p < kTracePins; ++p)
        if (comparable(pinNames[p]) == comparable(pin)) return p;
    throw TraceError(file + ": --map names the pin '" + pin +
                     "', which the display does not have (0-11 or a pin name)");
}

void follow(PinWires& pins, std::size_t pin, const TraceSignal& s, const std::string& file) {
    if (s.width != 1)
        throw TraceError(file + ":" + std::to_string(s.line) + ": the signal '" + fullName(s) + "' is " +
                         std::to_string(s.width) + " bits wide; a pin follows a signal of one bit");
    pins.wire[pin] = static_cast<std::uint32_t>(s.wire);
}

} // namespace

PinWires mapPins(const TraceHeader& trace, const std::array<std::string, kTracePins>& pinNames,
                 const std::string& displayName, const std::string& map) {
    PinWires pins;
    std::array<bool, kTracePins> mapped{};
    for (std::size_t from = 0; from < map.size();) {
        std::size_t comma = map.find(',', from);
        if (comma == std::string::npos) comma = map.size();
        const std::string entry = map.substr(from, comma - from);
        from = comma + 1;
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == entry.size())
            throw TraceError(trace.file + ": --map entry '" + entry + "' is not SIGNAL=PIN");
        const std::string signal = entry.substr(0, equals);
        const std::size_t pin = findPin(entry.substr(equals + 1), pinNames, trace.file);
        const std::optional<std::size_t> s = findSignal(trace, signal, displayName);
        if (!s)
            throw TraceError(trace.file + ": --map names the signal '" + signal +
                             "', which the trace does not declare");
        if (mapped[pin])
            throw TraceError(trace.file + ": --map gives the pin " + std::to_string(pin) + " (" +
                             pinNames[pin] + ") a second signal, '" + signal + "'");
        follow(pins, pin, trace.signals[*s], trace.file);
        mapped[pin] = true;
    }
    std::string missing;
    for (std::size_t p = 0; p < kTracePins; ++p) {
        if (mapped[p]) continue;
        const std::optional<std::size_t> s = findSignal(trace, pinNames[p], displayName);
        if (!s) {
            missing += (missing.empty() ? "" : ", ") + std::to_string(p) + " (" + pinNames[p] + ")";
            continue;
        }
        follow(pins, p, trace.signals[*s], trace.file);
        mapped[p] = true;
    }
    if (!missing.empty())
        throw TraceError(trace.file + ": no signal drives pin(s) " + missing +
                         "; name signals after the pins or map them with --map SIGNAL=PIN,...");
    for (const TraceSignal& s : trace.signals)
        if (std::find(pins.wire.begin(), pins.wire.end(), s.wire) == pins.wire.end())
            pins.ignored.push_back(fullName(s));
    return pins;
}

std::vector<ReplayStep> replaySteps(const TraceHeader& trace, const TraceBody& body, const PinWires& pins,
                                    double& end) {
    std::vector<char> wires(trace.wireCodes.size(), 'x');
    std::vector<ReplayStep> steps;
    const auto seconds = [&](std::int64_t step) {
        return static_cast<double>(step - body.firstStep) * trace.secondsPerStep;
    };
    for (std::size_t i = 0; i < body.changes.size();) {
        const std::int64_t step = body.changes[i].step;
        for (; i < body.changes.size() && body.changes[i].step == step; ++i) {
            const TraceChange& c = body.changes[i];
            if (c.value == 'v' && std::find(pins.wire.begin(), pins.wire.end(), c.wire) != pins.wire.end())
                throw TraceError(trace.file + ": at #" + std::to_string(step) + " the wire '" +
                                 trace.wireCodes[c.wire] + "' of a pin takes a value wider than one bit");
            wires[c.wire] = c.value;
        }
        ReplayStep next{seconds(step), {}};
        for (std::size_t p = 0; p < kTracePins; ++p) next.levels[p] = wires[pins.wire[p]];
        if (steps.empty() || steps.back().levels != next.levels) steps.push_back(next);
    }
    end = seconds(body.lastStep);
    return steps;
}

} // namespace qhost
