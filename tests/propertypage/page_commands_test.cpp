// The page as a script drives it: what a session reports, and scripts that use it wrongly.
#include "host/host_fixture.h"

#include <gtest/gtest.h>

namespace qhost::test {
namespace {

TEST(PageCommands, AnswersAndFaults) {
    const struct {
        const char* script;
        int status;
        const char* shows;
    } rows[] = {
        // A preview of a size that is no multiple of 5 is drawn at whole pixels.
        {"page open\npage scrollto 51\nprint PagePreviewWidth & \"x\" & PagePreviewHeight", 0, "41x51"},
        {"page open\npage pick YELLOW\nprint PageListText", 0, "Yellow"},
        {"page open\npage cancel\npage apply", 2, "no property page is open"},
        {"print PageScroll", 2, "no property page is open"},
        {"PageScroll = 3", 2, "built in and cannot be assigned"},
        {"page open nobody", 2, "no display named 'nobody'"},
        {"page open\npage open", 2, "a property page is open already"},
        {"page open\npage pick 4", 2, "has no item '4'"},
        {"page open\npage scroll up", 2, "must be a whole number, not 'up'"},
        {"page open\npage scroll +1 sideways", 2, "usage: page"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.script);
        const ScriptRun run = runScript(std::string("place\n") + row.script);
        EXPECT_EQ(run.status, row.status) << run.output;
        EXPECT_TRUE(contains(run.output, row.shows)) << run.output;
    }
}

} // namespace
} // namespace qhost::test
