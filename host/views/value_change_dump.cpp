// Value change dumps of the displays' pin histories.
#include "views/value_change_dump.h"

#include <cmath>
#include <map>
#include <set>
#include <utility>

namespace qhost {

namespace {

constexpr std::size_t kPins = 12;

/// The identifier code of the n-th wire: printable characters from '!' to '~', as few as it
/// takes (bijective base 94, so that every n has a code of its own).
std::string identifier(std::size_t n) {
    std::string code(1, static_cast<char>('!' + n % 94));
    for (n /= 94; n > 0; n /= 94) {
        --n;
        code += static_cast<char>('!' + n % 94);
    }
    return code;
}

/// `name`, or `name` with the first free suffix _2, _3, ... when it is taken already.
std::string unique(const std::string& name, std::set<std::string>& taken) {
    std::string candidate = name;
    for (int n = 2; !taken.insert(candidate).second; ++n) candidate = name + "_" + std::to_string(n);
    return candidate;
}

} // namespace

DumpTimescale dumpTimescale(double clockHz) {
    static constexpr DumpTimescale kSteps[] = {
        {"1 ns", 1e9}, {"100 ps", 1e10}, {"10 ps", 1e11}, {"1 ps", 1e12}};
    for (const DumpTimescale& t : kSteps)
        if (t.stepsPerSecond >= clockHz) return t;
    return kSteps[std::size(kSteps) - 1];
}

std::string dumpName(const std::string& utf8) {
    std::string name;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80) continue; // the rest of a character beyond ASCII: one underscore is enough
        const bool kept = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                          (byte >= '0' && byte <= '9') || byte == '_';
        name += kept ? c : '_';
    }
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) name.insert(0, "_");
    return name;
}

std::string valueChangeDump(const std::vector<DumpedDisplay>& displays, double now, DumpTimescale timescale) {
    std::string out =
        "$version qhost $end\n"
        "$comment pin levels of the placed displays: 1 high, 0 low, x before a display was placed $end\n"
        "$timescale " +
        std::string(timescale.text) + " $end\n";
    std::set<std::string> scopes;
    for (std::size_t d = 0; d < displays.size(); ++d) {
        out += "$scope module " + unique(dumpName(displays[d].name), scopes) + " $end\n";
        std::set<std::string> wires;
        for (std::size_t p = 0; p < kPins; ++p)
            out += "$var wire 1 " + identifier(d * kPins + p) + " " +
                   unique(dumpName(displays[d].pinNames[p]), wires) + " $end\n";
        out += "$upscope $end\n";
    }
    out += "$enddefinitions $end\n";

    // The samples of all displays by time step; of two samples of a display in one step, the
    // later one holds.
    const auto step = [&timescale](double seconds) {
        return std::llround(seconds * timescale.stepsPerSecond);
    };
    std::map<long long, std::vector<std::pair<std::size_t, const Levels*>>> samples;
    for (std::size_t d = 0; d < displays.size(); ++d)
        for (const PinSample& s : *displays[d].history) samples[step(s.time)].push_back({d, &s.levels});

    std::vector<std::array<char, kPins>> shown(displays.size());
    for (auto& levels : shown) levels.fill('x');
    // The value changes one step brings, in the order of the wires.
    const auto changes = [&](const std::vector<std::pair<std::size_t, const Levels*>>& atStep) {
        std::vector<std::array<char, kPins>> before = shown;
        for (const auto& [d, levels] : atStep)
            for (std::size_t p = 0; p < kPins; ++p) shown[d][p] = (*levels)[p] ? '1' : '0';
        std::string text;
        for (std::size_t d = 0; d < displays.size(); ++d)
            for (std::size_t p = 0; p < kPins; ++p)
                if (shown[d][p] != before[d][p]) text += shown[d][p] + identifier(d * kPins + p) + "\n";
        return text;
    };

    auto next = samples.begin();
    if (next != samples.end() && next->first <= 0) changes((next++)->second);
    out += "#0\n$dumpvars\n";
    for (std::size_t d = 0; d < displays.size(); ++d)
        for (std::size_t p = 0; p < kPins; ++p) out += shown[d][p] + identifier(d * kPins + p) + "\n";
    out += "$end\n";
    long long last = 0;
    for (; next != samples.end(); ++next) {
        const std::string text = changes(next->second);
        if (text.empty()) continue;
        out += "#" + std::to_string(next->first) + "\n" + text;
        last = next->first;
    }
    // The run goes on after the last change until now.
    if (step(now) > last) out += "#" + std::to_string(step(now)) + "\n";
    return out;
}

} // namespace qhost
