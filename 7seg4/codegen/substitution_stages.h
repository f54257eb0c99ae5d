// The parts of the placeholder substitution that its two ways of running share: what the pairs
// look like to the substitution (worked out once per pair list) and the buffered output.
#pragma once

#include "codegen/placeholders.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace seg4::codegen {

namespace substitution {

constexpr std::size_t kMaxStages = 64; // one bit each in a mask

inline std::uint64_t bit(std::size_t j) { return std::uint64_t{1} << j; }
inline std::uint64_t below(std::size_t j) { return bit(j) - 1; }
inline std::uint64_t after(int stage) {
    return stage + 1 >= static_cast<int>(kMaxStages) ? 0 : ~std::uint64_t{0} << (stage + 1);
}
inline std::size_t lowest(std::uint64_t mask) { return static_cast<std::size_t>(std::countr_zero(mask)); }

/// Index of the next "%" in `text` from `from`, or npos.
std::size_t findPercent(std::u16string_view text, std::size_t from);
/// Index of the next "%" from `from`, or the size of `text`.
std::size_t nextPercent(std::u16string_view text, std::size_t from);

/// Output gathered in a buffer on the stack and handed to the string in blocks: a value or a
/// short run becomes one fixed-width copy instead of a call that checks, grows and terminates
/// the string. Small enough to pass by value, which keeps the cursor in a register.
class Writer {
public:
    static constexpr std::size_t kPadded = 8; ///< what one fixed-width copy moves
    static constexpr std::size_t kBuffer = 2048;
    static constexpr std::size_t kChunkedRun = 256; ///< longer runs are one call
    using Buffer = std::array<char16_t, kBuffer>;

    Writer(std::u16string& out, Buffer& buffer) : out_(&out), begin_(buffer.data()), at_(begin_) {}

    void append(std::u16string_view s) {
        if (s.size() > room()) return appendAfterFlush(s);
        at_ = std::copy(s.begin(), s.end(), at_);
    }
    /// The first `n` (at most kPadded) of the kPadded characters that `from` points to.
    void appendPadded(const char16_t* from, std::size_t n) {
        if (room() < kPadded) flush();
        std::memcpy(at_, from, kPadded * sizeof(char16_t));
        at_ += n;
    }
    /// `n` characters of a text that ends at `end`: eight at a time, while the text reaches that far.
    void appendText(const char16_t* from, std::size_t n, const char16_t* end) {
        const std::size_t chunked = (n + kPadded - 1) / kPadded * kPadded;
        if (chunked > kChunkedRun || chunked > static_cast<std::size_t>(end - from)) return append({from, n});
        if (room() < chunked) flush();
        for (std::size_t i = 0; i < chunked; i += kPadded)
            std::memcpy(at_ + i, from + i, kPadded * sizeof(char16_t));
        at_ += n;
    }
    void appendPercents(std::size_t n) {
        static constexpr char16_t kPercents[kPadded] = {u'%', u'%', u'%', u'%', u'%', u'%', u'%', u'%'};
        if (n <= kPadded) return appendPadded(kPercents, n);
        appendManyPercents(n);
    }
    /// Room for `n` characters that a loop then writes unchecked.
    void makeRoom(std::size_t n) {
        if (room() < n) flush();
    }
    /// Where the next character goes, for a loop that writes at most `makeRoom`'s worth itself
    /// and then hands the end back with moveTo.
    char16_t* cursor() const { return at_; }
    void moveTo(char16_t* at) { at_ = at; }
    [[gnu::noinline]] void flush() {
        out_->append(begin_, static_cast<std::size_t>(at_ - begin_));
        at_ = begin_;
    }

private:
    // The rare cases, kept out of the loops that append.
    [[gnu::noinline]] void appendAfterFlush(std::u16string_view s) {
        flush();
        if (s.size() > kBuffer) return void(out_->append(s));
        at_ = std::copy(s.begin(), s.end(), at_);
    }
    [[gnu::noinline]] void appendManyPercents(std::size_t n) {
        if (n > room()) {
            flush();
            if (n > kBuffer) return void(out_->append(n, u'%'));
        }
        at_ = std::fill_n(at_, n, u'%');
    }

    std::size_t room() const { return kBuffer - static_cast<std::size_t>(at_ - begin_); }

    std::u16string* out_;
    char16_t* begin_;
    char16_t* at_;
};

} // namespace substitution

/// Up to 64 pairs as the substitution looks them up: by the letter after a "%", which stages
/// (bits, in table order) act.
struct PlaceholderStages {
    std::span<const Substitution> pairs;
    std::array<std::uint64_t, 128> letterStages{}; ///< stages by ASCII letter
    std::uint64_t otherLetters = 0;                ///< stages whose letter is not ASCII
    std::uint64_t percentLetters = 0;              ///< stages whose placeholder is "%%"
    std::uint64_t plain = 0;                       ///< stages whose value is not empty and holds no "%"
    /// Stages whose value is text without "%" and then a run of "%" signs ("port%" for the port
    /// whose letter is "%"): signs that stay unsettled until the text after the placeholder comes.
    std::uint64_t trailing = 0;
    /// Every value plain or trailing, and no trailing value is formed by another value's first
    /// character: a chain then ends in a trailing value only where it starts.
    bool trailingOnlyFirst = false;
    std::uint64_t leavesPercents = 0; ///< stages whose value a "%" in front of it leaves alone
    std::vector<std::array<char16_t, substitution::Writer::kPadded>>
        padded; ///< the values, padded where they fit
    /// By ASCII character after "%" (`direct`) or "%%" (`afterTwo`), for the one-pass loop: what
    /// the "%" signs and the `consumed` characters from the first become (values, or "%" signs
    /// that are text); consumed 0 where that takes more than a look-up (a value ending in "%"
    /// among them). A single "%" gives up to kPadded characters, two give up to twice that.
    template <std::size_t kWidth>
    struct alignas(32) Direct { // a look-up never straddles two cache lines
        std::array<char16_t, kWidth> chars{};
        std::uint8_t size = 0;
        std::uint8_t consumed = 0;
    };
    static constexpr std::size_t kBeyondAscii = 128; ///< the look-up of every other character: none
    std::array<Direct<substitution::Writer::kPadded>, kBeyondAscii + 1> direct{};
    std::array<Direct<2 * substitution::Writer::kPadded>, kBeyondAscii + 1> afterTwo{};
    static std::size_t lookUp(char16_t c) { return std::min<std::size_t>(c, kBeyondAscii); }

    explicit PlaceholderStages(std::span<const Substitution> group);

    /// No "%%" placeholder, and every value plain or trailing where only a chain's start can be
    /// trailing: what "%" signs and a letter become depends on nothing that follows but the "%"
    /// signs a trailing value leaves, and the direct loop applies.
    bool onePass() const { return percentLetters == 0 && trailingOnlyFirst; }

    std::uint64_t stagesFor(char16_t c) const {
        if (c < letterStages.size()) return letterStages[c];
        std::uint64_t stages = 0;
        for (std::uint64_t rest = otherLetters; rest != 0; rest &= rest - 1)
            if (pairs[substitution::lowest(rest)].letter == c)
                stages |= substitution::bit(substitution::lowest(rest));
        return stages;
    }

    void writeValue(std::size_t j, substitution::Writer& out) const {
        const std::u16string_view value = pairs[j].value;
        if (value.size() <= substitution::Writer::kPadded)
            out.appendPadded(padded[j].data(), value.size());
        else
            out.append(value);
    }
};

namespace substitution {

/// A run of text without "%": short ones as one fixed-width copy where the text reaches that far.
inline void writeRun(const char16_t* from, std::size_t n, const char16_t* textEnd, Writer& out) {
    if (n <= Writer::kPadded && textEnd - from >= static_cast<std::ptrdiff_t>(Writer::kPadded))
        out.appendPadded(from, n);
    else if (n > 0)
        out.append({from, n});
}

/// Any pairs, with the pipeline of stages: what reaches `out` is what the pairs one after the
/// other give.
void runPipeline(const PlaceholderStages& stages, std::u16string_view text, Writer& out);

} // namespace substitution

} // namespace seg4::codegen
