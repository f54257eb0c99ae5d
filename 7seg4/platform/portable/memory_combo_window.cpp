// The extended combo box window in memory: the list and the user's actions on it.
#include "memory_combo_window.h"

#include "letter_case.h"

#include <algorithm>
#include <cmath>

namespace seg4 {

namespace {

constexpr std::int32_t kDropItems = 8; // items that drop down at once
constexpr std::int16_t kAlt = 4;

std::int32_t length(const std::u16string& s) { return static_cast<std::int32_t>(s.size()); }

/// Whether `text` is `what` (exact) or starts with it, ignoring case.
bool matches(const std::u16string& text, const std::u16string& what, bool exact) {
    if (exact && text.size() != what.size()) return false;
    return text::startsWithIgnoringListCase(text, what);
}

} // namespace

std::int32_t comboTextHeight(double points, int pixelsPerInch) {
    double em = std::round(points * pixelsPerInch / 72.0);
    // A font the platform cannot build still leaves a line of one pixel; a giant one is capped
    // at what a window can be.
    if (!(em >= 1)) em = 1;
    em = std::min(em, 30000.0);
    const auto e = static_cast<std::int32_t>(em);
    return e + (2 * e + 5) / 10;
}

MemoryComboWindow::MemoryComboWindow(const ComboWindowSpec& spec, ComboWindowEvents& events,
                                     int pixelsPerInch)
    : spec_(spec), events_(events), pixelsPerInch_(pixelsPerInch > 0 ? pixelsPerInch : 96) {
    layout(spec.widthPixels, spec.heightPixels);
}

MemoryComboWindow::~MemoryComboWindow() { *alive_ = false; }

MemoryComboWindow* MemoryComboWindow::of(ComboWindow* window) noexcept {
    return dynamic_cast<MemoryComboWindow*>(window);
}

// ---- items ----

std::int32_t MemoryComboWindow::insertItem(std::int32_t position, const ComboItem& item) {
    if (position < 0) position = count();
    if (position > count()) return -1;
    // The control's record leaves the overlay out of its mask, so the window stores none: its
    // overlay indexes count from 1, and 0 is "no overlay".
    ComboItem stored = item;
    stored.overlay = 0;
    items_.insert(items_.begin() + position, std::move(stored));
    if (selection_ >= position) ++selection_;
    return position;
}

bool MemoryComboWindow::deleteItem(std::int32_t index) {
    if (index < 0 || index >= count()) return false;
    items_.erase(items_.begin() + index);
    // The list keeps the selected item selected; the text shown in the edit field stays.
    if (selection_ == index)
        selection_ = -1;
    else if (selection_ > index)
        --selection_;
    return true;
}

void MemoryComboWindow::clear() {
    items_.clear();
    selection_ = -1;
    editText_.clear();
    selStart_ = selEnd_ = 0;
}

std::optional<ComboItem> MemoryComboWindow::item(std::int32_t index) const {
    if (index < 0 || index >= count()) return std::nullopt;
    return items_[static_cast<std::size_t>(index)];
}

bool MemoryComboWindow::setItem(std::int32_t index, const ComboItem& item) {
    if (index < 0 || index >= count()) return false;
    ComboItem& stored = items_[static_cast<std::size_t>(index)];
    const std::int32_t overlay = stored.overlay; // not in the record's mask: the window keeps it
    stored = item;
    stored.overlay = overlay;
    return true;
}

std::int32_t MemoryComboWindow::findString(const std::u16string& text, bool exact) const {
    // Items 1 onwards first, item 0 last: the search starts after item 0.
    const std::int32_t n = count();
    for (std::int32_t k = 1; k <= n; ++k) {
        const std::int32_t i = k % n;
        if (matches(items_[static_cast<std::size_t>(i)].text, text, exact)) return i;
    }
    return -1;
}

// ---- selection and edit field ----

bool MemoryComboWindow::select(std::int32_t index) {
    if (index < -1 || index >= count()) {
        // The native window clears the selection when asked for an item it does not have.
        selection_ = -1;
        showSelectionInEdit(false);
        return false;
    }
    selection_ = index;
    showSelectionInEdit(false);
    return true;
}

void MemoryComboWindow::showSelectionInEdit(bool selectAll) {
    if (!hasEditField()) return;
    editText_ = selection_ >= 0 ? items_[static_cast<std::size_t>(selection_)].text : std::u16string();
    selStart_ = 0;
    selEnd_ = selectAll ? length(editText_) : 0;
}

void MemoryComboWindow::dropSelectionIfEdited() {
    if (selection_ >= 0 && items_[static_cast<std::size_t>(selection_)].text != editText_) selection_ = -1;
}

void MemoryComboWindow::setEditText(const std::u16string& text) {
    if (!hasEditField()) return;
    editText_ = text;
    selStart_ = selEnd_ = 0;
    dropSelectionIfEdited();
}

void MemoryComboWindow::setEditSelection(std::int32_t start, std::int32_t end) {
    if (!hasEditField()) return;
    const std::int32_t len = length(editText_);
    if (start < 0) { // -1 removes the selection, leaving the caret at its end
        selStart_ = selEnd_;
        return;
    }
    if (end < 0) end = len;
    start = std::min(start, len);
    end = std::min(end, len);
    selStart_ = std::min(start, end);
    selEnd_ = std::max(start, end);
}

// ---- the window ----

void MemoryComboWindow::setDropped(bool dropped) {
    if (dropped)
        openList();
    else
        closeList();
}

void MemoryComboWindow::setDroppedWidth(std::int32_t pixels) {
    if (pixels >= 0) droppedWidth_ = pixels; // the native window refuses a negative width
}

std::int32_t MemoryComboWindow::itemHeight() const { return comboTextHeight(font_.points, pixelsPerInch_); }

void MemoryComboWindow::layout(std::int32_t widthPixels, std::int32_t heightPixels) {
    width_ = std::max(widthPixels, 0);
    height_ = std::max(heightPixels, 0);
}

std::int32_t MemoryComboWindow::comboHeightPixels() const {
    if (spec_.comboStyle == 1) return height_;
    return height_ + 2 + kDropItems * itemHeight();
}

std::int32_t MemoryComboWindow::addBitmap(std::uintptr_t bitmap, std::int32_t) {
    if (!hasOwnImageList()) return 0;
    if (bitmap == 0) return -1; // the list refuses a missing picture
    return ownImages_++;
}

std::int32_t MemoryComboWindow::addIcon(std::uintptr_t icon) { return addBitmap(icon, -1); }

// ---- notifications ----

bool MemoryComboWindow::tell(ComboNotification& n, bool* answer) {
    if (spec_.designMode) { // nothing is intercepted while the container is designed
        if (answer) *answer = true;
        return true;
    }
    const std::shared_ptr<bool> alive = alive_;
    const bool a = events_.onComboNotification(n);
    if (answer) *answer = a;
    return *alive;
}

bool MemoryComboWindow::tell(ComboNotificationKind kind) {
    ComboNotification n;
    n.kind = kind;
    return tell(n);
}

bool MemoryComboWindow::openList() {
    if (spec_.comboStyle == 1 || dropped_) return false; // the simple style's list is always shown
    if (!endEdit(endedit::DropDown)) return true;
    if (!tell(ComboNotificationKind::DroppedDown)) return true;
    dropped_ = true;
    const std::int32_t shown = std::clamp(count(), 1, kDropItems);
    ComboRect rect{0, height_, std::max(width_, droppedWidth_), height_ + 2 + shown * itemHeight()};
    ComboNotification n;
    n.kind = ComboNotificationKind::ListFirstShown;
    n.left = rect.left;
    n.top = rect.top;
    n.right = rect.right;
    n.bottom = rect.bottom;
    bool move = true;
    if (!tell(n, &move)) return true;
    listRect_ = move ? ComboRect{n.left, n.top, n.right, n.bottom} : rect;
    return true;
}

bool MemoryComboWindow::closeList() {
    if (!dropped_) return false;
    dropped_ = false;
    if (!tell(ComboNotificationKind::ClosedUp)) return true;
    // The list's use is over, as an edit would be: the window then reports the end of an edit
    // for the drop-down, with the selection it leaves and that item's text, in every style.
    ComboNotification n;
    n.kind = ComboNotificationKind::EndEdit;
    n.editChanged = false;
    n.newIndex = selection_;
    n.text = hasEditField()    ? editText_
             : selection_ >= 0 ? items_[static_cast<std::size_t>(selection_)].text
                               : std::u16string();
    n.why = endedit::DropDown;
    tell(n);
    return true;
}

bool MemoryComboWindow::endEdit(std::int32_t why) {
    if (!editing_) return true;
    editing_ = false;
    ComboNotification n;
    n.kind = ComboNotificationKind::EndEdit;
    n.editChanged = editText_ != editStartText_;
    n.newIndex = selection_;
    n.text = editText_;
    n.why = why;
    return tell(n);
}

bool MemoryComboWindow::moveSelection(std::int32_t index) {
    if (index < 0 || index >= count() || index == selection_) return false;
    selection_ = index;
    showSelectionInEdit(true);
    tell(ComboNotificationKind::SelectionChanged);
    return true;
}

bool MemoryComboWindow::userReplace(std::int32_t from, std::int32_t to, const std::u16string& text) {
    const std::int32_t kept = length(editText_) - (to - from);
    std::size_t room = text.size();
    if (maxLength_ > 0) room = static_cast<std::size_t>(std::max(maxLength_ - kept, 0));
    const std::u16string insert = text.substr(0, std::min(room, text.size()));
    if (from == to && insert.empty()) return false; // nothing changes: the edit field just beeps

    if (!editing_) {
        editing_ = true;
        editStartText_ = editText_;
        if (!tell(ComboNotificationKind::BeginEdit)) return true;
    }
    editText_.replace(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from), insert);
    selStart_ = selEnd_ = from + length(insert);
    dropSelectionIfEdited();
    tell(ComboNotificationKind::EditChanged);
    return true;
}

// ---- the user's actions ----

bool MemoryComboWindow::choose(std::int32_t index) {
    if (!enabled_ || index < 0 || index >= count()) return false;
    selection_ = index;
    showSelectionInEdit(true);
    if (!tell(ComboNotificationKind::SelectionChanged)) return true;
    closeList();
    return true;
}

bool MemoryComboWindow::typeText(const std::u16string& text) {
    if (!enabled_ || text.empty()) return false;
    if (hasEditField()) return userReplace(selStart_, selEnd_, text);
    // The drop-down list picks the next item that starts with what was typed.
    const std::int32_t n = count();
    for (std::int32_t k = 1; k <= n; ++k) {
        const std::int32_t i = (selection_ + k + n) % n;
        if (matches(items_[static_cast<std::size_t>(i)].text, text, false)) {
            if (i != selection_) moveSelection(i);
            return true;
        }
    }
    return false;
}

bool MemoryComboWindow::dropDown() { return enabled_ && openList(); }

bool MemoryComboWindow::closeUp() { return enabled_ && closeList(); }

void MemoryComboWindow::loseFocus() {
    if (endEdit(endedit::KillFocus)) closeList();
}

bool MemoryComboWindow::pressKey(std::int16_t code, std::int16_t shift) {
    if (!enabled_) return false;
    const auto key = static_cast<std::int16_t>(code & 0xFF);
    if (!hasEditField()) { // the list's keys reach no edit field: no key events
        keyAction(key, shift);
        return true;
    }
    ComboNotification down;
    down.kind = ComboNotificationKind::KeyDown;
    down.keyCode = key;
    down.shift = shift;
    if (!tell(down)) return true;
    const std::shared_ptr<bool> alive = alive_;
    keyAction(key, shift);
    if (!*alive) return true;
    ComboNotification up;
    up.kind = ComboNotificationKind::KeyUp;
    up.keyCode = key;
    up.shift = shift;
    tell(up);
    return true;
}

void MemoryComboWindow::keyAction(std::int16_t code, std::int16_t shift) {
    const bool alt = (shift & kAlt) != 0;
    const std::int32_t len = length(editText_);
    switch (code) {
    case vk::F4:
        if (!extendedUI_) dropped_ ? closeList() : openList();
        break;
    case vk::Up:
    case vk::Down:
        if (alt)
            dropped_ ? closeList() : openList();
        else if (code == vk::Down && extendedUI_ && !dropped_)
            openList();
        else
            moveSelection(code == vk::Down ? selection_ + 1 : selection_ - 1);
        break;
    case vk::Return:
    case vk::Escape:
        if (dropped_)
            closeList();
        else
            endEdit(code == vk::Return ? endedit::Return : endedit::Escape);
        break;
    case vk::Home:
    case vk::End:
        if (hasEditField())
            selStart_ = selEnd_ = code == vk::Home ? 0 : len;
        else
            moveSelection(code == vk::Home ? 0 : count() - 1);
        break;
    case vk::Left:
        if (hasEditField())
            selStart_ = selEnd_ = selStart_ == selEnd_ ? std::max(selStart_ - 1, 0) : selStart_;
        break;
    case vk::Right:
        if (hasEditField()) selStart_ = selEnd_ = selStart_ == selEnd_ ? std::min(selEnd_ + 1, len) : selEnd_;
        break;
    case vk::Back:
    case vk::Delete:
        if (!hasEditField()) break;
        if (selStart_ != selEnd_)
            userReplace(selStart_, selEnd_, {});
        else if (code == vk::Back && selStart_ > 0)
            userReplace(selStart_ - 1, selStart_, {});
        else if (code == vk::Delete && selEnd_ < len)
            userReplace(selEnd_, selEnd_ + 1, {});
        break;
    default: break;
    }
}

// ---- factory ----

MemoryComboWindowFactory::MemoryComboWindowFactory(int pixelsPerInch) : pixelsPerInch_(pixelsPerInch) {}

std::unique_ptr<ComboWindow> MemoryComboWindowFactory::create(const ComboWindowSpec& spec,
                                                              ComboWindowEvents& events) {
    ++created_;
    return std::make_unique<MemoryComboWindow>(spec, events, pixelsPerInch_);
}

} // namespace seg4
