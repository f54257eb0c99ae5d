// The native extended combo box window ("ComboBoxEx32") as the combo control sees it.
//
// The control owns one such window and talks to it only through this interface: the win32
// adapter sends the real window messages, the in-memory window of platform/portable keeps a list that answers
// the way the native window does. What the window tells its owner (a new selection, a key, the
// list dropping) comes back as ComboNotification through ComboWindowEvents.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace seg4 {

/// One item of the list, with the fields the control sets (text, image, selected image,
/// indentation, data). Images are indexes into the window's image list, -1 for none; overlays
/// count from 1, and an item the window holds without one answers 0.
struct ComboItem {
    std::u16string text;
    std::int32_t image = -1;
    std::int32_t selectedImage = -1;
    std::int32_t overlay = -1;
    std::int32_t indent = 0;
    std::int32_t data = 0;
};

/// A font as the control builds it for its window.
struct ComboFont {
    std::u16string face = u"MS Sans Serif";
    double points = 8.25;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    std::int16_t charset = 0;
};

/// How the window is created: 1 simple, 2 drop-down, 3 drop-down list (the combo styles).
struct ComboWindowSpec {
    std::int32_t comboStyle = 2;
    std::int32_t widthPixels = 0;
    std::int32_t heightPixels = 0;
    std::int32_t imageSize = 16;
    std::int32_t extendedStyle = 3;
    /// In design mode the window is shown but nothing is intercepted and no event is raised.
    bool designMode = false;
};

/// What the window reports to its owner.
enum class ComboNotificationKind {
    SelectionChanged, // the user picked an item (mouse or keys): the selection changed
    EditChanged,      // the text of the edit field changed by typing
    DroppedDown,      // the list is about to drop down
    ClosedUp,         // the list has closed
    BeginEdit,        // the user starts editing in the edit field
    EndEdit,          // editing ended: changed, newIndex, text, why
    KeyDown,          // a key went down in the edit field: keyCode, shift
    KeyUp,            // a key went up in the edit field: keyCode, shift
    ListFirstShown,   // the drop-down list is first shown: rectangle in screen pixels
    Resized,          // the control's window changed size
};

struct ComboNotification {
    ComboNotificationKind kind = ComboNotificationKind::SelectionChanged;
    bool editChanged = false;
    std::int32_t newIndex = -1;
    std::u16string text;
    std::int32_t why = 0;
    std::int16_t keyCode = 0;
    std::int16_t shift = 0; // 1 Shift, 2 Ctrl, 4 Alt
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

/// The owner's side. For ListFirstShown the owner may change the rectangle in `n` or return
/// false to leave the list where it is (cancelled).
class ComboWindowEvents {
public:
    virtual ~ComboWindowEvents() = default;
    virtual bool onComboNotification(ComboNotification& n) = 0;
};

class ComboWindow {
public:
    virtual ~ComboWindow() = default;

    // ---- items ----
    /// Inserts before `position` (-1 appends); the new item's index, or -1 on failure.
    virtual std::int32_t insertItem(std::int32_t position, const ComboItem& item) = 0;
    virtual bool deleteItem(std::int32_t index) = 0;
    virtual void clear() = 0;
    virtual std::int32_t count() const = 0;
    virtual std::optional<ComboItem> item(std::int32_t index) const = 0;
    virtual bool setItem(std::int32_t index, const ComboItem& item) = 0;
    /// The platform's search: case-insensitive, whole text (exact) or prefix, starting after
    /// item 0 and wrapping round to it; -1 when nothing matches. `text` is in the system's
    /// 8-bit code page as the native search sees it.
    virtual std::int32_t findString(const std::u16string& text, bool exact) const = 0;

    // ---- selection (setting it raises no notification) ----
    virtual std::int32_t selection() const = 0;
    /// -1 clears the selection; false when `index` is not an item.
    virtual bool select(std::int32_t index) = 0;

    // ---- the edit field (drop-down and simple styles; "" and 0 without one) ----
    virtual bool hasEditField() const = 0;
    virtual std::u16string editText() const = 0;
    virtual void setEditText(const std::u16string& text) = 0;
    virtual std::int32_t selectionStart() const = 0;
    virtual std::int32_t selectionEnd() const = 0;
    virtual void setEditSelection(std::int32_t start, std::int32_t end) = 0;

    // ---- the window ----
    virtual bool dropped() const = 0;
    virtual void setDropped(bool dropped) = 0;
    virtual void setDroppedWidth(std::int32_t pixels) = 0;
    virtual void setMaxLength(std::int32_t chars) = 0;
    virtual void setExtendedUI(bool on) = 0;
    virtual void setRedraw(bool on) = 0;
    virtual void setEnabled(bool on) = 0;
    virtual void setFont(const ComboFont& font) = 0;
    /// Height of the selection field in pixels, as the current font makes it.
    virtual std::int32_t selectionFieldHeight() const = 0;
    /// Size the window to the control's client area (layout after creation and on resize).
    virtual void layout(std::int32_t widthPixels, std::int32_t heightPixels) = 0;
    /// Adds a bitmap or icon (native handles) to the window's own image list; the image index,
    /// or 0 when there is no list.
    virtual std::int32_t addBitmap(std::uintptr_t bitmap, std::int32_t maskColour) = 0;
    virtual std::int32_t addIcon(std::uintptr_t icon) = 0;
    /// Attaches an outside image list (0 detaches).
    virtual void attachImageList(std::uintptr_t imageList) = 0;

    // ---- handles (0 where the platform has no windows) ----
    virtual std::uintptr_t controlWindow() const = 0;
    virtual std::uintptr_t comboExWindow() const = 0;
    virtual std::uintptr_t comboWindow() const = 0;
};

/// Makes the native windows of combo controls: one per control, re-made when its style changes.
class ComboWindowFactory {
public:
    virtual ~ComboWindowFactory() = default;
    virtual std::unique_ptr<ComboWindow> create(const ComboWindowSpec& spec, ComboWindowEvents& events) = 0;
};

} // namespace seg4
