// Arbitrary pairs and texts through the placeholder substitution: it gives what the plain rule
// gives, and a substituter applied twice gives the same both times (nothing of one text is kept
// for the next). Pair lists whose rule does not finish are skipped.
// Layout: byte 0 = the number of pairs (up to 70, so that more than 64 come up); per pair a
// letter byte, a length byte (up to 9) and the value's bytes; the rest is the text. Bytes map
// onto a small alphabet of "%", placeholder letters and a letter beyond ASCII, so that
// placeholders, "%" runs and values that form placeholders come up often.
#include "../support/placeholder_rule.h"
#include "codegen/placeholders.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::u16string_view kAlphabet = u"%%%%abcdefghijklmnopqrstpx0 \u00e9";

char16_t character(std::uint8_t byte) { return kAlphabet[byte % kAlphabet.size()]; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using seg4::codegen::Substitution;
    std::size_t at = 0;
    const auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    std::vector<Substitution> pairs(next() % 71);
    for (Substitution& pair : pairs) {
        pair.letter = character(next());
        for (std::size_t n = next() % 10; n > 0; --n) pair.value += character(next());
    }
    std::u16string text;
    while (at < size) text += character(next());

    const auto expected = seg4::test::byTheRule(text, pairs, 1000);
    if (!expected) return 0;
    const seg4::codegen::Substituter substituter(pairs);
    if (substituter.apply(text) != *expected) std::abort();
    if (substituter.apply(text) != *expected) std::abort();
    return 0;
}
