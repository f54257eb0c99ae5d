// The combo control: items, selection and its error, events in order, styles, layout, members
// without a window.
#include "combo_fixture.h"
#include "helpers.h"

#include "automation/conversions.h"

#include <functional>
#include <gtest/gtest.h>

namespace seg4::test {
namespace {

const std::vector<std::u16string> kColours{u"Red", u"Green", u"Yellow", u"Blue"};

TEST(ComboItems, AppendedInOrderWithTheirIndexes) {
    ComboHarness h(2);
    std::vector<std::int32_t> newIndexes;
    for (auto& c : kColours) {
        ASSERT_TRUE(h.combo.AddItem(c));
        newIndexes.push_back(h.combo.get_NewIndex());
    }
    EXPECT_EQ(newIndexes, (std::vector<std::int32_t>{0, 1, 2, 3}));
    ASSERT_EQ(h.combo.get_ListCount(), 4);
    for (std::int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(h.combo.get_List(i), kColours[static_cast<std::size_t>(i)]);
    EXPECT_EQ(h.combo.get_ListIndex(), -1); // a new list has no selection
}

TEST(ComboItems, ArgumentsAreNormalised) {
    struct Row {
        Variant position, icon, selected, data, indent;
        bool ok;
        std::int32_t index, image, selImage, itemData, itemIndent;
    };
    const Variant o = omitted();
    const Row rows[] = {
        {o, o, o, o, o, true, 2, -1, -1, 0, 0},
        {Variant::i4(0), Variant::i4(3), o, Variant::i4(77), Variant::i4(2), true, 0, 3, 3, 77, 2},
        {Variant::i4(-7), Variant::i4(1), Variant::i4(-4), o, o, true, 2, 1, 1, 0, 0}, // below -1 appends
        {Variant::string(u"1"), Variant::i2(5), Variant::i4(6), o, o, true, 1, 5, 6, 0, 0},
        {Variant::i4(3), o, o, o, o, false, -1, 0, 0, 0, 0}, // past the end
    };
    for (const Row& r : rows) {
        ComboHarness h(2, {u"a", u"b"});
        EXPECT_EQ(h.combo.AddItem(u"new", r.position, r.icon, r.selected, r.data, r.indent), r.ok);
        EXPECT_EQ(h.combo.get_NewIndex(), r.index);
        if (!r.ok) {
            EXPECT_EQ(h.combo.get_ListCount(), 2);
            continue;
        }
        EXPECT_EQ(h.combo.get_ItemText(r.index), u"new");
        EXPECT_EQ(h.combo.get_ItemIconIndex(r.index), r.image);
        EXPECT_EQ(h.combo.get_ItemIconIndexSelected(r.index), r.selImage);
        EXPECT_EQ(h.combo.get_ItemData(r.index), r.itemData);
        EXPECT_EQ(h.combo.get_ItemIndent(r.index), r.itemIndent);
    }
    ComboHarness h(2);
    EXPECT_EQ(failureOf([&] { h.combo.AddItem(u"x", Variant::string(u"two")); }), hr::TypeMismatch);
    EXPECT_EQ(h.combo.get_ListCount(), 0);
}

TEST(ComboItems, FieldsRemoveAndClear) {
    ComboHarness h(2, kColours);
    h.combo.put_ItemData(1, 42);
    h.combo.put_List(1, u"Lime");
    h.combo.put_ItemIndent(9, 3); // not an item: nothing happens
    EXPECT_EQ(h.combo.get_ItemData(1), 42);
    EXPECT_EQ(h.combo.get_ItemText(1), u"Lime");
    h.combo.put_ListIndex(3);
    EXPECT_TRUE(h.combo.RemoveItem(0));
    EXPECT_FALSE(h.combo.RemoveItem(3));
    EXPECT_EQ(h.combo.get_ListIndex(), 2); // still "Blue"
    EXPECT_EQ(h.combo.get_ItemData(0), 42);
    h.combo.Clear();
    EXPECT_EQ(h.combo.get_ListCount(), 0);
    EXPECT_EQ(h.combo.get_ListIndex(), -1);
}

TEST(ComboListIndex, OnlyItemsAndMinusOne) {
    struct Row {
        std::int32_t value;
        HResult error;
        std::int32_t after;
    };
    const Row rows[] = {{2, hr::Ok, 2},
                        {-1, hr::Ok, -1},
                        {4, hr::InvalidPropertyArrayIndex, 1},
                        {-2, hr::InvalidPropertyArrayIndex, 1},
                        {0, hr::Ok, 0}};
    for (const Row& r : rows) {
        ComboHarness h(2, kColours);
        h.combo.put_ListIndex(1);
        h.events.names.clear();
        EXPECT_EQ(failureOf([&] { h.combo.put_ListIndex(r.value); }), r.error) << r.value;
        EXPECT_EQ(h.combo.get_ListIndex(), r.after) << r.value;
        EXPECT_TRUE(h.events.names.empty()) << "setting ListIndex raises no event";
    }
    ComboHarness h(2, kColours);
    try {
        h.combo.put_ListIndex(4);
        FAIL();
    } catch (const ComError& e) {
        EXPECT_EQ(e.source(), u"ARM_7seg4.ucComboBoxEx");
        EXPECT_EQ(e.description(), u"Invalid property array index");
    }
}

TEST(ComboEvents, UserActionsRaiseTheirEventsInOrder) {
    using Action = std::function<void(ComboHarness&)>;
    struct Row {
        const char* name;
        std::int32_t style;
        Action act;
        std::vector<std::string> events;
    };
    const Row rows[] = {
        {"mouse pick",
         2,
         [](ComboHarness& h) { h.window().choose(2); },
         {"EditChange", "Click", "ListIndexChange"}},
        {"pick in a dropped list",
         2,
         [](ComboHarness& h) {
             h.window().dropDown();
             h.window().choose(1);
         },
         {"DropDown", "RequestDropDownResize", "EditChange", "Click", "ListIndexChange", "CloseUp"}},
        {"typing", 1, [](ComboHarness& h) { h.window().typeText(u"ab"); }, {"BeginEdit", "EditChange"}},
        {"typing, then Return",
         1,
         [](ComboHarness& h) {
             h.window().typeText(u"a");
             h.window().pressKey(vk::Return);
         },
         {"BeginEdit", "EditChange", "KeyDown", "EndEdit", "KeyUp"}},
        {"arrow down in the list style",
         2,
         [](ComboHarness& h) { h.window().pressKey(vk::Down); },
         {"EditChange", "Click", "ListIndexChange"}},
        {"simple style never drops", 0, [](ComboHarness& h) { h.combo.put_Dropped(true); }, {}},
        {"dropped by the program",
         2,
         [](ComboHarness& h) {
             h.combo.put_Dropped(true);
             h.combo.put_Dropped(false);
         },
         {"DropDown", "RequestDropDownResize", "CloseUp"}},
        {"disabled",
         1,
         [](ComboHarness& h) {
             h.combo.put_Enabled(false);
             h.window().choose(1);
             h.window().typeText(u"x");
         },
         {}},
    };
    for (const Row& r : rows) {
        ComboHarness h(r.style, kColours);
        r.act(h);
        EXPECT_EQ(h.events.names, r.events) << r.name;
    }
}

TEST(ComboEvents, NothingInDesignMode) {
    ComboHarness h(1, kColours);
    h.site.design = true;
    h.combo.put_Style(1); // re-created at design time
    h.combo.AddItem(u"x");
    h.window().choose(0);
    h.window().typeText(u"y");
    h.window().dropDown();
    EXPECT_TRUE(h.events.names.empty());
}

TEST(ComboEvents, HandlersAnswerThroughTheirArguments) {
    ComboHarness h(1, kColours);
    h.events.widenBy = 50;
    h.window().dropDown();
    const ComboRect shown = h.window().listRect();
    h.window().closeUp();
    h.events.cancelResize = true;
    h.events.widenBy = 500;
    h.window().dropDown();
    EXPECT_EQ(h.window().listRect().right, shown.right - 50)
        << "a cancelled request leaves the list as it was";

    h.events.swallowKeys = true;
    h.window().pressKey(vk::Down);
    EXPECT_EQ(h.combo.get_ListIndex(), -1) << "KeyCode 0 swallows the key";

    h.events.swallowKeys = false;
    h.window().typeText(u"Gr");
    h.window().loseFocus();
    EXPECT_EQ(h.events.endText, u"Gr");
    EXPECT_EQ(h.events.endWhy, endedit::KillFocus);
}

TEST(ComboStyles, WindowStyleAndMaskedExtendedStyle) {
    struct Row {
        std::int32_t style;
        std::int32_t comboStyle;
        bool edit;
    };
    for (const Row& r :
         {Row{0, 1, true}, Row{1, 2, true}, Row{2, 3, false}, Row{5, 2, true}, Row{-1, 2, true}}) {
        ComboHarness h(r.style);
        EXPECT_EQ(h.combo.get_Style(), r.style);
        EXPECT_EQ(h.window().spec().comboStyle, r.comboStyle) << r.style;
        EXPECT_EQ(h.window().hasEditField(), r.edit) << r.style;
    }
    for (auto [set, stored] : {std::pair{7, 3}, {4, 0}, {-1, 3}, {2, 2}}) {
        ComboHarness h;
        h.combo.put_ExtendedStyle(set);
        EXPECT_EQ(h.combo.get_ExtendedStyle(), stored) << set;
    }
}

TEST(ComboStyles, ChangingStyleRemakesTheWindow) {
    ComboHarness h(2, kColours);
    h.combo.put_ImageSize(24);
    h.combo.put_ExtendedStyle(2);
    const int before = h.windows.created();
    h.combo.put_Style(1);
    EXPECT_EQ(h.windows.created(), before + 1);
    EXPECT_EQ(h.combo.get_ListCount(), 0); // the items went with the old window
    EXPECT_EQ(h.window().spec().imageSize, 24);
    EXPECT_FALSE(h.window().ownImageListAttached());
}

TEST(ComboLayout, HeightFollowsTheSelectionField) {
    struct Row {
        std::int32_t style;
        bool design;
        double points;
        float height;
    };
    const Row rows[] = {
        {2, false, 8.25, (15 + 6) * 15}, // an 8.25-point font: a 15-pixel selection field
        {1, false, 12, (16 + 3 + 2 + 6) * 15},
        {0, false, 8.25, 330}, // the simple style keeps its height
        {2, true, 8.25, 330},  // so does any style at design time
    };
    for (const Row& r : rows) {
        ComboHarness h;
        h.site.design = r.design;
        h.combo.put_Font(ComboFont{u"MS Sans Serif", r.points});
        h.site.height = 330;
        h.combo.put_Style(r.style);
        EXPECT_FLOAT_EQ(h.site.height, r.height) << r.style << " " << r.points;
        EXPECT_EQ(h.window().spec().heightPixels, 8 * 22);
        EXPECT_EQ(h.window().heightPixels(), static_cast<std::int32_t>(r.height / 15));
    }
}

TEST(ComboText, EditFieldOrSelectedItem) {
    ComboHarness list(2, kColours);
    list.combo.put_Text(u"GREEN");
    EXPECT_EQ(list.combo.get_ListIndex(), 1);
    EXPECT_EQ(list.combo.get_Text(), u"Green");
    list.combo.put_Text(u"Gre"); // no exact match: the selection stays
    EXPECT_EQ(list.combo.get_ListIndex(), 1);
    EXPECT_EQ(list.combo.get_SelLength(), 0);
    EXPECT_EQ(list.combo.get_SelText(), u"");

    ComboHarness drop(1, kColours);
    drop.combo.put_Text(u"Purple");
    EXPECT_EQ(drop.combo.get_Text(), u"Purple");
    EXPECT_EQ(drop.combo.get_ListIndex(), -1);
    drop.combo.put_SelStart(1);
    drop.combo.put_SelLength(3);
    EXPECT_EQ(drop.combo.get_SelText(), u"urp");
    EXPECT_EQ(drop.combo.get_SelEnd(), 4);
    drop.combo.put_SelLength(100);
    EXPECT_EQ(drop.combo.get_SelText(), u"urple");
}

TEST(ComboFind, PlatformSearchAgainstOwnSearch) {
    struct Row {
        std::u16string text;
        bool exact;
        std::int32_t platform, own;
    };
    const Row rows[] = {
        {u"red", true, 1, 1},     // the platform's search starts after item 0
        {u"Red", true, 1, 0},     // ... and ignores case; the own search does not
        {u"RED", false, 1, -1},   // prefix, item 2 "Reddish" comes after item 1
        {u"ed", false, -1, 0},    // the own search finds what an item contains
        {u"Blue", false, 3, 3},   //
        {u"\u0416", true, 4, -1}, // a character the code page lacks is searched as '?'
        {u"", false, 1, 0},       //
    };
    ComboHarness h(2, {u"Red", u"red", u"Reddish", u"Blue", u"?"});
    for (const Row& r : rows) {
        EXPECT_EQ(h.combo.FindItem(r.text, Variant::boolean(r.exact)), r.platform) << toUtf8(r.text);
        EXPECT_EQ(h.combo.FindItem_Unicode(r.text, Variant::boolean(r.exact)), r.own) << toUtf8(r.text);
    }
}

TEST(ComboImages, ImageListTakesOnlyAHandle) {
    ComboHarness h;
    for (const Variant& bad :
         {Variant(), Variant::string(u"12"), Variant::i2(12), Variant::r8(12), Variant::null()}) {
        try {
            h.combo.put_ImageList(bad);
            ADD_FAILURE() << "accepted " << toUtf8(typeName(bad));
        } catch (const ComError& e) {
            EXPECT_EQ(e.code(), hr::ImageListExpected);
            EXPECT_EQ(e.description(),
                      u"ImageList property expects ImageList object or long hImageList handle.");
        }
    }
    Variant handle = Variant::i4(0x1234);
    h.combo.put_ImageList(Variant::byRef(&handle));
    EXPECT_EQ(h.window().outsideImageList(), 0x1234u);
    h.combo.put_Style(2);
    EXPECT_EQ(h.window().outsideImageList(), 0x1234u) << "kept for the next window";
    EXPECT_EQ(h.combo.AddBitmap(0x10), 0);
    EXPECT_EQ(h.combo.AddIcon(0x11), 1);
}

TEST(ComboWithoutWindow, MembersAnswerNeutrallyAndChangeNothing) {
    FakePlatform platform;
    PosixComboWindowFactory windows;
    TestSite site;
    UcComboBoxEx combo(platform, windows, site);
    const std::function<std::int64_t()> numeric[] = {
        [&] { return combo.get_ListIndex(); },
        [&] { return combo.get_ListCount(); },
        [&] { return combo.get_SelStart(); },
        [&] { return combo.get_SelLength(); },
        [&] { return combo.FindItem(u"x"); },
        [&] { return combo.AddItem(u"x"); },
        [&] { return combo.AddIcon(1); },
        [&] { return combo.get_ItemData(0); },
        [&] { return combo.RemoveItem(0); },
        [&] { return combo.get_Dropped(); },
        [&] { return combo.get_Redraw(); },
        [&] { return static_cast<std::int64_t>(combo.get_hWndCombo()); },
        [&] { return combo.get_ItemIconIndex(0); },
        [&] { return combo.get_NewIndex(); },
    };
    combo.put_ListIndex(7);
    combo.put_Dropped(true);
    combo.put_Text(u"x");
    combo.Clear();
    for (const auto& f : numeric) EXPECT_EQ(f(), 0);
    EXPECT_EQ(combo.get_Text(), u"");
    EXPECT_EQ(combo.get_List(0), u"");
    EXPECT_EQ(combo.FindItem_Unicode(u""), -1);
    EXPECT_EQ(windows.created(), 0);
}

} // namespace
} // namespace seg4::test
