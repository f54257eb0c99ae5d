// The display's property page: colour from a list of four, size from a text box and a vertical
// scroll bar, a preview of one digit in that colour and size.
//
// The page's logic and the state of its controls live here; a view (the Windows page window,
// or qhost's rendering) shows that state and feeds the user's actions back in through the
// event members. The displays being edited are reached late bound, by property name, exactly
// as the frame hands them over.
#pragma once

#include "automation/variant.h"
#include "combo/combo_event_log.h"
#include "combo/uc_combo_box_ex.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace seg4 {

class Platform;

/// A selected control as the page reaches it: properties read and written by name.
class PageTarget {
public:
    virtual ~PageTarget() = default;
    virtual Variant getProperty(const std::u16string& name) = 0;
    /// Throws ComError when the control refuses the value's conversion.
    virtual void putProperty(const std::u16string& name, const Variant& value) = 0;
};

/// A label's text and font.
struct PageLabel {
    std::u16string caption;
    std::u16string fontFace = u"@Arial Unicode MS";
    double fontPoints = 8.25;
    std::int16_t charset = 0;
};

/// The vertical scroll bar: the value stays inside min..max whatever is asked of it.
/// The top end holds max, so the up arrow makes the digit bigger, as a user expects of "up".
struct PageScrollBar {
    static constexpr bool kLargestAtTop = true;
    std::int32_t min = 20;
    std::int32_t max = 85;
    std::int32_t smallChange = 1;
    std::int32_t largeChange = 5;
    std::int32_t value = 20;
};

/// One preview image: a fully lit digit of one colour, sized in twips.
struct PagePreview {
    bool visible = false;
    float widthTwips = 1050; // 70 pixels at 15 twips per pixel
    float heightTwips = 1305;
};

/// Design-time geometry of the page's controls, in twips (left, top, width, height).
struct PageBox {
    float left, top, width, height;
};

class Ppg7Seg4 : private ComboSite, private ComboBoxExEvents {
public:
    static constexpr float kWidthTwips = 4800;
    static constexpr float kHeightTwips = 3600;
    static constexpr PageBox kVersionBox{120, 120, 1815, 255};
    static constexpr PageBox kColourLabelBox{0, 585, 2175, 255};
    static constexpr PageBox kColourListBox{2280, 480, 2295, 330};
    static constexpr PageBox kSizeLabelBox{120, 1080, 2055, 255};
    static constexpr PageBox kSizeTextBox{2280, 1080, 2265, 285};
    static constexpr PageBox kScrollBox{2265, 1455, 255, 1455};
    static constexpr float kPreviewLeft = 2610;
    static constexpr float kPreviewTop = 1455;

    Ppg7Seg4(Platform& platform, ComboWindowFactory& windows);
    ~Ppg7Seg4() override;
    Ppg7Seg4(const Ppg7Seg4&) = delete;
    Ppg7Seg4& operator=(const Ppg7Seg4&) = delete;

    // ---- the frame's events ----
    void Initialize();
    /// The frame hands over its selection; only the first control is read and later changed.
    /// A stored colour that is not in the list leaves the list without a selection; a stored
    /// size outside the bar's range puts the thumb at the nearer end and keeps the text as
    /// stored, so applying an untouched page changes nothing.
    void SelectionChanged(std::vector<PageTarget*> selected);
    /// Writes the colour (unless none is selected) and the size text. Size text that is no
    /// whole number fails with the conversion's ComError before anything is written, and the
    /// page stays marked changed.
    void ApplyChanges();

    // ---- the user's actions, as the view reports them ----
    /// The scroll bar moved to `value` (clamped to its range); raises its change event when the
    /// value changed.
    void setScrollValue(std::int32_t value);
    /// One arrow click: +1 or -1 step; one page click: +5 or -5. Positive is towards the top,
    /// the larger sizes; past either end the value stays at that end.
    void scrollBy(std::int32_t steps);
    /// Text typed into the size box: kept as it stands, shown nowhere else until applied.
    void setSizeText(const std::u16string& text);

    // ---- what the view shows ----
    const std::u16string& caption() const { return caption_; }
    const PageLabel& versionLabel() const { return version_; }
    const PageLabel& colourLabel() const { return colourLabel_; }
    const PageLabel& sizeLabel() const { return sizeLabel_; }
    const std::u16string& sizeText() const { return sizeText_; }
    const PageScrollBar& scrollBar() const { return scroll_; }
    const std::array<PagePreview, 4>& previews() const { return previews_; }
    bool changed() const { return changed_; }
    UcComboBoxEx& colourList() { return *combo_; }
    /// The events the colour list raised, for hosts that check the page from outside; they
    /// reach the page's own handlers unchanged.
    ComboEventLog& colourListEvents() { return comboEvents_; }

private:
    void UpdatePreview();
    void scrollChanged();

    // ComboBoxExEvents: the colour list's ListIndexChange updates the preview.
    void ListIndexChange() override;
    // ComboSite: the page is the colour list's container, always in run mode.
    bool designMode() override { return false; }
    ComboFont ambientFont() override;
    float widthTwips() override { return kColourListBox.width; }
    float heightTwips() override { return comboHeightTwips_; }
    void setHeightTwips(float twips) override { comboHeightTwips_ = twips; }
    void propertyChanged(const char16_t*) override {}
    float pixelsToContainerX(std::int32_t pixels) override;
    std::int32_t containerToPixelsX(float twips) override;

    Platform& platform_;
    ComboEventLog comboEvents_{this}; // before the list, which raises its events through it
    std::unique_ptr<UcComboBoxEx> combo_;
    std::vector<PageTarget*> selected_;
    std::u16string caption_ = u"7seg4 Properties";
    PageLabel version_{u"Label1"};
    PageLabel colourLabel_{u"Color:"};
    PageLabel sizeLabel_{u"Size:"};
    std::u16string sizeText_ = u"50";
    PageScrollBar scroll_;
    std::array<PagePreview, 4> previews_{};
    bool changed_ = false;
    float comboHeightTwips_ = kColourListBox.height;
};

} // namespace seg4
