// A console reporter that also keeps each benchmark's time per iteration, so a program can print
// its results as ratios against a floor measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace seg4::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }

    /// Time of `what` over time of `floor`, when both ran.
    std::optional<double> ratio(const std::string& what, const std::string& floor) const {
        const auto a = times_.find(what), b = times_.find(floor);
        if (a == times_.end() || b == times_.end() || b->second <= 0) return std::nullopt;
        return a->second / b->second;
    }

private:
    std::map<std::string, double> times_;
};

} // namespace seg4::bench
