// What the eye sees of a multiplexed display over simulated time, the scan report, and pictures
// written as files.
//
// The component follows its pins with no afterglow, as a simulator must. An eye (or a camera)
// integrates light over some 20 ms, so a display scanned fast enough looks steady. These views
// are the host's: they render the display in each state its pins held during a window of
// simulated time and blend the pictures by the time spent in each state.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "backend.h"
#include "commands.h"
#include "display/compositor.h"
#include "interpreter.h"
#include "script_parser.h"
#include "value_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>

namespace qhost {

using seg4::Frame;
using seg4::Variant;

namespace {

constexpr double kDefaultWindow = 0.020; // the eye's persistence
constexpr double kDigits = 4.0;          // a correctly scanned digit is lit a quarter of the time
constexpr int kMaxAnimationFrames = 600;

using Levels = std::array<bool, 12>;

double durationArgument(const std::vector<std::string>& args, std::size_t i, double fallback) {
    if (i >= args.size()) return fallback;
    std::vector<ScriptError> errors;
    ExprPtr e = parseExpression(args[i], errors);
    if (!e || !errors.empty()) throw CommandError("'" + args[i] + "' is no duration (write e.g. 20ms)");
    const double v = seg4::toDouble(e->literal);
    if (!(v > 0) || !std::isfinite(v)) throw CommandError("a duration must be positive: " + args[i]);
    return v;
}

Variant levelsArray(const Levels& levels) {
    std::vector<Variant> elements;
    for (bool b : levels) elements.push_back(Variant::boolean(b));
    return Variant::array(seg4::VarType::Variant, 0, std::move(elements));
}

const seg4::MemberInfo& hostMember(std::string_view name) {
    for (const auto& m : seg4::kHostMembers)
        if (m.name == name) return m;
    throw CommandError("no member " + std::string(name));
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
        display_.invoke(true, hostMember("SimWritePins"), args);
    }
};

/// The time spent in each state of the pins during [end - window, end].
std::map<Levels, double> timeInStates(const PlacedDisplay& d, double end, double window) {
    std::map<Levels, double> spent;
    const double start = end - window;
    const auto& h = d.history;
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
Frame eyeView(PlacedDisplay& d, StateRenderer& renderer, double end, double window) {
    const std::map<Levels, double> spent = timeInStates(d, end, window);
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

// ---- APNG: the frames' own PNG streams re-wrapped as one animation ----

std::uint32_t crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void put32(std::string& s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
}

struct PngChunks {
    std::string ihdr;
    std::string idat; // all IDAT data joined
};

PngChunks readChunks(const std::vector<std::uint8_t>& png) {
    PngChunks c;
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        const std::uint32_t len = static_cast<std::uint32_t>(png[pos]) << 24 |
                                  static_cast<std::uint32_t>(png[pos + 1]) << 16 |
                                  static_cast<std::uint32_t>(png[pos + 2]) << 8 | png[pos + 3];
        const std::string type(reinterpret_cast<const char*>(&png[pos + 4]), 4);
        if (pos + 12 + len > png.size()) break;
        const std::string data(reinterpret_cast<const char*>(&png[pos + 8]), len);
        if (type == "IHDR") c.ihdr = data;
        if (type == "IDAT") c.idat += data;
        pos += 12 + len;
    }
    return c;
}

std::string animatedPng(const std::vector<Frame>& frames, int delayMs) {
    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const PngChunks c = readChunks(seg4::encodePng(frames[i]));
        if (i == 0) {
            chunk(out, "IHDR", c.ihdr);
            std::string actl;
            put32(actl, static_cast<std::uint32_t>(frames.size()));
            put32(actl, 0); // play forever
            chunk(out, "acTL", actl);
        }
        std::string fctl;
        put32(fctl, sequence++);
        put32(fctl, static_cast<std::uint32_t>(frames[i].width));
        put32(fctl, static_cast<std::uint32_t>(frames[i].height));
        put32(fctl, 0);
        put32(fctl, 0);
        fctl += static_cast<char>((delayMs >> 8) & 0xFF);
        fctl += static_cast<char>(delayMs & 0xFF);
        fctl += static_cast<char>(0x03); // delay in 1/1000 s
        fctl += static_cast<char>(0xE8);
        fctl += '\0'; // dispose: none
        fctl += '\0'; // blend: source
        chunk(out, "fcTL", fctl);
        if (i == 0) {
            chunk(out, "IDAT", c.idat);
        } else {
            std::string fdat;
            put32(fdat, sequence++);
            chunk(out, "fdAT", fdat + c.idat);
        }
    }
    chunk(out, "IEND", "");
    return out;
}

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

std::string millis(double s) {
    char b[32];
    std::snprintf(b, sizeof b, "%.3f ms", s * 1e3);
    return b;
}

void scanReport(Interpreter& in, PlacedDisplay& d, std::ostream& out) {
    const auto& h = d.history;
    const double start = h.empty() ? in.now() : h.front().time;
    const double span = in.now() - start;
    out << "scan " << d.name << " over " << millis(span) << " of simulated time\n";
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
        const double to = i + 1 < h.size() ? h[i + 1].time : in.now();
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
        const auto& now = h[i].levels;
        bool held = false, segmentsChanged = false;
        for (std::size_t a = 0; a < 4; ++a) {
            if (!before[a] && now[a]) ++rises[a];
            if (before[a] && now[a]) held = true;
        }
        for (std::size_t s = 4; s < 12; ++s) segmentsChanged = segmentsChanged || before[s] != now[s];
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

} // namespace

void writeSnapshot(const Frame& picture, const std::string& path) {
    const std::vector<std::uint8_t> png = seg4::encodePng(picture);
    writeFile(path, std::string(png.begin(), png.end()));
}

void runViewCommand(Interpreter& in, const std::string& word, const std::vector<std::string>& args,
                    int line) {
    PlacedDisplay& d = in.current(line);
    if (word == "eye") {
        if (args.empty() || args.size() > 2) throw CommandError("usage: eye FILE.png [WINDOW]");
        const double window = durationArgument(args, 1, kDefaultWindow);
        StateRenderer renderer(*d.display);
        writeSnapshot(eyeView(d, renderer, in.now(), window), args[0]);
        in.out() << "wrote " << args[0] << " (what an eye sees over " << millis(window) << ")\n";
    } else if (word == "scan") {
        if (args.size() > 1) throw CommandError("usage: scan [FILE]");
        std::ostringstream report;
        scanReport(in, d, report);
        in.out() << report.str();
        if (!args.empty()) writeFile(args[0], report.str());
    } else if (word == "animate") {
        if (args.empty() || args.size() > 3)
            throw CommandError("usage: animate FILE.png [FRAME-TIME] [WINDOW]");
        const double step = durationArgument(args, 1, 0.040);
        const double window = durationArgument(args, 2, kDefaultWindow);
        const double start = d.history.empty() ? in.now() : d.history.front().time;
        const double span = in.now() - start;
        const int count = std::clamp(static_cast<int>(span / step) + 1, 1, kMaxAnimationFrames);
        StateRenderer renderer(*d.display);
        std::vector<Frame> frames;
        frames.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            frames.push_back(eyeView(d, renderer, std::min(in.now(), start + (i + 1) * step), window));
        writeFile(args[0], animatedPng(frames, static_cast<int>(std::lround(step * 1000))));
        in.out() << "wrote " << args[0] << " (" << frames.size() << " frames, one every " << millis(step)
                 << ")\n";
    } else {
        throw CommandError("unknown command '" + word + "'");
    }
}

} // namespace qhost
