// The display's two hot paths against floors measured in the same run:
//   Paint without layout (one backdrop and 32 overlay visibilities) against 36 boolean stores;
//   a full composite of a display at LEDSize 20, 50 and 85 against a memcpy of the same frame
//   (half the overlays shown, the compositor's worst case; also all shown and one digit lit).
// Printed at the end as ratios (targets: Paint within 10x, composite within 10x at every size).
#include "display/compositor.h"
#include "display/layout.h"
#include "posix_platform.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

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

// Half the overlays shown is the most work for the compositor; a new display shows all 32, a
// multiplexed simulation mostly 24 (one digit selected).
void Composite(benchmark::State& state) { compositeWithLitDigits(state, 2); }
void CompositeAllUnlit(benchmark::State& state) { compositeWithLitDigits(state, 0); }
void CompositeOneDigit(benchmark::State& state) { compositeWithLitDigits(state, 1); }

BENCHMARK(Floor36BoolStores);
BENCHMARK(Paint);
BENCHMARK(FloorMemcpy)->Arg(20)->Arg(50)->Arg(85);
BENCHMARK(Composite)->Arg(20)->Arg(50)->Arg(85);
BENCHMARK(CompositeAllUnlit)->Arg(20)->Arg(50)->Arg(85);
BENCHMARK(CompositeOneDigit)->Arg(20)->Arg(50)->Arg(85);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    seg4::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto ratio = [&](const std::string& what, const std::string& floor, double target) {
        const std::optional<double> found = reporter.ratio(what, floor);
        if (!found) return;
        const double r = *found;
        std::printf("%-22s %8.2fx %-22s (target %.0fx: %s)\n", what.c_str(), r, ("of " + floor).c_str(),
                    target, r <= target ? "met" : "MISSED");
    };
    std::printf("\nRatios against the floors of this run:\n");
    ratio("Paint", "Floor36BoolStores", 10);
    for (const char* kind : {"Composite/", "CompositeAllUnlit/", "CompositeOneDigit/"})
        for (const char* size : {"20", "50", "85"})
            ratio(std::string(kind) + size, std::string("FloorMemcpy/") + size, 10);
    benchmark::Shutdown();
    return 0;
}
