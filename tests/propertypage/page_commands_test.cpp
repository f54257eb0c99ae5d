// The page as a script drives it: what a session reports, and scripts that use it wrongly.
#include "host/host_fixture.h"

#include <gtest/gtest.h>

namespace qhost::test {
namespace {

TEST(PageCommands, AnswersAndFaults) {
    struct Row {
        const char* script;
        int status;
        const char* shows;
    };
    const Row rows[] = {
        // A preview of a size that is no multiple of 5 is drawn at whole pixels.
        {"place\npage open\npage scrollto 51\nprint PagePreviewWidth & \"x\" & PagePreviewHeight", 0,
         "41x51"},
        {"place\npage open\npage pick YELLOW\nprint PageListText", 0, "Yellow"},
        {"place\npage open\npage cancel\nexpect PageOpen == False\npage apply", 2,
         "no property page is open"},
        {"place\nprint PageScroll", 2, "no property page is open"},
        {"place\nPageScroll = 3", 2, "built in and cannot be assigned"},
        {"place\npage open nobody", 2, "no display named 'nobody'"},
        {"place\npage open\npage open", 2, "a property page is open already"},
        {"place\npage open\npage pick Purple", 2, "has no item 'Purple'"},
        {"place\npage open\npage pick 4", 2, "has no item '4'"},
        {"place\npage open\npage pick -1", 2, "has no item '-1'"},
        {"place\npage open\npage scroll up", 2, "must be a whole number, not 'up'"},
        {"place\npage open\npage scroll +1 sideways", 2, "usage: page"},
        {"place\npage open\npage scrollto 99999999999", 2, "must be a whole number"},
        {"place\npage open\npage type", 2, "usage: page"},
        {"place\npage", 2, "usage: page"},
        {"page open", 2, "no display placed yet"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.script);
        const ScriptRun run = runScript(row.script);
        EXPECT_EQ(run.status, row.status) << run.output;
        EXPECT_TRUE(contains(run.output, row.shows)) << run.output;
    }
}

/// A build whose displays have no page: the backend keeps the default.
class PagelessBackend : public Backend {
public:
    explicit PagelessBackend(Backend& displays) : displays_(displays) {}
    std::unique_ptr<Display> create() override { return displays_.create(); }
    void onMessageBox(std::function<void(const std::u16string&)> handler) override {
        displays_.onMessageBox(std::move(handler));
    }
    std::string name() const override { return "pageless"; }

private:
    Backend& displays_;
};

TEST(PageCommands, ABuildWithoutThePageSaysSo) {
    seg4::PosixPlatform platform;
    installHost(platform);
    NativeBackend native(platform);
    PagelessBackend backend(native);
    std::ostringstream out;
    ParseResult parsed = parseScript("place\npage open\n", "t.qhs");
    Interpreter interpreter(backend, out);
    EXPECT_EQ(interpreter.run(parsed.script), 2);
    EXPECT_TRUE(contains(out.str(), "the property page is not available in this build")) << out.str();
}

} // namespace
} // namespace qhost::test
