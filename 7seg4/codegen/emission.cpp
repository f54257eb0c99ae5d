// The wiring placeholders of code text, replaced from the pin table.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "codegen/placeholders.h"
#include "model/digit_pattern.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstddef>

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

constexpr int kNoSlot = -1;

/// Index of the pair whose placeholder is "%" + c, for the one-pass path (ASCII letters only).
class SlotIndex {
public:
    explicit SlotIndex(std::span<const Substitution> pairs) {
        slots_.fill(kNoSlot);
        for (std::size_t i = 0; i < pairs.size(); ++i) slots_[pairs[i].letter] = static_cast<int>(i);
    }
    int operator[](char16_t c) const noexcept { return c < slots_.size() ? slots_[c] : kNoSlot; }

private:
    std::array<int, 128> slots_{};
};

/// The one-pass path needs values without "%" and distinct ASCII letters other than "%".
bool onePassApplies(std::span<const Substitution> pairs) {
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const Substitution& p = pairs[i];
        if (p.letter >= 128 || p.letter == u'%' || p.value.empty()) return false;
        if (p.value.find(u'%') != std::u16string::npos) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (pairs[j].letter == p.letter) return false;
    }
    return true;
}

// With no "%" in any value, a replacement can form a new placeholder only at its left edge: a
// "%" that stood in front of the old placeholder, followed by the value's first character. That
// new placeholder is replaced when its pair comes at or after the pair that formed it (the
// same pair finds it because it searches again from the start; a later pair finds it when its
// turn comes; nothing else can take that "%" meanwhile, since what follows it no longer
// changes). An earlier pair has already run, so then the text stays. Every placeholder of the
// original text is replaced by its own pair, because the characters around it cannot change
// before that pair's turn. So one left-to-right pass, which resolves each replacement's left
// edge at once, gives the result of running the pairs one after the other.
std::u16string substituteOnePass(std::u16string_view text, std::span<const Substitution> pairs) {
    const SlotIndex slot(pairs);
    std::u16string out;
    out.reserve(text.size() + text.size() / 4);
    std::vector<std::u16string_view> tails;

    auto emit = [&](int pair) {
        std::u16string_view value = pairs[static_cast<std::size_t>(pair)].value;
        tails.clear();
        for (;;) {
            const int formed = slot[value.front()];
            if (formed < pair || out.empty() || out.back() != u'%') break; // kNoSlot < every pair
            out.pop_back();
            tails.push_back(value.substr(1));
            pair = formed;
            value = pairs[static_cast<std::size_t>(pair)].value;
        }
        out += value;
        std::for_each(tails.rbegin(), tails.rend(), [&out](std::u16string_view tail) { out += tail; });
    };

    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t percent = text.find(u'%', i);
        if (percent == std::u16string_view::npos) {
            out += text.substr(i);
            break;
        }
        out += text.substr(i, percent - i);
        const int pair = percent + 1 < text.size() ? slot[text[percent + 1]] : kNoSlot;
        if (pair == kNoSlot) {
            out += u'%';
            i = percent + 1;
        } else {
            emit(pair);
            i = percent + 2;
        }
    }
    return out;
}

// One pair by the rule itself, without its rescans: the output so far never holds the
// placeholder, so an occurrence can only end at a placeholder letter about to be added; a
// replacement puts the value back in front of the rest of the input, exactly where the rule's
// next search would meet it.
void substitutePair(std::u16string_view text, const Substitution& pair, std::u16string& out) {
    out.clear();
    out.reserve(text.size());
    const std::u16string_view value = pair.value;
    std::vector<std::u16string_view> pending{text};
    while (!pending.empty()) {
        std::u16string_view& top = pending.back();
        const std::size_t letter = top.find(pair.letter);
        if (letter == std::u16string_view::npos) {
            out += top;
            pending.pop_back();
            continue;
        }
        out += top.substr(0, letter);
        top.remove_prefix(letter + 1);
        if (!out.empty() && out.back() == u'%') {
            out.pop_back();
            if (!value.empty()) pending.push_back(value); // `top` is not used after this
        } else {
            out += pair.letter;
        }
    }
}

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
    if (onePassApplies(pairs)) return substituteOnePass(text, pairs);
    // Two texts in turn, each pass writing into the one the pass before read: their memory is
    // reused instead of taking fresh pages for every pass.
    std::u16string current(text), next;
    for (const Substitution& pair : pairs) {
        const char16_t placeholder[] = {u'%', pair.letter};
        if (current.find(std::u16string_view(placeholder, 2)) == std::u16string::npos) continue;
        substitutePair(current, pair, next);
        current.swap(next);
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
