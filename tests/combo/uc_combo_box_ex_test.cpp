// The combo control: items, selection and its error, events in order, styles, layout, searches,
// members without a window.
#include "combo_fixture.h"
#include "helpers.h"

#include <gtest/gtest.h>

namespace seg4::test {
namespace {

const std::vector<std::u16string> kColours{u"Red", u"Green", u"Yellow", u"Blue"};

TEST(ComboItems, ArgumentsAreNormalised) {
    struct Row {
        Variant position, icon, selected, data, indent;
        std::int32_t index, image, selImage, itemData, itemIndent; // index -1: refused
    };
    const Variant o = omitted();
    const Row rows[] = {
        {o, o, o, o, o, 4, -1, -1, 0, 0},
        {Variant::i4(0), Variant::i4(3), o, Variant::i4(77), Variant::i4(2), 0, 3, 3, 77, 2},
        {Variant::i4(-7), Variant::i4(1), Variant::i4(-4), o, o, 4, 1, 1, 0, 0}, // below -1 appends
        {Variant::string(u"1"), Variant::i2(5), Variant::i4(6), o, o, 1, 5, 6, 0, 0},
        {Variant::i4(5), o, o, o, o, -1, 0, 0, 0, 0}, // past the end
    };
    for (const Row& r : rows) {
        ComboHarness h(2, kColours);
        EXPECT_EQ(h.combo.AddItem(u"new", r.position, r.icon, r.selected, r.data, r.indent), r.index >= 0);
        EXPECT_EQ(h.combo.get_NewIndex(), r.index);
        EXPECT_EQ(h.combo.get_ListCount(), r.index >= 0 ? 5 : 4);
        EXPECT_EQ(h.combo.get_ItemText(r.index), r.index >= 0 ? u"new" : u"");
        EXPECT_EQ(h.combo.get_ItemIconIndex(r.index), r.image);
        EXPECT_EQ(h.combo.get_ItemIconIndexSelected(r.index), r.selImage);
        EXPECT_EQ(h.combo.get_ItemData(r.index), r.itemData);
        EXPECT_EQ(h.combo.get_ItemIndent(r.index), r.itemIndent);
        if (r.index < 0) continue;
        // The record leaves the overlay out, so the window holds none (0: its overlays count
        // from 1), and changing another field of the item leaves it so.
        h.combo.put_ItemIndent(r.index, 9);
        EXPECT_EQ(h.window().item(r.index)->overlay, 0);
        EXPECT_EQ(h.combo.get_ItemIndent(r.index), 9);
    }
    ComboHarness h(2, kColours);
    EXPECT_EQ(h.combo.get_List(3), u"Blue");
    EXPECT_EQ(failureOf([&] { h.combo.AddItem(u"x", Variant::string(u"two")); }), hr::TypeMismatch);
    h.combo.put_ListIndex(3);
    EXPECT_TRUE(h.combo.RemoveItem(0));
    EXPECT_EQ(h.combo.get_ListIndex(), 2) << "still Blue";
}

TEST(ComboListIndex, OnlyItemsAndMinusOneAndNoEvent) {
    for (auto [value, error, after] : {std::tuple{2, hr::Ok, 2},
                                       {-1, hr::Ok, -1},
                                       {4, hr::InvalidPropertyArrayIndex, 1},
                                       {-2, hr::InvalidPropertyArrayIndex, 1}}) {
        ComboHarness h(2, kColours);
        h.combo.put_ListIndex(1);
        EXPECT_EQ(failureOf([&] { h.combo.put_ListIndex(value); }), error) << value;
        EXPECT_EQ(h.combo.get_ListIndex(), after) << value;
        EXPECT_TRUE(h.events.names.empty()) << "setting ListIndex raises no event";
    }
    ComboHarness h(2, kColours);
    try {
        h.combo.put_ListIndex(4);
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.source(), u"ARM_7seg4.ucComboBoxEx");
        EXPECT_EQ(e.description(), u"Invalid property array index");
    }
}

TEST(ComboEvents, UserActionsRaiseTheirEventsInOrder) {
    struct Row {
        std::int32_t style;
        const char* actions;
        std::vector<std::string> events;
    };
    const Row rows[] = {
        {2, "pick:2", {"EditChange", "Click", "ListIndexChange"}},
        {2,
         "drop pick:1",
         {"DropDown", "RequestDropDownResize", "EditChange", "Click", "ListIndexChange", "CloseUp",
          "EndEdit"}},
        {1, "type:ab", {"BeginEdit", "EditChange"}},
        {1, "type:a key:13", {"BeginEdit", "EditChange", "KeyDown", "EndEdit", "KeyUp"}},
        {1, "type:a drop", {"BeginEdit", "EditChange", "EndEdit", "DropDown", "RequestDropDownResize"}},
        {2, "key:40", {"EditChange", "Click", "ListIndexChange"}}, // no key events without an edit field
        {0, "drop", {}},                                           // the simple style never drops
    };
    for (const Row& r : rows) {
        ComboHarness h(r.style, kColours);
        act(h.window(), r.actions);
        EXPECT_EQ(h.events.names, r.events) << r.actions;
    }
    ComboHarness disabled(1, kColours), design(1, kColours);
    disabled.combo.put_Enabled(false);
    design.site.design = true;
    design.combo.put_Style(1);
    design.combo.AddItem(u"x");
    for (ComboHarness* h : {&disabled, &design}) {
        act(h->window(), "pick:0 type:y drop key:40");
        EXPECT_TRUE(h->events.names.empty());
    }
}

TEST(ComboEvents, HandlersAnswerThroughTheirArguments) {
    ComboHarness h(1, kColours);
    h.events.widenBy = 50;
    act(h.window(), "drop close");
    const ComboRect widened = h.window().listRect();
    h.events.cancelResize = true;
    act(h.window(), "drop");
    EXPECT_EQ(h.window().listRect().right, widened.right - 50) << "a cancelled request leaves the list";
    // A KeyDown handler's code goes back to no window: the key acts as pressed.
    h.events.zeroKeyCode = true;
    act(h.window(), "key:40");
    EXPECT_EQ(h.combo.get_ListIndex(), 0) << "Down still picks the first item";
    h.events.zeroKeyCode = false;
    act(h.window(), "close type:Gr lose");
    EXPECT_EQ(h.events.endText, u"Gr");
    EXPECT_EQ(h.events.endWhy, endedit::KillFocus);
}

TEST(ComboStyles, WindowStyleAndMaskedExtendedStyle) {
    for (auto [style, comboStyle] : {std::pair{0, 1}, {1, 2}, {2, 3}, {5, 2}, {-1, 2}}) {
        ComboHarness h(style);
        EXPECT_EQ(h.combo.get_Style(), style);
        EXPECT_EQ(h.window().spec().comboStyle, comboStyle) << style;
    }
    for (auto [set, stored] : {std::pair{7, 3}, {4, 0}, {-1, 3}}) {
        ComboHarness h;
        h.combo.put_ExtendedStyle(set);
        EXPECT_EQ(h.combo.get_ExtendedStyle(), stored) << set;
    }
    ComboHarness h(2, kColours);
    h.combo.put_ExtendedStyle(2);
    h.combo.put_Style(1);
    EXPECT_EQ(h.windows.created(), 3);
    EXPECT_EQ(h.combo.get_ListCount(), 0) << "the items went with the old window";
    EXPECT_FALSE(h.window().ownImageListAttached());
}

TEST(ComboLayout, HeightFollowsTheSelectionField) {
    // An 8.25-point font makes a 15-pixel selection field, a 12-point one 21; the simple style and
    // any style at design time keep the height they were given.
    for (auto [style, design, points, height] :
         {std::tuple{2, false, 8.25, 21}, {1, false, 12.0, 27}, {0, false, 8.25, 22}, {2, true, 8.25, 22}}) {
        ComboHarness h;
        h.site.design = design;
        h.combo.put_Font(ComboFont{u"MS Sans Serif", points});
        h.site.height = 330;
        h.combo.put_Style(style);
        EXPECT_FLOAT_EQ(h.site.height, static_cast<float>(height * 15)) << style << " " << points;
        EXPECT_EQ(h.window().spec().heightPixels, 8 * 22);
        EXPECT_EQ(h.window().heightPixels(), height);
    }
}

TEST(ComboText, EditFieldOrSelectedItem) {
    ComboHarness list(2, kColours), drop(1, kColours);
    list.combo.put_Text(u"GREEN"); // the exact platform search
    list.combo.put_Text(u"Gre");   // nothing found: the selection stays
    drop.combo.put_Text(u"Purple");
    drop.combo.put_SelStart(1);
    drop.combo.put_SelLength(3);
    EXPECT_EQ(std::tuple(list.combo.get_Text(), list.combo.get_SelText(), drop.combo.get_Text(),
                         drop.combo.get_SelText(), drop.combo.get_ListIndex()),
              std::tuple(u"Green", u"", u"Purple", u"urp", -1));
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
        {u"RED", false, 1, -1},   // a prefix: "Reddish" comes after "red"
        {u"ed", false, -1, 0},    // the own search finds what an item contains
        {u"\u0416", true, 4, -1}, // a character the code page lacks is searched as '?'
        {u"GR\u00dcN", true, 5, -1},
    };
    ComboHarness h(2, {u"Red", u"red", u"Reddish", u"Blue", u"?", u"gr\u00fcn"});
    for (const Row& r : rows) {
        EXPECT_EQ(h.combo.FindItem(r.text, Variant::boolean(r.exact)), r.platform) << toUtf8(r.text);
        EXPECT_EQ(h.combo.FindItem_Unicode(r.text, Variant::boolean(r.exact)), r.own) << toUtf8(r.text);
    }
}

TEST(ComboImages, ImageListTakesOnlyAHandle) {
    ComboHarness h;
    for (const Variant& bad : {Variant(), Variant::string(u"12"), Variant::i2(12), Variant::null()})
        EXPECT_EQ(failureOf([&] { h.combo.put_ImageList(bad); }), hr::ImageListExpected);
    Variant handle = Variant::i4(0x1234);
    h.combo.put_ImageList(Variant::byRef(&handle));
    h.combo.put_Style(2);
    EXPECT_EQ(h.window().outsideImageList(), 0x1234u) << "kept for the next window";
    EXPECT_EQ(h.combo.AddBitmap(0x10), 0);
    EXPECT_EQ(h.combo.AddIcon(0x11), 1);
}

TEST(ComboWithoutWindow, MembersAnswerNeutrallyAndChangeNothing) {
    FakePlatform platform;
    MemoryComboWindowFactory windows;
    TestSite site;
    UcComboBoxEx combo(platform, windows, site);
    combo.put_ListIndex(7);
    combo.put_Text(u"x");
    EXPECT_EQ(std::tuple(combo.get_ListIndex(), combo.get_ListCount(), combo.get_SelLength(),
                         combo.FindItem(u"x"), combo.AddItem(u"x"), combo.AddIcon(1), combo.get_ItemData(0),
                         combo.get_Dropped(), combo.get_Text(), combo.FindItem_Unicode(u"")),
              std::tuple(0, 0, 0, 0, false, 0, 0, false, std::u16string(), -1));
    EXPECT_EQ(windows.created(), 0);
}

} // namespace
} // namespace seg4::test
