// The display's hot paths against floors measured in the same run:
//   SimWritePins that changes nothing against twelve compares of levels, and one that changes a
//   level (plus the Paint it asks for);
//   Paint without layout (one backdrop and 32 overlay visibilities) against 36 boolean stores;
//   a full composite of a display at LEDSize 20, 50 and 85 against a memcpy of the same frame
//   (two digits lit and two unlit; also all unlit, one digit lit, and one digit showing "2");
//   the first draw after a change with nothing kept in the process (the pictures scaled), and a
//   snapshot of a display whose pictures the process keeps;
//   the memory that 1,000 displays drawn at one size keep above one display.
#include "component/control_site.h"
#include "component/led7seg4.h"
#include "display/compositor.h"
#include "display/layout.h"
#include "posix_platform.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace seg4;

/// A display with a pin table at the given size, laid out once, every segment unlit (every
/// overlay drawn: the most work for the compositor).
struct Bench {
    Led7Seg4State st;
    display::Layout layout;
    display::Extent extent;

    explicit Bench(int size) : extent(display::extentFor(size, 15, 15)) {
        st.m_lPinCount = 12;
        st.m_Pins.emplace(12);
        st.m_lLEDSize = size;
        layout.paint(st, 15, 15);
    }
    int width() const { return pixelsFromTwips(extent.width, 15); }
    int height() const { return pixelsFromTwips(extent.height, 15); }
};

// The least a Paint can do: store the visible flag of each of the 36 layers (the layer
// records, not a packed array, so the stores cannot merge into a few wide ones).
void Floor36BoolStores(benchmark::State& state) {
    LayerSet layers;
    unsigned n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&layers);
        const bool v = (++n & 1) != 0;
        for (Layer& l : layers.backdrops) l.visible = v;
        for (Layer& l : layers.overlays) l.visible = v;
        benchmark::ClobberMemory();
    }
}

void Paint(benchmark::State& state) {
    Bench b(50);
    auto& pins = *b.st.m_Pins;
    unsigned n = 0;
    for (auto _ : state) {
        // A simulation step: one level changed, then the redraw it asks for.
        pins[n++ % 12].SimValue ^= true;
        b.layout.paint(b.st, 15, 15);
    }
    if (b.layout.layoutPasses() != 1) state.SkipWithError("Paint laid out again");
}

void FloorMemcpy(benchmark::State& state) {
    Bench b(static_cast<int>(state.range(0)));
    const std::size_t n = static_cast<std::size_t>(b.width()) * static_cast<std::size_t>(b.height());
    std::vector<std::uint32_t> src(n, 0x12345678u), dst(n);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), n * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

/// Draws a display whose digits 0..3 show `lit` of them fully lit and the rest unlit.
void compositeWithLitDigits(benchmark::State& state, int lit) {
    Bench b(static_cast<int>(state.range(0)));
    auto& pins = *b.st.m_Pins;
    for (int d = 0; d < lit; ++d) pins[static_cast<std::size_t>(d)].SimValue = true;
    b.layout.paint(b.st, 15, 15);
    Compositor compositor;
    Frame frame;
    compositor.draw(b.layout.layers(), b.width(), b.height(), 15, 15, frame); // scale the pictures once
    for (auto _ : state) {
        compositor.draw(b.layout.layers(), b.width(), b.height(), 15, 15, frame);
        benchmark::DoNotOptimize(frame.pixels.data());
        benchmark::ClobberMemory();
    }
}

// Two digits lit and two unlit start from different frames (each digit's box copied from its
// own); a new display shows all 32 overlays, a multiplexed simulation mostly 24 (one digit
// selected, whose pattern mixes lit and unlit segments).
void Composite(benchmark::State& state) { compositeWithLitDigits(state, 2); }
void CompositeAllUnlit(benchmark::State& state) { compositeWithLitDigits(state, 0); }
void CompositeOneDigit(benchmark::State& state) { compositeWithLitDigits(state, 1); }

// One digit selected showing "2" (segments C, F and the point dark): the digit's box mixes lit
// and unlit segments, the most a draw has to blend.
void CompositeMixedDigit(benchmark::State& state) {
    Bench b(static_cast<int>(state.range(0)));
    auto& pins = *b.st.m_Pins;
    b.st.m_bSimulating = true; // a high segment line shows dark only while simulating
    pins[0].SimValue = true;
    constexpr unsigned kPatternOfTwo = 0xA4; // a set bit leaves its segment dark
    for (std::size_t s = 0; s < 8; ++s) pins[4 + s].SimValue = ((kPatternOfTwo >> s) & 1) != 0;
    b.layout.paint(b.st, 15, 15);
    Compositor compositor;
    Frame frame;
    compositor.draw(b.layout.layers(), b.width(), b.height(), 15, 15, frame);
    for (auto _ : state) {
        compositor.draw(b.layout.layers(), b.width(), b.height(), 15, 15, frame);
        benchmark::DoNotOptimize(frame.pixels.data());
        benchmark::ClobberMemory();
    }
}

// The least SimWritePins can do when nothing changed: one type and length check of the array,
// then twelve direct compares of a given level with a stored one. The stored levels are hidden
// from the compiler as the given ones are, so that the compares are made (known all false, they
// would fold into a test of the given levels alone).
void FloorTwelveCompares(benchmark::State& state) {
    struct Levels {
        VarType type = VarType::Bool;
        std::int32_t count = 12;
        std::array<bool, 12> level{};
    };
    Levels given;
    std::array<bool, 12> stored{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(&given);
        benchmark::DoNotOptimize(stored.data());
        bool changed = given.type != VarType::Bool || given.count != 12;
        for (std::size_t i = 0; i < 12; ++i) changed |= stored[i] != given.level[i];
        benchmark::DoNotOptimize(changed);
        benchmark::ClobberMemory();
    }
}

/// A new display on the Linux platform, as the host makes one, with no container.
struct Control {
    PosixPlatform platform;
    Led7Seg4 control{platform};
    Control() {
        platform.setMessageBoxHandler([](const MessageBoxRequest&) { return 1; });
        control.Initialize();
        control.InitProperties();
        control.Resize();
    }
};

/// Twelve levels as the host writes them: a Variant array of Booleans.
Variant levelsOf(unsigned high) {
    std::vector<Variant> levels;
    for (unsigned p = 0; p < 12; ++p) levels.push_back(Variant::boolean(((high >> p) & 1) != 0));
    return Variant::array(VarType::Variant, 0, std::move(levels));
}

void SimWritePinsNoChange(benchmark::State& state) {
    Control c;
    const Variant levels = levelsOf(0x5A5);
    c.control.SimWritePins(levels);
    for (auto _ : state) c.control.SimWritePins(levels);
}

void SimWritePinsChange(benchmark::State& state) {
    Control c;
    const Variant levels[2] = {levelsOf(0x5A5), levelsOf(0x5A4)};
    unsigned n = 0;
    for (auto _ : state) c.control.SimWritePins(levels[++n & 1]);
}

// The floor of a change: the repaint it asks for.
void PaintOfAControl(benchmark::State& state) {
    Control c;
    for (auto _ : state) c.control.Paint();
}

/// The first draw of a display at the given size after the process let go of every picture:
/// each shown layer scaled, then stacked.
void ColdDraw(benchmark::State& state) {
    Bench b(static_cast<int>(state.range(0)));
    Frame frame;
    for (auto _ : state) {
        Compositor::releaseUnused();
        Compositor compositor;
        compositor.draw(b.layout.layers(), b.width(), b.height(), 15, 15, frame);
        benchmark::DoNotOptimize(frame.pixels.data());
    }
}

/// A snapshot (a new compositor, as qhost makes one) of a display whose pictures the process keeps.
void CachedSnapshot(benchmark::State& state) {
    Bench b(static_cast<int>(state.range(0)));
    Compositor keeper; // the display's own view keeps its pictures
    Frame frame;
    keeper.draw(b.layout.layers(), b.width(), b.height(), 15, 15, frame);
    for (auto _ : state) {
        Frame shot = composite(b.layout.layers(), b.width(), b.height(), 15, 15);
        benchmark::DoNotOptimize(shot.pixels.data());
    }
}

/// Bytes the process keeps for drawing 1,000 displays at one size above what one display keeps
/// (their views' compositors and the shared pictures), reported as a counter.
void Memory1000Displays(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    double extra = 0;
    for (auto _ : state) {
        Compositor::releaseUnused();
        std::vector<std::unique_ptr<Bench>> displays;
        std::vector<std::unique_ptr<Compositor>> views;
        Frame frame;
        const auto add = [&] {
            displays.push_back(std::make_unique<Bench>(size));
            views.push_back(std::make_unique<Compositor>());
            views.back()->draw(displays.back()->layout.layers(), displays.back()->width(),
                               displays.back()->height(), 15, 15, frame);
        };
        add();
        const double one =
            static_cast<double>(Compositor::sharedBytes() + sizeof(Bench) + sizeof(Compositor));
        for (int i = 1; i < 1000; ++i) add();
        const double all =
            static_cast<double>(Compositor::sharedBytes() + 1000 * (sizeof(Bench) + sizeof(Compositor)));
        extra = all - one;
    }
    state.counters["extra_bytes"] = extra;
}

BENCHMARK(FloorTwelveCompares);
BENCHMARK(SimWritePinsNoChange);
BENCHMARK(SimWritePinsChange);
BENCHMARK(PaintOfAControl);
BENCHMARK(ColdDraw)->Arg(20)->Arg(50)->Arg(85)->Unit(benchmark::kMicrosecond);
BENCHMARK(CachedSnapshot)->Arg(20)->Arg(50)->Arg(85)->Unit(benchmark::kMicrosecond);
BENCHMARK(Memory1000Displays)->Arg(20)->Arg(50)->Arg(85)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Floor36BoolStores);
BENCHMARK(Paint);
BENCHMARK(FloorMemcpy)->Arg(20)->Arg(50)->Arg(85);
BENCHMARK(Composite)->Arg(20)->Arg(50)->Arg(85);
BENCHMARK(CompositeAllUnlit)->Arg(20)->Arg(50)->Arg(85);
BENCHMARK(CompositeOneDigit)->Arg(20)->Arg(50)->Arg(85);
BENCHMARK(CompositeMixedDigit)->Arg(20)->Arg(50)->Arg(85);

} // namespace

int main(int argc, char** argv) {
    return seg4::bench::runWithGoals(argc, argv, [](seg4::bench::RatioReporter& r) {
        r.ratioGoal("SimWritePinsNoChange", "FloorTwelveCompares", 5);
        // A change costs the levels' own work (within 10x of the compares) plus the repaint.
        if (const auto change = r.nanoseconds("SimWritePinsChange"), paint = r.nanoseconds("PaintOfAControl"),
            floor = r.nanoseconds("FloorTwelveCompares");
            change && paint && floor)
            r.valueGoal("SimWritePinsChange - Paint", "FloorTwelveCompares", (*change - *paint) / *floor, "x",
                        10);
        r.ratioGoal("Paint", "Floor36BoolStores", 10);
        for (const char* kind :
             {"Composite/", "CompositeAllUnlit/", "CompositeOneDigit/", "CompositeMixedDigit/"})
            for (const char* size : {"20", "50", "85"})
                r.ratioGoal(std::string(kind) + size, std::string("FloorMemcpy/") + size, 10);
        if (const auto cold = r.nanoseconds("ColdDraw/85"))
            r.valueGoal("ColdDraw/85", "(absolute)", *cold / 1e6, "ms", 0.5);
        for (const char* size : {"20", "50", "85"})
            if (const auto shot = r.nanoseconds(std::string("CachedSnapshot/") + size))
                r.valueGoal(std::string("CachedSnapshot/") + size, "(absolute)", *shot / 1e3, "us", 10);
        for (const char* size : {"20", "50", "85"})
            if (const auto bytes =
                    r.counter(std::string("Memory1000Displays/") + size + "/iterations:1", "extra_bytes"))
                r.valueGoal(std::string("Memory1000Displays/") + size, "one display", *bytes / 1e6, "MB", 5);
    });
}
