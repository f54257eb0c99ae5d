// The property page's logic: captions and fonts from the host's language, the selection read
// into the controls, the controls written back on apply, and the preview kept in step.
#include "propertypage/ppg7seg4.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "localisation/language.h"
#include "platform/platform.h"

#include <algorithm>
#include <cmath>

namespace seg4 {

namespace {

/// The label captions the page falls back to when a language leaves them empty.
constexpr const char16_t* kCaptionFallback = u"LED7SEG1";
constexpr const char16_t* kColourFallback = u"Colour";
constexpr const char16_t* kSizeFallback = u"Size";

/// Relative text identifiers of the colour names, in list order (the list position is the
/// colour number the display stores).
constexpr std::int16_t kColourNames[] = {98, 45, 148, 18};

/// A number written in the font file, or `fallback` when the text is not one: a damaged font
/// file must not keep the page from opening.
double numberOr(const std::u16string& text, double fallback) {
    try {
        const double value = toDouble(Variant::string(text));
        return std::isfinite(value) ? value : fallback;
    } catch (const ComError&) {
        return fallback;
    }
}

std::u16string textOf(const Variant& v) { return toString(v); }

} // namespace

Ppg7Seg4::Ppg7Seg4(Platform& platform, ComboWindowFactory& windows) : platform_(platform) {
    // The page's form loads its colour list with the design settings: a drop-down list (no
    // edit field) in the page's font.
    ComboSite& site = *this;
    ComboBoxExEvents* events = &comboEvents_;
    combo_ = std::make_unique<UcComboBoxEx>(platform_, windows, site, events);
    combo_->InitProperties();
    combo_->put_Style(2);
}

Ppg7Seg4::~Ppg7Seg4() = default;

// [SECTION] the frame's events

void Ppg7Seg4::Initialize() {
    const ModuleVersion v = platform_.moduleVersion();
    version_.caption = u"v" + decimal(v.major) + u"." + decimal(v.minor) + u"." + decimal(v.revision);

    const std::u16string fontFile = platform_.moduleFolder() + u"\\Translations\\langFonts.txt";

    Language language(platform_);
    language.LoadResources(u"");
    std::u16string code = upperCaseLanguageCode(language.GetLang());
    language.SetLanguageId(code);
    const std::string section = toUtf8(language.GetLangID()); // digits only

    // The profile reader answers in the system's 8-bit code page; each value is what it read.
    const std::uint32_t systemPage = platform_.systemAnsiCodePage();
    auto read = [&](const char* key, const char* fallback, std::size_t bufferChars) {
        return platform_.decodeAnsi(platform_.profileString(section, key, fallback, bufferChars, fontFile),
                                    systemPage);
    };
    const std::u16string face = read("Font", "tahoma", 255);
    const double points = numberOr(read("FontSize", "10", 4), 10);
    // A font's character set is one byte; anything else in the file counts as the default.
    const double charsetNumber = numberOr(read("CharSet", "0", 4), 0);
    const std::int16_t charset =
        charsetNumber >= 0 && charsetNumber <= 255 ? static_cast<std::int16_t>(charsetNumber) : 0;

    caption_ = textOf(language.GetInternalResource(60, true));
    if (caption_.empty()) caption_ = kCaptionFallback;

    for (PageLabel* label : {&colourLabel_, &sizeLabel_}) {
        label->fontFace = face;
        label->fontPoints = points <= 0 ? 10 : points;
        label->charset = charset;
    }
    colourLabel_.caption = textOf(language.GetInternalResource(27, true));
    if (colourLabel_.caption.empty()) colourLabel_.caption = kColourFallback;
    sizeLabel_.caption = textOf(language.GetInternalResource(116, true));
    if (sizeLabel_.caption.empty()) sizeLabel_.caption = kSizeFallback;

    combo_->Clear();
    ComboFont listFont = combo_->get_Font();
    listFont.charset = charset;
    combo_->put_Font(listFont);
    for (std::int16_t id : kColourNames) combo_->AddItem(textOf(language.GetInternalResource(id, false)));
}

void Ppg7Seg4::SelectionChanged(std::vector<PageTarget*> selected) {
    selected_ = std::move(selected);
    if (selected_.empty() || !selected_[0]) return;
    PageTarget& first = *selected_[0];

    // A colour outside the list (only stored data can hold one) leaves the list without a
    // selection: no colour is shown as chosen and apply does not write one.
    const std::int32_t colour = toLong(first.getProperty(u"LEDColour"));
    try {
        combo_->put_ListIndex(colour);
    } catch (const ComError& e) {
        if (e.code() != hr::InvalidPropertyArrayIndex) throw;
        combo_->put_ListIndex(-1);
    }

    sizeText_ = toString(first.getProperty(u"LEDSize"));
    std::int32_t size = 0;
    bool isNumber = true;
    try {
        size = toLong(Variant::string(sizeText_));
    } catch (const ComError&) {
        isNumber = false;
    }
    if (isNumber) {
        if (size >= scroll_.min && size <= scroll_.max) {
            setScrollValue(size);
        } else {
            // A stored size the bar cannot hold: the thumb goes to the nearer end without its
            // change event, so the text keeps the stored value and applying the page unchanged
            // writes back what was there (which the display ignores) instead of a clamped size.
            scroll_.value = std::clamp(size, scroll_.min, scroll_.max);
        }
    }
    UpdatePreview();
    changed_ = true;
}

void Ppg7Seg4::ApplyChanges() {
    if (!selected_.empty() && selected_[0]) {
        PageTarget& first = *selected_[0];
        // The size text goes to the display as text and the display converts it. Text that
        // cannot become a number would make that write fail after the colour had already been
        // written; checked first with the same conversion, it fails before anything is written
        // and the page stays marked changed, so the user can correct it and apply again.
        try {
            (void)toLong(Variant::string(sizeText_));
        } catch (const ComError& e) {
            // A number too large for the conversion is still a number: the user is told so.
            const char16_t* is = e.code() == hr::Overflow ? u"out of range" : u"not a whole number";
            raise(e.code(), u"The size \"" + sizeText_ + u"\" is " + is + u"; nothing was changed.");
        }
        const std::int32_t colour = combo_->get_ListIndex();
        if (colour >= 0) first.putProperty(u"LEDColour", Variant::i4(colour));
        first.putProperty(u"LEDSize", Variant::string(sizeText_));
    }
    changed_ = false;
}

// [SECTION] the user's actions

void Ppg7Seg4::setScrollValue(std::int32_t value) {
    const std::int32_t clamped = std::clamp(value, scroll_.min, scroll_.max);
    if (clamped == scroll_.value) return;
    scroll_.value = clamped;
    scrollChanged();
}

void Ppg7Seg4::scrollBy(std::int32_t steps) {
    const std::int64_t target = static_cast<std::int64_t>(scroll_.value) + steps;
    setScrollValue(static_cast<std::int32_t>(std::clamp<std::int64_t>(target, scroll_.min, scroll_.max)));
}

void Ppg7Seg4::setSizeText(const std::u16string& text) { sizeText_ = text; }

// [SECTION] private

void Ppg7Seg4::scrollChanged() {
    sizeText_ = decimal(scroll_.value);
    UpdatePreview();
    changed_ = true;
}

void Ppg7Seg4::ListIndexChange() { UpdatePreview(); }

void Ppg7Seg4::UpdatePreview() {
    const std::int16_t k = narrowTo16(combo_->get_ListIndex());
    const std::int32_t s = scroll_.value;
    if (k >= 0 && k < static_cast<std::int16_t>(previews_.size())) {
        PagePreview& image = previews_[static_cast<std::size_t>(k)];
        image.widthTwips = static_cast<float>(s * 4) * platform_.twipsPerPixelX() / 5;
        image.heightTwips = static_cast<float>(s) * platform_.twipsPerPixelY();
    }
    for (std::size_t i = 0; i < previews_.size(); ++i)
        previews_[i].visible = static_cast<std::int16_t>(i) == k;
}

ComboFont Ppg7Seg4::ambientFont() { return ComboFont{}; }

float Ppg7Seg4::pixelsToContainerX(std::int32_t pixels) {
    return static_cast<float>(pixels) * platform_.twipsPerPixelX();
}

std::int32_t Ppg7Seg4::containerToPixelsX(float twips) {
    const float tpp = platform_.twipsPerPixelX();
    return tpp > 0 ? static_cast<std::int32_t>(std::lround(twips / tpp)) : 0;
}

} // namespace seg4
