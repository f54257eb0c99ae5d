// The page window of the property page: its window classes, its child windows and what the
// page does with their messages; the colour list's windows report every notification to it.
#include "property_page_window.h"
#include "property_page.h"

#include "automation/errors.h"
#include "display/compositor.h"
#include "display/pictures.h"
#include "facets.h"
#include "frame_dib.h"
#include "module.h"
#include "win32_combo_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>

namespace seg4::com {

namespace {

// ---- the colour list's windows: every notification brings the page's windows up to date ----

/// Passes each notification of a colour list window to the list, then lets the page redraw
/// what the list's events changed in the model (the preview, after a pick).
class NotifyingEvents final : public ComboWindowEvents {
public:
    NotifyingEvents(ComboWindowEvents& inner, std::function<void()> after)
        : inner_(inner), after_(std::move(after)) {}
    bool onComboNotification(ComboNotification& n) override {
        const bool result = inner_.onComboNotification(n);
        after_();
        return result;
    }

private:
    ComboWindowEvents& inner_;
    std::function<void()> after_;
};

class NotifyingWindow final : public ComboWindow {
public:
    NotifyingWindow(std::unique_ptr<NotifyingEvents> events, std::unique_ptr<ComboWindow> inner)
        : events_(std::move(events)), inner_(std::move(inner)) {}
    std::int32_t insertItem(std::int32_t position, const ComboItem& item) override {
        return inner_->insertItem(position, item);
    }
    bool deleteItem(std::int32_t index) override { return inner_->deleteItem(index); }
    void clear() override { inner_->clear(); }
    std::int32_t count() const override { return inner_->count(); }
    std::optional<ComboItem> item(std::int32_t index) const override { return inner_->item(index); }
    bool setItem(std::int32_t index, const ComboItem& item) override { return inner_->setItem(index, item); }
    std::int32_t findString(const std::u16string& text, bool exact) const override {
        return inner_->findString(text, exact);
    }
    std::int32_t selection() const override { return inner_->selection(); }
    bool select(std::int32_t index) override { return inner_->select(index); }
    bool hasEditField() const override { return inner_->hasEditField(); }
    std::u16string editText() const override { return inner_->editText(); }
    void setEditText(const std::u16string& text) override { inner_->setEditText(text); }
    std::int32_t selectionStart() const override { return inner_->selectionStart(); }
    std::int32_t selectionEnd() const override { return inner_->selectionEnd(); }
    void setEditSelection(std::int32_t start, std::int32_t end) override {
        inner_->setEditSelection(start, end);
    }
    bool dropped() const override { return inner_->dropped(); }
    void setDropped(bool dropped) override { inner_->setDropped(dropped); }
    void setDroppedWidth(std::int32_t pixels) override { inner_->setDroppedWidth(pixels); }
    void setMaxLength(std::int32_t chars) override { inner_->setMaxLength(chars); }
    void setExtendedUI(bool on) override { inner_->setExtendedUI(on); }
    void setRedraw(bool on) override { inner_->setRedraw(on); }
    void setEnabled(bool on) override { inner_->setEnabled(on); }
    void setFont(const ComboFont& font) override { inner_->setFont(font); }
    std::int32_t selectionFieldHeight() const override { return inner_->selectionFieldHeight(); }
    void layout(std::int32_t widthPixels, std::int32_t heightPixels) override {
        inner_->layout(widthPixels, heightPixels);
    }
    std::int32_t addBitmap(std::uintptr_t bitmap, std::int32_t maskColour) override {
        return inner_->addBitmap(bitmap, maskColour);
    }
    std::int32_t addIcon(std::uintptr_t icon) override { return inner_->addIcon(icon); }
    void attachImageList(std::uintptr_t imageList) override { inner_->attachImageList(imageList); }
    std::uintptr_t controlWindow() const override { return inner_->controlWindow(); }
    std::uintptr_t comboExWindow() const override { return inner_->comboExWindow(); }
    std::uintptr_t comboWindow() const override { return inner_->comboWindow(); }

private:
    std::unique_ptr<NotifyingEvents> events_; // declared first: outlives the window
    std::unique_ptr<ComboWindow> inner_;
};

class NotifyingFactory final : public ComboWindowFactory {
public:
    NotifyingFactory(std::unique_ptr<ComboWindowFactory> inner, std::function<void()> after)
        : inner_(std::move(inner)), after_(std::move(after)) {}
    std::unique_ptr<ComboWindow> create(const ComboWindowSpec& spec, ComboWindowEvents& events) override {
        auto notifying = std::make_unique<NotifyingEvents>(events, after_);
        std::unique_ptr<ComboWindow> window = inner_->create(spec, *notifying);
        if (!window) return nullptr;
        return std::make_unique<NotifyingWindow>(std::move(notifying), std::move(window));
    }

private:
    std::unique_ptr<ComboWindowFactory> inner_;
    std::function<void()> after_;
};

// ---- window classes ----

LRESULT CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (page) return page->onPageMessage(hwnd, message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK previewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_NCDESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
    case WM_ERASEBKGND: return 1; // painting covers the whole window
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        if (page && dc) page->paintPreview(GetDlgCtrlID(hwnd) - page_ids::PreviewFirst, dc, client);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(hwnd, &client);
        if (page)
            page->paintPreview(GetDlgCtrlID(hwnd) - page_ids::PreviewFirst, reinterpret_cast<HDC>(wParam),
                               client);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::mutex classMutex;
bool classesRegistered = false;

} // namespace

std::unique_ptr<ComboWindowFactory> notifyingComboWindows(std::unique_ptr<ComboWindowFactory> inner,
                                                          std::function<void()> after) {
    return std::make_unique<NotifyingFactory>(std::move(inner), std::move(after));
}

bool ensureWindowClasses() {
    std::lock_guard lock(classMutex);
    if (classesRegistered) return true;
    auto registerClass = [](const wchar_t* name, WNDPROC proc) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = moduleHandle();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = name;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    };
    classesRegistered =
        registerClass(kPageWindowClass, pageProc) && registerClass(kPreviewWindowClass, previewProc);
    return classesRegistered;
}

std::wstring wideOf(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

namespace {

std::u16string windowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(n, 0)) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), n + 1);
    return std::u16string(text.begin(), text.begin() + std::max(got, 0));
}

/// Sets a window's text only when it differs (setting an edit field's text raises EN_CHANGE).
void setText(HWND hwnd, const std::u16string& text) {
    if (hwnd && windowText(hwnd) != text) SetWindowTextW(hwnd, wideOf(text).c_str());
}

} // namespace

void unregisterPageWindowClasses() {
    std::lock_guard lock(classMutex);
    if (classesRegistered) {
        UnregisterClassW(kPageWindowClass, moduleHandle());
        UnregisterClassW(kPreviewWindowClass, moduleHandle());
    }
    classesRegistered = false;
}

// ---- the page's child windows ----

int PropertyPage::pixelsX(float twips) const {
    return pixelsFromTwips(twips, modulePlatform().twipsPerPixelX());
}
int PropertyPage::pixelsY(float twips) const {
    return pixelsFromTwips(twips, modulePlatform().twipsPerPixelY());
}

HWND PropertyPage::createChild(const wchar_t* cls, DWORD style, const PageBox& box, int id,
                               const wchar_t* text) {
    const DWORD exStyle = std::wcscmp(cls, L"EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
    HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, pixelsX(box.left),
                                pixelsY(box.top), pixelsX(box.width), pixelsY(box.height), page_.get(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), moduleHandle(),
                                std::wcscmp(cls, kPreviewWindowClass) == 0 ? this : nullptr);
    if (!hwnd) raise(HRESULT_FROM_WIN32(GetLastError()));
    return hwnd;
}

HRESULT PropertyPage::createChildren() {
    // Created in tab order: the size box, its label, the scroll bar, the colour label, the
    // version label, the colour list.
    sizeText_ =
        createChild(L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, Ppg7Seg4::kSizeTextBox, page_ids::SizeText, L"");
    // The two language labels draw their captions themselves, as 8-bit text (see drawLabel).
    sizeLabel_ = createChild(L"STATIC", SS_OWNERDRAW, Ppg7Seg4::kSizeLabelBox, page_ids::SizeLabel, L"");
    scroll_ =
        createChild(L"SCROLLBAR", SBS_VERT | WS_TABSTOP, Ppg7Seg4::kScrollBox, page_ids::SizeScroll, nullptr);
    colourLabel_ =
        createChild(L"STATIC", SS_OWNERDRAW, Ppg7Seg4::kColourLabelBox, page_ids::ColourLabel, L"");
    versionLabel_ = createChild(L"STATIC", SS_LEFT, Ppg7Seg4::kVersionBox, page_ids::VersionLabel, L"");
    // The four preview images lie on each other; the model says which one shows, and how big.
    for (std::size_t i = 0; i < previews_.size(); ++i)
        previews_[i] =
            createChild(kPreviewWindowClass, 0, PageBox{Ppg7Seg4::kPreviewLeft, Ppg7Seg4::kPreviewTop, 0, 0},
                        page_ids::PreviewFirst + static_cast<int>(i), L"");

    const PageScrollBar& bar = model_->scrollBar();
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    info.nMin = bar.min;
    info.nMax = bar.max;
    SetScrollInfo(scroll_, SB_CTL, &info, FALSE);

    applyLabel(sizeText_, PageLabel{}, textFont_); // the size box has the labels' design font

    // The colour list's own window moves from its parking window into the page.
    if (auto list = reinterpret_cast<HWND>(model_->colourList().get_hWnd())) {
        SetParent(list, page_.get());
        SetWindowLongPtrW(list, GWLP_ID, page_ids::ColourList);
        // Last in the tab order, as the list is on the page's form.
        SetWindowPos(list, HWND_BOTTOM, pixelsX(Ppg7Seg4::kColourListBox.left),
                     pixelsY(Ppg7Seg4::kColourListBox.top), 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    return S_OK;
}

void PropertyPage::applyLabel(HWND label, const PageLabel& model, Font& font) {
    if (!label) return;
    setText(label, model.caption);
    // The label's font size as given (the window's font holds it rounded to whole pixels).
    std::uintptr_t bits = 0;
    static_assert(sizeof bits == sizeof model.fontPoints);
    std::memcpy(&bits, &model.fontPoints, sizeof bits);
    SetPropW(label, kFontPointsProperty, reinterpret_cast<HANDLE>(bits));
    const double points = std::clamp(model.fontPoints, 1.0, 1000.0); // a damaged font file asks for anything
    const int height = -static_cast<int>(std::lround(points * modulePlatform().pixelsPerInchY() / 72.0));
    LOGFONTW wanted{};
    wanted.lfHeight = height;
    wanted.lfWeight = FW_NORMAL;
    wanted.lfCharSet = static_cast<BYTE>(model.charset);
    const std::wstring face = wideOf(model.fontFace);
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    LOGFONTW current{};
    if (font && GetObjectW(font.get(), sizeof current, &current) == sizeof current &&
        current.lfHeight == height && current.lfCharSet == wanted.lfCharSet &&
        std::wcscmp(current.lfFaceName, wanted.lfFaceName) == 0)
        return;
    HFONT made = CreateFontIndirectW(&wanted);
    if (!made) return; // the window keeps the font it has
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
    font.reset(made);
}

// ---- the page window ----

LRESULT PropertyPage::onPageMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd == page_.get()) {
        switch (message) {
        case WM_VSCROLL:
            if (reinterpret_cast<HWND>(lParam) == scroll_ && scroll_) onScroll(wParam);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == page_ids::SizeText && HIWORD(wParam) == EN_CHANGE) onSizeTextChanged();
            return 0;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (!item || item->CtlType != ODT_STATIC || !model_) break;
            if (item->hwndItem == colourLabel_) drawLabel(*item, model_->colourLabel(), colourFont_);
            if (item->hwndItem == sizeLabel_) drawLabel(*item, model_->sizeLabel(), sizeFont_);
            return TRUE;
        }
        default: break;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

template <class Action>
void PropertyPage::userAction(Action&& action) {
    if (refreshing_ || !model_) return;
    std::u16string failure;
    try {
        action();
    } catch (const ComError& e) {
        failure = e.description().empty() ? describeHResult(e.code()) : e.description();
        if (failure.empty()) failure = u"Unexpected error";
    } catch (...) {
        failure = u"Unexpected error";
    }
    refreshFromModel();
    if (!failure.empty()) {
        MessageBoxRequest box;
        box.text = failure;
        box.title = modulePlatform().moduleBaseName();
        modulePlatform().messageBox(box);
    }
}

void PropertyPage::onScroll(WPARAM wParam) {
    const PageScrollBar& bar = model_->scrollBar();
    // The scroll bar holds 85 at its top: up makes the digit bigger. The window's positions run
    // from the top, so a position p stands for the value min + max - p.
    switch (LOWORD(wParam)) {
    case SB_LINEUP: userAction([this] { model_->scrollBy(+1); }); break;
    case SB_LINEDOWN: userAction([this] { model_->scrollBy(-1); }); break;
    case SB_PAGEUP: userAction([this] { model_->scrollBy(+5); }); break;
    case SB_PAGEDOWN: userAction([this] { model_->scrollBy(-5); }); break;
    case SB_TOP: userAction([this, &bar] { model_->setScrollValue(bar.max); }); break;
    case SB_BOTTOM: userAction([this, &bar] { model_->setScrollValue(bar.min); }); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        const int position = static_cast<short>(HIWORD(wParam));
        userAction([this, &bar, position] { model_->setScrollValue(bar.min + bar.max - position); });
        break;
    }
    default: break;
    }
}

void PropertyPage::onSizeTextChanged() {
    if (!sizeText_) return;
    const std::u16string text = windowText(sizeText_);
    if (text == model_->sizeText()) return;
    userAction([this, &text] { model_->setSizeText(text); });
}

void PropertyPage::refreshFromModel() {
    if (!model_) return;
    if (page_.get() && !refreshing_) {
        refreshing_ = true;
        SetWindowTextW(page_.get(), wideOf(model_->caption()).c_str());
        applyLabel(versionLabel_, model_->versionLabel(), versionFont_);
        applyLabel(colourLabel_, model_->colourLabel(), colourFont_);
        applyLabel(sizeLabel_, model_->sizeLabel(), sizeFont_);
        setText(sizeText_, model_->sizeText());
        const PageScrollBar& bar = model_->scrollBar();
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_POS;
        info.nPos = bar.min + bar.max - bar.value;
        SetScrollInfo(scroll_, SB_CTL, &info, TRUE);
        for (std::size_t i = 0; i < previews_.size(); ++i) {
            const PagePreview& image = model_->previews()[i];
            if (!image.visible) {
                ShowWindow(previews_[i], SW_HIDE);
                continue;
            }
            SetWindowPos(previews_[i], nullptr, 0, 0, pixelsX(image.widthTwips), pixelsY(image.heightTwips),
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
            InvalidateRect(previews_[i], nullptr, FALSE);
        }
        refreshing_ = false;
    }
    reportDirty();
}

void PropertyPage::reportDirty() {
    if (!model_->changed()) {
        reportedDirty_ = false;
        return;
    }
    if (reportedDirty_ || !site_) return;
    reportedDirty_ = true;
    site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

void PropertyPage::drawLabel(const DRAWITEMSTRUCT& item, const PageLabel& label, const Font& font) {
    // The caption holds the bytes of the language's code page, one character per byte of the
    // system's code page. Turned back into those bytes and drawn as 8-bit text, the font's
    // character set reads them in the language's code page: a Russian caption shows in Cyrillic
    // letters. Drawn as Unicode text it would show the Latin letters of the system's page.
    Platform& platform = modulePlatform();
    const std::string bytes = platform.encodeAnsi(label.caption, platform.systemAnsiCodePage());
    HDC dc = item.hDC;
    RECT box = item.rcItem;
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    const HGDIOBJ previous = font ? SelectObject(dc, font.get()) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, bytes.c_str(), static_cast<int>(bytes.size()), &box,
              DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS);
    if (previous) SelectObject(dc, previous);
}

void PropertyPage::paintPreview(int index, HDC dc, const RECT& client) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (!dc || width <= 0 || height <= 0) return;
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (index < 0 || index >= pictureCount(PictureKind::Preview)) return;
    guarded(IID_IPropertyPage, [&] {
        // The digit's picture stretched to the window, over the page's background.
        Frame frame;
        frame.width = width;
        frame.height = height;
        frame.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        drawPicture(frame, picture(PictureKind::Preview, index), 0, 0, width, height);

        blendFrame(dc, client.left, client.top, frame);
    });
}

} // namespace seg4::com
