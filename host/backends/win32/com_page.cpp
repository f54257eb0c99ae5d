#include "com_page.h"

#include "com_display.h"
#include "com_kit.h"
#include "window_reading.h"

#include "automation/errors.h"

#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include <ARM_7seg4.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qhost {

using seg4::com::ComPtr;
using win32::windowText;

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

/// The frame's side of the page. The session reads the changed flag from the page itself.
class PageSite final : public seg4::com::ComObject<PageSite, IPropertyPageSite> {
public:
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
        if (!lcid) return E_POINTER;
        *lcid = GetUserDefaultLCID();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
        if (container) *container = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

#pragma GCC diagnostic pop

/// The registered page as a frame shows it, in a hidden window of the session's own: what the
/// script reads comes from the page's child windows, and what the user does reaches them as the
/// messages a mouse or the keyboard would send.
class ComPage final : public PageSession {
public:
    ComPage(std::shared_ptr<Shared> shared, const std::vector<Display*>& selected)
        : shared_(std::move(shared)) {
        std::vector<IUnknown*> objects;
        for (Display* d : selected) objects.push_back(comObjectOf(*d));
        CallScope scope(*shared_);
        check(CoCreateInstance(CLSID_ppg7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                               page_.putVoid()));
        site_ = ComPtr<IPropertyPageSite>::adopt(PageSite::create());
        if (!site_) throw std::bad_alloc();
        check(page_->SetPageSite(site_.get()));
        const SIZE size = pageInfo().size;
        frame_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, size.cx, size.cy, nullptr, nullptr,
                                 nullptr, nullptr);
        if (!frame_)
            throw std::runtime_error("cannot make a window for the property page: " +
                                     systemMessage(GetLastError()));
        check(page_->SetObjects(static_cast<ULONG>(objects.size()), objects.data()));
        const RECT rect{0, 0, size.cx, size.cy};
        check(page_->Activate(frame_, &rect, TRUE));
        check(page_->Show(SW_SHOW));
        window_ = FindWindowExW(frame_, nullptr, seg4::com::kPageWindowClass, nullptr);
        if (!window_) throw std::runtime_error("the property page made no window");
    }

    ~ComPage() override {
        CallScope scope(*shared_);
        if (page_) {
            page_->Deactivate();
            page_->SetObjects(0, nullptr);
            page_->SetPageSite(nullptr);
            page_.reset();
        }
        if (frame_) DestroyWindow(frame_);
    }
    ComPage(const ComPage&) = delete;
    ComPage& operator=(const ComPage&) = delete;

    PageState state() override {
        namespace ids = seg4::com::page_ids;
        PageState s;
        s.caption = pageInfo().caption;
        s.version = windowText(child(ids::VersionLabel));
        s.colourLabel = label(child(ids::ColourLabel));
        s.sizeLabel = label(child(ids::SizeLabel));
        HWND list = comboEx();
        s.items = win32::comboExItemTexts(list);
        s.listIndex = static_cast<std::int32_t>(SendMessageW(list, CB_GETCURSEL, 0, 0));
        s.sizeText = windowText(child(ids::SizeText));
        s.scrollValue = scrollValue();
        for (int i = 0; i < 4; ++i) {
            HWND image = child(ids::PreviewFirst + i);
            if (!(GetWindowLongW(image, GWL_STYLE) & WS_VISIBLE)) continue; // the frame is hidden
            RECT r{};
            GetClientRect(image, &r);
            s.preview = i;
            s.previewWidthPixels = r.right - r.left;
            s.previewHeightPixels = r.bottom - r.top;
        }
        s.changed = page_->IsPageDirty() == S_OK;
        return s;
    }

    // A mouse pick in the dropped list: the list's selection moves, and the combo box tells its
    // parent, which tells the control.
    void pick(std::int32_t index) override {
        HWND list = comboEx();
        HWND combo = reinterpret_cast<HWND>(SendMessageW(list, CBEM_GETCOMBOCONTROL, 0, 0));
        if (!combo) return;
        CallScope scope(*shared_);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(list, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
    void scrollArrows(std::int32_t clicks) override { click(clicks, SB_LINEUP, SB_LINEDOWN); }
    void scrollPages(std::int32_t clicks) override { click(clicks, SB_PAGEUP, SB_PAGEDOWN); }
    // The thumb dragged: it goes no further than the bar's ends.
    void scrollTo(std::int32_t value) override {
        int min = 0, max = 0;
        HWND bar = child(seg4::com::page_ids::SizeScroll);
        GetScrollRange(bar, SB_CTL, &min, &max);
        const int position = min + max - std::clamp(value, min, max); // the top holds the largest value
        CallScope scope(*shared_);
        SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, position), reinterpret_cast<LPARAM>(bar));
        SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(bar));
        SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
    }
    void typeSize(const std::u16string& text) override {
        CallScope scope(*shared_);
        SetWindowTextW(child(seg4::com::page_ids::SizeText), wide(text).c_str());
    }
    bool apply() override {
        if (page_->IsPageDirty() != S_OK) return false;
        HRESULT hr = S_OK;
        {
            CallScope scope(*shared_);
            hr = page_->Apply();
        }
        check(hr);
        return true;
    }

    // The colour list is the module's own combo control, which the module does not expose: what
    // its members do is done here with the messages they send its extended combo box window.
    ComboListState comboList() override {
        HWND list = comboEx();
        ComboListState s;
        s.style = static_cast<std::int32_t>(GetWindowLongW(list, GWL_STYLE) & 3) - 1; // CBS_SIMPLE is 1
        s.extendedStyle = static_cast<std::int32_t>(SendMessageW(list, CBEM_GETEXTENDEDSTYLE, 0, 0) & 3);
        s.listIndex = static_cast<std::int32_t>(SendMessageW(list, CB_GETCURSEL, 0, 0));
        const std::vector<std::u16string> texts = win32::comboExItemTexts(list);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            COMBOBOXEXITEMW record{};
            record.mask = CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_OVERLAY | CBEIF_INDENT | CBEIF_LPARAM;
            record.iItem = static_cast<INT_PTR>(i);
            SendMessageW(list, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&record));
            s.items.push_back({texts[i], record.iImage, record.iSelectedImage, record.iOverlay,
                               record.iIndent, static_cast<std::int32_t>(record.lParam)});
        }
        return s;
    }
    std::int32_t comboAdd(const ComboAddition& a) override {
        std::wstring text = wide(a.text);
        COMBOBOXEXITEMW record{};
        // As AddItem fills it: the overlay -1 is left out of the mask, so the window keeps none.
        record.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_INDENT | CBEIF_LPARAM;
        record.iOverlay = -1;
        record.iItem = std::max(a.before.value_or(-1), -1);
        record.pszText = text.data();
        record.cchTextMax = static_cast<int>(text.size() + 1);
        record.iImage = a.image.value_or(-1);
        record.iSelectedImage = a.selectedImage.value_or(-1) < 0 ? record.iImage : *a.selectedImage;
        record.iIndent = a.indent.value_or(0);
        record.lParam = a.data.value_or(0);
        CallScope scope(*shared_);
        const auto index = SendMessageW(comboEx(), CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&record));
        return index < 0 ? -1 : static_cast<std::int32_t>(index);
    }
    std::int32_t comboFind(const std::u16string& text, bool exact) override {
        HWND list = comboEx();
        std::wstring wanted = wide(decodeAnsi(encodeAnsi(text))); // the search takes 8-bit text
        if (exact) {
            const auto found =
                SendMessageW(list, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(wanted.c_str()));
            return found < 0 ? -1 : static_cast<std::int32_t>(found);
        }
        // The extended combo box answers only the exact search; the prefix search runs over the
        // items from the second round to the first, upper-cased as the system does.
        CharUpperBuffW(wanted.data(), static_cast<DWORD>(wanted.size()));
        const std::vector<std::u16string> texts = win32::comboExItemTexts(list);
        const std::size_t n = texts.size();
        for (std::size_t k = 1; k <= n; ++k) {
            const std::size_t i = k % n;
            if (texts[i].size() < wanted.size()) continue;
            std::wstring head = wide(texts[i].substr(0, wanted.size()));
            CharUpperBuffW(head.data(), static_cast<DWORD>(head.size()));
            if (head == wanted) return static_cast<std::int32_t>(i);
        }
        return -1;
    }
    void comboSelect(std::int32_t index) override {
        CallScope scope(*shared_);
        // The control's ListIndex takes an item or -1 and refuses the rest before its window
        // sees them (the window itself would clear the selection for any index it lacks).
        const auto count = static_cast<std::int32_t>(SendMessageW(comboEx(), CB_GETCOUNT, 0, 0));
        if (index != -1 && (index < 0 || index >= count))
            seg4::raise(seg4::hr::InvalidPropertyArrayIndex,
                        seg4::describeHResult(seg4::hr::InvalidPropertyArrayIndex));
        SendMessageW(comboEx(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    // The key reaches the window the user types in (the edit field, else the combo child), with
    // the modifier keys held as the keyboard state says; what it posts is handled before the answer.
    void comboKey(std::int16_t code, std::int16_t shift) override {
        HWND list = comboEx();
        HWND edit = reinterpret_cast<HWND>(SendMessageW(list, CBEM_GETEDITCONTROL, 0, 0));
        HWND target = edit ? edit : reinterpret_cast<HWND>(SendMessageW(list, CBEM_GETCOMBOCONTROL, 0, 0));
        if (!target) return;
        BYTE keys[256] = {};
        keys[VK_SHIFT] = shift & 1 ? 0x80 : 0;
        keys[VK_CONTROL] = shift & 2 ? 0x80 : 0;
        keys[VK_MENU] = shift & 4 ? 0x80 : 0;
        SetKeyboardState(keys);
        {
            CallScope scope(*shared_);
            // With Alt held the system sends the key as a system key, flagged with the Alt bit.
            const bool alt = (shift & 4) != 0;
            const LPARAM altBit = alt ? 0x20000000 : 0;
            SendMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(code), altBit);
            SendMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(code),
                         static_cast<LPARAM>(0xC0000000) | altBit);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        keys[VK_SHIFT] = keys[VK_CONTROL] = keys[VK_MENU] = 0;
        SetKeyboardState(keys);
    }

    // The control raises its events inside the module, to the page: the module hands them over.
    std::u16string comboEvents() override {
        using Function = HRESULT(WINAPI*)(IUnknown*, LPWSTR, UINT, UINT*);
        const void* code = *reinterpret_cast<void* const*>(page_.get()); // the interface's vtable
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<LPCWSTR>(code), &module))
            throw std::runtime_error("cannot find the property page's module");
        const auto events = reinterpret_cast<Function>(
            reinterpret_cast<void*>(GetProcAddress(module, "Seg4PageComboEvents")));
        if (!events)
            throw std::runtime_error("the property page's module does not hand over its list's events");
        UINT length = 0;
        std::wstring text;
        HRESULT hr = events(page_.get(), nullptr, 0, &length);
        while (hr == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)) {
            text.assign(length + 1, L'\0');
            hr = events(page_.get(), text.data(), length + 1, &length);
        }
        check(hr);
        text.resize(length);
        return fromWide(text);
    }

private:
    struct Info {
        std::u16string caption;
        SIZE size{};
    };

    Info pageInfo() {
        PROPPAGEINFO info{};
        info.cb = sizeof info;
        check(page_->GetPageInfo(&info));
        Info out{info.pszTitle ? fromWide(info.pszTitle) : std::u16string(), info.size};
        CoTaskMemFree(info.pszTitle);
        CoTaskMemFree(info.pszDocString);
        CoTaskMemFree(info.pszHelpFile);
        return out;
    }

    HWND child(int id) const { return GetDlgItem(window_, id); }
    HWND comboEx() const {
        return FindWindowExW(child(seg4::com::page_ids::ColourList), nullptr, WC_COMBOBOXEXW, nullptr);
    }
    int scrollValue() const {
        HWND bar = child(seg4::com::page_ids::SizeScroll);
        int min = 0, max = 0;
        GetScrollRange(bar, SB_CTL, &min, &max);
        return min + max - GetScrollPos(bar, SB_CTL);
    }

    /// A label's caption and font: face and character set from the window's font, the size in
    /// points as the page gave it (the font itself holds it in whole pixels).
    static PageLabelState label(HWND hwnd) {
        PageLabelState l;
        l.caption = windowText(hwnd);
        LOGFONTW font{};
        if (auto handle = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
            handle && GetObjectW(handle, sizeof font, &font) == sizeof font) {
            l.fontFace = fromWide(font.lfFaceName);
            l.charset = font.lfCharSet;
        }
        const auto bits = reinterpret_cast<std::uintptr_t>(GetPropW(hwnd, seg4::com::kFontPointsProperty));
        static_assert(sizeof bits == sizeof l.fontPoints);
        std::memcpy(&l.fontPoints, &bits, sizeof bits);
        return l;
    }

    /// Clicks one after another; past the bar's span every further click does nothing.
    void click(std::int32_t clicks, WORD up, WORD down) {
        HWND bar = child(seg4::com::page_ids::SizeScroll);
        int min = 0, max = 0;
        GetScrollRange(bar, SB_CTL, &min, &max);
        const std::int64_t count =
            std::min<std::int64_t>(std::llabs(clicks), static_cast<std::int64_t>(max) - min + 1);
        CallScope scope(*shared_);
        for (std::int64_t i = 0; i < count; ++i) {
            SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(clicks > 0 ? up : down, 0),
                         reinterpret_cast<LPARAM>(bar));
            SendMessageW(window_, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
        }
    }

    std::shared_ptr<Shared> shared_;
    ComPtr<IPropertyPage> page_;
    ComPtr<IPropertyPageSite> site_;
    HWND frame_ = nullptr;
    HWND window_ = nullptr;
};

} // namespace

std::unique_ptr<PageSession> openComPage(std::shared_ptr<Shared> shared,
                                         const std::vector<Display*>& selected) {
    return std::make_unique<ComPage>(std::move(shared), selected);
}

} // namespace qhost
