// The scan report: how a display was multiplexed over the run, read from its pin history.
#include "views/scan.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>

namespace qhost {

namespace {

std::string percent(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f %%", v * 100);
    return b;
}

std::string hertz(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%.1f Hz", v);
    return b;
}

} // namespace

std::string millis(double s) {
    char b[32];
    std::snprintf(b, sizeof b, "%.3f ms", s * 1e3);
    return b;
}

void scanReport(const std::string& name, const PinHistory& h, double now, std::ostream& out) {
    const double start = h.empty() ? now : h.front().time;
    const double span = now - start;
    out << "scan " << name << " over " << millis(span) << " of simulated time\n";
    if (span <= 0) {
        out << "  no simulated time has passed: nothing to report\n";
        return;
    }
    int warnings = 0;
    double overlap = 0;
    int overlaps = 0, ghosts = 0;
    std::array<double, 4> high{};
    std::array<int, 4> rises{};
    for (std::size_t i = 0; i < h.size(); ++i) {
        const double to = i + 1 < h.size() ? h[i + 1].time : now;
        const double dt = std::max(0.0, to - h[i].time);
        int selected = 0;
        for (int a = 0; a < 4; ++a) {
            if (h[i].levels[static_cast<std::size_t>(a)]) {
                high[static_cast<std::size_t>(a)] += dt;
                ++selected;
            }
        }
        if (selected > 1) {
            overlap += dt;
            ++overlaps;
        }
        if (i == 0) continue;
        const auto& before = h[i - 1].levels;
        const auto& after = h[i].levels;
        bool held = false, segmentsChanged = false;
        for (std::size_t a = 0; a < 4; ++a) {
            if (!before[a] && after[a]) ++rises[a];
            if (before[a] && after[a]) held = true;
        }
        for (std::size_t s = 4; s < 12; ++s) segmentsChanged = segmentsChanged || before[s] != after[s];
        if (held && segmentsChanged) ++ghosts;
    }
    for (std::size_t a = 0; a < 4; ++a) {
        const double rate = rises[a] / span;
        out << "  digit " << a << ": " << (rises[a] ? hertz(rate) : std::string("never selected"))
            << ", duty " << percent(high[a] / span) << "\n";
    }
    for (std::size_t a = 0; a < 4; ++a) {
        if (rises[a] > 0 && rises[a] / span < 50) {
            out << "  warning: digit " << a << " is refreshed at " << hertz(rises[a] / span)
                << ", slower than 50 Hz: it flickers\n";
            ++warnings;
        }
    }
    if (overlaps) {
        out << "  warning: two or more anodes were high together " << overlaps << " time(s), "
            << millis(overlap) << " in all: digits show each other's segments\n";
        ++warnings;
    }
    if (ghosts) {
        out << "  warning: segment lines changed " << ghosts
            << " time(s) while a digit stayed selected: ghosting on a real board (blank the anodes first)\n";
        ++warnings;
    }
    if (!warnings) out << "  ok: no flicker, no overlap, no ghosting\n";
}

} // namespace qhost
