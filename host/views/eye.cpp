// What the eye sees of a multiplexed display over simulated time.
//
// The component follows its pins with no afterglow, as a simulator must. An eye (or a camera)
// integrates light over some 20 ms, so a display scanned fast enough looks steady. These views
// are the host's: they render the display in each state its pins held during a window of
// simulated time and blend the pictures by the time spent in each state.
#include "views/eye.h"

#include "automation/conversions.h"
#include "backends/members.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace qhost {

using seg4::Frame;
using seg4::Variant;

namespace {

constexpr double kDigits = 4.0; // a correctly scanned digit is lit a quarter of the time

Variant levelsArray(const Levels& levels) {
    std::vector<Variant> elements;
    for (bool b : levels) elements.push_back(Variant::boolean(b));
    return Variant::array(seg4::VarType::Variant, 0, std::move(elements));
}

/// Shows `levels` on the display, renders it, and leaves the display as it was.
class StateRenderer {
public:
    explicit StateRenderer(Display& display) : display_(display), saved_(display.pinLevels()) {}
    ~StateRenderer() {
        try {
            show(saved_);
        } catch (...) { // restoring is best effort; the error was reported by render()
        }
    }
    StateRenderer(const StateRenderer&) = delete;
    StateRenderer& operator=(const StateRenderer&) = delete;

    Frame render(const Levels& levels) {
        auto it = cache_.find(levels);
        if (it != cache_.end()) return it->second;
        show(levels);
        return cache_.emplace(levels, display_.render()).first->second;
    }

private:
    Display& display_;
    Levels saved_;
    std::map<Levels, Frame> cache_;

    void show(const Levels& levels) {
        Variant value = levelsArray(levels);
        std::vector<Variant*> args{&value};
        display_.invoke(true, requireMember("SimWritePins", seg4::MemberKind::Method), args);
    }
};

/// The time spent in each state of the pins during [end - window, end].
std::map<Levels, double> timeInStates(const PinHistory& h, double end, double window) {
    std::map<Levels, double> spent;
    const double start = end - window;
    for (std::size_t i = 0; i < h.size(); ++i) {
        const double from = std::max(h[i].time, start);
        const double to = std::min(i + 1 < h.size() ? h[i + 1].time : end, end);
        if (to > from) spent[h[i].levels] += to - from;
    }
    if (spent.empty() && !h.empty()) {
        // No time passed: the eye sees the display as it is at that instant.
        auto last = std::upper_bound(h.begin(), h.end(), end,
                                     [](double t, const PinSample& s) { return t < s.time; });
        spent[last == h.begin() ? h.front().levels : std::prev(last)->levels] = 1.0;
    }
    return spent;
}

/// The eye's view at `end`: each segment at the brightness of its lit share in the window,
/// scaled so that a share of 1/4 (one digit of four) looks fully lit.
Frame eyeView(const PinHistory& history, StateRenderer& renderer, double end, double window) {
    const std::map<Levels, double> spent = timeInStates(history, end, window);
    double total = 0;
    for (const auto& [levels, t] : spent) total += t;

    Levels dark{};   // no anode selected: every segment unlit
    Levels bright{}; // every anode selected, every segment line low: every segment lit
    for (int i = 0; i < 4; ++i) bright[static_cast<std::size_t>(i)] = true;
    const Frame unlit = renderer.render(dark);
    const Frame lit = renderer.render(bright);

    std::vector<double> sum(unlit.pixels.size() * 4, 0.0);
    for (const auto& [levels, t] : spent) {
        const Frame f = renderer.render(levels);
        const double w = t / total;
        for (std::size_t i = 0; i < f.pixels.size() && i < unlit.pixels.size(); ++i)
            for (int c = 0; c < 4; ++c)
                sum[i * 4 + static_cast<std::size_t>(c)] += w * ((f.pixels[i] >> (8 * c)) & 0xFF);
    }
    Frame out = unlit;
    for (std::size_t i = 0; i < out.pixels.size(); ++i) {
        std::uint32_t p = 0;
        for (int c = 0; c < 4; ++c) {
            const double u = (unlit.pixels[i] >> (8 * c)) & 0xFF;
            const double l = (lit.pixels[i] >> (8 * c)) & 0xFF;
            const double avg = sum[i * 4 + static_cast<std::size_t>(c)];
            const double lo = std::min(u, l), hi = std::max(u, l);
            const double v = std::clamp(u + kDigits * (avg - u), lo, hi);
            p |= static_cast<std::uint32_t>(std::lround(v)) << (8 * c);
        }
        out.pixels[i] = p;
    }
    return out;
}

} // namespace

Frame eyeView(Display& display, const PinHistory& history, double end, double window) {
    StateRenderer renderer(display);
    return eyeView(history, renderer, end, window);
}

std::vector<Frame> eyeAnimation(Display& display, const PinHistory& history, double now, double step,
                                double window) {
    const double start = history.empty() ? now : history.front().time;
    const double span = now - start;
    // In floating point until the count is known to fit: a span of days in frames of nanoseconds
    // is simply the most frames, not an overflowing conversion.
    const double wanted = std::floor(span / step) + 1;
    const int count =
        wanted < kMaxAnimationFrames ? std::max(1, static_cast<int>(wanted)) : kMaxAnimationFrames;
    StateRenderer renderer(display);
    std::vector<Frame> frames;
    frames.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        frames.push_back(eyeView(history, renderer, std::min(now, start + (i + 1) * step), window));
    return frames;
}

} // namespace qhost
