// The combo control's native window on Windows: a real "ComboBoxEx32" inside a window of the
// control's own, driven with wide-character messages and watched through window interception.
#pragma once

#include "platform/combo_window.h"
#include "window_interception.h"

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>

namespace seg4 {

class Platform;

/// One control's windows: its own window (parent of the extended combo box), the extended combo
/// box, its combo child and, in the simple and drop-down styles, the edit field.
class Win32ComboWindow : public ComboWindow, private InterceptionClient {
public:
    /// Use Win32ComboWindowFactory; `parent` may be null (the control's window is then a hidden
    /// top-level window).
    Win32ComboWindow(Platform& platform, HINSTANCE instance, HWND parent, const ComboWindowSpec& spec,
                     ComboWindowEvents& events, std::function<void()> activate);
    ~Win32ComboWindow() override;
    Win32ComboWindow(const Win32ComboWindow&) = delete;
    Win32ComboWindow& operator=(const Win32ComboWindow&) = delete;

    /// False when a window could not be made (the factory then returns null).
    bool created() const noexcept { return comboEx_ != nullptr; }
    HWND editWindow() const noexcept { return edit_; }
    /// The dropped list window while it is known (after its first colour request), else null.
    HWND listWindow() const noexcept { return list_; }
    HIMAGELIST ownImageList() const noexcept { return images_; }
    HFONT font() const noexcept { return font_; }
    const WindowInterception* interception() const noexcept { return interception_.get(); }

    // ---- ComboWindow ----
    std::int32_t insertItem(std::int32_t position, const ComboItem& item) override;
    bool deleteItem(std::int32_t index) override;
    void clear() override;
    std::int32_t count() const override;
    std::optional<ComboItem> item(std::int32_t index) const override;
    bool setItem(std::int32_t index, const ComboItem& item) override;
    std::int32_t findString(const std::u16string& text, bool exact) const override;
    std::int32_t selection() const override;
    bool select(std::int32_t index) override;
    bool hasEditField() const override { return edit_ != nullptr; }
    std::u16string editText() const override;
    void setEditText(const std::u16string& text) override;
    std::int32_t selectionStart() const override;
    std::int32_t selectionEnd() const override;
    void setEditSelection(std::int32_t start, std::int32_t end) override;
    bool dropped() const override;
    void setDropped(bool dropped) override;
    void setDroppedWidth(std::int32_t pixels) override;
    void setMaxLength(std::int32_t chars) override;
    void setExtendedUI(bool on) override;
    void setRedraw(bool on) override;
    void setEnabled(bool on) override;
    void setFont(const ComboFont& font) override;
    std::int32_t selectionFieldHeight() const override;
    void layout(std::int32_t widthPixels, std::int32_t heightPixels) override;
    std::int32_t addBitmap(std::uintptr_t bitmap, std::int32_t maskColour) override;
    std::int32_t addIcon(std::uintptr_t icon) override;
    void attachImageList(std::uintptr_t imageList) override;
    std::uintptr_t controlWindow() const override { return reinterpret_cast<std::uintptr_t>(control_); }
    std::uintptr_t comboExWindow() const override { return reinterpret_cast<std::uintptr_t>(comboEx_); }
    std::uintptr_t comboWindow() const override { return reinterpret_cast<std::uintptr_t>(combo_); }

private:
    // Which of the control's windows a message was intercepted on (the interception's user value).
    enum Hooked : LONG_PTR { ControlHook = 1, ComboExHook, ComboHook, EditHook };

    void onInterceptedMessage(bool before, bool& handled, LRESULT& result, HWND window, UINT message,
                              WPARAM wParam, LPARAM lParam, LONG_PTR user) override;
    void intercept();
    void onCommand(WPARAM wParam, LPARAM lParam);
    void onNotify(const NMHDR& header);
    void onListColour(HWND list);
    bool onMouseActivate();
    void onControlFocus();
    /// Hands `n` to the owner; false when the owner destroyed this window meanwhile.
    bool notify(ComboNotification& n, bool* answer = nullptr);
    bool focusInside() const;

    /// The shell library is held from the control's start to its end, so that the system's
    /// image lists and icons a program hands the control stay valid while it shows them; it is
    /// released after the windows are gone.
    struct ShellLibrary {
        HMODULE module = LoadLibraryW(L"shell32.dll");
        ShellLibrary() = default;
        ~ShellLibrary() {
            if (module) FreeLibrary(module);
        }
        ShellLibrary(const ShellLibrary&) = delete;
        ShellLibrary& operator=(const ShellLibrary&) = delete;
    };

    ShellLibrary shell_;
    Platform& platform_;
    ComboWindowEvents& events_;
    std::function<void()> activate_;
    std::int32_t comboStyle_;
    HWND control_ = nullptr;
    HWND comboEx_ = nullptr;
    HWND combo_ = nullptr;
    HWND edit_ = nullptr;
    HWND list_ = nullptr;
    HIMAGELIST images_ = nullptr;
    HFONT font_ = nullptr;
    bool passingFocus_ = false;
    bool settingText_ = false;
    // A key on the combo child: the selection before it, and how many keys are being handled
    // (a handler may send another). A key that leaves the selection where it was changes nothing.
    LRESULT selectionBeforeKey_ = CB_ERR;
    int keysInProgress_ = 0;
    std::unique_ptr<WindowInterception> interception_;
    // Cleared by the destructor: a notification whose handler destroyed this window stops there.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

/// Makes Win32ComboWindow objects as children of one parent window.
class Win32ComboWindowFactory : public ComboWindowFactory {
public:
    /// `instance` registers the control window's class; `parent` (may be null) holds the
    /// control windows.
    Win32ComboWindowFactory(Platform& platform, HINSTANCE instance, HWND parent);
    std::unique_ptr<ComboWindow> create(const ComboWindowSpec& spec, ComboWindowEvents& events) override;
    void setParent(HWND parent) { parent_ = parent; }
    /// Called when the control must become the active object of its container: on a mouse
    /// activation while the focus is elsewhere, and when the native window gets the focus.
    /// Without one, the focus is simply moved into the control.
    void setActivationHandler(std::function<void()> activate) { activate_ = std::move(activate); }

private:
    Platform& platform_;
    HINSTANCE instance_;
    HWND parent_;
    std::function<void()> activate_;
};

} // namespace seg4
