// A console reporter that also keeps each benchmark's time per iteration (the median when the
// run repeats), so that a program can judge its results against floors measured in the same
// run. Each program declares its goals (a benchmark over a floor within a bound, or a measured
// value within a bound) and ends with one table of them; tools/bench.sh gathers the rows that
// start with "goal|" from every program into one table.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace seg4::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians_[name] = run.GetAdjustedCPUTime() * scaleToNanoseconds(run.time_unit);
                wallMedians_[name] = run.GetAdjustedRealTime() * scaleToNanoseconds(run.time_unit);
                for (const auto& [counter, value] : run.counters) counters_[name + ":" + counter] = value;
            } else if (run.run_type == Run::RT_Iteration) {
                times_[name] = run.GetAdjustedCPUTime() * scaleToNanoseconds(run.time_unit);
                wallTimes_[name] = run.GetAdjustedRealTime() * scaleToNanoseconds(run.time_unit);
                for (const auto& [counter, value] : run.counters) counters_[name + ":" + counter] = value;
            }
        }
    }

    /// Nanoseconds per iteration of `name` (median of the repetitions, if any), when it ran.
    std::optional<double> nanoseconds(const std::string& name) const {
        if (const auto m = medians_.find(name); m != medians_.end()) return m->second;
        if (const auto t = times_.find(name); t != times_.end()) return t->second;
        return std::nullopt;
    }

    /// Wall-clock nanoseconds per iteration of `name` (median of the repetitions, if any).
    std::optional<double> wallNanoseconds(const std::string& name) const {
        if (const auto m = wallMedians_.find(name); m != wallMedians_.end()) return m->second;
        if (const auto t = wallTimes_.find(name); t != wallTimes_.end()) return t->second;
        return std::nullopt;
    }

    /// The last value of a user counter of `name`, when it ran.
    std::optional<double> counter(const std::string& name, const std::string& counter) const {
        const auto c = counters_.find(name + ":" + counter);
        if (c == counters_.end()) return std::nullopt;
        return c->second;
    }

    /// Time of `what` over time of `floor`, when both ran.
    std::optional<double> ratio(const std::string& what, const std::string& floor) const {
        const auto a = nanoseconds(what), b = nanoseconds(floor);
        if (!a || !b || *b <= 0) return std::nullopt;
        return *a / *b;
    }

    /// Goal: `what` takes at most `bound` times as long as `floor`.
    void ratioGoal(const std::string& what, const std::string& floor, double bound) {
        if (const auto r = ratio(what, floor)) row(what, floor, *r, "x", bound);
    }
    /// Goal: a value measured some other way (a size, a growth of ratios, an absolute time) is at
    /// most `bound`; `against` says what it is measured against and `unit` how it prints.
    void valueGoal(const std::string& what, const std::string& against, double value, const char* unit,
                   double bound) {
        row(what, against, value, unit, bound);
    }

    /// Goal: a measured value (a rate) is at least `bound`.
    void minimumGoal(const std::string& what, const std::string& against, double value, const char* unit,
                     double bound) {
        rows_.push_back({what, against, value, unit, bound, true});
    }

    /// No goal yet: `what` over `floor`, shown in the table for the record.
    void ratioReport(const std::string& what, const std::string& floor) {
        if (const auto r = ratio(what, floor)) rows_.push_back({what, floor, *r, "x", -1});
    }

    /// Prints the goals as a table; answers how many were missed.
    int printGoals() const {
        std::printf("\ngoals (benchmark|floor|ratio|goal|met):\n");
        int missed = 0;
        for (const Row& r : rows_) {
            if (r.bound < 0) { // for the record only
                std::printf("goal|%s|%s|%.3g%s|-|-\n", r.what.c_str(), r.floor.c_str(), r.value,
                            r.unit.c_str());
                continue;
            }
            const bool met = r.atLeast ? r.value >= r.bound : r.value <= r.bound;
            missed += !met;
            std::printf("goal|%s|%s|%.3g%s|%s%.3g%s|%s\n", r.what.c_str(), r.floor.c_str(), r.value,
                        r.unit.c_str(), r.atLeast ? ">=" : "", r.bound, r.unit.c_str(), met ? "yes" : "NO");
        }
        return missed;
    }

private:
    struct Row {
        std::string what, floor;
        double value;
        std::string unit;
        double bound;
        bool atLeast = false; ///< the value must reach the bound rather than stay under it
    };

    static double scaleToNanoseconds(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kNanosecond: return 1;
        case benchmark::kMicrosecond: return 1e3;
        case benchmark::kMillisecond: return 1e6;
        default: return 1e9;
        }
    }

    void row(const std::string& what, const std::string& floor, double value, const char* unit,
             double bound) {
        rows_.push_back({what, floor, value, unit, bound});
    }

    std::map<std::string, double> times_, medians_, wallTimes_, wallMedians_, counters_;
    std::vector<Row> rows_;
};

/// Runs the registered benchmarks through `reporter`, then `declareGoals`, then prints them.
template <class F>
int runWithGoals(int argc, char** argv, F&& declareGoals) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    declareGoals(reporter);
    reporter.printGoals();
    benchmark::Shutdown();
    return 0;
}

} // namespace seg4::bench
