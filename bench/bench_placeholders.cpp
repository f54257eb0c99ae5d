// Placeholder substitution (MacroCodeOverride) on texts of 1 KiB, 64 KiB and 1 MiB characters
// against a floor measured in the same run: copying the same text and counting its "%" signs.
// Three texts: macro code as the code file holds it, a dense text that is half placeholders
// (with "%%a" runs that form new placeholders), and the dense text under a wiring whose port
// letter is "%" (the pair-by-pair path). Printed at the end as ratios; the work is linear when
// the ratio stays flat from 1 KiB to 1 MiB (targets: within 25x of the floor, and the 1 MiB
// ratio within 2x of the 1 KiB one; 100x for the pair-by-pair path, which makes twenty passes
// and serves only a wiring no real port has).
#include "codegen/placeholders.h"
#include "posix_platform.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace seg4;

const std::u16string kMacroCode =
    u"void SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT)\n{\n"
    u"    static const unsigned short digitLines[10] = {%c, %d, %e, %f, %g, %h, %i, %j, "
    u"%k, %l};\n"
    u"    static const unsigned short anodeLines[4] = {%q, %r, %s, %t};\n"
    u"    const unsigned long pointMask = 255 - (%m);\n"
    u"    %b &= ~anodeMask;\n    %a = (%a & ~segmentMask) | lines;\n"
    u"    if (digit < 4u)\n        %b |= anodeLines[digit];\n}\n";
const std::u16string kDense = u"%a%b%%a%c%d%e%%b%f%g%h%i%j%k%l%m%n%o%p%q%r%s%t%%%u%A";

enum class Text { Code, Dense, PercentPort };

std::u16string textOf(Text kind, std::size_t length) {
    const std::u16string& unit = kind == Text::Code ? kMacroCode : kDense;
    std::u16string text;
    while (text.size() < length) text += unit;
    text.resize(length);
    return text;
}

/// A display wired as proposed; with PercentPort the segment port is the one whose letter is "%".
struct Bench {
    PosixPlatform platform;
    std::optional<std::vector<RSPin>> pins = std::vector<RSPin>(12);

    explicit Bench(Text kind) {
        for (int i = 0; i < 12; ++i) {
            (*pins)[static_cast<std::size_t>(i)].Port = i < 4 ? 0 : 1;
            (*pins)[static_cast<std::size_t>(i)].Bit = i < 4 ? 3 - i : i - 4;
        }
        if (kind == Text::PercentPort) (*pins)[4].Port = '%' - 'a';
    }
};

void FloorCopyScan(benchmark::State& state) {
    const std::u16string text = textOf(Text::Dense, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::u16string copy = text;
        benchmark::DoNotOptimize(std::count(copy.begin(), copy.end(), u'%'));
        benchmark::DoNotOptimize(copy.data());
    }
}

template <Text kind>
void Override(benchmark::State& state) {
    Bench b(kind);
    const std::u16string text = textOf(kind, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::u16string code = codegen::replacePlaceholders(text, b.pins, b.platform);
        benchmark::DoNotOptimize(code.data());
    }
}

constexpr long kSizes[] = {1 << 10, 1 << 16, 1 << 20};

void sizes(benchmark::internal::Benchmark* b) {
    for (long n : kSizes) b->Arg(n);
}

BENCHMARK(FloorCopyScan)->Apply(sizes);
BENCHMARK(Override<Text::Code>)->Name("OverrideCode")->Apply(sizes);
BENCHMARK(Override<Text::Dense>)->Name("OverrideDense")->Apply(sizes);
BENCHMARK(Override<Text::PercentPort>)->Name("OverridePercentPort")->Apply(sizes);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    seg4::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nratios against FloorCopyScan of the same length:\n");
    const std::pair<const char*, double> targets[] = {
        {"OverrideCode", 25.0}, {"OverrideDense", 25.0}, {"OverridePercentPort", 100.0}};
    for (const auto& [name, target] : targets) {
        std::vector<double> ratios;
        for (long n : kSizes) {
            const std::string arg = "/" + std::to_string(n);
            const std::optional<double> r = reporter.ratio(std::string(name) + arg, "FloorCopyScan" + arg);
            if (!r) continue;
            ratios.push_back(*r);
            std::printf("%-20s %8ld chars %8.2fx (target %.0fx: %s)\n", name, n, ratios.back(), target,
                        ratios.back() <= target ? "met" : "MISSED");
        }
        if (ratios.size() == std::size(kSizes)) {
            const double growth = ratios.back() / ratios.front();
            std::printf("%-20s 1 MiB ratio / 1 KiB ratio %.2f (linear within 2x: %s)\n", name, growth,
                        growth <= 2.0 ? "met" : "MISSED");
        }
    }
    return 0;
}
