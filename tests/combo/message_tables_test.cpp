// The interception's message tables: capacity, no duplicates, reuse of freed slots, the wildcard,
// the phases, and the reports a failed add or remove leaves in the event log and on screen.
#include "combo/message_tables.h"

#include "fake_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace seg4::interception {
namespace {

using test::FakePlatform;

const std::u16string overflowText = u"Message table overflow. Either increase the value of Const MSG_ENTRIES "
                                    u"or use ALL_MESSAGES instead of specific message values";

TEST(MessageTable, AddRemoveAndLookUp) {
    // Each row: operations applied in order, then the entries in slot order and lookups.
    enum Op { Add, Remove };
    struct Step {
        Op op;
        std::int32_t message;
        TableResult result;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::uint32_t> entries;
        std::vector<std::pair<std::uint32_t, bool>> lookups;
    } cases[] = {
        {"no duplicate",
         {{Add, 0x4E, TableResult::Ok}, {Add, 0x4E, TableResult::Ok}},
         {0x4E},
         {{0x4E, true}, {0x4F, false}}},
        {"freed slot reused in place",
         {{Add, 7, TableResult::Ok},
          {Add, 5, TableResult::Ok},
          {Add, 9, TableResult::Ok},
          {Remove, 5, TableResult::Ok},
          {Add, 0x101, TableResult::Ok}},
         {7, 0x101, 9},
         {{5, false}, {0x101, true}}},
        {"remove of a missing message",
         {{Add, 7, TableResult::Ok}, {Remove, 8, TableResult::NotFound}},
         {7},
         {{7, true}}},
        {"remove twice",
         {{Add, 7, TableResult::Ok}, {Remove, 7, TableResult::Ok}, {Remove, 7, TableResult::NotFound}},
         {},
         {{7, false}}},
        {"message 0 is a message, not an empty slot",
         {{Add, 0, TableResult::Ok}},
         {0},
         {{0, true}, {1, false}}},
        {"wildcard matches all",
         {{Add, ALL_MESSAGES, TableResult::Ok}},
         {},
         {{0, true}, {0xFFFFFFFF, true}, {0x134, true}}},
        {"wildcard keeps listed numbers until cleared",
         {{Add, 0x21, TableResult::Ok},
          {Add, ALL_MESSAGES, TableResult::Ok},
          {Remove, 0x21, TableResult::Ok},
          {Remove, 0x22, TableResult::NotFound}},
         {},
         {{0x21, true}}},
        {"removing the wildcard empties the table",
         {{Add, 0x21, TableResult::Ok},
          {Add, ALL_MESSAGES, TableResult::Ok},
          {Remove, ALL_MESSAGES, TableResult::Ok}},
         {},
         {{0x21, false}, {0x22, false}}},
        {"wildcard removed from an empty table", {{Remove, ALL_MESSAGES, TableResult::NotFound}}, {}, {}},
        {"high message numbers as unsigned",
         {{Add, static_cast<std::int32_t>(0xC000), TableResult::Ok}},
         {0xC000},
         {{0xC000, true}}},
    };
    for (const auto& c : cases) {
        MessageTable table;
        for (const auto& step : c.steps)
            EXPECT_EQ(step.op == Add ? table.add(step.message) : table.remove(step.message), step.result)
                << c.name << " message " << step.message;
        EXPECT_EQ(table.entries(), c.entries) << c.name;
        for (const auto& [message, expected] : c.lookups)
            EXPECT_EQ(table.contains(message), expected) << c.name;
    }
}

TEST(MessageTable, CapacityIsExactlyThirtyTwo) {
    MessageTable table;
    for (std::int32_t m = 1; m <= MSG_ENTRIES; ++m) ASSERT_EQ(table.add(m), TableResult::Ok) << m;
    EXPECT_EQ(table.add(MSG_ENTRIES + 1), TableResult::Overflow);
    EXPECT_EQ(table.add(5), TableResult::Ok) << "a listed message needs no slot";
    EXPECT_EQ(table.add(ALL_MESSAGES), TableResult::Ok) << "the wildcard needs no slot";
    EXPECT_TRUE(table.contains(MSG_ENTRIES + 1));
    table.remove(ALL_MESSAGES);
    for (std::int32_t m = 1; m <= MSG_ENTRIES; ++m) ASSERT_EQ(table.add(m), TableResult::Ok) << m;
    ASSERT_EQ(table.remove(17), TableResult::Ok);
    EXPECT_EQ(table.add(100), TableResult::Ok);
    EXPECT_EQ(table.entries()[16], 100u);
    EXPECT_EQ(table.add(101), TableResult::Overflow);
    EXPECT_EQ(table.entries().size(), static_cast<std::size_t>(MSG_ENTRIES));
}

TEST(MessageText, NotFoundInUpperCaseHex) {
    const std::pair<std::int32_t, std::u16string> cases[] = {
        {0x4E, u"Message &H4E not found in table"},     {0, u"Message &H0 not found in table"},
        {0x134, u"Message &H134 not found in table"},   {0xABCDEF, u"Message &HABCDEF not found in table"},
        {-1, u"Message &HFFFFFFFF not found in table"}, {-2, u"Message &HFFFFFFFE not found in table"},
    };
    for (const auto& [message, text] : cases) EXPECT_EQ(notFoundMessage(message), text) << message;
    EXPECT_EQ(overflowMessage(), overflowText);
}

TEST(Phases, EachPhaseItsTableAndFailuresReported) {
    // Rows run in order on one pair of tables. Once the before table is full, adding to both
    // phases reports the overflow once and leaves the after table untouched; "after" alone works.
    const struct {
        const char* name;
        bool fillBeforeFirst;
        bool add;
        std::int32_t message;
        int phase;
        bool ok;
        bool inBefore, inAfter;
        std::u16string routine, text;
    } cases[] = {
        {"before only", false, true, 0x4E, PhaseBefore, true, true, false, u"", u""},
        {"after only", false, true, 0x07, PhaseAfter, true, false, true, u"", u""},
        {"both", false, true, 0x111, PhaseBoth, true, true, true, u"", u""},
        {"no phase bit", false, true, 0x05, 4, true, false, false, u"", u""},
        {"full before table stops both", true, true, 0x300, PhaseBoth, false, false, false, u"zAddMsg",
         overflowText},
        {"full before table does not stop after", false, true, 0x300, PhaseAfter, true, false, true, u"",
         u""},
        {"remove missing from before", false, false, 0x999, PhaseBefore, false, false, false, u"zDelMsg",
         u"Message &H999 not found in table"},
        {"remove from both when only after has it", false, false, 0x07, PhaseBoth, false, false, true,
         u"zDelMsg", u"Message &H7 not found in table"},
        {"remove from both", false, false, 0x111, PhaseBoth, true, false, false, u"", u""},
    };
    FakePlatform platform;
    MessageTables tables;
    for (const auto& c : cases) {
        for (std::int32_t m = 0x200; c.fillBeforeFirst && tables.before.add(m) == TableResult::Ok; ++m) {
        }
        platform.events.clear();
        platform.messageBoxes.clear();
        const bool ok = c.add ? addMessage(platform, tables, c.message, c.phase)
                              : removeMessage(platform, tables, c.message, c.phase);
        EXPECT_EQ(ok, c.ok) << c.name;
        EXPECT_EQ(tables.before.contains(static_cast<std::uint32_t>(c.message)), c.inBefore) << c.name;
        EXPECT_EQ(tables.after.contains(static_cast<std::uint32_t>(c.message)), c.inAfter) << c.name;
        if (c.routine.empty()) {
            EXPECT_TRUE(platform.events.empty()) << c.name;
            EXPECT_TRUE(platform.messageBoxes.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(platform.events.size(), 1u) << c.name;
        EXPECT_EQ(platform.events[0].first, EventLogType::Error);
        EXPECT_EQ(platform.events[0].second, u"ucComboBoxEx." + c.routine + u": " + c.text) << c.name;
        ASSERT_EQ(platform.messageBoxes.size(), 1u) << c.name;
        EXPECT_EQ(platform.messageBoxes[0].text, c.text + u".") << c.name;
        EXPECT_EQ(platform.messageBoxes[0].title, u"Error in ucComboBoxEx." + c.routine) << c.name;
        EXPECT_EQ(platform.messageBoxes[0].icon, msgbox::IconExclamation);
        EXPECT_EQ(platform.messageBoxes[0].buttons, msgbox::Ok);
    }
}

} // namespace
} // namespace seg4::interception
