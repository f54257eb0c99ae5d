// What a script statement costs in qhost, against a floor measured in the same run: a script
// loop of SimWritePins(levels) against the same member called directly through the backend,
// 1000 calls a pass each. The interpreter's part is the difference (target: within 3x).
// A loop of `n = n + 1` shows the cost of a plain statement (items_per_second: statements), and
// the script's SimWritePins loop how many calls it makes per second of the wall clock.
#include "backends/members.h"
#include "backends/native_backend.h"
#include "posix_platform.h"
#include "script/interpreter.h"
#include "script/script_parser.h"

#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

using seg4::Variant;

constexpr int kCallsPerPass = 1000;

const char* const kLevels =
    "Array(True, False, True, False, True, True, False, False, True, False, True, False)";

qhost::Script parsed(const std::string& text) {
    qhost::ParseResult p = qhost::parseScript(text, "bench.qhs");
    if (!p.errors.empty()) throw std::runtime_error(p.errors[0].message);
    return std::move(p.script);
}

/// A placed display with the host's interpreter, output thrown away.
struct Session {
    seg4::PosixPlatform platform;
    qhost::NativeBackend backend{platform};
    std::ostringstream out;
    qhost::Interpreter interpreter{backend, out, unbounded()};

    static qhost::RunLimits unbounded() {
        qhost::RunLimits limits;
        limits.maxLoopIterations = std::numeric_limits<long>::max(); // every pass counts towards it
        return limits;
    }

    Session() {
        if (interpreter.run(parsed("place\nStartSimulation\n")) != 0) throw std::runtime_error(out.str());
    }
};

void FloorDirectSimWritePins(benchmark::State& state) {
    Session s;
    qhost::Display& display = *s.interpreter.displays().front().display;
    const seg4::MemberInfo& member = qhost::requireMember("SimWritePins", seg4::MemberKind::Method);
    std::vector<Variant> elements;
    for (int i = 0; i < 12; ++i) elements.push_back(Variant::boolean(i % 3 == 0));
    Variant levels = Variant::array(seg4::VarType::Variant, 0, std::move(elements));
    std::vector<Variant*> args{&levels};
    for (auto _ : state)
        for (int i = 0; i < kCallsPerPass; ++i) benchmark::DoNotOptimize(display.invoke(true, member, args));
    state.SetItemsProcessed(state.iterations() * kCallsPerPass);
}

void ScriptSimWritePins(benchmark::State& state) {
    Session s;
    const qhost::Script loop = parsed("echo off\nlevels = " + std::string(kLevels) + "\nrepeat " +
                                      std::to_string(kCallsPerPass) + "\n  SimWritePins(levels)\nend\n");
    for (auto _ : state) {
        if (s.interpreter.run(loop) != 0) state.SkipWithError("the loop failed");
        s.interpreter.displays().front().history.clear(); // the levels alternate: keep memory flat
    }
    state.SetItemsProcessed(state.iterations() * kCallsPerPass);
}

void ScriptAssignment(benchmark::State& state) {
    Session s;
    const qhost::Script loop =
        parsed("n = 0\nrepeat " + std::to_string(kCallsPerPass) + "\n  n = n + 1\nend\n");
    for (auto _ : state)
        if (s.interpreter.run(loop) != 0) state.SkipWithError("the loop failed");
    state.SetItemsProcessed(state.iterations() * kCallsPerPass);
}

BENCHMARK(FloorDirectSimWritePins);
BENCHMARK(ScriptSimWritePins);
BENCHMARK(ScriptAssignment);

} // namespace

int main(int argc, char** argv) {
    return seg4::bench::runWithGoals(argc, argv, [](seg4::bench::RatioReporter& r) {
        r.ratioGoal("ScriptSimWritePins", "FloorDirectSimWritePins", 3);
        // A plain statement, and the calls a script makes in one second of the wall clock: a
        // 1 MHz target calling SimWritePins after every instruction needs a million.
        if (const auto pass = r.nanoseconds("ScriptAssignment"))
            r.valueGoal("ScriptAssignment per statement", "(absolute)", *pass / kCallsPerPass / 1e3, "us",
                        0.5);
        if (const auto wall = r.wallNanoseconds("ScriptSimWritePins"))
            r.minimumGoal("ScriptSimWritePins per wall second", "(absolute)", 1e9 * kCallsPerPass / *wall, "",
                          1e6);
    });
}
