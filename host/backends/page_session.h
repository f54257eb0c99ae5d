// The display's property page as a backend opens it: what the page shows and what a user does
// on it, the same for every build that can show the page.
#pragma once

#include "automation/variant.h"
#include "display/frame.h"
#include "platform/combo_window.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qhost {

struct PageLabelState {
    std::u16string caption;
    std::u16string fontFace;
    double fontPoints = 0;
    std::int32_t charset = 0;
};

/// What the page shows now.
/// An item for the colour list as the combo control's AddItem takes it: what is left out takes
/// the control's default (appended, no image, the selected image as the image, data 0, indent 0).
struct ComboAddition {
    std::u16string text;
    std::optional<std::int32_t> before, image, selectedImage, data, indent;
};

/// The colour list as its window keeps it.
struct ComboListState {
    std::int32_t style = 0;         // the control's Style: 0 simple, 1 drop-down, 2 drop-down list
    std::int32_t extendedStyle = 0; // the window's extended style bits
    std::vector<seg4::ComboItem> items;
    std::int32_t listIndex = -1;
};

struct PageState {
    std::u16string caption; // the frame's tab
    std::u16string version;
    PageLabelState colourLabel;
    PageLabelState sizeLabel;
    std::vector<std::u16string> items; // the colour list
    std::int32_t listIndex = -1;       // -1: nothing selected
    std::u16string sizeText;
    std::int32_t scrollValue = 0;
    std::int32_t preview = -1; // the visible preview image, -1 for none
    std::int32_t previewWidthPixels = 0;
    std::int32_t previewHeightPixels = 0;
    bool changed = false; // the frame's Apply button is enabled
};

/// One open page in its frame. Closing the frame is destroying the session.
class PageSession {
public:
    virtual ~PageSession() = default;
    virtual PageState state() = 0;
    /// The user picks item `index` of the colour list with the mouse (it must be an item).
    virtual void pick(std::int32_t index) = 0;
    /// Clicks on the scroll bar's arrows (positive: the up arrow, larger sizes).
    virtual void scrollArrows(std::int32_t clicks) = 0;
    /// Clicks in the scroll bar's trough above (positive) or below the thumb: a page each.
    virtual void scrollPages(std::int32_t clicks) = 0;
    /// The thumb dragged to `value`.
    virtual void scrollTo(std::int32_t value) = 0;
    /// The size box's text replaced by typing.
    virtual void typeSize(const std::u16string& text) = 0;
    /// The frame's Apply button: the page applies when it is marked changed; false when it was
    /// not (the button is disabled). A failing apply throws seg4::ComError.
    virtual bool apply() = 0;
    /// The page as its window shows it now.
    virtual seg4::Frame picture() {
        throw std::runtime_error("a picture of the page is not available in this build");
    }

    // ---- the colour list as a combo control: what a program does with it ----
    virtual ComboListState comboList() = 0;
    /// AddItem: the new item's index, -1 when the window refused it.
    virtual std::int32_t comboAdd(const ComboAddition& item) = 0;
    /// FindItem: the system's search, the text passed through the ANSI code page first; -1 for none.
    virtual std::int32_t comboFind(const std::u16string& text, bool exact) = 0;
    /// Setting ListIndex (an item or -1): the selection moves and no event is raised. Any other
    /// value throws the control's seg4::ComError 381 (0x800A017D) and changes nothing.
    virtual void comboSelect(std::int32_t index) = 0;
    /// A user's key going down and up in the list (a virtual-key code; shift: 1 Shift, 2 Ctrl,
    /// 4 Alt), with what the control and the page make of it.
    virtual void comboKey(std::int16_t code, std::int16_t shift) = 0;
    /// The events the control raised since the last call, one line each ("KeyDown 40, 0"),
    /// oldest first, as the page keeps them; the page then forgets them.
    virtual std::u16string comboEvents() = 0;
};

} // namespace qhost
