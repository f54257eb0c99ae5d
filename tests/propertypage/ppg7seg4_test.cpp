// The property page: captions and fonts by language, a selection loaded into the controls, the
// scroll bar's ends, apply, and the stored or typed values the controls cannot hold.
#include "propertypage/ppg7seg4.h"

#include "automation/conversions.h"
#include "fake_platform.h"
#include "helpers.h"
#include "memory_combo_window.h"

#include <gtest/gtest.h>

#include <climits>

namespace seg4 {
namespace {

using test::FakePlatform;

const std::u16string kFontFile = u"C:\\Program Files\\Quorvane\\Components\\Translations\\langFonts.txt";

/// A display as the page reaches it: its properties convert and validate as the control's do
/// (a size that is no number fails, a value outside the range is ignored), and every write is
/// logged as "name type value".
class FakeDisplay : public PageTarget {
public:
    FakeDisplay(std::int32_t storedColour, std::int32_t storedSize)
        : colour(storedColour), size(storedSize) {}
    Variant getProperty(const std::u16string& name) override {
        ++reads;
        return Variant::i4(name == u"LEDColour" ? colour : size);
    }
    void putProperty(const std::u16string& name, const Variant& value) override {
        log.push_back(toUtf8(name + u" " + typeName(value) + u" " + toString(value)));
        const std::int32_t v = toLong(value);
        if (name == u"LEDColour" && v >= 0 && v <= 3) colour = v;
        if (name == u"LEDSize" && v >= 20 && v <= 85) size = v;
    }
    std::int32_t colour, size;
    int reads = 0;
    std::vector<std::string> log;
};

class PageTest : public ::testing::Test {
protected:
    PageTest() {
        platform.setHostLanguage(u"engb");
        platform.setFile(kFontFile, kFonts);
    }
    static constexpr const char* kFonts = "[2057]\nFont=Tahoma\nFontSize=8\nCharSet=0\n"
                                          "[1031]\nFont=Arial\nFontSize=9\nCharSet=0\n"
                                          "[1049]\nFont=Arial Cyr\nFontSize=10\nCharSet=204\n";
    Ppg7Seg4& open(std::vector<PageTarget*> selected) {
        page = std::make_unique<Ppg7Seg4>(platform, windows);
        page->Initialize();
        page->SelectionChanged(std::move(selected));
        return *page;
    }
    std::u16string item(std::int32_t i) { return page->colourList().get_ItemText(i); }
    int visiblePreview() const {
        int visible = -1;
        for (std::size_t i = 0; i < 4; ++i)
            if (page->previews()[i].visible) visible = visible == -1 ? static_cast<int>(i) : 99;
        return visible;
    }
    void pick(std::int32_t index) {
        ASSERT_TRUE(MemoryComboWindow::of(page->colourList().window())->choose(index));
    }

    FakePlatform platform;
    MemoryComboWindowFactory windows;
    std::unique_ptr<Ppg7Seg4> page;
};

TEST_F(PageTest, CaptionsLabelsAndFontsFollowTheHostsLanguage) {
    const std::string longFace(300, 'F');
    struct Row {
        const char16_t* language;
        std::vector<std::uint32_t> emptyStrings; // absolute ids
        std::string fonts;                       // "": no font file
        const char16_t *colour, *size, *firstColour;
        std::u16string face;
        double points;
        std::int16_t charset;
    };
    const Row rows[] = {
        // Empty translations fall back to the English literals; the fonts stay the language's.
        {u"dede", {460, 427, 516}, kFonts, u"Colour", u"Size", u"Rot", u"Arial", 9, 0},
        // Labels are converted to the language's code page (this double keeps Latin-1 only);
        // the list items are not.
        {u"ru", {}, kFonts, u"????", u"??????", u"Красный", u"Arial Cyr", 10, 204},
        {u"engb", {}, "", u"Color", u"Size", u"Red", u"tahoma", 10, 0},
        // Values the font file cannot mean: the face cut by the reader's buffer, the defaults.
        {u"engb",
         {},
         "[2057]\nFont=" + longFace + "\nFontSize=abc\nCharSet=999\n",
         u"Color",
         u"Size",
         u"Red",
         std::u16string(254, u'F'),
         10,
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(toUtf8(row.language) + " " + row.fonts.substr(0, 20));
        platform.setHostLanguage(row.language);
        for (std::uint32_t id : row.emptyStrings) platform.setString(id, u"");
        if (row.fonts.empty())
            platform.removeFile(kFontFile);
        else
            platform.setFile(kFontFile, row.fonts);
        FakeDisplay display(0, 50);
        open({&display});
        EXPECT_EQ(page->colourLabel().caption, row.colour);
        EXPECT_EQ(page->sizeLabel().caption, row.size);
        EXPECT_EQ(item(0), row.firstColour);
        for (const PageLabel* label : {&page->colourLabel(), &page->sizeLabel()}) {
            EXPECT_EQ(label->fontFace, row.face);
            EXPECT_EQ(label->fontPoints, row.points);
            EXPECT_EQ(label->charset, row.charset);
        }
        // Only the list font's character set follows the language.
        EXPECT_EQ(page->colourList().get_Font().charset, row.charset);
        EXPECT_EQ(page->colourList().get_Font().face, u"MS Sans Serif");
    }
    EXPECT_EQ(page->caption(), u"LED7SEG1");

    // The host's code is upper-cased as the display upper-cases it, so both warn alike.
    platform.messageBoxes.clear();
    platform.setHostLanguage(u"\u00E9a");
    FakeDisplay display(0, 50);
    open({&display});
    EXPECT_EQ(platform.messageTexts(),
              std::vector<std::u16string>{
                  u"Warning: could not determine component language: <\u00C9A>.  Defaulting to English."});
}

TEST_F(PageTest, TheSelectionLoadsIntoListTextScrollBarAndPreview) {
    struct Row {
        std::int32_t colour, size;
        float twipsX; // the vertical factor stays 15
        std::int32_t listIndex;
        const char16_t* text;
        std::int32_t scroll;
        int preview;
        float widthTwips, heightTwips;
    };
    const Row rows[] = {
        {3, 85, 12, 3, u"85", 85, 3, 816, 1275},
        // Stored values the controls cannot hold.
        {7, 50, 15, -1, u"50", 50, -1, 0, 0},
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
    const Row rows[] = {{85, {1}, 85, false},
                        {50, {1, 1, -5}, 47, true},
                        {50, {INT_MAX}, 85, true},
                        {50, {INT_MIN}, 20, true}};
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
}

TEST_F(PageTest, ApplyWritesTheColourThenTheSizeTextToTheFirstDisplayOnly) {
    struct Row {
        std::int32_t colour, size, pick;
        const char16_t* typed; // null: the text as loaded
        HResult failure;
        const char16_t* is; // a failure tells the user: the size "typed" is ...
        std::vector<std::string> log;
        std::int32_t colourAfter, sizeAfter;
    };
    const Row rows[] = {
        {2, 50, 3, nullptr, hr::Ok, u"", {"LEDColour Long 3", "LEDSize String 50"}, 3, 50},
        // Text that is no whole number fails before anything is written.
        {2, 50, 3, u"", hr::TypeMismatch, u"not a whole number", {}, 2, 50},
        {2, 50, 3, u"99999999999", hr::Overflow, u"out of range", {}, 2, 50},
        // Stored values outside the ranges survive opening and OK: no colour is selected to
        // write, and the stored size goes back as it was (the display ignores it).
        {7, 100, -1, nullptr, hr::Ok, u"", {"LEDSize String 100"}, 7, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.log.size());
        FakeDisplay first(row.colour, row.size), second(1, 30);
        open({&first, &second});
        if (row.pick >= 0) pick(row.pick);
        if (row.typed) page->setSizeText(row.typed);
        EXPECT_EQ(visiblePreview(), row.pick >= 0 ? row.pick : page->colourList().get_ListIndex());
        HResult failure = hr::Ok;
        std::u16string says;
        try {
            page->ApplyChanges();
        } catch (const ComError& e) {
            failure = e.code();
            says = e.description();
        }
        EXPECT_EQ(failure, row.failure);
        if (failure != hr::Ok) {
            EXPECT_EQ(says, u"The size \"" + std::u16string(row.typed) + u"\" is " + row.is +
                                u"; nothing was changed.");
        }
        EXPECT_EQ(first.log, row.log);
        EXPECT_EQ(first.colour, row.colourAfter);
        EXPECT_EQ(first.size, row.sizeAfter);
        EXPECT_EQ(page->changed(), row.failure != hr::Ok); // a failed apply can be corrected
        EXPECT_EQ(second.reads, 0);
        EXPECT_TRUE(second.log.empty());
    }
    // A pick after an apply does not mark the page changed again.
    pick(0);
    EXPECT_FALSE(page->changed());
    open({});
    page->ApplyChanges();
    EXPECT_EQ(visiblePreview(), -1);
}

} // namespace
} // namespace seg4
