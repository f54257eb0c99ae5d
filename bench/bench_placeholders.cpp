// Placeholder substitution (MacroCodeOverride) on texts of 1 KiB, 64 KiB and 1 MiB characters
// against a floor measured in the same run: one memchr scan over the same text's bytes for a
// byte it does not hold. Three texts: macro code as the code file holds it, a dense text that is
// half placeholders (with "%%a" runs that form new placeholders), and the dense text under a
// wiring whose port letter is "%" (values that end in "%" and wait for what follows). Goals:
// every case within 20x of the floor, and linear: the cost per character, after taking off the
// fixed cost of a call (measured on a text of 16 characters), grows at most 1.5x from 1 KiB to
// 1 MiB.
#include "codegen/placeholders.h"
#include "posix_platform.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

void FloorMemchrScan(benchmark::State& state) {
    const std::u16string text = textOf(Text::Dense, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(text.data());
        benchmark::DoNotOptimize(std::memchr(text.data(), 0x01, text.size() * sizeof(char16_t)));
    }
}

template <Text kind>
void Override(benchmark::State& state) {
    Bench b(kind);
    codegen::PlaceholderFiller filler; // as a display keeps it between calls
    const std::u16string text = textOf(kind, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::u16string code = filler.fill(text, b.pins, b.platform);
        benchmark::DoNotOptimize(code.data());
    }
}

constexpr long kFixedCostSize = 16; // short enough that the fixed cost of a call is all it measures
constexpr long kSizes[] = {1 << 10, 1 << 16, 1 << 20};

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(kFixedCostSize);
    for (long n : kSizes) b->Arg(n);
}

BENCHMARK(FloorMemchrScan)->Apply(sizes);
BENCHMARK(Override<Text::Code>)->Name("OverrideCode")->Apply(sizes);
BENCHMARK(Override<Text::Dense>)->Name("OverrideDense")->Apply(sizes);
BENCHMARK(Override<Text::PercentPort>)->Name("OverridePercentPort")->Apply(sizes);

} // namespace

int main(int argc, char** argv) {
    return seg4::bench::runWithGoals(argc, argv, [](seg4::bench::RatioReporter& r) {
        for (const char* name : {"OverrideCode", "OverrideDense", "OverridePercentPort"}) {
            for (long n : kSizes) {
                const std::string arg = "/" + std::to_string(n);
                r.ratioGoal(name + arg, "FloorMemchrScan" + arg, 20);
            }
            const auto fixed = r.nanoseconds(name + std::string("/") + std::to_string(kFixedCostSize));
            const auto small = r.nanoseconds(name + std::string("/") + std::to_string(kSizes[0]));
            const auto large = r.nanoseconds(name + std::string("/") + std::to_string(kSizes[2]));
            if (fixed && small && large) {
                const double perCharSmall =
                    (*small - *fixed) / static_cast<double>(kSizes[0] - kFixedCostSize);
                const double perCharLarge =
                    (*large - *fixed) / static_cast<double>(kSizes[2] - kFixedCostSize);
                r.valueGoal(name + std::string(" per char 1M/1K"), "fixed cost taken off",
                            perCharLarge / perCharSmall, "x", 1.5);
            }
        }
    });
}
