// A recorder of window messages and callbacks in the order they happen, and one check of a whole
// expected sequence that prints expected against recorded side by side, one row per entry.
//
// Header only and free of platform headers, so the native tests and the Wine tests built with
// MinGW-w64 share it. A window procedure or a container site records a step as it sees it; the
// test then compares everything recorded at once, so a missing, extra or reordered step shows
// where it happened instead of as a count that is off.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace seg4::test {

/// One recorded step. In an expected step, a parameter left empty matches any value.
struct Step {
    std::string who;           ///< who saw it: a procedure ("proc"), a phase ("before"), a callback
    std::uint32_t message = 0; ///< the window message, 0 for a callback that is no message
    std::optional<std::int64_t> wParam{};
    std::optional<std::int64_t> lParam{};
    std::string detail{}; ///< what else matters (a result, a rectangle), compared exactly
};

/// How a message number is printed: hexadecimal unless the test names it.
using MessageNamer = std::function<std::string(std::uint32_t)>;

inline std::string hexMessage(std::uint32_t message) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(message));
    return text;
}

inline std::string stepText(const Step& s, const MessageNamer& name) {
    std::string out = s.who;
    if (s.message != 0) out += " " + (name ? name(s.message) : hexMessage(s.message));
    if (s.wParam) out += " w=" + std::to_string(*s.wParam);
    if (s.lParam) out += " l=" + std::to_string(*s.lParam);
    if (!s.detail.empty()) out += " " + s.detail;
    return out;
}

inline bool stepMatches(const Step& expected, const Step& got) {
    return expected.who == got.who && expected.message == got.message &&
           (!expected.wParam || expected.wParam == got.wParam) &&
           (!expected.lParam || expected.lParam == got.lParam) && expected.detail == got.detail;
}

/// Records steps from any thread; a test takes them out in order.
class SequenceRecorder {
public:
    void record(Step step) {
        std::lock_guard lock(mutex_);
        steps_.push_back(std::move(step));
    }
    void record(std::string who, std::string detail = {}) {
        record(Step{std::move(who), 0, {}, {}, std::move(detail)});
    }
    /// Everything recorded since the last take, in order.
    std::vector<Step> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(steps_, {});
    }

private:
    std::mutex mutex_;
    std::vector<Step> steps_;
};

/// Success when `recorded` is `expected` step for step; otherwise both, side by side.
inline ::testing::AssertionResult sameSequence(const std::vector<Step>& expected,
                                               const std::vector<Step>& recorded,
                                               const MessageNamer& name = {}) {
    const std::size_t rows = std::max(expected.size(), recorded.size());
    std::size_t firstDifference = rows;
    for (std::size_t i = 0; i < rows && firstDifference == rows; ++i) {
        if (i >= expected.size() || i >= recorded.size() || !stepMatches(expected[i], recorded[i]))
            firstDifference = i;
    }
    if (firstDifference == rows) return ::testing::AssertionSuccess();

    std::size_t width = 8;
    for (const Step& s : expected) width = std::max(width, stepText(s, name).size());
    auto failure = ::testing::AssertionFailure();
    failure << "the sequences differ from entry " << firstDifference << " (" << expected.size()
            << " expected, " << recorded.size() << " recorded)\n";
    const auto row = [&](const std::string& index, std::string left, const std::string& right, bool differs) {
        left.resize(width, ' ');
        failure << (differs ? " >" : "  ") << index
                << std::string(4 - std::min<std::size_t>(4, index.size()), ' ') << left << " | " << right
                << "\n";
    };
    row("#", "expected", "recorded", false);
    for (std::size_t i = 0; i < rows; ++i) {
        const bool haveExpected = i < expected.size(), haveRecorded = i < recorded.size();
        row(std::to_string(i), haveExpected ? stepText(expected[i], name) : "(nothing)",
            haveRecorded ? stepText(recorded[i], name) : "(nothing)",
            !haveExpected || !haveRecorded || !stepMatches(expected[i], recorded[i]));
    }
    return failure;
}

} // namespace seg4::test
