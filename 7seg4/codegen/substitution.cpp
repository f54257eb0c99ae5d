// Placeholder substitution: the pairs of a wiring applied to a text in one pass, with what the
// pass needs to know about the pairs worked out once, when the pairs are.
#include "codegen/placeholders.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace seg4::codegen {

namespace {

constexpr std::size_t kMaxStages = 64; // one bit each in a mask

std::uint64_t bit(std::size_t j) { return std::uint64_t{1} << j; }
std::uint64_t below(std::size_t j) { return bit(j) - 1; }
std::uint64_t after(int stage) {
    return stage + 1 >= static_cast<int>(kMaxStages) ? 0 : ~std::uint64_t{0} << (stage + 1);
}
std::size_t lowest(std::uint64_t mask) { return static_cast<std::size_t>(std::countr_zero(mask)); }

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

static_assert(std::endian::native == std::endian::little, "a lane's hits are read from the low bits up");

/// The first "%" in [from, end), or end. Code has a "%" every few characters, where a call would
/// cost more than the search: eight characters are compared at once, for up to 32, and only a
/// longer run is left to memchr.
const char16_t* scanPercent(const char16_t* from, const char16_t* const end) {
    using Lanes = std::uint16_t __attribute__((vector_size(16)));
    constexpr Lanes kPercents = {u'%', u'%', u'%', u'%', u'%', u'%', u'%', u'%'};
    for (int step = 0; step < 4 && end - from >= 8; ++step, from += 8) {
        Lanes lanes;
        std::memcpy(&lanes, from, sizeof lanes);
        const auto hits = lanes == kPercents;
        std::uint64_t halves[2];
        std::memcpy(halves, &hits, sizeof halves);
        if (halves[0] != 0) return from + std::countr_zero(halves[0]) / 16;
        if (halves[1] != 0) return from + 4 + std::countr_zero(halves[1]) / 16;
    }
    if (end - from >= 8) {
        const std::u16string_view rest(from, static_cast<std::size_t>(end - from));
        return from + std::min(findPercent(rest, 0), rest.size());
    }
    for (; from != end; ++from)
        if (*from == u'%') return from;
    return end;
}

/// Index of the next "%" from `from`, or the size of `text`; placeholders next to each other
/// are found without the search.
std::size_t nextPercent(std::u16string_view text, std::size_t from) {
    if (from < text.size() && text[from] == u'%') return from;
    return static_cast<std::size_t>(scanPercent(text.data() + from, text.data() + text.size()) - text.data());
}

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
        if (s.size() > room()) {
            flush();
            if (s.size() > kBuffer) return void(out_->append(s));
        }
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
        if (n > room()) {
            flush();
            if (n > kBuffer) return void(out_->append(n, u'%'));
        }
        at_ = std::fill_n(at_, n, u'%');
    }
    // Unchecked copies, after makeRoom: the whole of each eight-character chunk is written.
    void makeRoom(std::size_t n) {
        if (room() < n) flush();
    }
    void copyChunks(const char16_t* from, std::size_t n) {
        std::size_t i = 0;
        do std::memcpy(at_ + i, from + i, kPadded * sizeof(char16_t));
        while ((i += kPadded) < n);
        at_ += n;
    }
    void copyPadded(const char16_t* from, std::size_t n) {
        std::memcpy(at_, from, kPadded * sizeof(char16_t));
        at_ += n;
    }
    void flush() {
        out_->append(begin_, static_cast<std::size_t>(at_ - begin_));
        at_ = begin_;
    }

private:
    std::size_t room() const { return kBuffer - static_cast<std::size_t>(at_ - begin_); }

    std::u16string* out_;
    char16_t* begin_;
    char16_t* at_;
};

} // namespace

/// Up to 64 pairs as the substitution looks them up: by the letter after a "%", which stages
/// (bits, in table order) act.
struct PlaceholderStages {
    std::span<const Substitution> pairs;
    std::array<std::uint64_t, 128> letterStages{}; ///< stages by ASCII letter
    std::uint64_t otherLetters = 0;                ///< stages whose letter is not ASCII
    std::uint64_t percentLetters = 0;              ///< stages whose placeholder is "%%"
    std::uint64_t plain = 0;                       ///< stages whose value is not empty and holds no "%"
    std::uint64_t leavesPercents = 0;              ///< stages whose value a "%" in front of it leaves alone
    std::vector<std::array<char16_t, Writer::kPadded>> padded; ///< the values, padded where they fit
    /// By ASCII character after "%" (`direct`) or "%%" (`afterTwo`), when every value is plain and
    /// no placeholder is "%%": what the "%" signs and the `consumed` characters from the first
    /// become (values, or "%" signs that are text); consumed 0 where that takes more than a
    /// look-up. A single "%" gives up to kPadded characters, two give up to twice that.
    struct Direct {
        std::array<char16_t, 2 * Writer::kPadded> chars{};
        std::uint8_t size = 0;
        std::uint8_t consumed = 0;
    };
    std::array<Direct, 128> direct{};
    std::array<Direct, 128> afterTwo{};

    explicit PlaceholderStages(std::span<const Substitution> group) : pairs(group), padded(group.size()) {
        for (std::size_t j = 0; j < pairs.size(); ++j) {
            const char16_t letter = pairs[j].letter;
            if (letter == u'%')
                percentLetters |= bit(j);
            else if (letter < letterStages.size())
                letterStages[letter] |= bit(j);
            else
                otherLetters |= bit(j);
            const std::u16string_view value = pairs[j].value;
            std::copy_n(value.begin(), std::min(value.size(), Writer::kPadded), padded[j].begin());
        }
        for (std::size_t j = 0; j < pairs.size(); ++j) {
            const std::u16string_view value = pairs[j].value;
            if (value.empty() || findPercent(value, 0) != std::u16string_view::npos) continue;
            plain |= bit(j);
            if (((stagesFor(value.front()) | percentLetters) & ~below(j)) == 0) leavesPercents |= bit(j);
        }
        for (char16_t c = 0; c < direct.size(); ++c) {
            const std::uint64_t stages = stagesFor(c);
            if (c == u'%') continue; // a run of "%" signs: the chain decides
            if (stages == 0) {
                direct[c] = {{u'%'}, 1, 1};
                continue;
            }
            const std::size_t j = lowest(stages);
            if ((plain & bit(j)) == 0 || pairs[j].value.size() > Writer::kPadded) continue;
            direct[c] = {{}, static_cast<std::uint8_t>(pairs[j].value.size()), 2};
            std::copy_n(padded[j].begin(), Writer::kPadded, direct[c].chars.begin());
        }
        if (onePass()) {
            for (char16_t c = 0; c < afterTwo.size(); ++c) {
                if (c == u'%') continue;
                const std::uint64_t stages = stagesFor(c);
                std::u16string made = u"%%"; // "%" signs that are text, and the letter stays
                std::uint8_t consumed = 2;
                if (stages != 0) { // the placeholder takes one "%"; its value may take the other
                    const std::size_t j = lowest(stages);
                    const std::u16string_view value = pairs[j].value;
                    const std::uint64_t next = stagesFor(value.front()) & ~below(j);
                    made = next == 0 ? u"%" + std::u16string(value)
                                     : pairs[lowest(next)].value + std::u16string(value.substr(1));
                    consumed = 3;
                }
                if (made.size() > 2 * Writer::kPadded) continue;
                afterTwo[c].size = static_cast<std::uint8_t>(made.size());
                afterTwo[c].consumed = consumed;
                std::copy(made.begin(), made.end(), afterTwo[c].chars.begin());
            }
        }
    }

    /// Every value plain and no "%%" placeholder: what "%" signs and a letter become depends on
    /// nothing that follows, and the direct loop applies.
    bool onePass() const {
        const std::uint64_t all = pairs.size() == kMaxStages ? ~std::uint64_t{0} : below(pairs.size());
        return percentLetters == 0 && plain == all;
    }

    std::uint64_t stagesFor(char16_t c) const {
        if (c < letterStages.size()) return letterStages[c];
        std::uint64_t stages = 0;
        for (std::uint64_t rest = otherLetters; rest != 0; rest &= rest - 1)
            if (pairs[lowest(rest)].letter == c) stages |= bit(lowest(rest));
        return stages;
    }

    void writeValue(std::size_t j, Writer& out) const {
        const std::u16string_view value = pairs[j].value;
        if (value.size() <= Writer::kPadded)
            out.appendPadded(padded[j].data(), value.size());
        else
            out.append(value);
    }
};

namespace {

/// A run of text without "%": short ones as one fixed-width copy where the text reaches that far.
void writeRun(const char16_t* from, std::size_t n, const char16_t* textEnd, Writer& out) {
    if (n <= Writer::kPadded && textEnd - from >= static_cast<std::ptrdiff_t>(Writer::kPadded))
        out.appendPadded(from, n);
    else if (n > 0)
        out.append({from, n});
}

/// Bit i set where the character at `chars` + i is "%", for `n` characters (64 at most).
std::uint64_t percentMask(const char16_t* chars, std::size_t n) {
    std::uint64_t mask = 0;
#if defined(__SSE2__)
    if (n == 64) {
        // Sixteen characters a compare: packed to bytes first, with saturation, so that only a
        // "%" becomes the byte of "%" (characters above 255 become 0 or 255).
        const __m128i percent = _mm_set1_epi8('%');
        for (std::size_t i = 0; i < 64; i += 16) {
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i + 8));
            const __m128i hits = _mm_cmpeq_epi8(_mm_packus_epi16(low, high), percent);
            mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(hits))} << i;
        }
        return mask;
    }
#endif
    for (std::size_t i = 0; i < n; ++i) mask |= std::uint64_t{chars[i] == u'%'} << i;
    return mask;
}

struct Resume {
    Writer out;
    std::size_t done; ///< what comes before is written
};

/// A "%" that the look-up table does not settle, when every value is plain: a run of "%" signs,
/// a character beyond ASCII or a long value. In front of a placeholder, the "%" signs take part:
/// the value's first character may form the placeholder of the same or a later pair with the
/// "%" before it, which takes that "%" too, and so on while "%" signs are left.
[[gnu::noinline]] Resume writeUnsettled(const PlaceholderStages& stages, std::u16string_view text,
                                        std::size_t percent, std::vector<std::size_t>& chain, Writer out) {
    std::size_t letter = percent + 1;
    while (letter < text.size() && text[letter] == u'%') ++letter;
    const std::size_t percents = letter - percent;
    const std::uint64_t acting = letter < text.size() ? stages.stagesFor(text[letter]) : 0;
    if (acting == 0) { // no placeholder: the "%" signs are text
        out.appendPercents(percents);
        return {out, letter};
    }
    chain.clear();
    for (std::size_t j = lowest(acting), left = percents;;) {
        chain.push_back(j);
        if (--left == 0) break;
        const std::uint64_t next = stages.stagesFor(stages.pairs[j].value.front()) & ~below(j);
        if (next == 0) break;
        j = lowest(next);
    }
    out.appendPercents(percents - chain.size());
    stages.writeValue(chain.back(), out);
    for (std::size_t k = chain.size() - 1; k-- > 0;)
        out.append(std::u16string_view(stages.pairs[chain[k]].value).substr(1));
    return {out, letter + 1};
}

/// The pairs applied to `text` when every value is plain and no placeholder is "%%": what "%"
/// signs and a letter become then depends on nothing that follows (no value holds a "%"), so
/// each placeholder is written as it is met. The "%" signs of 64 characters are found at once,
/// and a single "%" before an ASCII character, the usual case, is one look-up and one
/// fixed-width copy.
[[gnu::noinline]] Writer runOnePass(const PlaceholderStages& stages, std::u16string_view text, Writer out) {
    const char16_t* const chars = text.data();
    const char16_t* const end = chars + text.size();
    const std::size_t size = text.size();
    std::vector<std::size_t> chain;
    std::size_t done = 0;
    const auto from = [](std::size_t offset) { return offset >= 64 ? 0 : ~std::uint64_t{0} << offset; };
    for (std::size_t block = 0; block < size; block += 64) {
        std::uint64_t percents = percentMask(chars + block, std::min<std::size_t>(64, size - block));
        if (done > block) percents &= from(done - block);
        // Runs that end in this block can be read eight characters at a time past their end.
        const bool readable = size - block >= 64 + Writer::kPadded;
        while (percents != 0) {
            const std::size_t percent = block + lowest(percents);
            const std::size_t run = percent - done;
            if (readable && chars[percent + 1] < stages.direct.size()) { // the letter is there too
                const PlaceholderStages::Direct& direct = stages.direct[chars[percent + 1]];
                if (direct.consumed != 0 && run <= Writer::kChunkedRun) { // the usual case
                    out.makeRoom(Writer::kChunkedRun + 3 * Writer::kPadded);
                    out.copyChunks(chars + done, run);
                    out.copyPadded(direct.chars.data(), direct.size);
                    done = percent + direct.consumed;
                    percents &= percents - 1; // the character after the "%" is none
                    continue;
                }
            }
            if (readable && chars[percent + 1] == u'%' && chars[percent + 2] < stages.afterTwo.size()) {
                const PlaceholderStages::Direct& two = stages.afterTwo[chars[percent + 2]];
                if (two.consumed != 0 && run <= Writer::kChunkedRun) { // "%%" and a letter
                    out.makeRoom(Writer::kChunkedRun + 3 * Writer::kPadded);
                    out.copyChunks(chars + done, run);
                    out.copyChunks(two.chars.data(), two.size);
                    done = percent + two.consumed;
                    percents &= from(done - block);
                    continue;
                }
            }
            out.appendText(chars + done, run, end);
            if (percent + 1 < size && chars[percent + 1] < stages.direct.size()) {
                const PlaceholderStages::Direct& direct = stages.direct[chars[percent + 1]];
                if (direct.consumed != 0) {
                    out.appendPadded(direct.chars.data(), direct.size);
                    done = percent + direct.consumed;
                    percents &= percents - 1;
                    continue;
                }
            }
            const Resume resume = writeUnsettled(stages, text, percent, chain, out);
            out = resume.out;
            done = resume.done;
            percents &= from(done - block);
        }
    }
    out.appendText(chars + done, size - done, end);
    return out;
}

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

void runStages(const PlaceholderStages& stages, std::u16string_view text, std::u16string& out) {
    Writer::Buffer buffer;
    Writer writer(out, buffer);
    if (stages.onePass())
        writer = runOnePass(stages, text, writer);
    else
        Pipeline(stages, writer).run(text);
    writer.flush();
}

} // namespace

Substituter::Substituter(std::vector<Substitution> pairs) : pairs_(std::move(pairs)) {
    const std::span<const Substitution> all(pairs_);
    for (std::size_t first = 0; first == 0 || first < all.size(); first += kMaxStages)
        groups_.emplace_back(all.subspan(first, std::min(kMaxStages, all.size() - first)));
    for (const Substitution& pair : pairs_)
        longest_ = std::max(longest_, std::min<std::size_t>(pair.value.size(), 8));
}

Substituter::Substituter(Substituter&&) noexcept = default;
Substituter& Substituter::operator=(Substituter&&) noexcept = default;
Substituter::~Substituter() = default;

std::u16string Substituter::apply(std::u16string_view text) const {
    // Room for every two characters becoming a value of up to eight.
    std::u16string out;
    out.reserve(text.size() / 2 * longest_ + text.size() % 2);
    if (groups_.size() == 1) {
        runStages(groups_.front(), text, out);
        return out;
    }
    // More pairs than one pipeline takes: pipelines one after the other, as the pairs go.
    std::u16string current(text);
    for (const PlaceholderStages& group : groups_) {
        out.clear();
        runStages(group, current, out);
        current.swap(out);
    }
    return current;
}

std::u16string substitute(std::u16string_view text, std::span<const Substitution> pairs) {
    return Substituter({pairs.begin(), pairs.end()}).apply(text);
}

} // namespace seg4::codegen
