// The extended combo box window of the combo control, over the common controls' "ComboBoxEx32".
//
// [SECTION] creation and termination
// [SECTION] items and selection
// [SECTION] the edit field and the window
// [SECTION] intercepted messages
// [SECTION] factory
#include "win32_combo_window.h"

#include "platform/platform.h"

#include <cmath>
#include <cstring>
#include <string>

namespace seg4 {

namespace {

constexpr wchar_t controlClass[] = L"Seg4ComboControl";
constexpr DWORD comboExStyle = 0x40000040; // WS_CHILD | CBS_AUTOHSCROLL
constexpr UINT_PTR comboExId = 1;
constexpr int itemsDropped = 8; // the drop-down list shows eight items
constexpr UINT itemMask =
    CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT | CBEIF_LPARAM; // 0x37

std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string narrow(const wchar_t* s, std::size_t n) { return std::u16string(s, s + n); }

void initCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    controls.dwICC = ICC_USEREX_CLASSES; // 0x200: the extended combo box
    InitCommonControlsEx(&controls);
}

void registerControlClass(HINSTANCE instance) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = DefWindowProcW; // everything the control does comes through interception
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = controlClass;
    RegisterClassExW(&cls); // a second registration fails harmlessly: the class is there
}

std::int16_t shiftState() {
    std::int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

} // namespace

// ---- [SECTION] creation and termination ----

Win32ComboWindow::Win32ComboWindow(Platform& platform, HINSTANCE instance, HWND parent,
                                   const ComboWindowSpec& spec, ComboWindowEvents& events,
                                   std::function<void()> activate)
    : platform_(platform), events_(events), activate_(std::move(activate)),
      comboStyle_(spec.comboStyle >= CBS_SIMPLE && spec.comboStyle <= CBS_DROPDOWNLIST ? spec.comboStyle
                                                                                       : CBS_DROPDOWN) {
    initCommonControls();
    registerControlClass(instance);
    const int width = spec.widthPixels > 0 ? spec.widthPixels : 0;
    const int height = spec.heightPixels > 0 ? spec.heightPixels : 0;
    // The control itself is an eighth of the window's height: the rest is room for the list.
    const DWORD ownStyle = parent ? WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN : WS_POPUP | WS_CLIPCHILDREN;
    control_ = CreateWindowExW(WS_EX_CONTROLPARENT, controlClass, L"", ownStyle, 0, 0, width,
                               height / itemsDropped, parent, nullptr, instance, nullptr);
    if (!control_) return;
    comboEx_ =
        CreateWindowExW(0, WC_COMBOBOXEXW, L"", comboExStyle | static_cast<DWORD>(comboStyle_), 0, 0, width,
                        height, control_, reinterpret_cast<HMENU>(comboExId), instance, nullptr);
    if (!comboEx_) {
        DestroyWindow(control_);
        control_ = nullptr;
        return;
    }
    SendMessageW(comboEx_, CBEM_SETUNICODEFORMAT, TRUE, 0);

    // The children are found in design mode too, so that the text limit and the edit field's
    // members work while the container is designed.
    combo_ = reinterpret_cast<HWND>(SendMessageW(comboEx_, CBEM_GETCOMBOCONTROL, 0, 0));
    if (comboStyle_ == CBS_DROPDOWN)
        edit_ = reinterpret_cast<HWND>(SendMessageW(comboEx_, CBEM_GETEDITCONTROL, 0, 0));
    if (comboStyle_ == CBS_SIMPLE) {
        edit_ = combo_ ? FindWindowExW(combo_, nullptr, L"Edit", nullptr) : nullptr;
        if (!edit_) edit_ = FindWindowExW(comboEx_, nullptr, L"Edit", nullptr);
        if (!edit_) edit_ = reinterpret_cast<HWND>(SendMessageW(comboEx_, CBEM_GETEDITCONTROL, 0, 0));
    }
    if (!spec.designMode) intercept();

    const int imageSize = spec.imageSize > 0 ? spec.imageSize : 0;
    images_ = ImageList_Create(imageSize, imageSize, 255, 0, 0);
    const int extended = spec.extendedStyle & 3;
    SendMessageW(comboEx_, CBEM_SETEXTENDEDSTYLE, 0, extended);
    if (extended != CBES_EX_NOEDITIMAGEINDENT && images_)
        SendMessageW(comboEx_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    ShowWindow(comboEx_, SW_SHOW);
}

Win32ComboWindow::~Win32ComboWindow() {
    *alive_ = false;
    // Interception first, so that nothing reaches the owner while the windows go.
    interception_.reset();
    if (images_) {
        if (IsWindow(comboEx_)) SendMessageW(comboEx_, CBEM_SETIMAGELIST, 0, 0);
        ImageList_Destroy(images_);
    }
    if (font_) {
        if (IsWindow(comboEx_)) SendMessageW(comboEx_, WM_SETFONT, 0, FALSE);
        DeleteObject(font_);
    }
    for (HWND window : {combo_, edit_, comboEx_, control_})
        if (window && IsWindow(window)) DestroyWindow(window);
}

void Win32ComboWindow::intercept() {
    interception_ = std::make_unique<WindowInterception>(platform_, static_cast<InterceptionClient&>(*this));
    auto& in = *interception_;
    using interception::PhaseAfter;
    using interception::PhaseBefore;
    // A refused registration leaves the control without that message, and it keeps working.
    if (in.ssc_Subclass(control_, ControlHook)) {
        in.ssc_AddMessage(control_, WM_NOTIFY, PhaseBefore);
        in.ssc_AddMessage(control_, WM_COMMAND, PhaseBefore);
        in.ssc_AddMessage(control_, WM_SETFOCUS, PhaseAfter);
        in.ssc_AddMessage(control_, WM_SIZE, PhaseAfter);
    }
    if (in.ssc_Subclass(comboEx_, ComboExHook)) in.ssc_AddMessage(comboEx_, WM_CTLCOLORLISTBOX, PhaseAfter);
    if (combo_ && in.ssc_Subclass(combo_, ComboHook)) {
        in.ssc_AddMessage(combo_, WM_MOUSEACTIVATE, PhaseBefore);
        in.ssc_AddMessage(combo_, WM_SETFOCUS, PhaseAfter);
        in.ssc_AddMessage(combo_, WM_KEYDOWN, interception::PhaseBoth);
        in.ssc_AddMessage(combo_, WM_SYSKEYDOWN, interception::PhaseBoth);
    }
    if (edit_ && in.ssc_Subclass(edit_, EditHook)) {
        in.ssc_AddMessage(edit_, WM_MOUSEACTIVATE, PhaseBefore);
        in.ssc_AddMessage(edit_, WM_KEYDOWN, PhaseBefore);
        in.ssc_AddMessage(edit_, WM_SETFOCUS, PhaseAfter);
        in.ssc_AddMessage(edit_, WM_KEYUP, PhaseAfter);
    }
}

// ---- [SECTION] items and selection ----

namespace {

/// The window's record of `item` at `index`; `text` (the item's text, wide) must outlive it.
COMBOBOXEXITEMW itemRecord(int index, const ComboItem& item, std::wstring& text) {
    COMBOBOXEXITEMW record{};
    record.mask = itemMask;
    record.iItem = index;
    record.pszText = text.data();
    record.cchTextMax = static_cast<int>(text.size() + 1);
    record.iImage = item.image;
    record.iSelectedImage = item.selectedImage;
    record.iOverlay = item.overlay;
    record.iIndent = item.indent;
    record.lParam = item.data;
    return record;
}

} // namespace

std::int32_t Win32ComboWindow::insertItem(std::int32_t position, const ComboItem& item) {
    std::wstring text = wide(item.text);
    COMBOBOXEXITEMW record = itemRecord(position < -1 ? -1 : position, item, text);
    const auto index = SendMessageW(comboEx_, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&record));
    return index < 0 ? -1 : static_cast<std::int32_t>(index);
}

bool Win32ComboWindow::deleteItem(std::int32_t index) {
    if (index < 0 || index >= count()) return false;
    return SendMessageW(comboEx_, CBEM_DELETEITEM, static_cast<WPARAM>(index), 0) != CB_ERR;
}

void Win32ComboWindow::clear() { SendMessageW(comboEx_, CB_RESETCONTENT, 0, 0); }

std::int32_t Win32ComboWindow::count() const {
    const auto n = SendMessageW(comboEx_, CB_GETCOUNT, 0, 0);
    return n < 0 ? 0 : static_cast<std::int32_t>(n);
}

std::optional<ComboItem> Win32ComboWindow::item(std::int32_t index) const {
    if (index < 0 || index >= count()) return std::nullopt;
    // The window copies at most the buffer's length: grow it until the text fits with room.
    for (std::size_t size = 256; size <= (std::size_t{1} << 20); size *= 4) {
        std::wstring buffer(size, L'\0');
        COMBOBOXEXITEMW record{};
        record.mask = itemMask | CBEIF_OVERLAY; // the overlay is read, though never set
        record.iItem = index;
        record.pszText = buffer.data();
        record.cchTextMax = static_cast<int>(size);
        if (!SendMessageW(comboEx_, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&record))) return std::nullopt;
        const wchar_t* text = record.pszText ? record.pszText : L"";
        const std::size_t length = wcsnlen(text, size);
        if (length + 1 >= size && text == buffer.data()) continue;
        ComboItem out;
        out.text = narrow(text, length);
        out.image = record.iImage;
        out.selectedImage = record.iSelectedImage;
        out.overlay = record.iOverlay;
        out.indent = record.iIndent;
        out.data = static_cast<std::int32_t>(record.lParam);
        return out;
    }
    return std::nullopt;
}

bool Win32ComboWindow::setItem(std::int32_t index, const ComboItem& item) {
    // Index -1 would change the edit field's own item: only list items are set here.
    if (index < 0 || index >= count()) return false;
    std::wstring text = wide(item.text);
    COMBOBOXEXITEMW record = itemRecord(index, item, text);
    return SendMessageW(comboEx_, CBEM_SETITEMW, 0, reinterpret_cast<LPARAM>(&record)) != 0;
}

std::int32_t Win32ComboWindow::findString(const std::u16string& text, bool exact) const {
    // Start index 0: the search begins after item 0 and comes round to it last.
    std::wstring wanted = wide(text);
    if (exact) {
        const auto found =
            SendMessageW(comboEx_, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(wanted.c_str()));
        return found < 0 ? -1 : static_cast<std::int32_t>(found);
    }
    // The extended combo box answers only the exact search itself (its combo child keeps no
    // texts), so the prefix search runs over the items in the same order, with the system's
    // upper-casing for both sides.
    CharUpperBuffW(wanted.data(), static_cast<DWORD>(wanted.size()));
    const std::int32_t n = count();
    for (std::int32_t k = 1; k <= n; ++k) {
        const std::int32_t i = k % n;
        const auto candidate = item(i);
        if (!candidate || candidate->text.size() < wanted.size()) continue;
        std::wstring head = wide(candidate->text.substr(0, wanted.size()));
        CharUpperBuffW(head.data(), static_cast<DWORD>(head.size()));
        if (head == wanted) return i;
    }
    return -1;
}

std::int32_t Win32ComboWindow::selection() const {
    const auto index = SendMessageW(comboEx_, CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : static_cast<std::int32_t>(index);
}

bool Win32ComboWindow::select(std::int32_t index) {
    if (index == -1) {
        SendMessageW(comboEx_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return true;
    }
    if (index < 0 || index >= count()) {
        // A combo box clears its selection when asked for an item it does not have; not every
        // extended combo box does, so it is cleared here.
        SendMessageW(comboEx_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return false;
    }
    return SendMessageW(comboEx_, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == index;
}

// ---- [SECTION] the edit field and the window ----

std::u16string Win32ComboWindow::editText() const {
    if (!edit_) return {};
    const int length = GetWindowTextLengthW(edit_);
    if (length <= 0) return {};
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = GetWindowTextW(edit_, buffer.data(), length + 1);
    return narrow(buffer.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

void Win32ComboWindow::setEditText(const std::u16string& text) {
    if (!edit_) return;
    // The owner's own change is no user's edit: the change notification it causes is dropped.
    const std::shared_ptr<bool> alive = alive_;
    settingText_ = true;
    SetWindowTextW(edit_, wide(text).c_str());
    if (*alive) settingText_ = false;
}

std::int32_t Win32ComboWindow::selectionStart() const {
    if (!edit_) return 0;
    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<std::int32_t>(start);
}

std::int32_t Win32ComboWindow::selectionEnd() const {
    if (!edit_) return 0;
    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<std::int32_t>(end);
}

void Win32ComboWindow::setEditSelection(std::int32_t start, std::int32_t end) {
    if (edit_) SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

bool Win32ComboWindow::dropped() const { return SendMessageW(comboEx_, CB_GETDROPPEDSTATE, 0, 0) != 0; }

void Win32ComboWindow::setDropped(bool dropped) { SendMessageW(comboEx_, CB_SHOWDROPDOWN, dropped, 0); }

void Win32ComboWindow::setDroppedWidth(std::int32_t pixels) {
    SendMessageW(comboEx_, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(pixels < 0 ? 0 : pixels), 0);
}

void Win32ComboWindow::setMaxLength(std::int32_t chars) {
    const auto limit = static_cast<WPARAM>(chars < 0 ? 0 : chars);
    SendMessageW(comboEx_, CB_LIMITTEXT, limit, 0);
    // The extended combo box keeps an edit field of its own, which the combo's limit misses.
    if (edit_) SendMessageW(edit_, EM_SETLIMITTEXT, limit, 0);
}

void Win32ComboWindow::setExtendedUI(bool on) { SendMessageW(comboEx_, CB_SETEXTENDEDUI, on, 0); }

void Win32ComboWindow::setRedraw(bool on) {
    SendMessageW(comboEx_, WM_SETREDRAW, on, 0);
    if (on) InvalidateRect(comboEx_, nullptr, TRUE);
}

void Win32ComboWindow::setEnabled(bool on) { EnableWindow(comboEx_, on); }

void Win32ComboWindow::setFont(const ComboFont& font) {
    LOGFONTW description{};
    description.lfHeight = -static_cast<LONG>(std::lround(font.points * platform_.pixelsPerInchY() / 72.0));
    description.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    description.lfItalic = font.italic;
    description.lfUnderline = font.underline;
    description.lfStrikeOut = font.strikethrough;
    description.lfCharSet = static_cast<BYTE>(font.charset & 0xFF);
    const std::wstring face = wide(font.face).substr(0, LF_FACESIZE - 1);
    std::memcpy(description.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
    HFONT made = CreateFontIndirectW(&description);
    if (!made) return; // the window keeps the font it has
    SendMessageW(comboEx_, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    if (font_) DeleteObject(font_);
    font_ = made;
}

std::int32_t Win32ComboWindow::selectionFieldHeight() const {
    const auto height = SendMessageW(comboEx_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    return height < 0 ? 0 : static_cast<std::int32_t>(height);
}

void Win32ComboWindow::layout(std::int32_t widthPixels, std::int32_t heightPixels) {
    const int width = widthPixels > 0 ? widthPixels : 0;
    const int height = heightPixels > 0 ? heightPixels : 0;
    RECT client{};
    GetClientRect(control_, &client);
    // The control's window follows the size its owner gives it (the resize comes back as a
    // size notification, which lays out the same size again and stops there).
    if (client.right != width || client.bottom != height) {
        SetWindowPos(control_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetClientRect(control_, &client);
    }
    MoveWindow(comboEx_, 0, 0, client.right, client.bottom, TRUE);
    if (!combo_) return;
    if (comboStyle_ == CBS_SIMPLE) {
        MoveWindow(combo_, 0, 0, client.right, client.bottom, TRUE);
        return;
    }
    const auto itemHeight = SendMessageW(comboEx_, CB_GETITEMHEIGHT, 0, 0);
    const int listHeight = itemsDropped * static_cast<int>(itemHeight > 0 ? itemHeight : 0);
    MoveWindow(combo_, 0, 0, client.right, client.bottom + 2 + listHeight, TRUE);
}

std::int32_t Win32ComboWindow::addBitmap(std::uintptr_t bitmap, std::int32_t maskColour) {
    if (!images_) return 0;
    auto* hbm = reinterpret_cast<HBITMAP>(bitmap);
    return maskColour == -1 ? ImageList_Add(images_, hbm, nullptr)
                            : ImageList_AddMasked(images_, hbm, static_cast<COLORREF>(maskColour));
}

std::int32_t Win32ComboWindow::addIcon(std::uintptr_t icon) {
    if (!images_) return 0;
    return ImageList_ReplaceIcon(images_, -1, reinterpret_cast<HICON>(icon));
}

void Win32ComboWindow::attachImageList(std::uintptr_t imageList) {
    SendMessageW(comboEx_, CBEM_SETIMAGELIST, 0, static_cast<LPARAM>(imageList));
}

// ---- [SECTION] intercepted messages ----

bool Win32ComboWindow::notify(ComboNotification& n, bool* answer) {
    const std::shared_ptr<bool> alive = alive_;
    const bool result = events_.onComboNotification(n);
    if (!*alive) return false;
    if (answer) *answer = result;
    return true;
}

bool Win32ComboWindow::focusInside() const {
    HWND focus = GetFocus();
    return focus && (focus == control_ || IsChild(control_, focus));
}

void Win32ComboWindow::onInterceptedMessage(bool before, bool& handled, LRESULT& result, HWND window,
                                            UINT message, WPARAM wParam, LPARAM lParam, LONG_PTR user) {
    (void)window;
    switch (user) {
    case ControlHook:
        if (message == WM_COMMAND || message == WM_NOTIFY) {
            handled = true;
            result = 0;
            if (message == WM_COMMAND)
                onCommand(wParam, lParam);
            else if (lParam)
                onNotify(*reinterpret_cast<const NMHDR*>(lParam));
        } else if (message == WM_SETFOCUS) {
            onControlFocus();
        } else if (message == WM_SIZE) {
            ComboNotification n;
            n.kind = ComboNotificationKind::Resized;
            notify(n);
        }
        break;
    case ComboExHook:
        if (message == WM_CTLCOLORLISTBOX) onListColour(reinterpret_cast<HWND>(lParam));
        break;
    case ComboHook:
    case EditHook:
        if (message == WM_MOUSEACTIVATE && before) {
            if (onMouseActivate()) {
                handled = true;
                result = MA_NOACTIVATE;
            }
        } else if (message == WM_SETFOCUS) {
            if (activate_ && !passingFocus_) activate_();
        } else if ((message == WM_KEYDOWN || message == WM_SYSKEYDOWN) && user == ComboHook) {
            if (before) {
                if (keysInProgress_++ == 0) selectionBeforeKey_ = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
            } else if (keysInProgress_ > 0) {
                --keysInProgress_;
            }
        } else if ((message == WM_KEYDOWN || message == WM_KEYUP) && user == EditHook) {
            // The key goes on to the edit field as typed: a code changed by a handler is not
            // passed back to the window.
            ComboNotification n;
            n.kind = message == WM_KEYDOWN ? ComboNotificationKind::KeyDown : ComboNotificationKind::KeyUp;
            n.keyCode = static_cast<std::int16_t>(wParam & 0xFF);
            n.shift = shiftState();
            notify(n);
        }
        break;
    default: break;
    }
}

void Win32ComboWindow::onCommand(WPARAM wParam, LPARAM lParam) {
    const auto from = reinterpret_cast<HWND>(lParam);
    if (!from || (from != comboEx_ && from != combo_)) return;
    ComboNotification n;
    switch (HIWORD(wParam)) {
    case CBN_SELCHANGE:
        // Some systems' lists report a selection change for a key that moved nothing (Up on the
        // first item, End on the last); the control raises events only for a real change.
        if (keysInProgress_ > 0 && combo_ && SendMessageW(combo_, CB_GETCURSEL, 0, 0) == selectionBeforeKey_)
            return;
        n.kind = ComboNotificationKind::SelectionChanged;
        break;
    case CBN_EDITCHANGE:
        // Only the combo child's own identifier counts: other edit changes are echoes.
        if (settingText_ || !combo_ || LOWORD(wParam) != (GetDlgCtrlID(combo_) & 0xFFFF)) return;
        n.kind = ComboNotificationKind::EditChanged;
        break;
    case CBN_DROPDOWN: n.kind = ComboNotificationKind::DroppedDown; break;
    case CBN_CLOSEUP:
        list_ = nullptr;
        n.kind = ComboNotificationKind::ClosedUp;
        break;
    default: return;
    }
    notify(n);
}

void Win32ComboWindow::onNotify(const NMHDR& header) {
    if (header.hwndFrom != comboEx_) return;
    ComboNotification n;
    switch (header.code) {
    case CBEN_BEGINEDIT: n.kind = ComboNotificationKind::BeginEdit; break;
    case CBEN_ENDEDITW: {
        // The layout follows the code; once the window sends wide notifications it is this one.
        NMCBEENDEDITW record;
        std::memcpy(&record, &header, sizeof record);
        n.kind = ComboNotificationKind::EndEdit;
        n.editChanged = record.fChanged != FALSE;
        n.newIndex = record.iNewSelection;
        n.text = narrow(record.szText, wcsnlen(record.szText, CBEMAXSTRLEN));
        n.why = record.iWhy;
        break;
    }
    case CBEN_ENDEDITA: {
        NMCBEENDEDITA record;
        std::memcpy(&record, &header, sizeof record);
        n.kind = ComboNotificationKind::EndEdit;
        n.editChanged = record.fChanged != FALSE;
        n.newIndex = record.iNewSelection;
        n.text = platform_.decodeAnsi(std::string_view(record.szText, strnlen(record.szText, CBEMAXSTRLEN)),
                                      platform_.systemAnsiCodePage());
        n.why = record.iWhy;
        break;
    }
    default: return;
    }
    notify(n);
}

void Win32ComboWindow::onListColour(HWND list) {
    // The first colour request of a dropped list: the owner may move or resize it.
    if (list_ || !list || comboStyle_ == CBS_SIMPLE) return;
    list_ = list;
    RECT r{};
    GetWindowRect(list, &r);
    ComboNotification n;
    n.kind = ComboNotificationKind::ListFirstShown;
    n.left = r.left;
    n.top = r.top;
    n.right = r.right;
    n.bottom = r.bottom;
    bool move = false;
    if (!notify(n, &move)) return;
    if (move) MoveWindow(list, n.left, n.top, n.right - n.left, n.bottom - n.top, TRUE);
    if (edit_) SetFocus(edit_);
}

bool Win32ComboWindow::onMouseActivate() {
    if (focusInside()) return false;
    if (activate_) {
        activate_();
    } else {
        SetFocus(control_); // passed on to the native window
    }
    return true;
}

void Win32ComboWindow::onControlFocus() {
    if (passingFocus_) return;
    const std::shared_ptr<bool> alive = alive_;
    passingFocus_ = true;
    SetFocus(comboEx_);
    if (*alive) passingFocus_ = false;
}

// ---- [SECTION] factory ----

Win32ComboWindowFactory::Win32ComboWindowFactory(Platform& platform, HINSTANCE instance, HWND parent)
    : platform_(platform), instance_(instance), parent_(parent) {}

std::unique_ptr<ComboWindow> Win32ComboWindowFactory::create(const ComboWindowSpec& spec,
                                                             ComboWindowEvents& events) {
    auto window = std::make_unique<Win32ComboWindow>(platform_, instance_, parent_, spec, events, activate_);
    if (!window->created()) return nullptr;
    return window;
}

} // namespace seg4
