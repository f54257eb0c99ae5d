// The in-memory combo window: the native window's answers, and a person's keys and typing.
#include "combo_fixture.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace seg4::test {
namespace {

/// An owner that counts what it is told and can act on it.
struct Owner : ComboWindowEvents {
    int told = 0;
    std::function<void()> onEach;
    bool onComboNotification(ComboNotification&) override {
        ++told;
        if (onEach) onEach();
        return true;
    }
};

std::unique_ptr<MemoryComboWindow> makeWindow(Owner& owner, std::int32_t comboStyle) {
    ComboWindowSpec spec;
    spec.comboStyle = comboStyle;
    auto w = std::make_unique<MemoryComboWindow>(spec, owner, 96);
    for (auto t : {u"a", u"b", u"c", u"d"}) w->insertItem(-1, ComboItem{t});
    return w;
}

TEST(MemoryComboWindow, ProgramAndPerson) {
    struct Row {
        std::int32_t style, maxLength;
        bool extendedUI;
        const char* actions;
        std::u16string text;
        std::int32_t selEnd, selection;
        bool dropped;
    };
    const Row rows[] = {
        // What the program does raises nothing and leaves the selected item selected.
        {2, 0, false, "select:2 insert:0", u"c", 0, 3, false},
        {2, 0, false, "select:2 insert:9 delete:1", u"c", 0, 1, false}, // no item 9: refused
        {2, 0, false, "select:2 delete:2", u"c", 0, -1, false},
        {2, 0, false, "select:2 select:4", u"", 0, -1, false}, // no item 4: no selection
        {2, 0, false, "select:2 text:c!", u"c!", 0, -1, false},
        {2, 0, false, "select:2 text:c", u"c", 0, 2, false},
        // What a person does.
        {2, 4, false, "type:abcdef", u"abcd", 4, -1, false}, // the text limit
        {2, 0, false, "type:abc key:37 key:8", u"ac", 1, -1, false},
        {2, 0, false, "type:abc key:36 key:46", u"bc", 0, -1, false},
        {2, 0, false, "key:40 key:40", u"b", 1, 1, false}, // the item's text, all of it selected
        {3, 0, false, "type:c type:x", u"", 0, 2, false},  // the list picks by the typed start
        {3, 0, false, "key:115", u"", 0, -1, true},
        {2, 0, true, "key:115", u"", 0, -1, false},  // no F4 in the extended interface,
        {2, 0, true, "key:40", u"", 0, -1, true},    // where Down drops the list
        {1, 0, false, "key:115", u"", 0, -1, false}, // the simple style's list is always there
    };
    for (const Row& r : rows) {
        Owner owner;
        auto w = makeWindow(owner, r.style);
        w->setMaxLength(r.maxLength);
        w->setExtendedUI(r.extendedUI);
        act(*w, r.actions);
        EXPECT_EQ(owner.told > 0, std::string(r.actions).find("select") == std::string::npos) << r.actions;
        EXPECT_EQ(w->editText(), r.text) << r.actions;
        EXPECT_EQ(w->selectionEnd(), r.selEnd) << r.actions;
        EXPECT_EQ(w->selection(), r.selection) << r.actions;
        EXPECT_EQ(w->dropped(), r.dropped) << r.actions;
    }
}

TEST(MemoryComboWindow, AnOwnerMayDestroyTheWindowWhileTold) {
    // A handler that re-makes the window (a style change) must not leave the old one running.
    for (auto [setup, action] :
         {std::pair{"", "pick:1"}, {"", "type:x"}, {"", "drop"}, {"", "key:40"}, {"type:x", "lose"}}) {
        Owner owner;
        std::unique_ptr<MemoryComboWindow> w = makeWindow(owner, 2);
        MemoryComboWindow& raw = *w;
        act(raw, setup);
        owner.told = 0;
        owner.onEach = [&] { w.reset(); };
        act(raw, action);
        EXPECT_EQ(w, nullptr) << action;
        EXPECT_EQ(owner.told, 1) << action;
    }
}

} // namespace
} // namespace seg4::test
