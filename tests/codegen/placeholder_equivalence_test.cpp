// The substitution gives exactly what the plain rule gives (search from the start, replace,
// search again; pair after pair), on random texts, random values and random wirings.
#include "codegen/placeholders.h"
#include "codegen_fixture.h"

#include <random>
#include <stdexcept>

namespace seg4::test {
namespace {

using codegen::Substitution;

/// The rule as written: for each pair in order, find the placeholder from the first character,
/// replace it, and search again from the first character until it is gone.
std::u16string byTheRule(std::u16string text, const std::vector<Substitution>& pairs) {
    for (const Substitution& pair : pairs) {
        const std::u16string placeholder = std::u16string(u"%") + pair.letter;
        int replacements = 0;
        for (std::size_t p = text.find(placeholder); p != std::u16string::npos; p = text.find(placeholder)) {
            text = text.substr(0, p) + pair.value + text.substr(p + placeholder.size());
            // The generated values cannot make the rule run on; stop the test rather than hang.
            if (++replacements > 1000000) throw std::runtime_error("the rule does not finish");
        }
    }
    return text;
}

class Random {
public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
    char16_t pick(std::u16string_view from) {
        return from[static_cast<std::size_t>(below(static_cast<int>(from.size())))];
    }
    std::u16string text(std::u16string_view alphabet, int maxLength) {
        std::u16string s;
        for (int n = below(maxLength + 1); n > 0; --n) s += pick(alphabet);
        return s;
    }

private:
    std::mt19937 engine_;
};

// Heavy on "%" and on placeholder letters, so that placeholders, "%%" runs and the "%" in
// front of a replaced value all come up often.
constexpr std::u16string_view kTextAlphabet = u"%%%%%abcdefghijklmnopqrstpppAxz0 ";

std::u16string show(std::u16string_view s) { return s.empty() ? u"<empty>" : std::u16string(s); }

TEST(PlaceholderEquivalence, RandomValuesWithoutPercentInTableOrder) {
    // Values whose first letter is a placeholder letter form new placeholders at their left
    // edge: of a later pair (replaced later), of the same pair (replaced at once) or of an
    // earlier pair (left alone).
    Random random(1234567);
    for (int round = 0; round < 20000; ++round) {
        std::vector<Substitution> pairs;
        for (char16_t letter = u'a'; letter <= u't'; ++letter)
            pairs.push_back({letter, random.text(u"abcdefghijklmnopqrstpx0-", 3) + u"v"});
        if (random.below(4) == 0) pairs.resize(static_cast<std::size_t>(random.between(0, 20)));
        const std::u16string text = random.text(kTextAlphabet, 40);
        const std::u16string expected = byTheRule(text, pairs);
        const std::u16string actual = codegen::substitute(text, pairs);
        ASSERT_EQ(actual, expected) << "round " << round << " text " << toUtf8(show(text));
    }
}

TEST(PlaceholderEquivalence, RandomValuesWithPercentRepeatedLettersAndAnyOrder) {
    // Outside the one-pass case: a value ending in "%" (a port letter of "%"), letters that
    // come twice or out of order, and values that are empty.
    Random random(7654321);
    for (int round = 0; round < 20000; ++round) {
        std::vector<Substitution> pairs;
        const int count = random.between(1, 24);
        for (int i = 0; i < count; ++i) {
            const char16_t letter = random.pick(u"abcdefghijklmnopqrst");
            std::u16string value;
            switch (random.below(4)) {
            case 0: value = u"port%"; break;
            case 1: value = random.text(u"abcdefghijklmnopqrstx0", 3); break;
            case 2: value = u"port" + std::u16string(1, random.pick(u"ab%`")); break;
            default: value = random.text(u"pqx09-", 4) + u"%"; break;
            }
            pairs.push_back({letter, value});
        }
        const std::u16string text = random.text(kTextAlphabet, 40);
        const std::u16string expected = byTheRule(text, pairs);
        const std::u16string actual = codegen::substitute(text, pairs);
        ASSERT_EQ(actual, expected) << "round " << round << " text " << toUtf8(show(text));
    }
}

TEST(PlaceholderEquivalence, LongTextsGiveTheSameResult) {
    Random random(42);
    std::vector<Substitution> pairs;
    for (char16_t letter = u'a'; letter <= u't'; ++letter)
        pairs.push_back({letter, random.text(u"pqx0", 2) + u"1"});
    std::vector<Substitution> withPercent = pairs;
    withPercent[0].value = u"port%";
    for (int round = 0; round < 4; ++round) {
        const std::u16string text = random.text(kTextAlphabet, 20000);
        EXPECT_EQ(codegen::substitute(text, pairs), byTheRule(text, pairs));
        EXPECT_EQ(codegen::substitute(text, withPercent), byTheRule(text, withPercent));
    }
}

class RandomWirings : public CodegenTest {};

TEST_F(RandomWirings, MacroCodeOverrideFollowsTheRuleOrFailsWithoutTouchingTheText) {
    setCodeFile(exampleProfile());
    start();
    std::vector<RSPin>& pins = *control.stateForTesting().m_Pins;
    Random random(99);
    int failures = 0;
    for (int round = 0; round < 4000; ++round) {
        for (RSPin& pin : pins) {
            // Ports around "a" and the one that gives "%" (-60); bits mostly in range, some
            // unwired, a few that overflow.
            pin.Port = random.below(8) == 0 ? random.between(-60, -59) : random.between(-1, 9);
            pin.Bit = random.below(40) == 0 ? 15 : random.between(-1, 14);
        }
        const std::u16string text = random.text(kTextAlphabet, 60);
        std::u16string actual = text;
        HResult error = hr::Ok;
        std::vector<Substitution> pairs;
        try {
            pairs = codegen::placeholderValues(
                pins, [](std::int32_t port) { return std::u16string(1, static_cast<char16_t>(97 + port)); });
        } catch (const ComError& e) {
            error = e.code();
        }
        EXPECT_EQ(failureOf([&] { control.MacroCodeOverride(actual); }), error);
        if (error != hr::Ok) {
            ++failures;
            EXPECT_EQ(actual, text);
            continue;
        }
        ASSERT_EQ(actual, byTheRule(text, pairs)) << "round " << round << " text " << toUtf8(show(text));
    }
    EXPECT_GT(failures, 0) << "the wirings should include some that overflow";
    EXPECT_LT(failures, 4000);
}

} // namespace
} // namespace seg4::test
