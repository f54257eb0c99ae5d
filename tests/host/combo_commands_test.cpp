// The `combo` command used wrongly: each misuse is a fault of the script with its reason, found
// before the list is touched.
#include "host_fixture.h"

#include <gtest/gtest.h>

namespace qhost {
namespace {

TEST(ComboCommand, MisuseNamesItsReason) {
    const std::string usage = "t.qhs:3: usage: combo show | add TEXT";
    struct Row {
        const char* line;
        std::string message; // the start of what the faulting line prints
    };
    const Row rows[] = {
        {"combo", usage},
        {"combo show all", usage},
        {"combo add", usage},
        {"combo add Pink image", usage},
        {"combo add Pink colour 3", "t.qhs:3: combo add: no option 'colour'"},
        {"combo add Pink image 1 IMAGE 2", "t.qhs:3: combo add: 'image' is given twice"},
        {"combo add Pink indent 1.5", "t.qhs:3: combo: the indent value must be a whole number, not '1.5'"},
        {"combo add Pink data 99999999999", "t.qhs:3: combo: the data value must be a whole number"},
        {"combo add Pink before \" 1\"", "t.qhs:3: combo: the before value must be a whole number"},
        {"combo find", usage},
        {"combo find Red loosely", usage},
        {"combo index two", "t.qhs:3: combo: the list index must be a whole number, not 'two'"},
        {"combo key Space", "t.qhs:3: combo key: no key 'Space'"},
        {"combo key Down meta", "t.qhs:3: combo key: 'meta' is no modifier"},
        {"combo key Down alt Alt", "t.qhs:3: combo key: 'Alt' is no modifier, or is given twice"},
        {"combo key", usage},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.line);
        const test::ScriptRun run =
            test::runScript("place\npage open\n" + std::string(r.line) + "\nLEDColour = 0\n"); // not reached
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(test::contains(run.output, r.message)) << run.output;
        EXPECT_FALSE(test::contains(run.output, "LEDColour")) << "the run stops at the fault";
    }
    // The list belongs to the open page: once the page is closed there is none.
    const test::ScriptRun closed = test::runScript("place\npage open\npage cancel\ncombo show\n");
    EXPECT_EQ(closed.status, 2);
    EXPECT_TRUE(test::contains(closed.output, "t.qhs:4: combo: no property page is open")) << closed.output;
}

} // namespace
} // namespace qhost
