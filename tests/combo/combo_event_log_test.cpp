// The events of a combo control as text: names and arguments in the order raised, the handler's
// answers untouched on their way through, and the newest events kept when too many came.
#include "combo_fixture.h"

#include <gtest/gtest.h>

namespace seg4::test {
namespace {

const std::vector<std::u16string> kColours{u"Red", u"Green", u"Yellow", u"Blue"};

TEST(ComboEventText, EventsWithTheirArgumentsInOrder) {
    struct Row {
        std::int32_t style;
        const char* actions;
        const char* text;
    };
    const Row rows[] = {
        {2, "pick:2", "EditChange\nClick\nListIndexChange\n"},
        {2, "select:1 insert:0", ""}, // what a program does raises nothing
        {2, "key:40+1 key:40+2", "EditChange\nClick\nListIndexChange\nEditChange\nClick\nListIndexChange\n"},
        {1, "type:a\"b", "BeginEdit\nEditChange\n"},
        {1, "key:37+5", "KeyDown 37, 5\nKeyUp 37, 5\n"},
        // The key code's low 8 bits: 296 is Down, which moves the selection between its key events.
        {1, "key:296", "KeyDown 40, 0\nEditChange\nClick\nListIndexChange\nKeyUp 40, 0\n"},
        {1, "type:x\"y lose", "BeginEdit\nEditChange\nEndEdit True, -1, \"x\"\"y\", 1\n"},
        {2, "drop close",
         "DropDown\nRequestDropDownResize 153, False\nCloseUp\nEndEdit False, -1, \"\", 4\n"},
        {2, "pick:3 drop key:38 key:13",
         "EditChange\nClick\nListIndexChange\nDropDown\nRequestDropDownResize 153, "
         "False\nEditChange\nClick\nListIndexChange\nCloseUp\nEndEdit False, 2, \"Yellow\", 4\n"},
    };
    for (const Row& r : rows) {
        ComboHarness h(r.style, kColours);
        h.raised.clear();
        act(h.window(), r.actions);
        EXPECT_EQ(toUtf8(h.raised.text()), r.text) << r.actions;
        h.raised.clear();
        EXPECT_EQ(h.raised.text(), u"") << r.actions;
    }
}

TEST(ComboEventText, TheNewestEventsStayAndTheDroppedAreCounted) {
    ComboHarness h(2, kColours);
    for (std::size_t n : {ComboEventLog::kCapacity / 3, ComboEventLog::kCapacity / 3 + 1, std::size_t{100}}) {
        h.raised.clear();
        for (std::size_t i = 0; i < n; ++i) act(h.window(), i % 2 ? "pick:1" : "pick:2"); // three events each
        const std::string text = toUtf8(h.raised.text());
        const std::size_t raised = 3 * n, kept = std::min(raised, ComboEventLog::kCapacity);
        const std::string lead =
            raised > kept ? "(" + std::to_string(raised - kept) + " earlier events dropped)\n" : "";
        EXPECT_EQ(text.substr(0, lead.size()), lead) << n;
        EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')),
                  kept + (lead.empty() ? 0 : 1))
            << n;
        EXPECT_EQ(text.substr(text.size() - 16), "ListIndexChange\n") << "the newest is kept";
    }
    EXPECT_EQ(h.events.names.size(), 3 * (2 * (ComboEventLog::kCapacity / 3) + 1 + 100))
        << "every event reached the handler";
}

} // namespace
} // namespace seg4::test
