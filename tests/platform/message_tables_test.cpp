// The interception's message tables: capacity, no duplicates, reuse of freed slots, the wildcard,
// the phases, and the reports a failed add or remove leaves in the event log and on screen.
#include "platform/message_tables.h"

#include "automation/conversions.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace seg4::interception {
namespace {

TEST(MessageTable, AddRemoveAndLookUp) {
    // Each row: operations in order ("+7" adds 7, "-7" removes it, "*" / "-*" add and remove the
    // wildcard, "full" fills the free slots with 0x200 onwards), their results (o ok, x overflow,
    // n not found, . not checked), the entries in slot order (rows without "full"), lookups.
    const struct {
        std::vector<std::string> ops;
        std::string results;
        std::vector<std::uint32_t> entries, in, out;
    } cases[] = {
        {{"+78", "+78"}, "oo", {78}, {78}, {79}},
        {{"+7", "+5", "+9", "-5", "+257"}, "oooo.", {7, 257, 9}, {257}, {5}},
        {{"+7", "-8", "-7", "-7"}, ".non", {}, {}, {7}},
        {{"+0"}, "o", {0}, {0}, {1}}, // message 0 is a message, not an empty slot
        {{"*"}, "o", {}, {0, 0xFFFFFFFF, 0x134}, {}},
        {{"+33", "*", "-33", "-34"}, "..on", {}, {33}, {}},
        {{"+33", "*", "-*"}, "..o", {}, {}, {33, 34}},
        {{"-*"}, "n", {}, {}, {}},
        {{"+1", "full", "+1", "+2"}, "..ox", {}, {1, 0x200 + 30}, {2}},
        {{"+1", "full", "-1", "+2", "+3"}, "...ox", {}, {2}, {1, 3}},
        {{"full", "*", "+5"}, "..o", {}, {5}, {}}, // neither needs a slot
    };
    for (const auto& c : cases) {
        const std::string row = std::to_string(&c - cases);
        MessageTable table;
        bool filled = false;
        for (std::size_t i = 0; i < c.ops.size(); ++i) {
            const std::string& op = c.ops[i];
            TableResult result = TableResult::Ok;
            if (op == "full") {
                filled = true;
                for (std::int32_t m = 0x200; table.add(m) == TableResult::Ok; ++m) {
                }
            } else if (op == "*" || op == "-*") {
                result = op == "*" ? table.add(ALL_MESSAGES) : table.remove(ALL_MESSAGES);
            } else {
                const std::int32_t m = std::stoi(op.substr(1));
                result = op[0] == '+' ? table.add(m) : table.remove(m);
            }
            const char expected = c.results[i];
            if (expected == '.') continue;
            EXPECT_EQ(result, expected == 'o'   ? TableResult::Ok
                              : expected == 'x' ? TableResult::Overflow
                                                : TableResult::NotFound)
                << row << " op " << op;
        }
        if (!filled) {
            EXPECT_EQ(table.entries(), c.entries) << row;
        }
        for (auto m : c.in) EXPECT_TRUE(table.contains(m)) << row << " " << m;
        for (auto m : c.out) EXPECT_FALSE(table.contains(m)) << row << " " << m;
    }
}

TEST(Phases, EachPhaseItsTableAndFailuresReported) {
    // Rows run in order on one pair of tables. Once the before table is full, adding to both
    // phases reports the overflow once and leaves the after table untouched.
    const std::u16string overflow =
        u"Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
        u"ALL_MESSAGES instead of specific message values";
    const struct {
        bool fillBefore, add;
        std::int32_t message;
        int phase;
        bool ok, inBefore, inAfter;
        std::u16string routine, text;
    } cases[] = {
        {false, true, 0x4E, PhaseBefore, true, true, false, u"", u""},
        {false, true, 0x07, PhaseAfter, true, false, true, u"", u""},
        {false, true, 0x111, PhaseBoth, true, true, true, u"", u""},
        {false, true, 0x05, 4, true, false, false, u"", u""}, // no phase bit: nothing
        {true, true, 0x300, PhaseBoth, false, false, false, u"zAddMsg", overflow},
        {false, true, 0x300, PhaseAfter, true, false, true, u"", u""},
        {false, false, 0xABCDEF, PhaseBefore, false, false, false, u"zDelMsg",
         u"Message &HABCDEF not found in table"},
        {false, false, 0x07, PhaseBoth, false, false, true, u"zDelMsg", u"Message &H7 not found in table"},
        {false, false, -2, PhaseAfter, false, false, false, u"zDelMsg",
         u"Message &HFFFFFFFE not found in table"},
        {false, false, 0x111, PhaseBoth, true, false, false, u"", u""},
    };
    test::FakePlatform platform;
    test::SequenceRecorder calls;
    platform.calls = &calls;
    MessageTables tables;
    for (const auto& c : cases) {
        const std::string row = std::to_string(&c - cases);
        for (std::int32_t m = 0x200; c.fillBefore && tables.before.add(m) == TableResult::Ok; ++m) {
        }
        const bool ok = c.add ? addMessage(platform, tables, c.message, c.phase)
                              : removeMessage(platform, tables, c.message, c.phase);
        EXPECT_EQ(ok, c.ok) << row;
        EXPECT_EQ(tables.before.contains(static_cast<std::uint32_t>(c.message)), c.inBefore) << row;
        EXPECT_EQ(tables.after.contains(static_cast<std::uint32_t>(c.message)), c.inAfter) << row;
        // The event log first, then the modal box with an exclamation mark and OK.
        std::vector<test::Step> reports;
        const std::string report = toUtf8(c.routine + u": " + c.text);
        if (!c.routine.empty())
            reports = {{"reportEvent", 0, {}, {}, "1 ucComboBoxEx." + report},
                       {"messageBox", 0, {}, {}, "Error in ucComboBoxEx." + report + ". (0x0030)"}};
        EXPECT_TRUE(test::sameSequence(reports, calls.take())) << row;
    }
}

} // namespace
} // namespace seg4::interception
