// The property page: captions and fonts by language, a selection loaded into the controls, the
// scroll bar's ends, apply, and the stored or typed values the controls cannot hold.
#include "propertypage/ppg7seg4.h"

#include "automation/conversions.h"
#include "fake_platform.h"
#include "helpers.h"
#include "posix_combo_window.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>

namespace seg4 {
namespace {

using test::failureOf;
using test::FakePlatform;

const std::u16string kFontFile = u"C:\\Program Files\\Quorvane\\Components\\Translations\\langFonts.txt";

/// A display as the page reaches it: its properties convert and validate as the control's do
/// (a size that is no number fails, a value outside the range is ignored), and every call is
/// recorded.
class FakeDisplay : public PageTarget {
public:
    FakeDisplay(std::int32_t storedColour, std::int32_t storedSize)
        : colour(storedColour), size(storedSize) {}
    Variant getProperty(const std::u16string& name) override {
        ++reads;
        return Variant::i4(name == u"LEDColour" ? colour : size);
    }
    void putProperty(const std::u16string& name, const Variant& value) override {
        writes.emplace_back(name, value);
        const std::int32_t v = toLong(value);
        if (name == u"LEDColour" && v >= 0 && v <= 3) colour = v;
        if (name == u"LEDSize" && v >= 20 && v <= 85) size = v;
    }
    std::int32_t colour, size;
    int reads = 0;
    std::vector<std::pair<std::u16string, Variant>> writes;
};

class PageTest : public ::testing::Test {
protected:
    PageTest() {
        platform.setHostLanguage(u"engb");
        platform.setFile(kFontFile, "[2057]\r\nFont=Tahoma\r\nFontSize=8\r\nCharSet=0\r\n"
                                    "[1031]\r\nFont=Arial\r\nFontSize=9\r\nCharSet=0\r\n"
                                    "[1049]\r\nFont=Arial Cyr\r\nFontSize=10\r\nCharSet=204\r\n");
    }
    Ppg7Seg4& open(std::vector<PageTarget*> selected) {
        page = std::make_unique<Ppg7Seg4>(platform, windows);
        page->Initialize();
        page->SelectionChanged(std::move(selected));
        return *page;
    }
    std::vector<std::u16string> items() {
        std::vector<std::u16string> texts;
        for (std::int32_t i = 0; i < page->colourList().get_ListCount(); ++i)
            texts.push_back(page->colourList().get_ItemText(i));
        return texts;
    }
    int visiblePreview() const {
        int visible = -1;
        for (std::size_t i = 0; i < 4; ++i)
            if (page->previews()[i].visible) visible = visible == -1 ? static_cast<int>(i) : 99;
        return visible;
    }
    void pick(std::int32_t index) {
        ASSERT_TRUE(PosixComboWindow::of(page->colourList().window())->choose(index));
    }

    FakePlatform platform;
    PosixComboWindowFactory windows;
    std::unique_ptr<Ppg7Seg4> page;
};

TEST_F(PageTest, CaptionsLabelsAndFontsFollowTheHostsLanguage) {
    struct Row {
        const char16_t* language;
        std::vector<std::pair<std::uint32_t, const char16_t*>> strings; // absolute id, text
        bool fontFile;
        const char16_t *caption, *colour, *size, *firstColour, *face;
        double points;
        std::int16_t charset;
    };
    const Row rows[] = {
        {u"engb", {}, true, u"LED7SEG1", u"Color", u"Size", u"Red", u"Tahoma", 8, 0},
        // Empty translations fall back to the English literals; the fonts stay the language's.
        {u"dede",
         {{460, u""}, {427, u""}, {516, u""}},
         true,
         u"LED7SEG1",
         u"Colour",
         u"Size",
         u"Rot",
         u"Arial",
         9,
         0},
        // Labels are converted to the language's code page (this double keeps Latin-1 only);
        // the list items are not.
        {u"ru", {}, true, u"LED7SEG1", u"????", u"??????", u"Красный", u"Arial Cyr", 10, 204},
        {u"engb", {}, false, u"LED7SEG1", u"Color", u"Size", u"Red", u"tahoma", 10, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(toUtf8(row.language));
        platform.setHostLanguage(row.language);
        for (const auto& [id, text] : row.strings) platform.setString(id, text);
        if (!row.fontFile) platform.removeFile(kFontFile);
        FakeDisplay display(0, 50);
        open({&display});
        EXPECT_EQ(page->caption(), row.caption);
        EXPECT_EQ(page->versionLabel().caption, u"v4.0.1");
        EXPECT_EQ(page->colourLabel().caption, row.colour);
        EXPECT_EQ(page->sizeLabel().caption, row.size);
        EXPECT_EQ(items().size(), 4u);
        EXPECT_EQ(items()[0], row.firstColour);
        for (const PageLabel* label : {&page->colourLabel(), &page->sizeLabel()}) {
            EXPECT_EQ(label->fontFace, row.face);
            EXPECT_EQ(label->fontPoints, row.points);
            EXPECT_EQ(label->charset, row.charset);
        }
        // Only the list font's character set follows the language.
        EXPECT_EQ(page->colourList().get_Font().charset, row.charset);
        EXPECT_EQ(page->colourList().get_Font().face, u"MS Sans Serif");
    }
    EXPECT_EQ(items(), (std::vector<std::u16string>{u"Red", u"Green", u"Yellow", u"Blue"}));
}

TEST_F(PageTest, DamagedFontFileValuesGiveTheDefaults) {
    platform.setFile(kFontFile, "[2057]\nFont=" + std::string(300, 'F') + "\nFontSize=abc\nCharSet=999\n");
    FakeDisplay display(0, 50);
    open({&display});
    EXPECT_EQ(page->colourLabel().fontFace.size(), 254u); // the reader's buffer
    EXPECT_EQ(page->colourLabel().fontPoints, 10);
    EXPECT_EQ(page->colourLabel().charset, 0);
}

TEST_F(PageTest, TheSelectionLoadsIntoListTextScrollBarAndPreview) {
    struct Row {
        std::int32_t colour, size;
        float twipsX; // the screen's vertical factor stays 15
        std::int32_t listIndex;
        const char16_t* text;
        std::int32_t scroll;
        int preview;
        float widthTwips, heightTwips;
    };
    const Row rows[] = {
        {2, 50, 15, 2, u"50", 50, 2, 600, 750}, // 40 x 50 pixels
        {0, 20, 15, 0, u"20", 20, 0, 240, 300}, // the bar's own starting value: no change event
        {3, 85, 12, 3, u"85", 85, 3, 816, 1275},
        // Stored values the controls cannot hold.
        {7, 50, 15, -1, u"50", 50, -1, 0, 0},
        {-1, 50, 15, -1, u"50", 50, -1, 0, 0},
        {1, 100, 15, 1, u"100", 85, 1, 1020, 1275},
        {1, 5, 15, 1, u"5", 20, 1, 240, 300},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.colour * 1000 + row.size);
        platform.twipsX = row.twipsX;
        FakeDisplay display(row.colour, row.size);
        open({&display});
        EXPECT_EQ(page->colourList().get_ListIndex(), row.listIndex);
        EXPECT_EQ(page->sizeText(), row.text);
        EXPECT_EQ(page->scrollBar().value, row.scroll);
        EXPECT_EQ(visiblePreview(), row.preview);
        if (row.preview >= 0) {
            EXPECT_FLOAT_EQ(page->previews()[row.preview].widthTwips, row.widthTwips);
            EXPECT_FLOAT_EQ(page->previews()[row.preview].heightTwips, row.heightTwips);
        }
        EXPECT_TRUE(page->changed());
    }
}

TEST_F(PageTest, TheScrollBarStopsAtItsEnds) {
    struct Row {
        std::int32_t start;
        std::vector<std::int32_t> steps;
        std::int32_t value;
        bool changed; // after an apply, only a moving thumb marks the page changed
    };
    const Row rows[] = {
        {85, {1}, 85, false},      {20, {-1}, 20, false},      {83, {5}, 85, true},
        {22, {-5}, 20, true},      {50, {1, 1, -5}, 47, true}, {50, {INT_MAX}, 85, true},
        {50, {INT_MIN}, 20, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.start);
        FakeDisplay display(2, row.start);
        open({&display});
        page->ApplyChanges();
        for (std::int32_t s : row.steps) page->scrollBy(s);
        EXPECT_EQ(page->scrollBar().value, row.value);
        EXPECT_EQ(page->sizeText(), decimal(row.value));
        EXPECT_FLOAT_EQ(page->previews()[2].heightTwips, 15.0f * static_cast<float>(row.value));
        EXPECT_EQ(page->changed(), row.changed);
    }
    page->setScrollValue(1000);
    EXPECT_EQ(page->scrollBar().value, 85);
}

TEST_F(PageTest, PickingAColourAndPressingOkWritesTheColourThenTheSizeText) {
    FakeDisplay first(2, 50), second(1, 30);
    open({&first, &second});
    page->setSizeText(u"60"); // typed: neither the bar nor the preview follows
    pick(3);
    EXPECT_EQ(visiblePreview(), 3);
    EXPECT_EQ(page->scrollBar().value, 50);
    EXPECT_FLOAT_EQ(page->previews()[3].heightTwips, 750);
    page->ApplyChanges();
    ASSERT_EQ(first.writes.size(), 2u);
    EXPECT_EQ(first.writes[0].first, u"LEDColour");
    EXPECT_EQ(first.writes[0].second.type(), VarType::I4);
    EXPECT_EQ(first.writes[0].second.asSigned(), 3);
    EXPECT_EQ(first.writes[1].first, u"LEDSize");
    EXPECT_EQ(first.writes[1].second.type(), VarType::String);
    EXPECT_EQ(first.writes[1].second.asString(), u"60");
    EXPECT_EQ(first.colour, 3);
    EXPECT_EQ(first.size, 60);
    EXPECT_FALSE(page->changed());
    // Only the first selected display is read and changed.
    EXPECT_EQ(second.reads, 0);
    EXPECT_TRUE(second.writes.empty());
    // A pick after the apply does not mark the page changed again.
    pick(0);
    EXPECT_FALSE(page->changed());
}

TEST_F(PageTest, SizeTextThatIsNoNumberWritesNothing) {
    const struct {
        const char16_t* text;
        HResult code;
    } rows[] = {{u"abc", hr::TypeMismatch}, {u"", hr::TypeMismatch}, {u"99999999999", hr::Overflow}};
    for (const auto& row : rows) {
        SCOPED_TRACE(toUtf8(row.text));
        FakeDisplay display(2, 50);
        open({&display});
        pick(3);
        page->setSizeText(row.text);
        EXPECT_EQ(failureOf([&] { page->ApplyChanges(); }), row.code);
        EXPECT_TRUE(display.writes.empty());
        EXPECT_TRUE(page->changed());
        page->setSizeText(u"70");
        page->ApplyChanges();
        EXPECT_EQ(display.colour, 3);
        EXPECT_EQ(display.size, 70);
    }
}

TEST_F(PageTest, StoredValuesOutsideTheRangesSurviveOpeningAndOk) {
    FakeDisplay display(7, 100);
    open({&display});
    page->ApplyChanges();
    EXPECT_EQ(display.colour, 7);
    EXPECT_EQ(display.size, 100);
    ASSERT_EQ(display.writes.size(), 1u); // no colour is selected, so none is written
    EXPECT_EQ(display.writes[0].second.asString(), u"100");
}

TEST_F(PageTest, AnEmptySelectionIsHarmless) {
    open({});
    page->ApplyChanges();
    EXPECT_FALSE(page->changed());
    EXPECT_EQ(visiblePreview(), -1);
}

} // namespace
} // namespace seg4
