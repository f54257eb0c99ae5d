// The extended combo box window in memory: a list that answers the combo control as
// the native window does, plus the actions of a person at the keyboard and mouse for hosts and
// tests that drive the control as a user would.
//
// What it copies from the native window:
// - a new window has no selection (-1); indexes that are not items fail (-1 / false), and a
//   selection set to an index that is not an item is cleared, as the native window clears it;
// - inserting at -1 (or any negative position) appends; inserting past the end fails;
// - deleting an item before the selected one keeps the same item selected (its index moves);
// - the search is case-insensitive and starts after item 0, trying item 0 last;
// - the drop-down-list style has no edit field; the simple style's list never drops;
// - programmatic changes (selection, text, the list shown or hidden by the control) raise no
//   notification except the drop-down and close-up ones the native window also sends; the
//   user's actions raise what the native window reports to its owner;
// - a disabled window ignores the user.
// Nothing is drawn and there are no native handles: every handle is 0.
#pragma once

#include "platform/combo_window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace seg4 {

/// Virtual-key codes the window acts on.
namespace vk {
inline constexpr std::int16_t Back = 0x08;
inline constexpr std::int16_t Return = 0x0D;
inline constexpr std::int16_t Escape = 0x1B;
inline constexpr std::int16_t End = 0x23;
inline constexpr std::int16_t Home = 0x24;
inline constexpr std::int16_t Left = 0x25;
inline constexpr std::int16_t Up = 0x26;
inline constexpr std::int16_t Right = 0x27;
inline constexpr std::int16_t Down = 0x28;
inline constexpr std::int16_t Delete = 0x2E;
inline constexpr std::int16_t F4 = 0x73;
} // namespace vk

/// Why editing ended (the platform's reason codes handed on with EndEdit).
namespace endedit {
inline constexpr std::int32_t KillFocus = 1;
inline constexpr std::int32_t Return = 2;
inline constexpr std::int32_t Escape = 3;
inline constexpr std::int32_t DropDown = 4;
} // namespace endedit

/// The list's rectangle in screen pixels, as last shown.
struct ComboRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const ComboRect&, const ComboRect&) = default;
};

/// The text height a font gives on a screen of `pixelsPerInch`: the font's em height
/// (points x pixelsPerInch / 72, rounded) plus a fifth of it for the internal leading. An item of
/// the list is that high; the selection field is 2 pixels higher (its border). At 96 pixels per
/// inch an 8.25-point font gives 11 + 2 = 13 pixels, a selection field of 15.
std::int32_t comboTextHeight(double points, int pixelsPerInch);

class MemoryComboWindow final : public ComboWindow {
public:
    MemoryComboWindow(const ComboWindowSpec& spec, ComboWindowEvents& events, int pixelsPerInch);
    ~MemoryComboWindow() override;
    MemoryComboWindow(const MemoryComboWindow&) = delete;
    MemoryComboWindow& operator=(const MemoryComboWindow&) = delete;

    /// The window behind a control's ComboWindow, or null when it is another platform's window.
    static MemoryComboWindow* of(ComboWindow* window) noexcept;

    // ---- ComboWindow ----
    std::int32_t insertItem(std::int32_t position, const ComboItem& item) override;
    bool deleteItem(std::int32_t index) override;
    void clear() override;
    std::int32_t count() const override { return static_cast<std::int32_t>(items_.size()); }
    std::optional<ComboItem> item(std::int32_t index) const override;
    bool setItem(std::int32_t index, const ComboItem& item) override;
    std::int32_t findString(const std::u16string& text, bool exact) const override;
    std::int32_t selection() const override { return selection_; }
    bool select(std::int32_t index) override;
    bool hasEditField() const override { return spec_.comboStyle != 3; }
    std::u16string editText() const override { return hasEditField() ? editText_ : std::u16string(); }
    void setEditText(const std::u16string& text) override;
    std::int32_t selectionStart() const override { return hasEditField() ? selStart_ : 0; }
    std::int32_t selectionEnd() const override { return hasEditField() ? selEnd_ : 0; }
    void setEditSelection(std::int32_t start, std::int32_t end) override;
    bool dropped() const override { return dropped_; }
    void setDropped(bool dropped) override;
    void setDroppedWidth(std::int32_t pixels) override;
    void setMaxLength(std::int32_t chars) override { maxLength_ = chars > 0 ? chars : 0; }
    void setExtendedUI(bool on) override { extendedUI_ = on; }
    void setRedraw(bool on) override { redraw_ = on; }
    void setEnabled(bool on) override { enabled_ = on; }
    void setFont(const ComboFont& font) override { font_ = font; }
    /// A line of the font and a pixel above and below it, as a combo box sizes its field. Under
    /// Wine the extended combo box answers more (18 at 96 dpi, 21 at 120: its own text height
    /// plus 3); that sum is the emulator's own layout, which the system's documentation does not
    /// give, so the model keeps the combo box's rule and the pages' pictures stay as they are.
    std::int32_t selectionFieldHeight() const override { return itemHeight() + 2; }
    void layout(std::int32_t widthPixels, std::int32_t heightPixels) override;
    std::int32_t addBitmap(std::uintptr_t bitmap, std::int32_t maskColour) override;
    std::int32_t addIcon(std::uintptr_t icon) override;
    void attachImageList(std::uintptr_t imageList) override { outsideImageList_ = imageList; }
    std::uintptr_t controlWindow() const override { return 0; }
    std::uintptr_t comboExWindow() const override { return 0; }
    std::uintptr_t comboWindow() const override { return 0; }

    // ---- the user's actions; each answers whether the window took it ----
    /// A mouse pick of item `index`: the selection (and the edit field's text) become that item,
    /// SelectionChanged is reported, and a dropped list closes.
    bool choose(std::int32_t index);
    /// Typing: in the edit styles the text replaces the edit field's selection (up to the text
    /// limit), editing begins (BeginEdit) on the first keystroke and EditChanged is reported;
    /// the selection is cleared once the text no longer is the selected item's. In the
    /// drop-down-list style typing picks the next item whose text starts with `text`.
    bool typeText(const std::u16string& text);
    /// The drop-down button: an editing session ends (EndEdit, DropDown), DroppedDown is reported,
    /// then ListFirstShown with the list's rectangle, which the owner may move or keep.
    bool dropDown();
    bool closeUp();
    /// A key going down and up. In the edit styles KeyDown / KeyUp are reported around the key's
    /// action. The key acts as pressed whatever code the owner's KeyDown handler leaves: the
    /// interception passes key messages on to the edit field unchanged. Actions: Up / Down move
    /// the selection (Down, or Alt+Up / Alt+Down, drops the list in the extended interface);
    /// F4 and Alt+arrows toggle the list; Return and Escape close a dropped list or end editing;
    /// Home / End move the caret (edit styles) or pick the first / last item; Back and Delete
    /// delete text; Left / Right move the caret.
    bool pressKey(std::int16_t code, std::int16_t shift = 0);
    /// The focus leaves the control: an editing session ends (EndEdit, KillFocus) and a dropped
    /// list closes.
    void loseFocus();

    // ---- what a host or test can observe ----
    const ComboWindowSpec& spec() const { return spec_; }
    bool enabled() const { return enabled_; }
    bool redraw() const { return redraw_; }
    bool extendedUI() const { return extendedUI_; }
    bool editing() const { return editing_; }
    std::int32_t maxLength() const { return maxLength_; }
    std::int32_t droppedWidth() const { return droppedWidth_; }
    const ComboFont& font() const { return font_; }
    std::int32_t itemHeight() const;
    std::int32_t widthPixels() const { return width_; }
    std::int32_t heightPixels() const { return height_; }
    /// The combo child's height: the client height in the simple style, else the client height
    /// + 2 + the eight items that drop down.
    std::int32_t comboHeightPixels() const;
    /// Where the list was last shown (screen pixels, the control's window at 0, 0).
    const ComboRect& listRect() const { return listRect_; }
    /// Whether the window's own image list exists (not with an image size below 1) and is
    /// attached (not with extended style 2), how many images it holds, and the outside list.
    bool hasOwnImageList() const { return spec_.imageSize > 0; }
    bool ownImageListAttached() const { return hasOwnImageList() && spec_.extendedStyle != 2; }
    std::int32_t ownImageCount() const { return ownImages_; }
    std::uintptr_t outsideImageList() const { return outsideImageList_; }

private:
    /// Reports `n` to the owner (nothing in design mode, where no one listens). False when the
    /// owner destroyed this window meanwhile: then nothing of it may be touched any more.
    bool tell(ComboNotification& n, bool* answer = nullptr);
    bool tell(ComboNotificationKind kind);
    void showSelectionInEdit(bool selectAll);
    void dropSelectionIfEdited();
    bool userReplace(std::int32_t from, std::int32_t to, const std::u16string& text);
    bool endEdit(std::int32_t why);
    bool moveSelection(std::int32_t index);
    bool openList();
    bool closeList();
    void keyAction(std::int16_t code, std::int16_t shift);

    ComboWindowSpec spec_;
    ComboWindowEvents& events_;
    int pixelsPerInch_;
    std::vector<ComboItem> items_;
    std::int32_t selection_ = -1;
    std::u16string editText_;
    std::u16string editStartText_;
    std::int32_t selStart_ = 0;
    std::int32_t selEnd_ = 0;
    bool editing_ = false;
    bool dropped_ = false;
    bool enabled_ = true;
    bool redraw_ = true;
    bool extendedUI_ = false;
    std::int32_t maxLength_ = 0;
    std::int32_t droppedWidth_ = 0;
    ComboFont font_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    ComboRect listRect_;
    std::int32_t ownImages_ = 0;
    std::uintptr_t outsideImageList_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

/// Makes in-memory combo windows; `pixelsPerInch` (the screen's, 96 unless given) sizes their fonts.
class MemoryComboWindowFactory final : public ComboWindowFactory {
public:
    explicit MemoryComboWindowFactory(int pixelsPerInch = 96);
    std::unique_ptr<ComboWindow> create(const ComboWindowSpec& spec, ComboWindowEvents& events) override;
    /// How many windows this factory has made.
    int created() const { return created_; }

private:
    int pixelsPerInch_;
    int created_ = 0;
};

} // namespace seg4
