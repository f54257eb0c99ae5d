// The wiring placeholders of code text, replaced from the pin table.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "codegen/placeholders.h"
#include "model/digit_pattern.h"
#include "platform/platform.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace seg4::codegen {

namespace {

constexpr std::size_t kPinCount = 12;
constexpr std::size_t kFirstSegmentPin = 4;
constexpr std::size_t kSegmentLines = 8; // A..G and the decimal point
constexpr std::size_t kFirstAnodePin = 0;
constexpr std::size_t kAnodes = 4;

/// The mask of a bit number in signed 16-bit arithmetic: 1 for numbers up to 0 (the unconnected
/// -1 included); bit 15 and above do not fit and fail with the overflow error.
std::int16_t bitMask(std::int32_t bit) { return ShiftLeft(1, narrowTo16(bit)); }

/// The segment lines that are high (dark) for a digit, as wired; unwired lines add nothing.
std::int16_t segmentValue(const std::vector<RSPin>& pins, std::int32_t digit) {
    const std::uint8_t pattern = DigitPattern(static_cast<std::uint8_t>(digit));
    std::int16_t sum = 0;
    for (std::size_t s = 0; s < kSegmentLines; ++s) {
        const RSPin& pin = pins[kFirstSegmentPin + s];
        if ((pattern >> s) & 1U && pin.connected()) sum = checkedAdd16(sum, bitMask(pin.Bit));
    }
    return sum;
}

std::u16string valueOf(const PlaceholderRow& row, const std::vector<RSPin>& pins,
                       const PortLetter& portLetter) {
    const auto pin = [&pins](std::int32_t index) -> const RSPin& {
        return pins[static_cast<std::size_t>(index)];
    };
    switch (row.source) {
    case ValueSource::PortName: return u"port" + portLetter(pin(row.arg).Port);
    case ValueSource::SegmentValue: return decimal(segmentValue(pins, row.arg));
    case ValueSource::PointComplement:
        return pin(row.arg).connected() ? decimal(checkedSub16(255, bitMask(pin(row.arg).Bit))) : u"255";
    case ValueSource::Constant: return decimal(row.arg);
    case ValueSource::AnodeComplement: {
        // Anode masks are taken whether or not the pin is wired.
        std::int16_t sum = 0;
        for (std::size_t a = 0; a < kAnodes; ++a)
            sum = checkedAdd16(sum, bitMask(pins[kFirstAnodePin + a].Bit));
        return decimal(checkedSub16(255, sum));
    }
    case ValueSource::AnodeMask: return decimal(bitMask(pin(row.arg).Bit));
    }
    raise(hr::Fail); // every source is handled above
}

// ---- substitution ----

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

constexpr std::size_t kMaxStages = 64; // one bit each in a mask

// The pairs run as a pipeline of stages, one per pair, each a streaming form of "replace every
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
    Pipeline(std::span<const Substitution> pairs, std::u16string& out) : pairs_(pairs), out_(out) {
        for (std::size_t j = 0; j < pairs.size(); ++j) {
            const char16_t letter = pairs[j].letter;
            if (letter == u'%')
                percentLetters_ |= bit(j);
            else if (letter < letterStages_.size())
                letterStages_[letter] |= bit(j);
            else
                otherLetters_ |= bit(j);
        }
        for (std::size_t j = 0; j < pairs.size(); ++j) {
            const std::u16string_view value = pairs[j].value;
            if (value.empty() || findPercent(value, 0) != std::u16string_view::npos) continue;
            plain_ |= bit(j);
            if (((stagesFor(value.front()) | percentLetters_) & ~below(j)) == 0) leavesPercents_ |= bit(j);
        }
    }

    void run(std::u16string_view text) {
        const char16_t* const chars = text.data();
        const std::size_t size = text.size();
        std::size_t i = 0;
        while (i < size) {
            const std::size_t percent = nextPercent(text, i);
            if (percent > i) out_.append(chars + i, percent - i); // nothing is held: it passes every stage
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
                const std::uint64_t stages = stagesFor(c) | percentLetters_;
                if (stages == 0) { // no placeholder: the "%" signs are text
                    out_.append(percents, u'%');
                    continue;
                }
                const std::size_t j = lowest(stages);
                if (pairs_[j].letter == c && (plain_ & bit(j)) != 0 &&
                    (percents == 1 || (leavesPercents_ & bit(j)) != 0)) {
                    if (percents > 1) out_.append(percents - 1, u'%');
                    out_ += pairs_[j].value;
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

    static std::uint64_t bit(std::size_t j) { return std::uint64_t{1} << j; }
    static std::uint64_t below(std::size_t j) { return bit(j) - 1; }
    static std::uint64_t after(int stage) {
        return stage + 1 >= static_cast<int>(kMaxStages) ? 0 : ~std::uint64_t{0} << (stage + 1);
    }
    static std::size_t lowest(std::uint64_t mask) { return static_cast<std::size_t>(std::countr_zero(mask)); }

    std::uint64_t stagesFor(char16_t c) const {
        if (c < letterStages_.size()) return letterStages_[c];
        std::uint64_t stages = 0;
        for (std::uint64_t rest = otherLetters_; rest != 0; rest &= rest - 1)
            if (pairs_[lowest(rest)].letter == c) stages |= bit(lowest(rest));
        return stages;
    }

    /// `percents` "%" signs and then `run` (no "%"), handed on by stage `from`.
    void deliver(int from, std::size_t percents, std::u16string_view run) {
        std::uint64_t stages = pending_;
        if (percents > 0) stages |= percentLetters_ | (run.empty() ? 0 : stagesFor(run.front()));
        stages &= after(from);
        if (stages == 0) {
            out_.append(percents, u'%');
            out_ += run;
            return;
        }
        const std::size_t j = lowest(stages);
        // The usual case: one placeholder, a value without "%" that cannot form another.
        if ((pending_ & after(from)) == 0 && !run.empty() && run.front() == pairs_[j].letter &&
            (plain_ & bit(j)) != 0 && (percents == 1 || (leavesPercents_ & bit(j)) != 0)) {
            out_.append(percents - 1, u'%');
            out_ += pairs_[j].value;
            out_ += run.substr(1);
            return;
        }
        stage(j, percents, run);
    }

    void stage(std::size_t j, std::size_t percents, std::u16string_view run) {
        const char16_t letter = pairs_[j].letter;
        const std::u16string_view value = pairs_[j].value;
        std::size_t& held = held_[j];
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

    std::span<const Substitution> pairs_;
    std::u16string& out_;
    std::array<std::uint64_t, 128> letterStages_{}; ///< stages by ASCII letter
    std::uint64_t otherLetters_ = 0;                ///< stages whose letter is not ASCII
    std::uint64_t percentLetters_ = 0;              ///< stages whose placeholder is "%%"
    std::uint64_t plain_ = 0;                       ///< stages whose value is not empty and holds no "%"
    std::uint64_t leavesPercents_ = 0;              ///< stages whose value a "%" in front of it leaves alone
    std::uint64_t pending_ = 0;                     ///< stages holding "%" signs
    std::array<std::size_t, kMaxStages> held_{};
    std::vector<Item> stack_;
};

} // namespace

std::vector<Substitution> placeholderValues(const std::vector<RSPin>& pins, const PortLetter& portLetter) {
    if (pins.size() < kPinCount) raise(hr::SubscriptOutOfRange);
    std::vector<Substitution> pairs;
    pairs.reserve(kPlaceholders.size());
    for (const PlaceholderRow& row : kPlaceholders)
        pairs.push_back({row.letter, valueOf(row, pins, portLetter)});
    return pairs;
}

std::u16string substitute(std::u16string_view text, std::span<const Substitution> pairs) {
    // Room for every two characters becoming a value of up to eight.
    std::size_t longest = 2;
    for (const Substitution& pair : pairs)
        longest = std::max(longest, std::min<std::size_t>(pair.value.size(), 8));
    std::u16string out;
    out.reserve(text.size() / 2 * longest + text.size() % 2);
    if (pairs.size() <= kMaxStages) {
        Pipeline(pairs, out).run(text);
        return out;
    }
    // More pairs than one pipeline takes: pipelines one after the other, as the pairs go.
    std::u16string current(text);
    for (std::size_t first = 0; first < pairs.size(); first += kMaxStages) {
        out.clear();
        Pipeline(pairs.subspan(first, std::min(kMaxStages, pairs.size() - first)), out).run(current);
        current.swap(out);
    }
    return current;
}

namespace {

/// The character with code 97 + port ("a" for port 0; the unconnected -1 gives "`"), as the
/// runtime's character function makes it: codes 128..255 through the system code page, codes
/// outside 0..255 are refused.
std::u16string portLetter(Platform& platform, std::int32_t port) {
    const std::int64_t code = std::int64_t{97} + port;
    if (code < 0 || code > 255) raise(hr::InvalidArgument);
    if (code < 128) return std::u16string(1, static_cast<char16_t>(code));
    return platform.decodeAnsi(std::string(1, static_cast<char>(code)), platform.systemAnsiCodePage());
}

} // namespace

std::u16string replacePlaceholders(std::u16string_view code, const std::optional<std::vector<RSPin>>& pins,
                                   Platform& platform) {
    if (!pins) raise(hr::SubscriptOutOfRange);
    const std::vector<Substitution> pairs =
        placeholderValues(*pins, [&platform](std::int32_t port) { return portLetter(platform, port); });
    return substitute(code, pairs);
}

} // namespace seg4::codegen
