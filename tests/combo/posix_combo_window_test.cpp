// The posix combo window: the native window's answers, and a person's keys and typing.
#include "posix_combo_window.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace seg4 {
namespace {

/// An owner that records notification kinds and can act on one.
struct Owner : ComboWindowEvents {
    std::vector<ComboNotificationKind> kinds;
    std::function<void(ComboNotification&)> onEach;
    bool onComboNotification(ComboNotification& n) override {
        kinds.push_back(n.kind);
        if (onEach) onEach(n);
        return true;
    }
};

std::unique_ptr<PosixComboWindow> makeWindow(Owner& owner, std::int32_t comboStyle,
                                             std::vector<std::u16string> items = {}) {
    ComboWindowSpec spec;
    spec.comboStyle = comboStyle;
    auto w = std::make_unique<PosixComboWindow>(spec, owner, 96);
    for (auto& t : items) w->insertItem(-1, ComboItem{t});
    return w;
}

TEST(PosixComboWindow, TextHeightFromPointsAndScreen) {
    struct Row {
        double points;
        int ppi;
        std::int32_t height;
    };
    for (const Row& r : {Row{8.25, 96, 13}, Row{12, 96, 19}, Row{8.25, 120, 17}, Row{0, 96, 1},
                         Row{-5, 96, 1}, Row{1e300, 96, 36000}})
        EXPECT_EQ(comboTextHeight(r.points, r.ppi), r.height) << r.points << " at " << r.ppi;
}

TEST(PosixComboWindow, CaseFolding) {
    const std::pair<char16_t, char16_t> rows[] = {
        {u'a', u'A'},           {u'z', u'Z'},           {u'[', u'['},           {u'\u00e9', u'\u00c9'},
        {u'\u00f7', u'\u00f7'}, {u'\u00ff', u'\u0178'}, {u'\u0101', u'\u0100'}, {u'\u013a', u'\u0139'},
        {u'\u0131', u'\u0131'}, {u'\u017e', u'\u017d'}, {u'\u03c2', u'\u03a3'}, {u'\u0436', u'\u0416'},
        {u'\u0451', u'\u0401'}, {u'\u0416', u'\u0416'}, {u'\u4e00', u'\u4e00'},
    };
    for (auto [in, out] : rows) EXPECT_EQ(comboFoldCase(in), out) << static_cast<int>(in);
}

TEST(PosixComboWindow, SelectionFollowsItsItem) {
    struct Row {
        const char* name;
        std::function<void(PosixComboWindow&)> change;
        std::int32_t selection;
    };
    const Row rows[] = {
        {"insert before", [](PosixComboWindow& w) { w.insertItem(0, {u"z"}); }, 3},
        {"insert after", [](PosixComboWindow& w) { w.insertItem(3, {u"z"}); }, 2},
        {"insert past the end", [](PosixComboWindow& w) { EXPECT_EQ(w.insertItem(9, {u"z"}), -1); }, 2},
        {"delete before", [](PosixComboWindow& w) { w.deleteItem(1); }, 1},
        {"delete it", [](PosixComboWindow& w) { w.deleteItem(2); }, -1},
        {"select a missing item", [](PosixComboWindow& w) { EXPECT_FALSE(w.select(4)); }, -1},
        {"edit text differs", [](PosixComboWindow& w) { w.setEditText(u"c!"); }, -1},
        {"edit text equal", [](PosixComboWindow& w) { w.setEditText(u"c"); }, 2},
    };
    for (const Row& r : rows) {
        Owner owner;
        auto w = makeWindow(owner, 2, {u"a", u"b", u"c", u"d"});
        EXPECT_EQ(w->selection(), -1);
        w->select(2);
        r.change(*w);
        EXPECT_EQ(w->selection(), r.selection) << r.name;
        EXPECT_TRUE(owner.kinds.empty()) << r.name;
    }
}

TEST(PosixComboWindow, TypingAndEditingKeys) {
    using K = ComboNotificationKind;
    struct Row {
        const char* name;
        std::int32_t maxLength;
        std::function<void(PosixComboWindow&)> act;
        std::u16string text;
        std::int32_t caret;
    };
    const Row rows[] = {
        {"typed", 0, [](PosixComboWindow& w) { w.typeText(u"abc"); }, u"abc", 3},
        {"limited", 4, [](PosixComboWindow& w) { w.typeText(u"abcdef"); }, u"abcd", 4},
        {"back", 0,
         [](PosixComboWindow& w) {
             w.typeText(u"abc");
             w.pressKey(vk::Left);
             w.pressKey(vk::Back);
         },
         u"ac", 1},
        {"delete at home", 0,
         [](PosixComboWindow& w) {
             w.typeText(u"abc");
             w.pressKey(vk::Home);
             w.pressKey(vk::Delete);
         },
         u"bc", 0},
        {"over a selection", 3,
         [](PosixComboWindow& w) {
             w.typeText(u"abc");
             w.setEditSelection(2, 0);
             w.typeText(u"xyz");
         },
         u"xyc", 2},
    };
    for (const Row& r : rows) {
        Owner owner;
        auto w = makeWindow(owner, 2);
        w->setMaxLength(r.maxLength);
        r.act(*w);
        EXPECT_EQ(w->editText(), r.text) << r.name;
        EXPECT_EQ(w->selectionStart(), r.caret) << r.name;
        EXPECT_EQ(w->selectionEnd(), r.caret) << r.name;
        EXPECT_EQ(owner.kinds.front(), K::BeginEdit) << r.name;
    }
}

TEST(PosixComboWindow, ListKeys) {
    using K = ComboNotificationKind;
    struct Row {
        const char* name;
        std::int32_t style;
        bool extendedUI;
        std::vector<std::pair<std::int16_t, std::int16_t>> keys;
        std::int32_t selection;
        bool dropped;
    };
    const Row rows[] = {
        {"down twice", 3, false, {{vk::Down, 0}, {vk::Down, 0}}, 1, false},
        {"end then up", 3, false, {{vk::End, 0}, {vk::Up, 0}}, 1, false},
        {"F4", 3, false, {{vk::F4, 0}}, -1, true},
        {"F4 in the extended interface", 3, true, {{vk::F4, 0}}, -1, false},
        {"down in the extended interface drops", 2, true, {{vk::Down, 0}}, -1, true},
        {"alt+down, escape", 2, false, {{vk::Down, 4}, {vk::Escape, 0}}, -1, false},
        {"F4 in the simple style", 1, false, {{vk::F4, 0}}, -1, false},
    };
    for (const Row& r : rows) {
        Owner owner;
        auto w = makeWindow(owner, r.style, {u"a", u"b", u"c"});
        w->setExtendedUI(r.extendedUI);
        for (auto [code, shift] : r.keys) w->pressKey(code, shift);
        EXPECT_EQ(w->selection(), r.selection) << r.name;
        EXPECT_EQ(w->dropped(), r.dropped) << r.name;
        const bool keyEvents = std::count(owner.kinds.begin(), owner.kinds.end(), K::KeyDown) > 0;
        EXPECT_EQ(keyEvents, r.style != 3) << r.name << ": key events only with an edit field";
    }
}

TEST(PosixComboWindow, ListStyleTypingPicksByPrefix) {
    Owner owner;
    auto w = makeWindow(owner, 3, {u"Red", u"green", u"Grey"});
    EXPECT_TRUE(w->typeText(u"g"));
    EXPECT_EQ(w->selection(), 1);
    EXPECT_TRUE(w->typeText(u"G"));
    EXPECT_EQ(w->selection(), 2);
    EXPECT_TRUE(w->typeText(u"g"));
    EXPECT_EQ(w->selection(), 1) << "wraps round";
    EXPECT_FALSE(w->typeText(u"x"));
    EXPECT_EQ(w->editText(), u"");
}

TEST(PosixComboWindow, AnOwnerMayDestroyTheWindowWhileTold) {
    // A handler that re-makes the window (a style change) must not leave the old one running.
    for (auto act : std::vector<std::function<void(PosixComboWindow&)>>{
             [](PosixComboWindow& w) { w.choose(1); }, [](PosixComboWindow& w) { w.typeText(u"x"); },
             [](PosixComboWindow& w) { w.dropDown(); }, [](PosixComboWindow& w) { w.pressKey(vk::Down); }}) {
        Owner owner;
        std::unique_ptr<PosixComboWindow> w = makeWindow(owner, 2, {u"a", u"b"});
        owner.onEach = [&](ComboNotification&) { w.reset(); };
        PosixComboWindow& raw = *w;
        act(raw);
        EXPECT_EQ(w, nullptr);
        EXPECT_EQ(owner.kinds.size(), 1u);
    }
}

} // namespace
} // namespace seg4
