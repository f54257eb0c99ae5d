// The property page ppg7seg4 as a frame uses it: created through its class, given a page site,
// activated into a hidden window and handed displays; its child windows read and driven with the
// messages a user's actions send; applied; and shown by the system's property frame.
#include "wine_support.h"

#include "display/compositor.h"
#include "display/pictures.h"
#include "property_page.h"

#include <commctrl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <tuple>

namespace seg4::wine {
namespace {

using com::page_ids::ColourLabel;
using com::page_ids::ColourList;
using com::page_ids::PreviewFirst;
using com::page_ids::SizeLabel;
using com::page_ids::SizeScroll;
using com::page_ids::SizeText;
using com::page_ids::VersionLabel;

/// The frame's side: records what the page reports.
class FakeSite : public IPropertyPageSite {
public:
    virtual ~FakeSite() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPageSite) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
        statusChanges.push_back(flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
        *lcid = 0x409;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
        *container = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
    std::vector<DWORD> statusChanges;
};

/// A selected object that records the puts it receives and may refuse one by name.
class RecordingObject : public IDispatch {
public:
    virtual ~RecordingObject() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        const std::wstring name = names[0];
        *ids = name == L"LEDColour" ? 11 : name == L"LEDSize" ? 12 : DISPID_UNKNOWN;
        return *ids == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        const std::wstring name = id == 11 ? L"LEDColour" : L"LEDSize";
        if (flags & DISPATCH_PROPERTYGET) {
            gets.push_back(name);
            *result = longVariant(id == 11 ? colour : size);
            return S_OK;
        }
        if (!(flags & DISPATCH_PROPERTYPUT) || params->cNamedArgs != 1 ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params->cArgs != 1)
            return DISP_E_PARAMNOTOPTIONAL;
        if (name == refuse) {
            *exception = EXCEPINFO{};
            exception->scode = refuseWith;
            exception->bstrDescription = SysAllocString(L"refused by the object");
            return DISP_E_EXCEPTION;
        }
        Var copy;
        VariantCopy(copy.get(), &params->rgvarg[0]);
        VariantChangeType(copy.get(), copy.get(), 0, VT_BSTR);
        puts.push_back(name + L"=" + std::wstring(V_VT(copy.get()) == VT_BSTR ? V_BSTR(copy.get()) : L"?") +
                       (V_VT(&params->rgvarg[0]) == VT_BSTR ? L" (text)" : L""));
        return S_OK;
    }
    LONG colour = 2, size = 50;
    std::wstring refuse;
    HRESULT refuseWith = S_OK;
    std::vector<std::wstring> gets, puts;
};

std::wstring textOf(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

/// A page activated into a hidden top-level window, as a frame would show it.
class PageTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoCreateInstance(CLSID_ppg7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage2,
                                   page.putVoid()),
                  S_OK);
        ASSERT_EQ(page->SetPageSite(&site), S_OK);
        PROPPAGEINFO info{};
        ASSERT_EQ(page->GetPageInfo(&info), S_OK);
        title = info.pszTitle ? info.pszTitle : L"<none>";
        size = info.size;
        CoTaskMemFree(info.pszTitle);
        frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPED, 0, 0, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(frame, nullptr);
        const RECT rect{0, 0, size.cx, size.cy};
        ASSERT_EQ(page->Activate(frame, &rect, TRUE), S_OK);
        pageWindow = FindWindowExW(frame, nullptr, com::kPageWindowClass, nullptr);
        ASSERT_NE(pageWindow, nullptr);
        ASSERT_EQ(page->Show(SW_SHOW), S_OK);
    }
    void TearDown() override {
        if (page.get()) {
            page->Deactivate();
            page->SetObjects(0, nullptr);
            page->SetPageSite(nullptr);
        }
        if (frame) DestroyWindow(frame);
        SeenBoxes::instance().take();
    }

    HWND child(int id) const { return GetDlgItem(pageWindow, id); }
    /// The colour list's inner combo box (the window the user's keys and clicks reach).
    HWND combo() const {
        HWND comboEx = FindWindowExW(child(ColourList), nullptr, WC_COMBOBOXEXW, nullptr);
        return comboEx ? reinterpret_cast<HWND>(SendMessageW(comboEx, CBEM_GETCOMBOCONTROL, 0, 0)) : nullptr;
    }
    int selected() const { return static_cast<int>(SendMessageW(combo(), CB_GETCURSEL, 0, 0)); }
    /// The value the scroll bar shows: its top holds 85.
    int scrollValue() const { return 20 + 85 - GetScrollPos(child(SizeScroll), SB_CTL); }
    /// The visible preview image (-1 for none) and its size; no second one may show. (The hidden
    /// frame hides every window in it, so the page's own choice is in each window's style.)
    int preview() const {
        int shown = -1;
        for (int i = 0; i < 4; ++i)
            if (GetWindowLongW(child(PreviewFirst + i), GWL_STYLE) & WS_VISIBLE) shown = shown == -1 ? i : -2;
        return shown;
    }
    SIZE previewSize() const {
        RECT r{};
        GetClientRect(child(PreviewFirst + std::max(preview(), 0)), &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }
    void select(IUnknown* target) {
        IUnknown* objects[] = {target};
        ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    }
    /// The user moves the list's selection one item down with the keyboard.
    void pickNext() { SendMessageW(combo(), WM_KEYDOWN, VK_DOWN, 0); }
    void scroll(WORD code, WORD position = 0) {
        SendMessageW(pageWindow, WM_VSCROLL, MAKEWPARAM(code, position),
                     reinterpret_cast<LPARAM>(child(SizeScroll)));
    }
    void type(const wchar_t* text) { SetWindowTextW(child(SizeText), text); }

    FakeSite site;
    RecordingObject object, second; // outlive the page's hold on them, which ends in TearDown
    Ref<IPropertyPage2> page;
    std::wstring title;
    SIZE size{};
    HWND frame = nullptr;
    HWND pageWindow = nullptr;
};

// The page scenario drives this page through qhost.exe and compares it with the native page:
// labels, list, selection, size text, preview, the bar's arrows, pages and thumb, apply and two
// selected displays. Here what a script cannot see.
TEST_F(PageTest, OpensScrollsAndAppliesToTheFirstObjectOnly) {
    const int dpi = Win32Platform(controlModule()).pixelsPerInchY();
    EXPECT_EQ(title, L"LED7SEG1");
    EXPECT_EQ(std::pair(size.cx, size.cy),
              (std::pair<LONG, LONG>(MulDiv(4800, dpi, 1440), MulDiv(3600, dpi, 1440))));
    object.colour = 0;
    IUnknown* objects[] = {&object, &second};
    ASSERT_EQ(page->SetObjects(2, objects), S_OK);
    EXPECT_EQ(textOf(child(VersionLabel)), L"v4.0.1");
    EXPECT_EQ(textOf(child(SizeLabel)), L"Size");
    EXPECT_EQ(site.statusChanges, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
    // Window positions count from the top, where 85 is: position p is the value 105 - p.
    const std::tuple<WORD, WORD, int> rows[] = {
        {SB_PAGEDOWN, 0, 45},       {SB_BOTTOM, 0, 20}, {SB_LINEDOWN, 0, 20}, {SB_TOP, 0, 85},
        {SB_THUMBPOSITION, 65, 40}, {SB_PAGEUP, 0, 45}, {SB_LINEUP, 0, 46}};
    for (const auto& [code, position, value] : rows) {
        scroll(code, position);
        EXPECT_EQ(scrollValue(), value) << "code " << code;
        EXPECT_EQ(textOf(child(SizeText)), std::to_wstring(value)) << "code " << code;
        EXPECT_EQ(std::pair(previewSize().cx, previewSize().cy),
                  std::pair(LONG{pixelsFromTwips(static_cast<float>(value * 4) * 15 / 5, 15)}, LONG{value}));
    }
    EXPECT_TRUE(object.puts.empty()) << "nothing is written before apply";
    ASSERT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(object.puts, (std::vector<std::wstring>{L"LEDColour=0", L"LEDSize=46 (text)"}));
    EXPECT_TRUE(second.gets.empty() && second.puts.empty());
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
}

TEST_F(PageTest, PickingBlueShowsItsPreview) {
    select(&object);
    pickNext();
    EXPECT_EQ(selected(), 3);
    EXPECT_EQ(preview(), 3);

    // The preview window draws the blue digit at 40 x 50 over the page's background.
    const SIZE shown = previewSize();
    ASSERT_EQ(std::pair(shown.cx, shown.cy), std::pair(40L, 50L));
    Frame expected;
    expected.width = shown.cx;
    expected.height = shown.cy;
    expected.pixels.assign(static_cast<std::size_t>(shown.cx * shown.cy), 0);
    drawPicture(expected, picture(PictureKind::Preview, 3), 0, 0, shown.cx, shown.cy);
    Canvas canvas(shown.cx, shown.cy, 0);
    SendMessageW(child(PreviewFirst + 3), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int wrong = 0;
    for (int i = 0; i < shown.cx * shown.cy; ++i) {
        const std::uint32_t src = expected.pixels[static_cast<std::size_t>(i)];
        const std::uint32_t got = canvas.at(i % shown.cx, i / shown.cx);
        const int a = px::alpha(src);
        const int want[3] = {px::red(src) + GetRValue(face) * (255 - a) / 255,
                             px::green(src) + GetGValue(face) * (255 - a) / 255,
                             px::blue(src) + GetBValue(face) * (255 - a) / 255};
        const int have[3] = {static_cast<int>((got >> 16) & 0xFF), static_cast<int>((got >> 8) & 0xFF),
                             static_cast<int>(got & 0xFF)};
        for (int c = 0; c < 3; ++c) wrong += std::abs(want[c] - have[c]) > 2;
    }
    EXPECT_EQ(wrong, 0) << "channels off the blue digit over the page's background";
}

/// The page made while the host is set to Russian, whose captions hold bytes of code page 1251.
class RussianPageTest : public PageTest {
protected:
    void SetUp() override {
        LanguageSetting::set(L"ru");
        PageTest::SetUp();
    }
    LanguageSetting keep_; // the host's language comes back after the page is gone
};

/// The pixels of `width` x `height` drawn by `draw` into a canvas.
template <class Draw>
std::vector<std::uint32_t> pixelsOf(int width, int height, Draw&& draw) {
    Canvas canvas(width, height, 0);
    draw(canvas.dc());
    std::vector<std::uint32_t> out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.push_back(canvas.at(x, y));
    return out;
}

// A language label draws its caption through its 8-bit font: the bytes of the language's code
// page show as that language's letters, not as the Latin letters the caption holds in Unicode.
TEST_F(RussianPageTest, TheLabelsShowTheLanguagesLettersInTheirCharacterSet) {
    const std::tuple<int, const wchar_t*, const wchar_t*> labels[] = {
        {ColourLabel, L"\u0426\u0432\u0435\u0442", L"\u00D6\u00E2\u00E5\u00F2"},
        {SizeLabel, L"\u0420\u0430\u0437\u043C\u0435\u0440", L"\u00D0\u00E0\u00E7\u00EC\u00E5\u00F0"}};
    for (const auto& [id, letters, caption] : labels) {
        HWND label = child(id);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(textOf(label), caption) << "the caption as converted";
        const auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
        LOGFONTW logical{};
        ASSERT_TRUE(GetObjectW(font, sizeof logical, &logical));
        EXPECT_EQ(logical.lfCharSet, RUSSIAN_CHARSET);
        RECT box{};
        GetClientRect(label, &box);
        const auto written = [&](const wchar_t* text) {
            return pixelsOf(box.right, box.bottom, [&](HDC dc) {
                RECT r = box;
                FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
                const HGDIOBJ old = SelectObject(dc, font);
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
                DrawTextW(dc, text, -1, &r, DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS);
                SelectObject(dc, old);
            });
        };
        const auto cyrillic = written(letters);
        ASSERT_NE(cyrillic, written(caption)) << "the font draws the two texts alike";
        const auto shown = pixelsOf(box.right, box.bottom, [&](HDC dc) {
            SendMessageW(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        });
        EXPECT_TRUE(shown == cyrillic) << "label " << id << " does not show its Cyrillic caption";
    }
}

/// Another module's page: answers for IPropertyPage2 and does nothing.
class ForeignPage : public IPropertyPage2 {
public:
    virtual ~ForeignPage() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPage) ||
                       IsEqualIID(riid, IID_IPropertyPage2)
                   ? this
                   : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Activate(HWND, LPCRECT, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Deactivate() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Show(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Move(LPCRECT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsPageDirty() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Apply() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EditProperty(DISPID) override { return E_NOTIMPL; }
};

// The colour list's events leave the module through its export, whole or not at all, and only
// for one of its own pages.
TEST_F(PageTest, TheListsEventsAreHandedOverOnceAndOnlyForAPage) {
    using Events = HRESULT(WINAPI*)(IUnknown*, LPWSTR, UINT, UINT*);
    const auto events = moduleEntry<Events>("Seg4PageComboEvents");
    ASSERT_NE(events, nullptr);
    select(&object);
    pickNext();
    const std::wstring raised = L"EditChange\nClick\nListIndexChange\n";
    UINT length = 0;
    std::wstring buffer(64, L'#');
    for (UINT capacity : {0U, 3U, static_cast<UINT>(raised.size())}) // no room for the NUL
        EXPECT_EQ(events(page.get(), buffer.data(), capacity, &length),
                  HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER))
            << capacity;
    EXPECT_EQ(length, raised.size());
    EXPECT_EQ(buffer, std::wstring(64, L'#')) << "a short buffer gets nothing";
    ASSERT_EQ(events(page.get(), buffer.data(), 64, &length), S_OK);
    EXPECT_EQ(buffer.c_str(), raised);
    ASSERT_EQ(events(page.get(), buffer.data(), 64, &length), S_OK);
    EXPECT_EQ(std::pair(length, std::wstring(buffer.c_str())), std::pair(0U, std::wstring()))
        << "handed over once";

    Ref<IQuorvaneComponentV4> display;
    createControl(display);
    SendMessageW(combo(), WM_KEYDOWN, VK_UP, 0); // back to Yellow
    ForeignPage foreign;
    const std::pair<IUnknown*, HRESULT> others[] = {{display.get(), E_INVALIDARG},
                                                    {&site, E_INVALIDARG},
                                                    {&object, E_INVALIDARG},
                                                    {&foreign, E_INVALIDARG},
                                                    {nullptr, E_POINTER}};
    for (const auto& [other, answer] : others) EXPECT_EQ(events(other, buffer.data(), 64, &length), answer);
    EXPECT_EQ(events(page.get(), buffer.data(), 64, nullptr), E_POINTER);
    ASSERT_EQ(events(page.get(), buffer.data(), 64, &length), S_OK);
    EXPECT_EQ(buffer.c_str(), raised) << "a refused call takes nothing";
}

TEST_F(PageTest, ApplyWritesByNameAndHandsBackTheObjectsError) {
    struct Row {
        const wchar_t* typed;
        const wchar_t* refuse;
        HRESULT refuseWith;
        HRESULT applied;
        std::vector<std::wstring> puts;
        HRESULT dirty;
    };
    const Row rows[] = {
        {L"64", L"", S_OK, S_OK, {L"LEDColour=2", L"LEDSize=64 (text)"}, S_FALSE},
        // Text that is no number fails before anything is written; the page stays changed.
        {L"big", L"", S_OK, static_cast<HRESULT>(0x800A000D), {}, S_OK},
        {nullptr,
         L"LEDSize",
         static_cast<HRESULT>(0x800A0006),
         static_cast<HRESULT>(0x800A0006),
         {L"LEDColour=2"},
         S_OK},
        {nullptr, L"LEDColour", E_INVALIDARG, E_INVALIDARG, {}, S_OK},
    };
    for (const Row& row : rows) {
        RecordingObject refusing;
        refusing.refuse = row.refuse;
        refusing.refuseWith = row.refuseWith;
        select(&refusing);
        if (row.typed) type(row.typed);
        EXPECT_EQ(page->Apply(), row.applied) << testing::PrintToString(row.typed);
        EXPECT_EQ(refusing.puts, row.puts);
        EXPECT_EQ(page->IsPageDirty(), row.dirty);
        ASSERT_EQ(page->SetObjects(0, nullptr), S_OK);
    }
}

TEST(PropertyFrame, TheSystemFrameShowsThePageOnTheSelectedObject) {
    // The watcher presses OK on the frame's dialog as it does on message boxes.
    SeenBoxes::instance().take();
    RecordingObject object;
    object.colour = 1;
    object.size = 33;
    IUnknown* objects[] = {&object};
    CLSID pages[] = {CLSID_ppg7seg4};
    ASSERT_EQ(OleCreatePropertyFrame(nullptr, 0, 0, L"display", 1, objects, 1, pages, 0x409, 0, nullptr),
              S_OK);
    EXPECT_EQ(object.gets, (std::vector<std::wstring>{L"LEDColour", L"LEDSize"}))
        << "read once, in this order";
    // A frame that applies on OK writes what the page holds; Wine's frame closes without applying.
    if (!object.puts.empty()) {
        EXPECT_EQ(object.puts, (std::vector<std::wstring>{L"LEDColour=1", L"LEDSize=33 (text)"}));
    }
    const std::vector<SeenBox> seen = SeenBoxes::instance().take();
    ASSERT_EQ(seen.size(), 1u) << "the frame, and no message box";
}

TEST(PropertyPageObject, TheDispatchInterfaceIsItsOwn) {
    Ref<IDispatch> dispatch;
    ASSERT_EQ(
        CoCreateInstance(CLSID_ppg7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch.putVoid()),
        S_OK);
    Ref<ITypeInfo> info;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID__ppg7seg4));
    info->ReleaseTypeAttr(attr);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"LEDColour")};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);

    Ref<IPropertyPage> page;
    ASSERT_EQ(dispatch.query(page), S_OK);
    EXPECT_EQ(page->Apply(), S_OK) << "nothing changed, nothing to write";
    EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED) << "not active";
    EXPECT_EQ(page->Activate(nullptr, nullptr, TRUE), E_POINTER);
    IUnknown* none[] = {nullptr};
    EXPECT_EQ(page->SetObjects(1, none), E_POINTER);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
}

} // namespace
} // namespace seg4::wine
