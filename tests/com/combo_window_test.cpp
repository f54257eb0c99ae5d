// Window interception and the combo control's real "ComboBoxEx32" window: the order in which the
// owner and the window's own procedure see a message, the refusals as the user sees them, and the
// control over the real window answering as it does over the in-memory window.
#include "wine_support.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "call_sequence.h"
#include "combo/uc_combo_box_ex.h"
#include "memory_combo_window.h"
#include "win32_combo_window.h"
#include "window_interception.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace seg4::wine {
namespace {

using interception::PhaseAfter;
using interception::PhaseBefore;

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

/// The real platform, with what goes to the event log also kept for the test.
class LoggingPlatform : public Win32Platform {
public:
    LoggingPlatform() : Win32Platform(GetModuleHandleW(nullptr)) {}
    void reportEvent(EventLogType type, const std::u16string& text) override {
        events.emplace_back(type, text);
        Win32Platform::reportEvent(type, text);
    }
    std::vector<std::pair<EventLogType, std::u16string>> events;
};

// ---- a window whose own procedure, and an owner whose callbacks, record what they see ----

test::SequenceRecorder seen;

std::string appMessage(std::uint32_t message) {
    return message >= WM_APP ? "WM_APP+" + std::to_string(message - WM_APP) : test::hexMessage(message);
}

bool probed(UINT message) { return message >= WM_APP && message < WM_APP + 100; }

template <bool Unicode>
LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!probed(message))
        return Unicode ? DefWindowProcW(window, message, wParam, lParam)
                       : DefWindowProcA(window, message, wParam, lParam);
    seen.record({Unicode ? "proc" : "procA", message, static_cast<std::int64_t>(wParam), lParam});
    return 100 + (message - WM_APP);
}

HWND makeProbe(bool unicode) {
    static const bool registered = [] {
        WNDCLASSW w{0,       probeProc<true>, 0,       0,       GetModuleHandleW(nullptr),
                    nullptr, nullptr,         nullptr, nullptr, L"Probe"};
        WNDCLASSA a{0,       probeProc<false>, 0,       0,       GetModuleHandleW(nullptr),
                    nullptr, nullptr,          nullptr, nullptr, "ProbeA"};
        return RegisterClassW(&w) && RegisterClassA(&a);
    }();
    EXPECT_TRUE(registered);
    return unicode
               ? CreateWindowExW(0, L"Probe", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr)
               : CreateWindowExA(0, "ProbeA", "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
}

/// Records each phase with the result so far ("r") and the window's user value ("u").
struct LoggingClient : InterceptionClient {
    bool handleBefore = false, changeAfter = false;
    void onInterceptedMessage(bool before, bool& handled, LRESULT& result, HWND, UINT message, WPARAM wParam,
                              LPARAM lParam, LONG_PTR user) override {
        if (!probed(message)) return;
        seen.record({before ? "before" : "after", message, static_cast<std::int64_t>(wParam), lParam,
                     "r" + std::to_string(result) + " u" + std::to_string(user)});
        if (before && handleBefore) handled = true, result = 7;
        if (!before && changeAfter) result = 9;
    }
};

// The probe message and its parameters, which every phase must see unchanged.
constexpr UINT kProbe = WM_APP + 1;
constexpr WPARAM kWParam = 0x1234;
constexpr LPARAM kLParam = -5;

test::Step saw(const char* who, std::string detail = {}) {
    return {who, kProbe, static_cast<std::int64_t>(kWParam), kLParam, std::move(detail)};
}

TEST(WindowInterception, PhasesHandledAndResults) {
    // The probe message is sent to a window intercepted with user value 5 and `message` in `phase`.
    const struct {
        bool unicode;
        std::int32_t message;
        int phase;
        bool handleBefore, changeAfter;
        std::vector<test::Step> sequence;
        LRESULT answer;
    } cases[] = {
        {true, WM_APP + 2, 3, false, false, {saw("proc")}, 101},
        {true, kProbe, PhaseBefore, false, false, {saw("before", "r0 u5"), saw("proc")}, 101},
        {true, kProbe, PhaseAfter, false, false, {saw("proc"), saw("after", "r101 u5")}, 101},
        {true, kProbe, 3, false, false, {saw("before", "r0 u5"), saw("proc"), saw("after", "r101 u5")}, 101},
        {true, kProbe, 3, true, false, {saw("before", "r0 u5")}, 7}, // handled: neither procedure nor after
        {true, kProbe, PhaseAfter, false, true, {saw("proc"), saw("after", "r101 u5")}, 9},
        {true,
         interception::ALL_MESSAGES,
         PhaseBefore,
         false,
         false,
         {saw("before", "r0 u5"), saw("proc")},
         101},
        {false, kProbe, 3, false, true, {saw("before", "r0 u5"), saw("procA"), saw("after", "r101 u5")}, 9},
    };
    LoggingPlatform platform;
    for (const auto& c : cases) {
        const std::string row = std::to_string(&c - cases);
        LoggingClient client;
        client.handleBefore = c.handleBefore;
        client.changeAfter = c.changeAfter;
        WindowInterception in(platform, client);
        HWND probe = makeProbe(c.unicode);
        ASSERT_EQ(IsWindowUnicode(probe) != FALSE, c.unicode) << row;
        ASSERT_TRUE(in.ssc_Subclass(probe, 5) && in.ssc_AddMessage(probe, c.message, c.phase)) << row;
        seen.take();
        EXPECT_EQ(SendMessageW(probe, kProbe, kWParam, kLParam), c.answer) << row;
        EXPECT_TRUE(test::sameSequence(c.sequence, seen.take(), appMessage)) << row;
        // Stopped, the window answers as before and the owner hears nothing.
        ASSERT_TRUE(in.ssc_Stop(probe)) << row;
        EXPECT_EQ(SendMessageW(probe, kProbe, kWParam, kLParam), 101) << row;
        EXPECT_TRUE(test::sameSequence({saw(c.unicode ? "proc" : "procA")}, seen.take(), appMessage)) << row;
        // A window destroyed while intercepted leaves by itself.
        in.ssc_Subclass(probe, 5);
        DestroyWindow(probe);
        EXPECT_TRUE(in.windows().empty()) << row;
    }
    EXPECT_TRUE(platform.events.empty());
}

TEST(WindowInterception, RefusalsAsTheUserSeesThem) {
    LoggingPlatform platform;
    LoggingClient client;
    WindowInterception in(platform, client);
    HWND probe = makeProbe(true), desktop = GetDesktopWindow();
    DWORD desktopProcess = 0;
    GetWindowThreadProcessId(desktop, &desktopProcess);
    ASSERT_NE(desktopProcess, GetCurrentProcessId());
    ASSERT_TRUE(in.ssc_Subclass(probe, 0) && in.ssc_AddMessage(probe, kProbe, PhaseAfter));
    const struct {
        std::function<bool()> call;
        std::u16string routine, text;
    } cases[] = {
        {[&] { return in.ssc_Subclass(nullptr, 0); }, u"ssc_Subclass", u"Invalid window handle"},
        {[&] { return in.ssc_Subclass(reinterpret_cast<HWND>(0x7FFF1234), 0); }, u"ssc_Subclass",
         u"Invalid window handle"},
        {[&] { return in.ssc_Subclass(desktop, 0); }, u"ssc_Subclass",
         u"Window handle belongs to another process"},
        {[&] { return in.ssc_Subclass(probe, 0); }, u"ssc_Subclass", u"Window handle is already subclassed"},
        {[&] { return in.ssc_RemoveMessage(probe, 0x8001, PhaseBefore); }, u"zDelMsg",
         u"Message &H8001 not found in table"},
        {[&] { return in.ssc_AddMessage(desktop, 5, PhaseBefore); }, u"zAddMsg",
         u"Window handle is not subclassed"},
    };
    SeenBoxes::instance().take();
    for (const auto& c : cases) {
        const std::string row = toUtf8(c.text);
        platform.events.clear();
        EXPECT_FALSE(c.call()) << row;
        ASSERT_EQ(platform.events.size(), 1u) << row;
        EXPECT_EQ(platform.events[0].first, EventLogType::Error) << row;
        EXPECT_EQ(platform.events[0].second, u"ucComboBoxEx." + c.routine + u": " + c.text) << row;
        const auto boxes = SeenBoxes::instance().take();
        ASSERT_EQ(boxes.size(), 1u) << row;
        EXPECT_EQ(boxes[0].title, wide(u"Error in ucComboBoxEx." + c.routine)) << row;
        EXPECT_EQ(boxes[0].text, wide(c.text + u".")) << row;
    }
    // The refusals changed nothing: the window is intercepted once, with its first table.
    seen.take();
    SendMessageW(probe, kProbe, kWParam, kLParam);
    EXPECT_TRUE(test::sameSequence({saw("proc"), saw("after", "r101 u0")}, seen.take(), appMessage));
    DestroyWindow(probe);
}

// ---- the control over the real window and over the in-memory window ----

/// A visible top-level window holding the control, as a property page holds it.
struct Host {
    HWND window = CreateWindowExW(0, L"Static", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
    ~Host() { DestroyWindow(window); }
};

struct Site : ComboSite {
    float width = 2295, height = 330;
    bool designMode() override { return false; }
    ComboFont ambientFont() override { return ComboFont{u"Arial", 12, true, false, false, false, 0}; }
    float widthTwips() override { return width; }
    float heightTwips() override { return height; }
    void setHeightTwips(float twips) override { height = twips; }
    void propertyChanged(const char16_t*) override {}
    float pixelsToContainerX(std::int32_t pixels) override { return static_cast<float>(pixels) * 15; }
    std::int32_t containerToPixelsX(float units) override { return static_cast<std::int32_t>(units / 15); }
};

/// Records the events with their arguments; RequestDropDownResize moves the list to
/// (50, 60)-(250, 160).
struct Transcript : ComboBoxExEvents {
    test::SequenceRecorder seen;
    void DropDown() override { seen.record("DropDown"); }
    void CloseUp() override { seen.record("CloseUp"); }
    void EditChange() override { seen.record("EditChange"); }
    void Click() override { seen.record("Click"); }
    void BeginEdit() override { seen.record("BeginEdit"); }
    void ListIndexChange() override { seen.record("ListIndexChange"); }
    void EndEdit(bool changed, std::int32_t& index, std::u16string& text, std::int32_t why) override {
        seen.record("EndEdit", std::to_string(changed) + "," + std::to_string(index) + "," + toUtf8(text) +
                                   "," + std::to_string(why));
    }
    void KeyDown(std::int16_t& code, std::int16_t shift) override {
        seen.record("KeyDown", std::to_string(code) + "+" + std::to_string(shift));
    }
    void KeyUp(std::int16_t& code, std::int16_t shift) override {
        seen.record("KeyUp", std::to_string(code) + "+" + std::to_string(shift));
    }
    void RequestDropDownResize(std::int32_t& l, std::int32_t& t, std::int32_t& r, std::int32_t& b,
                               bool&) override {
        seen.record("RequestDropDownResize");
        l = 50, t = 60, r = 250, b = 160;
    }
};

/// Events written as words, each "Event" or "Event:arguments".
std::vector<test::Step> events(const std::string& words) {
    std::vector<test::Step> steps;
    std::size_t pos = 0;
    while (pos < words.size()) {
        std::size_t end = words.find(' ', pos);
        if (end == std::string::npos) end = words.size();
        const std::string word = words.substr(pos, end - pos);
        const std::size_t colon = word.find(':');
        if (!word.empty())
            steps.push_back(
                {word.substr(0, colon), 0, {}, {}, colon == std::string::npos ? "" : word.substr(colon + 1)});
        pos = end + 1;
    }
    return steps;
}

/// One control, and how a user reaches its window.
struct Side {
    Site site;
    Transcript events;
    std::unique_ptr<UcComboBoxEx> combo;
    virtual ~Side() = default;
    void start(Platform& platform, ComboWindowFactory& windows, std::int32_t style) {
        combo = std::make_unique<UcComboBoxEx>(platform, windows, site, &events);
        combo->InitProperties();
        combo->put_Style(style);
    }
    /// A key going down and up where the user types (the edit field, else the combo).
    virtual void key(std::int16_t code, std::int16_t shift) = 0;
    /// A mouse pick of item `index` in the list.
    virtual void pick(std::int32_t index) = 0;
};

struct NativeSide : Side {
    Win32ComboWindowFactory factory;
    NativeSide(Platform& platform, HWND parent, std::int32_t style)
        : factory(platform, GetModuleHandleW(nullptr), parent) {
        start(platform, factory, style);
    }
    ~NativeSide() override { combo.reset(); } // before the factory it was made with
    Win32ComboWindow& window() { return *static_cast<Win32ComboWindow*>(combo->window()); }
    HWND child() { return reinterpret_cast<HWND>(window().comboWindow()); }
    void key(std::int16_t code, std::int16_t shift) override {
        BYTE state[256] = {};
        state[VK_SHIFT] = shift & 1 ? 0x80 : 0;
        state[VK_CONTROL] = shift & 2 ? 0x80 : 0;
        state[VK_MENU] = shift & 4 ? 0x80 : 0;
        SetKeyboardState(state);
        HWND target = window().hasEditField() ? window().editWindow() : child();
        SendMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(code), 0);
        SendMessageW(target, WM_KEYUP, static_cast<WPARAM>(code), static_cast<LPARAM>(0xC0000000));
        state[VK_SHIFT] = state[VK_CONTROL] = state[VK_MENU] = 0;
        SetKeyboardState(state);
        pump();
    }
    void pick(std::int32_t index) override {
        // What a click in the list does: the combo child selects the item and tells its parent.
        SendMessageW(child(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(reinterpret_cast<HWND>(window().comboExWindow()), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(child()), CBN_SELCHANGE), reinterpret_cast<LPARAM>(child()));
        pump();
    }
};

struct ModelSide : Side {
    MemoryComboWindowFactory factory;
    ModelSide(Platform& platform, std::int32_t style) : factory(platform.pixelsPerInchY()) {
        start(platform, factory, style);
    }
    ~ModelSide() override { combo.reset(); }
    MemoryComboWindow& window() { return *MemoryComboWindow::of(combo->window()); }
    void key(std::int16_t code, std::int16_t shift) override { window().pressKey(code, shift); }
    void pick(std::int32_t index) override { window().choose(index); }
};

template <class T>
std::string num(T v) {
    return std::to_string(v);
}

/// AddItem's answer and the new index.
std::string added(Side& s, const std::u16string& item, std::int32_t before = -1) {
    const bool ok = s.combo->AddItem(item, Variant::i4(before));
    return num(ok) + num(s.combo->get_NewIndex());
}

using Step = std::function<std::string(Side&)>;
struct Row {
    const char* what;
    Step step;
    std::string answer;
    std::string raised; // the events, in order (see events())
};

/// Runs the rows on the control over the real window and over the in-memory one.
void compare(const std::vector<Row>& rows, std::int32_t style) {
    LoggingPlatform platform;
    Host host;
    NativeSide native(platform, host.window, style);
    ModelSide model(platform, style);
    for (const Row& row : rows) {
        for (Side* side : {static_cast<Side*>(&native), static_cast<Side*>(&model)}) {
            const char* which = side == &native ? "native: " : "in memory: ";
            side->events.seen.take();
            EXPECT_EQ(row.step(*side), row.answer) << which << row.what;
            EXPECT_TRUE(test::sameSequence(events(row.raised), side->events.seen.take()))
                << which << row.what;
        }
    }
    EXPECT_TRUE(platform.events.empty());
}

TEST(UcComboBoxExWin32, DropDownListAnswersAsInMemory) {
    static const auto index = [](Side& s) { return num(s.combo->get_ListIndex()); };
    const auto find = [](const char16_t* text, bool exact) {
        return [=](Side& s) { return num(s.combo->FindItem(text, Variant::boolean(exact))); };
    };
    const auto findUnicode = [](const char16_t* text, bool exact) {
        return [=](Side& s) { return num(s.combo->FindItem_Unicode(text, Variant::boolean(exact))); };
    };
    compare(
        {
            {"add four",
             [](Side& s) {
                 std::string answers;
                 for (const char16_t* colour : {u"Red", u"Green", u"Yellow", u"Blue"})
                     answers += added(s, colour);
                 return answers;
             },
             "10111213", ""},
            {"in order", [](Side& s) { return toUtf8(s.combo->get_List(0) + s.combo->get_List(3)); },
             "RedBlue", ""},
            {"no selection", index, "-1", ""},
            {"ListIndex raises nothing", [&](Side& s) { return s.combo->put_ListIndex(2), index(s); }, "2",
             ""},
            {"ListIndex 4",
             [](Side& s) {
                 try {
                     s.combo->put_ListIndex(4);
                 } catch (const ComError& e) {
                     return "error " + num(static_cast<std::uint32_t>(e.code()) & 0xFFFF) + " " + index(s);
                 }
                 return std::string("no error");
             },
             "error 381 2", ""},
            {"key Down", [&](Side& s) { return s.key(VK_DOWN, 0), index(s); }, "3",
             "EditChange Click ListIndexChange"},
            {"ListIndex -1", [&](Side& s) { return s.combo->put_ListIndex(-1), index(s); }, "-1", ""},
            {"mouse pick", [&](Side& s) { return s.pick(1), index(s) + toUtf8(s.combo->get_Text()); },
             "1Green", "EditChange Click ListIndexChange"},
            {"key Up", [&](Side& s) { return s.key(VK_UP, 0), index(s); }, "0",
             "EditChange Click ListIndexChange"},
            {"add Reddish", [](Side& s) { return added(s, u"Reddish"); }, "14", ""},
            {"prefix found after item 0", find(u"red", false), "4", ""},
            {"exact comes round to item 0", find(u"RED", true), "0", ""},
            {"exact needs the whole text", find(u"Re", true), "-1", ""},
            {"not found", find(u"Purple", false), "-1", ""},
            {"Unicode: contains", findUnicode(u"ell", false), "2", ""},
            {"Text selects", [&](Side& s) { return s.combo->put_Text(u"yellow"), index(s); }, "2", ""},
            {"insert before",
             [](Side& s) {
                 const std::string a = added(s, u"Black", 0);
                 return a + toUtf8(s.combo->get_List(0));
             },
             "10Black", ""},
            {"remove",
             [](Side& s) {
                 const bool ok = s.combo->RemoveItem(5);
                 return num(ok) + num(s.combo->get_ListCount());
             },
             "15", ""},
            {"remove missing", [](Side& s) { return num(s.combo->RemoveItem(5)); }, "0", ""},
            {"item fields",
             [](Side& s) {
                 s.combo->put_ItemData(1, -7), s.combo->put_ItemIndent(1, 2),
                     s.combo->put_ItemIconIndex(1, 3);
                 return num(s.combo->get_ItemData(1)) + num(s.combo->get_ItemIndent(1)) +
                        num(s.combo->get_ItemIconIndex(1)) + num(s.combo->get_ItemIconIndexSelected(1));
             },
             "-723-1", ""},
            {"clear", [&](Side& s) { return s.combo->Clear(), num(s.combo->get_ListCount()) + index(s); },
             "0-1", ""},
        },
        2);
}

TEST(UcComboBoxExWin32, EditFieldKeysAsInMemory) {
    // Key codes keep their low byte; Shift, Ctrl and Alt add 1, 2 and 4.
    const auto key = [](std::int16_t code, std::int16_t shift) {
        return [=](Side& s) { return s.key(code, shift), std::string("key"); };
    };
    compare({{"A", key('A', 0), "key", "KeyDown:65+0 KeyUp:65+0"},
             {"Shift F2", key(VK_F2, 1), "key", "KeyDown:113+1 KeyUp:113+1"},
             {"Ctrl Alt, high byte", key(0x1A5, 6), "key", "KeyDown:165+6 KeyUp:165+6"},
             {"edit text and selection",
              [](Side& s) {
                  s.combo->put_Text(u"Yellow"), s.combo->put_SelStart(1), s.combo->put_SelLength(3);
                  return toUtf8(s.combo->get_Text() + u":" + s.combo->get_SelText()) +
                         num(s.combo->get_SelEnd());
              },
              "Yellow:ell4", ""}},
            1);
}

TEST(Win32ComboWindow, ListFirstShownMovedFontAndEnd) {
    LoggingPlatform platform;
    Host host;
    NativeSide side(platform, host.window, 2);
    for (const char16_t* colour : {u"Red", u"Green", u"Yellow", u"Light blue"}) side.combo->AddItem(colour);
    side.combo->put_ListIndex(3);
    Win32ComboWindow& w = side.window();

    // The font of a new control: 12 points bold, a negative height in pixels.
    LOGFONTW font{};
    ASSERT_TRUE(GetObjectW(w.font(), sizeof font, &font));
    EXPECT_EQ(font.lfHeight, -std::lround(12.0 * platform.pixelsPerInchY() / 72));
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"Arial");

    // Dropping: the first colour request of the list reports its rectangle, and the list is
    // moved where the handler said; painting it again reports nothing more.
    side.combo->put_Dropped(true);
    pump();
    if (!w.listWindow()) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(side.child(), &info);
        RedrawWindow(info.hwndList, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        pump();
    }
    EXPECT_TRUE(test::sameSequence(events("DropDown RequestDropDownResize"), side.events.seen.take()));
    ASSERT_TRUE(w.listWindow());
    RECT r{};
    GetWindowRect(w.listWindow(), &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{50, 60, 250, 160}));
    side.events.seen.take();
    RedrawWindow(w.listWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    side.combo->put_Dropped(false);
    pump();
    // The window may end an edit because of the list (reason 4): its record names the item.
    const std::vector<test::Step> closed = side.events.seen.take();
    const test::Step endEdit{"EndEdit", 0, {}, {}, "0,3,Light blue,4"};
    EXPECT_TRUE(closed.size() == 2 ? test::sameSequence({{"CloseUp"}, endEdit}, closed)
                                   : test::sameSequence({{"CloseUp"}}, closed));
    EXPECT_FALSE(w.listWindow());

    // The end of the control takes every window with it.
    const HWND handles[] = {reinterpret_cast<HWND>(w.controlWindow()),
                            reinterpret_cast<HWND>(w.comboExWindow()), side.child()};
    side.combo.reset();
    for (HWND h : handles) EXPECT_FALSE(IsWindow(h));
}

} // namespace
} // namespace seg4::wine
