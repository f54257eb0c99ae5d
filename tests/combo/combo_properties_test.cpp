// The combo control's stored settings: keys, order, defaults, damaged entries, reported changes.
#include "combo_fixture.h"
#include "helpers.h"

#include "automation/conversions.h"
#include "combo/combo_font_text.h"

#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace seg4::test {
namespace {

const std::vector<std::u16string> kAllKeys{u"Font",  u"Sty",    u"ExSty", u"DHt",    u"DWd",
                                           u"Enbld", u"MaxLen", u"ExtUI", u"ImgSize"};

TEST(ComboBag, ANewControlStoresOnlyItsFont) {
    ComboHarness h(1);
    MemoryBag bag;
    h.combo.WriteProperties(bag);
    EXPECT_EQ(bag.names(), std::vector<std::u16string>{u"Font"});
    EXPECT_EQ(bag.entries[0].second, Variant::string(u"9.75;1;0;0;0;0;Tahoma")); // the ambient font
}

TEST(ComboBag, EverySettingSurvivesInKeyOrder) {
    ComboHarness h(1);
    h.combo.put_Font(ComboFont{u"Arial; Narrow", 11.5, false, true, true, true, 204});
    h.combo.put_Style(7);
    h.combo.put_ExtendedStyle(1);
    h.combo.put_DroppedHeight(99);
    h.combo.put_DroppedWidth(300); // 20 pixels
    h.combo.put_Enabled(false);
    h.combo.put_MaxLength(12);
    h.combo.put_ExtendedUI(true);
    h.combo.put_ImageSize(32);
    MemoryBag bag;
    h.combo.WriteProperties(bag);
    EXPECT_EQ(bag.names(), kAllKeys);

    ComboHarness back(1);
    back.combo.ReadProperties(bag);
    const ComboFont f = back.combo.get_Font();
    EXPECT_EQ(f.face, u"Arial; Narrow");
    EXPECT_EQ(f.points, 11.5);
    EXPECT_TRUE(f.italic && f.underline && f.strikethrough && !f.bold);
    EXPECT_EQ(f.charset, 204);
    EXPECT_EQ(back.combo.get_Style(), 7);
    EXPECT_EQ(back.combo.get_ExtendedStyle(), 1);
    EXPECT_EQ(back.combo.get_DroppedHeight(), 99);
    EXPECT_EQ(back.combo.get_DroppedWidth(), 300);
    EXPECT_FALSE(back.combo.get_Enabled());
    EXPECT_EQ(back.combo.get_MaxLength(), 12);
    EXPECT_TRUE(back.combo.get_ExtendedUI());
    EXPECT_EQ(back.combo.get_ImageSize(), 32);
    // The loaded settings made the window.
    EXPECT_EQ(back.window().spec().comboStyle, 2);
    EXPECT_FALSE(back.window().enabled());
    EXPECT_EQ(back.window().droppedWidth(), 20);
    EXPECT_EQ(back.window().font().charset, 204);
}

TEST(ComboBag, AnEmptyBagGivesTheDefaults) {
    ComboHarness h(2);
    h.combo.put_MaxLength(5);
    MemoryBag empty;
    h.combo.ReadProperties(empty);
    EXPECT_EQ(h.combo.get_Style(), 1);
    EXPECT_EQ(h.combo.get_ExtendedStyle(), 3);
    EXPECT_EQ(h.combo.get_DroppedHeight(), 160);
    EXPECT_EQ(h.combo.get_MaxLength(), 0);
    EXPECT_TRUE(h.combo.get_Enabled());
    EXPECT_EQ(h.combo.get_ImageSize(), 16);
    EXPECT_EQ(h.combo.get_Font().face, u"Tahoma"); // the current font
}

TEST(ComboBag, ABadValueFailsAtItsEntry) {
    struct Row {
        const char16_t* key;
        Variant value;
        HResult error;
    };
    const Row rows[] = {{u"Sty", Variant::string(u"wide"), hr::TypeMismatch},
                        {u"DHt", Variant::r8(1e12), hr::Overflow},
                        {u"Enbld", Variant::string(u"maybe"), hr::TypeMismatch},
                        {u"DWd", Variant::null(), hr::InvalidUseOfNull}};
    for (const Row& r : rows) {
        ComboHarness h(1);
        MemoryBag bag;
        bag.entries = {{u"Font", Variant::string(u"10;0;0;0;0;0;Arial")},
                       {r.key, r.value},
                       {u"ExSty", Variant::i4(0)},
                       {u"MaxLen", Variant::i4(9)}};
        EXPECT_EQ(failureOf([&] { h.combo.ReadProperties(bag); }), r.error) << toUtf8(r.key);
        EXPECT_EQ(h.combo.get_Font().face, u"Arial"); // read before the bad entry
        EXPECT_EQ(h.combo.get_MaxLength(), 0);        // not reached
    }
}

TEST(ComboBag, ADamagedFontEntryKeepsTheCurrentFont) {
    const Variant damaged[] = {Variant::i4(5),
                               Variant::string(u""),
                               Variant::string(u"8.25;0;0;0;0;0;"),
                               Variant::string(u"x;0;0;0;0;0;Arial"),
                               Variant::string(u"8.25;2;0;0;0;0;Arial"),
                               Variant::string(u"8.25;0;0;0;0;256;Arial"),
                               Variant::string(u"-1;0;0;0;0;0;Arial"),
                               Variant::string(u"nan;0;0;0;0;0;Arial"),
                               Variant::string(u"8.25;0;0;0;0;Arial"),
                               Variant::string(u"8.25 ;0;0;0;0;0;Arial")};
    for (const Variant& v : damaged) {
        ComboHarness h(1);
        MemoryBag bag;
        bag.entries = {{u"Font", v}, {u"Sty", Variant::i4(2)}};
        h.combo.ReadProperties(bag);
        EXPECT_EQ(h.combo.get_Font().face, u"Tahoma") << toUtf8(toString(v));
        EXPECT_EQ(h.combo.get_Style(), 2) << "the other entries are still read";
    }
}

TEST(ComboFontText, RoundTrips) {
    const ComboFont fonts[] = {{},
                               {u"\u30e1\u30a4\u30ea\u30aa", 9, true, false, false, false, 128},
                               {u";;", 0.1, false, false, true, false, 255},
                               {u"Courier New", 1638, true, true, true, true, 0}};
    for (const ComboFont& f : fonts) {
        const auto back = comboFontFromText(comboFontToText(f));
        ASSERT_TRUE(back) << toUtf8(comboFontToText(f));
        EXPECT_EQ(back->face, f.face);
        EXPECT_EQ(back->points, f.points);
        EXPECT_EQ(std::tuple(back->bold, back->italic, back->underline, back->strikethrough, back->charset),
                  std::tuple(f.bold, f.italic, f.underline, f.strikethrough, f.charset));
    }
    EXPECT_EQ(comboFontToText({}), u"8.25;0;0;0;0;0;MS Sans Serif");
}

TEST(ComboChanges, ReportedAtDesignTimeAndFontAlways) {
    const std::function<void(UcComboBoxEx&)> setters[] = {
        [](UcComboBoxEx& c) { c.put_Style(0); },         [](UcComboBoxEx& c) { c.put_ImageSize(8); },
        [](UcComboBoxEx& c) { c.put_ExtendedStyle(0); }, [](UcComboBoxEx& c) { c.put_DroppedWidth(15); },
        [](UcComboBoxEx& c) { c.put_DroppedHeight(5); }, [](UcComboBoxEx& c) { c.put_Enabled(false); },
        [](UcComboBoxEx& c) { c.put_MaxLength(3); },     [](UcComboBoxEx& c) { c.put_ExtendedUI(true); },
    };
    for (bool design : {true, false}) {
        for (const auto& set : setters) {
            ComboHarness h(1);
            h.site.design = design;
            h.site.changes.clear();
            set(h.combo);
            EXPECT_EQ(h.site.changes.size(), design ? 1u : 0u);
        }
        ComboHarness h(1);
        h.site.design = design;
        h.site.changes.clear();
        h.combo.put_Font(ComboFont{});
        EXPECT_EQ(h.site.changes, std::vector<std::u16string>{u"Font"});
    }
}

} // namespace
} // namespace seg4::test
