// Placeholder substitution for any pairs: a pipeline of stages, one per pair.
#include "codegen/substitution_stages.h"

namespace seg4::codegen::substitution {

/// Index of the next "%" in `text` from `from`, or npos: memchr finds the byte, and a byte that
/// is only half of another character is stepped over.
std::size_t findPercent(std::u16string_view text, std::size_t from) {
    const char* const bytes = reinterpret_cast<const char*>(text.data());
    const std::size_t size = text.size() * sizeof(char16_t);
    for (std::size_t at = from * sizeof(char16_t); at < size;) {
        const void* hit = std::memchr(bytes + at, '%', size - at);
        if (hit == nullptr) break;
        const std::size_t index =
            static_cast<std::size_t>(static_cast<const char*>(hit) - bytes) / sizeof(char16_t);
        if (text[index] == u'%') return index;
        at = (index + 1) * sizeof(char16_t);
    }
    return std::u16string_view::npos;
}

/// Index of the next "%" from `from`, or the size of `text`; a "%" close by is found without
/// the call.
std::size_t nextPercent(std::u16string_view text, std::size_t from) {
    constexpr std::size_t kLook = 4;
    for (std::size_t i = from; i < std::min(text.size(), from + kLook); ++i)
        if (text[i] == u'%') return i;
    return from + kLook >= text.size() ? text.size() : std::min(findPercent(text, from + kLook), text.size());
}

namespace {

// Any pairs run as a pipeline of stages, one per pair, each a streaming form of "replace every
// placeholder, searching again from the start": what a stage has written can only change at its
// trailing "%" signs (a replacement takes the "%" in front of the letter and puts the value back
// in front of the rest of the input, where the next search meets it first). So a stage holds its
// trailing "%" signs as a count until the next other character decides them, and hands on runs
// of text without "%" as they come. A run handed on with no "%" in front of it passes every
// later stage untouched, and one with "%" in front passes every later stage whose letter is
// neither its first character nor "%": such runs skip straight to the stage that acts on them,
// or to the output. What reaches the output is what the pairs one after the other give.
class Pipeline {
public:
    Pipeline(const PlaceholderStages& stages, Writer& out)
        : stages_(stages), pairs_(stages.pairs), out_(out) {}

    void run(std::u16string_view text) {
        const char16_t* const chars = text.data();
        const std::size_t size = text.size();
        std::size_t i = 0;
        while (i < size) {
            const std::size_t percent = nextPercent(text, i);
            writeRun(chars + i, percent - i, chars + size, out_); // nothing is held: it passes every stage
            if (percent == size) break;
            std::size_t after = percent + 1;
            while (after < size && chars[after] == u'%') ++after;
            const std::size_t percents = after - percent;
            i = after;
            if (after == size) {
                deliver(kFromText, percents, {});
                break;
            }
            if (pending_ == 0) {
                const char16_t c = chars[after];
                const std::uint64_t stages = stages_.stagesFor(c) | stages_.percentLetters;
                if (stages == 0) { // no placeholder: the "%" signs are text
                    out_.appendPercents(percents);
                    continue;
                }
                const std::size_t j = lowest(stages);
                if (pairs_[j].letter == c && (stages_.plain & bit(j)) != 0 &&
                    (percents == 1 || (stages_.leavesPercents & bit(j)) != 0)) {
                    out_.appendPercents(percents - 1);
                    stages_.writeValue(j, out_);
                    ++i;
                    continue;
                }
            }
            i = nextPercent(text, after);
            deliver(kFromText, percents, text.substr(after, i - after));
        }
        while (pending_ != 0) { // "%" signs still held at the end of the text
            const std::size_t j = lowest(pending_);
            const std::size_t released = held_[j];
            held_[j] = 0;
            pending_ &= ~bit(j);
            deliver(static_cast<int>(j), released, {});
        }
    }

private:
    static constexpr int kFromText = -1;
    struct Item {
        std::u16string_view text; // after `percents` "%" signs
        std::size_t percents;
    };

    /// `percents` "%" signs and then `run` (no "%"), handed on by stage `from`.
    void deliver(int from, std::size_t percents, std::u16string_view run) {
        std::uint64_t stages = pending_;
        if (percents > 0)
            stages |= stages_.percentLetters | (run.empty() ? 0 : stages_.stagesFor(run.front()));
        stages &= after(from);
        if (stages == 0) {
            out_.appendPercents(percents);
            out_.append(run);
            return;
        }
        const std::size_t j = lowest(stages);
        // The usual case: one placeholder, a value without "%" that cannot form another.
        if ((pending_ & after(from)) == 0 && !run.empty() && run.front() == pairs_[j].letter &&
            (stages_.plain & bit(j)) != 0 && (percents == 1 || (stages_.leavesPercents & bit(j)) != 0)) {
            out_.appendPercents(percents - 1);
            stages_.writeValue(j, out_);
            out_.append(run.substr(1));
            return;
        }
        stage(j, percents, run);
    }

    void stage(std::size_t j, std::size_t percents, std::u16string_view run) {
        const char16_t letter = pairs_[j].letter;
        const std::u16string_view value = pairs_[j].value;
        std::size_t& held = held_[j];
        if ((pending_ & bit(j)) == 0) held = 0; // held_ is only kept for stages that hold "%" signs
        const std::size_t base = stack_.size();
        stack_.push_back({run, percents});
        while (stack_.size() > base) {
            Item& top = stack_.back();
            if (top.percents > 0) {
                if (letter != u'%') {
                    held += top.percents;
                    top.percents = 0;
                } else if (--top.percents, held > 0) {
                    --held;
                    stack_.push_back({value, 0});
                } else {
                    ++held;
                }
            } else if (top.text.empty()) {
                stack_.pop_back();
            } else if (top.text.front() == u'%') {
                std::size_t n = 1;
                while (n < top.text.size() && top.text[n] == u'%') ++n;
                top.percents = n;
                top.text.remove_prefix(n);
            } else if (held > 0 && top.text.front() == letter) {
                --held;
                top.text.remove_prefix(1);
                stack_.push_back({value, 0});
            } else {
                const std::size_t end = std::min(findPercent(top.text, 1), top.text.size());
                const std::u16string_view handed = top.text.substr(0, end);
                top.text.remove_prefix(end);
                const std::size_t released = held;
                held = 0;
                deliver(static_cast<int>(j), released, handed); // may grow stack_: `top` is not used again
            }
        }
        if (held > 0)
            pending_ |= bit(j);
        else
            pending_ &= ~bit(j);
    }

    const PlaceholderStages& stages_;
    std::span<const Substitution> pairs_;
    Writer& out_;
    std::uint64_t pending_ = 0;                ///< stages holding "%" signs
    std::array<std::size_t, kMaxStages> held_; ///< how many, for the stages in pending_
    std::vector<Item> stack_;
};

} // namespace

void runPipeline(const PlaceholderStages& stages, std::u16string_view text, Writer& out) {
    Pipeline(stages, out).run(text);
}

} // namespace seg4::codegen::substitution
