// The three letter-case rules side by side: each pair below is equal under some rules only, so a
// rule that borrows a range from another one fails here.
#include "letter_case.h"

#include <gtest/gtest.h>

namespace seg4::text {
namespace {

TEST(LetterCase, EachRuleKnowsItsOwnLetters) {
    struct Case {
        std::u16string lower, upper;
        bool ascii, names, list;
    };
    const Case cases[] = {
        {u"key=a", u"KEY=A", true, true, true},
        {u"[", u"{", false, false, false},                       // not letters
        {u"stra\u00DFe", u"STRA\u00DFE", true, true, true},      // sharp s has no capital
        {u"\u00E9t\u00E9", u"\u00C9T\u00C9", false, true, true}, // Latin-1
        {u"\u00F7", u"\u00D7", false, false, false},             // division and multiplication signs
        {u"\u00FF", u"\u0178", false, true, true},               // y diaeresis leaves Latin-1
        {u"\u0101\u013A\u017E", u"\u0100\u0139\u017D", false, true, true}, // both parities of Ext-A
        {u"\u0131", u"I", false, false, false},                            // dotless i
        {u"\u0131", u"\u0130", false, false, false},
        {u"\u0138", u"\u0136", false, false, false},            // kra is no partner of k cedilla
        {u"\u03C3\u03C2", u"\u03A3\u03A3", false, true, true},  // sigma and final sigma
        {u"\u03AC\u03CE", u"\u0386\u038F", false, true, false}, // accented Greek
        {u"\u0436\u0451", u"\u0416\u0401", false, true, true},  // Cyrillic
        {u"\uFF41", u"\uFF21", false, true, false},             // fullwidth Latin
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.upper.begin(), c.upper.end()));
        EXPECT_EQ(equalIgnoringAsciiCase(c.lower, c.upper), c.ascii);
        EXPECT_EQ(equalIgnoringNameCase(c.lower, c.upper), c.names);
        EXPECT_EQ(startsWithIgnoringListCase(c.lower + u"tail", c.upper), c.list);
        // Capitals stay as they are under every rule.
        EXPECT_EQ(nameUpperCase(c.upper), c.upper);
    }
    EXPECT_FALSE(equalIgnoringNameCase(u"ab", u"abc"));
    EXPECT_FALSE(equalIgnoringAsciiCase(u"ab", u"abc"));
    EXPECT_FALSE(startsWithIgnoringListCase(u"ab", u"abc"));
}

} // namespace
} // namespace seg4::text
