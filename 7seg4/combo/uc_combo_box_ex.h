// The extended combo box control: a list whose items can carry an image, a selected-state image
// and an indentation, over one native extended combo box window.
//
// The control decides everything a container sees (its stored settings, the rules of its
// members, which events a native notification raises and in what order); the native window
// itself is behind ComboWindow. The property page uses one as its colour list.
#pragma once

#include "automation/variant.h"
#include "platform/combo_window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace seg4 {

class Platform;
class PropertyBag;

/// What the control asks of its container.
class ComboSite {
public:
    virtual ~ComboSite() = default;
    /// True while the container is being designed: no interception, no events, changes reported.
    virtual bool designMode() = 0;
    /// The container's ambient font, the font of a new control.
    virtual ComboFont ambientFont() = 0;
    /// The control's size in twips, and setting its height (its width stays).
    virtual float widthTwips() = 0;
    virtual float heightTwips() = 0;
    virtual void setHeightTwips(float twips) = 0;
    /// A stored setting changed (the container then saves the control).
    virtual void propertyChanged(const char16_t* name) = 0;
    /// The container's scale for DroppedWidth: pixels to container units and back.
    virtual float pixelsToContainerX(std::int32_t pixels) = 0;
    virtual std::int32_t containerToPixelsX(float units) = 0;
};

/// The control's events, in the order they are declared.
class ComboBoxExEvents {
public:
    virtual ~ComboBoxExEvents() = default;
    virtual void DropDown() {}
    virtual void CloseUp() {}
    virtual void EditChange() {}
    virtual void Click() {}
    virtual void BeginEdit() {}
    virtual void ListIndexChange() {}
    virtual void EndEdit(bool /*bEditChanged*/, std::int32_t& /*iNewIndex*/, std::u16string& /*sText*/,
                         std::int32_t /*iWhy*/) {}
    virtual void KeyDown(std::int16_t& /*KeyCode*/, std::int16_t /*Shift*/) {}
    virtual void KeyUp(std::int16_t& /*KeyCode*/, std::int16_t /*Shift*/) {}
    virtual void RequestDropDownResize(std::int32_t& /*lLeft*/, std::int32_t& /*lTop*/,
                                       std::int32_t& /*lRight*/, std::int32_t& /*lBottom*/,
                                       bool& /*bCancel*/) {}
};

/// An optional argument the caller left out: automation's "parameter not found" error value.
inline Variant omitted() { return Variant::error(static_cast<std::int32_t>(0x80020004U)); }
inline bool isOmitted(const Variant& v) {
    return v.type() == VarType::Error && v.asSigned() == static_cast<std::int32_t>(0x80020004U);
}

/// Until InitProperties or ReadProperties makes the native window, the members that need it
/// answer 0, false or "" and change nothing (FindItem too answers 0).
class UcComboBoxEx : private ComboWindowEvents {
public:
    /// `events` may be null (nobody listens).
    UcComboBoxEx(Platform& platform, ComboWindowFactory& windows, ComboSite& site,
                 ComboBoxExEvents* events = nullptr);
    ~UcComboBoxEx() override;
    UcComboBoxEx(const UcComboBoxEx&) = delete;
    UcComboBoxEx& operator=(const UcComboBoxEx&) = delete;

    // ---- container events: each of the first two ends by creating the native window ----
    void InitProperties();
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag);
    void Resize();

    // ---- public members, in their declared order ----
    std::int32_t get_SelLength();
    void put_SelLength(std::int32_t value);
    std::int32_t get_SelEnd();
    void put_SelEnd(std::int32_t value);
    std::int32_t get_SelStart();
    void put_SelStart(std::int32_t value);
    std::u16string get_SelText();
    std::int32_t get_Style();
    void put_Style(std::int32_t value);
    std::int32_t get_ImageSize();
    void put_ImageSize(std::int32_t value);
    std::int32_t get_ExtendedStyle();
    void put_ExtendedStyle(std::int32_t value);
    std::int32_t AddBitmap(std::uintptr_t hBitmap, const Variant& MaskColor = omitted());
    std::int32_t AddIcon(std::uintptr_t hIcon);
    /// Arguments left out are omitted().
    bool AddItem(const std::u16string& sText, const Variant& iIndexInsertBefore = omitted(),
                 const Variant& iIconIndex = omitted(), const Variant& iIconIndexSelected = omitted(),
                 const Variant& iItemData = omitted(), const Variant& iIndent = omitted());
    bool RemoveItem(std::int32_t iIndex);
    float get_DroppedWidth();
    void put_DroppedWidth(float value);
    std::int32_t get_DroppedHeight();
    void put_DroppedHeight(std::int32_t value);
    ComboFont get_Font() const;
    void put_Font(const ComboFont& font);
    std::int32_t get_NewIndex() const;
    bool get_Enabled() const;
    void put_Enabled(bool value);
    bool get_Dropped();
    void put_Dropped(bool value);
    std::int32_t get_ListCount();
    std::int32_t get_ListIndex();
    /// Throws ComError 381 ("Invalid property array index") for an index that is not an item.
    void put_ListIndex(std::int32_t value);
    std::u16string get_Text();
    void put_Text(const std::u16string& value);
    std::int32_t FindItem(const std::u16string& sText, const Variant& bExact = omitted());
    std::int32_t FindItem_Unicode(const std::u16string& sToFind, const Variant& bExactMatch = omitted());
    void Clear();
    std::int32_t get_ItemIndent(std::int32_t iIndex);
    void put_ItemIndent(std::int32_t iIndex, std::int32_t value);
    std::int32_t get_ItemIconIndex(std::int32_t iIndex);
    void put_ItemIconIndex(std::int32_t iIndex, std::int32_t value);
    std::int32_t get_ItemIconIndexSelected(std::int32_t iIndex);
    void put_ItemIconIndexSelected(std::int32_t iIndex, std::int32_t value);
    std::int32_t get_ItemData(std::int32_t iIndex);
    void put_ItemData(std::int32_t iIndex, std::int32_t value);
    std::u16string get_ItemText(std::int32_t iIndex);
    void put_ItemText(std::int32_t iIndex, const std::u16string& value);
    std::u16string get_List(std::int32_t iIndex);
    void put_List(std::int32_t iIndex, const std::u16string& value);
    std::int32_t get_MaxLength() const;
    void put_MaxLength(std::int32_t value);
    bool get_ExtendedUI() const;
    void put_ExtendedUI(bool value);
    bool get_Redraw() const;
    void put_Redraw(bool value);
    std::uintptr_t get_hWnd() const;
    std::uintptr_t get_hWndComboEx() const;
    std::uintptr_t get_hWndCombo() const;
    /// An image-list object is resolved by the COM shell into its handle before this call; any
    /// value that is neither a handle nor such an object raises 0x80040419.
    void put_ImageList(const Variant& value);

    /// The native window, for the platform layer and tests; null until created.
    ComboWindow* window() const noexcept { return window_.get(); }

private:
    bool onComboNotification(ComboNotification& n) override;
    void createWindow();
    /// The style the window is made with: 0, 1 or 2, any other stored value counting as 1.
    std::int32_t effectiveStyle() const noexcept;
    /// The control's height from the selection field (drop-down styles), then the window's size.
    void layout(bool fitHeight);
    void reportChange(const char16_t* name);
    /// The window and item `iIndex`, for the item field members; false without either.
    template <class T>
    T itemField(std::int32_t iIndex, T ComboItem::*field) const;
    template <class T>
    void setItemField(std::int32_t iIndex, T ComboItem::*field, const T& value);

    Platform& platform_;
    ComboWindowFactory& windows_;
    ComboSite& site_;
    ComboBoxExEvents* events_;
    std::unique_ptr<ComboWindow> window_;
    std::uintptr_t outsideImageList_ = 0;
    ComboFont font_;
    std::int32_t style_ = 1;
    std::int32_t extendedStyle_ = 3;
    std::int32_t imageSize_ = 16;
    std::int32_t droppedWidth_ = 0;
    std::int32_t droppedHeight_ = 160;
    std::int32_t maxLength_ = 0;
    bool extendedUI_ = false;
    bool redraw_ = false;
    bool enabled_ = true;
    std::int32_t newIndex_ = 0;
    bool inLayout_ = false; // the container may resize the control while it is laid out
};

} // namespace seg4
