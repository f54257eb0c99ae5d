// The extended combo box control: its window, its members and the events its window's
// notifications raise. Stored settings are in combo_properties.cpp.
#include "combo/uc_combo_box_ex.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "platform/platform.h"

#include <cmath>

namespace seg4 {

namespace {

constexpr std::int32_t kSelectionFieldMargin = 6; // pixels around the selection field
constexpr std::int32_t kListHeightFactor = 8;     // the window is made 8 controls high

std::int32_t pixelsOf(float twips, float twipsPerPixel) {
    if (!(twipsPerPixel > 0)) return 0;
    const double px = roundHalfEven(static_cast<double>(twips) / twipsPerPixel);
    if (!(px > 0)) return 0;
    return px > 1e6 ? 1000000 : static_cast<std::int32_t>(px);
}

/// The combo window style of a control style: simple 1, drop-down 2, drop-down list 3.
std::int32_t comboStyleOf(std::int32_t style) { return style + 1; }

std::int32_t optionalLong(const Variant& v, std::int32_t fallback) {
    return isOmitted(v) ? fallback : toLong(v);
}

bool optionalBool(const Variant& v) { return !isOmitted(v) && toBoolean(v); }

/// Resets a flag when a scope ends, however it ends.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

UcComboBoxEx::UcComboBoxEx(Platform& platform, ComboWindowFactory& windows, ComboSite& site,
                           ComboBoxExEvents* events)
    : platform_(platform), windows_(windows), site_(site), events_(events) {}

// The window goes before anything it might still report to.
UcComboBoxEx::~UcComboBoxEx() { window_.reset(); }

std::int32_t UcComboBoxEx::effectiveStyle() const noexcept { return style_ >= 0 && style_ <= 2 ? style_ : 1; }

void UcComboBoxEx::reportChange(const char16_t* name) {
    if (site_.designMode()) site_.propertyChanged(name);
}

// ---- the window ----

void UcComboBoxEx::createWindow() {
    window_.reset(); // the previous window and its items go first
    ComboWindowSpec spec;
    spec.comboStyle = comboStyleOf(effectiveStyle());
    // Both sizes go through the horizontal factor, as the window has always been made.
    spec.widthPixels = pixelsOf(site_.widthTwips(), platform_.twipsPerPixelX());
    spec.heightPixels = kListHeightFactor * pixelsOf(site_.heightTwips(), platform_.twipsPerPixelX());
    spec.imageSize = imageSize_;
    spec.extendedStyle = extendedStyle_;
    spec.designMode = site_.designMode();
    window_ = windows_.create(spec, *this);
    if (!window_) return;

    window_->setDroppedWidth(droppedWidth_);
    window_->setMaxLength(maxLength_);
    window_->setExtendedUI(extendedUI_);
    window_->setFont(font_);
    // An outside image list outlives the window it was attached to.
    if (outsideImageList_ != 0) window_->attachImageList(outsideImageList_);
    window_->setEnabled(enabled_);
    window_->setRedraw(true);
    redraw_ = true;
    layout(!site_.designMode());
}

void UcComboBoxEx::layout(bool fitHeight) {
    if (!window_ || inLayout_) return;
    const FlagScope guard(inLayout_);
    if (fitHeight && effectiveStyle() != 0) {
        const auto pixels = static_cast<float>(window_->selectionFieldHeight() + kSelectionFieldMargin);
        site_.setHeightTwips(pixels * platform_.twipsPerPixelY());
    }
    window_->layout(pixelsOf(site_.widthTwips(), platform_.twipsPerPixelX()),
                    pixelsOf(site_.heightTwips(), platform_.twipsPerPixelY()));
}

void UcComboBoxEx::Resize() { layout(!site_.designMode()); }

// ---- the edit field's selection ----

std::int32_t UcComboBoxEx::get_SelLength() {
    if (!window_) return 0;
    return window_->selectionEnd() - window_->selectionStart();
}

void UcComboBoxEx::put_SelLength(std::int32_t value) {
    if (!window_ || value < 0) return;
    const std::int32_t start = window_->selectionStart();
    window_->setEditSelection(start, value > INT32_MAX - start ? INT32_MAX : start + value);
}

std::int32_t UcComboBoxEx::get_SelEnd() { return window_ ? window_->selectionEnd() : 0; }

void UcComboBoxEx::put_SelEnd(std::int32_t value) {
    if (!window_ || value < 0) return;
    window_->setEditSelection(window_->selectionStart(), value);
}

std::int32_t UcComboBoxEx::get_SelStart() { return window_ ? window_->selectionStart() : 0; }

void UcComboBoxEx::put_SelStart(std::int32_t value) {
    // As in a text box: the caret moves there and nothing stays selected.
    if (!window_ || value < 0) return;
    window_->setEditSelection(value, value);
}

std::u16string UcComboBoxEx::get_SelText() {
    if (!window_) return {};
    const std::u16string text = window_->editText();
    const auto start = static_cast<std::size_t>(window_->selectionStart());
    const auto end = static_cast<std::size_t>(window_->selectionEnd());
    if (start >= text.size() || end <= start) return {};
    return text.substr(start, end - start);
}

// ---- stored settings ----

std::int32_t UcComboBoxEx::get_Style() { return style_; }

void UcComboBoxEx::put_Style(std::int32_t value) {
    style_ = value;
    if (window_) createWindow();
    reportChange(u"Style");
}

std::int32_t UcComboBoxEx::get_ImageSize() { return imageSize_; }

void UcComboBoxEx::put_ImageSize(std::int32_t value) {
    imageSize_ = value;
    reportChange(u"ImageSize");
}

std::int32_t UcComboBoxEx::get_ExtendedStyle() { return extendedStyle_; }

void UcComboBoxEx::put_ExtendedStyle(std::int32_t value) {
    extendedStyle_ = value & 3;
    reportChange(u"ExtendedStyle");
}

// ---- images and items ----

std::int32_t UcComboBoxEx::AddBitmap(std::uintptr_t hBitmap, const Variant& MaskColor) {
    const std::int32_t mask = optionalLong(MaskColor, -1);
    if (!window_) return 0;
    return window_->addBitmap(hBitmap, mask);
}

std::int32_t UcComboBoxEx::AddIcon(std::uintptr_t hIcon) { return window_ ? window_->addIcon(hIcon) : 0; }

bool UcComboBoxEx::AddItem(const std::u16string& sText, const Variant& iIndexInsertBefore,
                           const Variant& iIconIndex, const Variant& iIconIndexSelected,
                           const Variant& iItemData, const Variant& iIndent) {
    if (!window_) return false;
    ComboItem item;
    item.text = sText;
    const std::int32_t position = std::max(optionalLong(iIndexInsertBefore, -1), -1);
    item.image = optionalLong(iIconIndex, -1);
    item.selectedImage = optionalLong(iIconIndexSelected, -1);
    if (item.selectedImage < 0) item.selectedImage = item.image;
    item.overlay = -1;
    item.data = optionalLong(iItemData, 0);
    item.indent = optionalLong(iIndent, 0);
    newIndex_ = window_->insertItem(position, item);
    return newIndex_ >= 0;
}

bool UcComboBoxEx::RemoveItem(std::int32_t iIndex) { return window_ && window_->deleteItem(iIndex); }

float UcComboBoxEx::get_DroppedWidth() { return site_.pixelsToContainerX(droppedWidth_); }

void UcComboBoxEx::put_DroppedWidth(float value) {
    droppedWidth_ = site_.containerToPixelsX(value);
    if (window_) window_->setDroppedWidth(droppedWidth_);
    reportChange(u"DroppedWidth");
}

std::int32_t UcComboBoxEx::get_DroppedHeight() { return droppedHeight_; }

void UcComboBoxEx::put_DroppedHeight(std::int32_t value) {
    droppedHeight_ = value;
    reportChange(u"DroppedHeight");
}

ComboFont UcComboBoxEx::get_Font() const { return font_; }

void UcComboBoxEx::put_Font(const ComboFont& font) {
    font_ = font;
    if (window_) {
        window_->setFont(font_);
        // The selection field follows the font, and the control follows the selection field.
        layout(effectiveStyle() != 0);
    }
    site_.propertyChanged(u"Font"); // the one change a container hears of at run time too
}

std::int32_t UcComboBoxEx::get_NewIndex() const { return newIndex_; }

bool UcComboBoxEx::get_Enabled() const { return enabled_; }

void UcComboBoxEx::put_Enabled(bool value) {
    enabled_ = value;
    if (window_) window_->setEnabled(value);
    reportChange(u"Enabled");
}

bool UcComboBoxEx::get_Dropped() { return window_ && window_->dropped(); }

void UcComboBoxEx::put_Dropped(bool value) {
    if (window_) window_->setDropped(value);
}

std::int32_t UcComboBoxEx::get_ListCount() { return window_ ? window_->count() : 0; }

std::int32_t UcComboBoxEx::get_ListIndex() { return window_ ? window_->selection() : 0; }

void UcComboBoxEx::put_ListIndex(std::int32_t value) {
    if (!window_) return;
    if (value != -1 && (value < 0 || value >= window_->count()))
        throw ComError(hr::InvalidPropertyArrayIndex, describeHResult(hr::InvalidPropertyArrayIndex),
                       platform_.moduleBaseName() + u".ucComboBoxEx");
    window_->select(value); // a selection made by the program raises no event
}

std::u16string UcComboBoxEx::get_Text() {
    if (!window_) return {};
    if (window_->hasEditField()) return window_->editText();
    const auto item = window_->item(window_->selection());
    return item ? item->text : std::u16string();
}

void UcComboBoxEx::put_Text(const std::u16string& value) {
    if (!window_) return;
    if (window_->hasEditField()) {
        window_->setEditText(value);
        return;
    }
    const std::int32_t index = FindItem(value, Variant::boolean(true));
    if (index >= 0) window_->select(index);
}

std::int32_t UcComboBoxEx::FindItem(const std::u16string& sText, const Variant& bExact) {
    const bool exact = optionalBool(bExact);
    if (!window_) return 0;
    // The native search takes 8-bit text: characters the system code page lacks arrive as '?'.
    const std::uint32_t codePage = platform_.systemAnsiCodePage();
    const std::u16string narrowed = platform_.decodeAnsi(platform_.encodeAnsi(sText, codePage), codePage);
    return window_->findString(narrowed, exact);
}

std::int32_t UcComboBoxEx::FindItem_Unicode(const std::u16string& sToFind, const Variant& bExactMatch) {
    const bool exact = optionalBool(bExactMatch);
    const std::int32_t count = get_ListCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const auto item = window_->item(i);
        if (!item) continue;
        if (exact ? item->text == sToFind : item->text.find(sToFind) != std::u16string::npos) return i;
    }
    return -1;
}

void UcComboBoxEx::Clear() {
    if (window_) window_->clear();
}

// One field of an item: the field's empty value, and no change, when the item or the window is
// missing.
template <class T>
T UcComboBoxEx::itemField(std::int32_t iIndex, T ComboItem::*field) const {
    const std::optional<ComboItem> item = window_ ? window_->item(iIndex) : std::nullopt;
    return item ? (*item).*field : T{};
}

template <class T>
void UcComboBoxEx::setItemField(std::int32_t iIndex, T ComboItem::*field, const T& value) {
    std::optional<ComboItem> item = window_ ? window_->item(iIndex) : std::nullopt;
    if (!item) return;
    (*item).*field = value;
    window_->setItem(iIndex, *item);
}

std::int32_t UcComboBoxEx::get_ItemIndent(std::int32_t iIndex) {
    return itemField(iIndex, &ComboItem::indent);
}
void UcComboBoxEx::put_ItemIndent(std::int32_t iIndex, std::int32_t value) {
    setItemField(iIndex, &ComboItem::indent, value);
}
std::int32_t UcComboBoxEx::get_ItemIconIndex(std::int32_t iIndex) {
    return itemField(iIndex, &ComboItem::image);
}
void UcComboBoxEx::put_ItemIconIndex(std::int32_t iIndex, std::int32_t value) {
    setItemField(iIndex, &ComboItem::image, value);
}
std::int32_t UcComboBoxEx::get_ItemIconIndexSelected(std::int32_t iIndex) {
    return itemField(iIndex, &ComboItem::selectedImage);
}
void UcComboBoxEx::put_ItemIconIndexSelected(std::int32_t iIndex, std::int32_t value) {
    setItemField(iIndex, &ComboItem::selectedImage, value);
}
std::int32_t UcComboBoxEx::get_ItemData(std::int32_t iIndex) { return itemField(iIndex, &ComboItem::data); }
void UcComboBoxEx::put_ItemData(std::int32_t iIndex, std::int32_t value) {
    setItemField(iIndex, &ComboItem::data, value);
}
std::u16string UcComboBoxEx::get_ItemText(std::int32_t iIndex) { return itemField(iIndex, &ComboItem::text); }
void UcComboBoxEx::put_ItemText(std::int32_t iIndex, const std::u16string& value) {
    setItemField(iIndex, &ComboItem::text, value);
}

std::u16string UcComboBoxEx::get_List(std::int32_t iIndex) { return get_ItemText(iIndex); }

void UcComboBoxEx::put_List(std::int32_t iIndex, const std::u16string& value) { put_ItemText(iIndex, value); }

// ---- more settings and the window's handles ----

std::int32_t UcComboBoxEx::get_MaxLength() const { return maxLength_; }

void UcComboBoxEx::put_MaxLength(std::int32_t value) {
    maxLength_ = value;
    if (window_) window_->setMaxLength(value);
    reportChange(u"MaxLength");
}

bool UcComboBoxEx::get_ExtendedUI() const { return extendedUI_; }

void UcComboBoxEx::put_ExtendedUI(bool value) {
    extendedUI_ = value;
    if (window_) window_->setExtendedUI(value);
    reportChange(u"ExtendedUI");
}

bool UcComboBoxEx::get_Redraw() const { return redraw_; }

void UcComboBoxEx::put_Redraw(bool value) {
    if (!window_) return;
    redraw_ = value;
    window_->setRedraw(value);
}

std::uintptr_t UcComboBoxEx::get_hWnd() const { return window_ ? window_->controlWindow() : 0; }

std::uintptr_t UcComboBoxEx::get_hWndComboEx() const { return window_ ? window_->comboExWindow() : 0; }

std::uintptr_t UcComboBoxEx::get_hWndCombo() const { return window_ ? window_->comboWindow() : 0; }

void UcComboBoxEx::put_ImageList(const Variant& value) {
    const Variant& v = value.deref();
    if (v.isArray() || v.isByRef() || v.type() != VarType::I4)
        throw ComError(hr::ImageListExpected, describeHResult(hr::ImageListExpected),
                       platform_.moduleBaseName() + u".ucComboBoxEx");
    // Handles are 32-bit values even in a 64-bit process: sign-extend as the platform does.
    const auto handle = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(v.asSigned()));
    if (handle == 0) return;
    outsideImageList_ = handle;
    if (window_) {
        window_->attachImageList(handle);
        window_->setFont(font_);
    }
}

// ---- what the window reports ----

bool UcComboBoxEx::onComboNotification(ComboNotification& n) {
    if (n.kind == ComboNotificationKind::Resized) {
        layout(!site_.designMode());
        return true;
    }
    if (site_.designMode() || !events_) return true; // nothing is raised while the container is designed
    switch (n.kind) {
    case ComboNotificationKind::SelectionChanged:
        events_->EditChange();
        events_->Click();
        events_->ListIndexChange();
        break;
    case ComboNotificationKind::EditChanged: events_->EditChange(); break;
    case ComboNotificationKind::DroppedDown: events_->DropDown(); break;
    case ComboNotificationKind::ClosedUp: events_->CloseUp(); break;
    case ComboNotificationKind::BeginEdit: events_->BeginEdit(); break;
    case ComboNotificationKind::EndEdit: {
        // The record's text ends at its first NUL.
        std::u16string text = n.text.substr(0, n.text.find(u'\0'));
        std::int32_t newIndex = n.newIndex;
        events_->EndEdit(n.editChanged, newIndex, text, n.why);
        break;
    }
    case ComboNotificationKind::KeyDown:
    case ComboNotificationKind::KeyUp: {
        auto code = static_cast<std::int16_t>(n.keyCode & 0xFF);
        if (n.kind == ComboNotificationKind::KeyDown)
            events_->KeyDown(code, n.shift);
        else
            events_->KeyUp(code, n.shift);
        n.keyCode = code;
        break;
    }
    case ComboNotificationKind::ListFirstShown: {
        if (effectiveStyle() == 0) break; // the simple style's list is part of the control
        bool cancel = false;
        events_->RequestDropDownResize(n.left, n.top, n.right, n.bottom, cancel);
        return !cancel;
    }
    case ComboNotificationKind::Resized: break;
    }
    return true;
}

} // namespace seg4
