// The substitution gives exactly what the plain rule gives (search from the start, replace,
// search again; pair after pair), on random texts and random values.
#include "codegen/placeholders.h"
#include "codegen_fixture.h"
#include "placeholder_rule.h"

#include <optional>
#include <random>

namespace seg4::test {
namespace {

using codegen::Substitution;
using Pairs = std::vector<Substitution>;

struct Random : std::mt19937 {
    using std::mt19937::mt19937;
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(*this); }
    char16_t pick(std::u16string_view from) {
        return from[static_cast<std::size_t>(between(0, int(from.size()) - 1))];
    }
    std::u16string text(std::u16string_view alphabet, int maxLength) {
        std::u16string s(static_cast<std::size_t>(between(0, maxLength)), u' ');
        for (char16_t& c : s) c = pick(alphabet);
        return s;
    }
};

// Heavy on "%" and on placeholder letters, so that placeholders, "%%" runs and a "%" in front
// of a replaced value all come up often.
constexpr std::u16string_view kText = u"%%%%%abcdefghijklmnopqrstpppAxz0 ";

TEST(PlaceholderEquivalence, RandomValuesAndTextsGiveWhatTheRuleGives) {
    // In table order without "%" (the one-pass case): a value starting with a placeholder letter
    // forms a placeholder of a later pair (replaced later), of its own pair (replaced at once) or
    // of an earlier one (left). Otherwise: values ending in "%" (the port letter of port -60),
    // empty values, letters that repeat or come out of order.
    const std::function<Pairs(Random&)> kinds[] = {
        [](Random& r) {
            Pairs pairs;
            for (char16_t letter = u'a'; letter <= u't'; ++letter)
                pairs.push_back({letter, r.text(u"abcdefghijklmnopqrstpx0-", 3) + u"v"});
            pairs.resize(static_cast<std::size_t>(r.between(0, 3) == 0 ? r.between(0, 20) : 20));
            return pairs;
        },
        [](Random& r) {
            Pairs pairs(static_cast<std::size_t>(r.between(1, 24)));
            for (Substitution& p : pairs) {
                p.letter = r.pick(u"abcdefghijklmnopqrst");
                const int kind = r.between(0, 2);
                p.value = kind == 0   ? u"port" + std::u16string(1, r.pick(u"ab%`"))
                          : kind == 1 ? r.text(u"abcdefghijklmnopqrstx0", 3)
                                      : r.text(u"pqx09-", 4) + u"%";
            }
            return pairs;
        },
        [](Random& r) { // a display's pairs, where port letters may be "%" (values ending in it)
            Pairs pairs;
            for (char16_t letter = u'a'; letter <= u't'; ++letter)
                pairs.push_back({letter, letter <= u'b' ? u"port" + std::u16string(1, r.pick(u"ab%%`"))
                                                        : r.text(u"0123456789", 2) + u"1"});
            return pairs;
        },
        [](Random& r) { // "%%" and a letter beyond ASCII as placeholders; more than 64 pairs
            Pairs pairs(static_cast<std::size_t>(r.between(60, 70)));
            for (Substitution& p : pairs) {
                p.letter = r.pick(u"%abt\u00e9");
                p.value = r.text(u"abtx\u00e9", 3) + (p.letter != u'%' && r.between(0, 1) ? u"%" : u"");
            }
            return pairs;
        },
    };
    Random random(1234567);
    for (const auto& makePairs : kinds) {
        for (int round = 0; round < 20000; ++round) {
            const Pairs pairs = makePairs(random);
            const std::u16string text = random.text(kText, round % 100 == 0 ? 4000
                                                           : round % 4 == 0 ? 300
                                                                            : 40);
            ASSERT_EQ(std::optional(codegen::substitute(text, pairs)), byTheRule(text, pairs))
                << "round " << round << ": " << toUtf8(text);
        }
    }
}

} // namespace
} // namespace seg4::test
