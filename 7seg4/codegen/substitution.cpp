// Placeholder substitution: the pairs of a wiring applied to a text in one pass, with what the
// pass needs to know about the pairs worked out once, when the pairs are.
#include "codegen/placeholders.h"
#include "codegen/substitution_stages.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace seg4::codegen {

using namespace substitution;

PlaceholderStages::PlaceholderStages(std::span<const Substitution> group)
    : pairs(group), padded(group.size()) {
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
        const std::size_t percent = findPercent(value, 0);
        if (value.empty() || percent == 0) continue;
        if (percent != std::u16string_view::npos) {
            if (value.find_first_not_of(u'%', percent) == std::u16string_view::npos) trailing |= bit(j);
            continue;
        }
        plain |= bit(j);
        if (((stagesFor(value.front()) | percentLetters) & ~below(j)) == 0) leavesPercents |= bit(j);
    }
    const std::uint64_t all = pairs.size() == kMaxStages ? ~std::uint64_t{0} : below(pairs.size());
    trailingOnlyFirst = (plain | trailing) == all;
    for (std::size_t j = 0; j < pairs.size() && trailingOnlyFirst; ++j)
        trailingOnlyFirst = (stagesFor(pairs[j].value.front()) & trailing) == 0;
    for (std::size_t index = 0; index < kBeyondAscii; ++index) {
        const auto c = static_cast<char16_t>(index);
        const std::uint64_t stages = stagesFor(c);
        if (c == u'%') continue; // a run of "%" signs: the chain decides
        if (stages == 0) {
            direct[c] = {{u'%'}, 1, 1};
            continue;
        }
        const std::size_t j = lowest(stages);
        if ((plain & bit(j)) == 0 || pairs[j].value.size() > Writer::kPadded) continue;
        direct[c] = {padded[j], static_cast<std::uint8_t>(pairs[j].value.size()), 2};
    }
    if (onePass()) {
        for (std::size_t index = 0; index < kBeyondAscii; ++index) {
            const auto c = static_cast<char16_t>(index);
            if (c == u'%') continue;
            const std::uint64_t stages = stagesFor(c);
            std::u16string made = u"%%"; // "%" signs that are text, and the letter stays
            std::uint8_t consumed = 2;
            if (stages != 0) { // the placeholder takes one "%"; its value may take the other
                const std::size_t j = lowest(stages);
                if ((plain & bit(j)) == 0) continue; // its "%" signs wait for what follows
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

namespace {

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

/// "%" signs that the look-up table does not settle: a run of them, a character beyond ASCII, a
/// long value or one that ends in "%". In front of a placeholder, the "%" signs take part: the
/// value's first character may form the placeholder of the same or a later pair with the "%"
/// before it, which takes that "%" too, and so on while "%" signs are left. The "%" signs that
/// end a value wait for what follows, as the text's own do, but only its pair and later ones can
/// take them: the earlier pairs ran before they existed.
[[gnu::noinline]] Resume writeUnsettled(const PlaceholderStages& stages, std::u16string_view text,
                                        std::size_t at, std::vector<std::size_t>& chain, Writer out) {
    std::size_t held = 0;     // "%" signs that end the value written last
    std::size_t heldFrom = 0; // its pair
    for (;;) {
        std::size_t letter = at;
        while (letter < text.size() && text[letter] == u'%') ++letter;
        const std::size_t percents = held + (letter - at);
        // The pairs that can take the "%" at place i of the run.
        const auto takers = [&](std::size_t i) { return i < held ? ~below(heldFrom) : ~std::uint64_t{0}; };
        const std::uint64_t acting =
            letter < text.size() ? stages.stagesFor(text[letter]) & takers(percents - 1) : 0;
        if (acting == 0) { // no placeholder: the "%" signs are text
            out.appendPercents(percents);
            return {out, letter};
        }
        chain.clear();
        for (std::size_t j = lowest(acting), left = percents;;) {
            chain.push_back(j);
            if (--left == 0) break;
            const std::uint64_t next =
                stages.stagesFor(stages.pairs[j].value.front()) & ~below(j) & takers(left - 1);
            if (next == 0) break;
            j = lowest(next);
        }
        out.appendPercents(percents - chain.size());
        const std::u16string_view last = stages.pairs[chain.front()].value; // it ends what is written
        held = last.size() - 1 - last.find_last_not_of(u'%');
        heldFrom = chain.front();
        if (chain.size() == 1 && held == 0) {
            stages.writeValue(chain.front(), out);
        } else {
            for (std::size_t k = chain.size(); k-- > 0;) {
                std::u16string_view piece = stages.pairs[chain[k]].value;
                if (k + 1 < chain.size()) piece.remove_prefix(1); // its first character formed the next
                if (k == 0) piece.remove_suffix(held);
                out.append(piece);
            }
        }
        at = letter + 1;
        if (held == 0) return {out, at}; // the usual look-ups take over again
    }
}

/// The bits of a block's mask from `offset` on (none once the offset is past the block).
constexpr std::uint64_t fromOffset(std::size_t offset) {
    return offset >= 64 ? 0 : ~std::uint64_t{0} << offset;
}

/// A block of 64 characters that can be read past its end by two fixed-width copies.
constexpr std::size_t kWideBlock = 64 + 2 * Writer::kPadded;
/// What one such block can write: its runs, and every "%" in it becoming up to 2 * kPadded
/// characters, with the overhang of the last fixed-width copy.
constexpr std::size_t kBlockRoom = 64 + std::size_t{64} * 2 * Writer::kPadded + 2 * Writer::kPadded;
static_assert(kBlockRoom <= Writer::kBuffer);

/// The "%" signs `percents` of the block at `block`, where every run, "%" and look-up can be
/// read by fixed-width copies: a run (shorter than the block, whatever was written before it is
/// written) and what the look-up table gives are each one or two copies into the buffer, without
/// a check of its room. Returns what is written of the text.
[[gnu::noinline]] std::size_t writeWideBlock(const PlaceholderStages& stages, std::u16string_view text,
                                             std::size_t block, std::uint64_t percents, std::size_t done,
                                             std::vector<std::size_t>& chain, Writer& out) {
    constexpr std::size_t kWide = 2 * Writer::kPadded;
    const char16_t* const chars = text.data();
    if (done < block) {
        out.appendText(chars + done, block - done, chars + text.size());
        done = block;
    }
    out.makeRoom(kBlockRoom);
    char16_t* at = out.cursor();
    while (percents != 0) {
        const std::size_t percent = block + lowest(percents);
        const std::size_t run = percent - done;
        std::memcpy(at, chars + done, kWide * sizeof(char16_t));
        for (std::size_t i = kWide; i < run; i += kWide)
            std::memcpy(at + i, chars + done + i, kWide * sizeof(char16_t));
        at += run;
        const char16_t next = chars[percent + 1];
        const auto& direct = stages.direct[PlaceholderStages::lookUp(next)];
        if (direct.consumed != 0) { // the usual case
            std::memcpy(at, direct.chars.data(), sizeof(direct.chars));
            at += direct.size;
            done = percent + direct.consumed;
            percents &= percents - 1; // the letter after the "%" is not one
            continue;
        }
        if (next == u'%') { // "%%" and a letter
            const auto& two = stages.afterTwo[PlaceholderStages::lookUp(chars[percent + 2])];
            if (two.consumed != 0) {
                std::memcpy(at, two.chars.data(), sizeof(two.chars));
                at += two.size;
                done = percent + two.consumed;
                percents &= fromOffset(done - block);
                continue;
            }
        }
        out.moveTo(at);
        const Resume resume = writeUnsettled(stages, text, percent, chain, out);
        out = resume.out;
        done = resume.done;
        percents &= fromOffset(done - block);
        out.makeRoom(kBlockRoom);
        at = out.cursor();
    }
    out.moveTo(at);
    return done;
}

/// The pairs applied to `text` when no placeholder is "%%" and every value is plain or ends in
/// "%" signs only: what "%" signs and a letter become then depends on nothing that follows but
/// the signs such a value leaves, so each placeholder is written as it is met. The "%" signs of
/// 64 characters are found at once, and a single "%" before an ASCII character, the usual case,
/// is one look-up and one fixed-width copy.
[[gnu::noinline]] Writer runOnePass(const PlaceholderStages& stages, std::u16string_view text, Writer out) {
    const char16_t* const chars = text.data();
    const char16_t* const end = chars + text.size();
    const std::size_t size = text.size();
    std::vector<std::size_t> chain;
    std::size_t done = 0;
    for (std::size_t block = 0; block < size; block += 64) {
        std::uint64_t percents = percentMask(chars + block, std::min<std::size_t>(64, size - block));
        if (done > block) percents &= fromOffset(done - block);
        if (percents == 0) continue;
        if (size - block >= kWideBlock) {
            done = writeWideBlock(stages, text, block, percents, done, chain, out);
            continue;
        }
        while (percents != 0) { // near the end, where fixed-width reads would run past the text
            const std::size_t percent = block + lowest(percents);
            out.appendText(chars + done, percent - done, end);
            if (percent + 1 < size) {
                const auto& direct = stages.direct[PlaceholderStages::lookUp(chars[percent + 1])];
                if (direct.consumed != 0) {
                    out.appendPadded(direct.chars.data(), direct.size);
                    done = percent + direct.consumed;
                    percents &= percents - 1; // the letter after the "%" is not one
                    continue;
                }
            }
            const Resume resume = writeUnsettled(stages, text, percent, chain, out);
            out = resume.out;
            done = resume.done;
            percents &= fromOffset(done - block);
        }
    }
    out.appendText(chars + done, size - done, end);
    return out;
}

void runStages(const PlaceholderStages& stages, std::u16string_view text, std::u16string& out) {
    Writer::Buffer buffer;
    Writer writer(out, buffer);
    if (stages.onePass())
        writer = runOnePass(stages, text, writer);
    else
        runPipeline(stages, text, writer);
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
