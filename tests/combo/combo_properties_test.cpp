// The combo control's stored settings: keys, order, defaults, damaged entries, reported changes.
#include "combo_fixture.h"
#include "helpers.h"

#include "combo/combo_font_text.h"

#include <gtest/gtest.h>

namespace seg4::test {
namespace {

TEST(ComboBag, DefaultsAreLeftOutAndEverythingElseSurvivesInOrder) {
    ComboHarness h(1);
    MemoryBag defaults;
    h.combo.WriteProperties(defaults);
    ASSERT_EQ(defaults.entries.size(), 1u);
    EXPECT_EQ(defaults.entries[0].second, Variant::string(u"9.75;1;0;0;0;0;Tahoma")); // the ambient font

    MemoryBag stored, written;
    stored.entries = {{u"Font", Variant::string(u"0.1;0;1;1;1;204;Arial;Narrow")},
                      {u"Sty", Variant::i4(7)},
                      {u"ExSty", Variant::i4(1)},
                      {u"DHt", Variant::i4(99)},
                      {u"DWd", Variant::i4(20)},
                      {u"Enbld", Variant::boolean(false)},
                      {u"MaxLen", Variant::i4(12)},
                      {u"ExtUI", Variant::boolean(true)},
                      {u"ImgSize", Variant::i4(32)}};
    h.combo.ReadProperties(stored);
    h.combo.WriteProperties(written);
    EXPECT_TRUE(written.entries == stored.entries);
    EXPECT_EQ(h.combo.get_DroppedWidth(), 300); // 20 pixels in the container's scale
    EXPECT_EQ(h.window().spec().comboStyle, 2); // the loaded settings made the window
    EXPECT_EQ(h.window().font().charset, 204);

    MemoryBag empty;
    h.combo.ReadProperties(empty);
    EXPECT_EQ(std::tuple(h.combo.get_Style(), h.combo.get_ExtendedStyle(), h.combo.get_DroppedHeight(),
                         h.combo.get_Enabled(), h.combo.get_ImageSize(), h.combo.get_Font().face),
              std::tuple(1, 3, 160, true, 16, std::u16string(u"Arial;Narrow"))); // reading keeps the font
}

TEST(ComboBag, ABadValueFailsAtItsEntry) {
    for (auto [key, value, error] : {std::tuple{u"Sty", Variant::string(u"wide"), hr::TypeMismatch},
                                     {u"DHt", Variant::r8(1e12), hr::Overflow},
                                     {u"DWd", Variant::null(), hr::InvalidUseOfNull},
                                     {u"Enbld", Variant::string(u"maybe"), hr::TypeMismatch}}) {
        ComboHarness h(1);
        MemoryBag bag;
        bag.entries = {
            {u"Font", Variant::string(u"10;0;0;0;0;0;Arial")}, {key, value}, {u"MaxLen", Variant::i4(9)}};
        EXPECT_EQ(failureOf([&] { h.combo.ReadProperties(bag); }), error) << toUtf8(key);
        EXPECT_EQ(h.combo.get_Font().face, u"Arial"); // read before the bad entry
        EXPECT_EQ(h.combo.get_MaxLength(), 0);        // not reached
    }
}

TEST(ComboBag, ADamagedFontEntryKeepsTheCurrentFont) {
    const Variant damaged[] = {Variant::i4(5),
                               Variant::string(u"8.25;0;0;0;0;0;"),
                               Variant::string(u"8.25;2;0;0;0;0;Arial"),
                               Variant::string(u"8.25;0;0;0;0;256;Arial"),
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

TEST(ComboChanges, ReportedAtDesignTimeAndFontAlways) {
    for (bool design : {true, false}) {
        ComboHarness h(1);
        h.site.design = design;
        h.site.changes.clear();
        h.combo.put_Style(0);
        h.combo.put_ExtendedStyle(0);
        h.combo.put_DroppedWidth(15);
        h.combo.put_MaxLength(3);
        h.combo.put_Font({});
        const std::vector<std::u16string> all{u"Style", u"ExtendedStyle", u"DroppedWidth", u"MaxLength",
                                              u"Font"};
        EXPECT_EQ(h.site.changes, design ? all : std::vector<std::u16string>{u"Font"});
    }
}

} // namespace
} // namespace seg4::test
