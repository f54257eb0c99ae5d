// Window interception and the combo control's real "ComboBoxEx32" window: the order in which the
// owner and the window's own procedure see a message, the refusals as the user sees them, and
// what the native window reports when it is driven as a user drives it.
#include "wine_support.h"

#include "win32_combo_window.h"
#include "window_interception.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace seg4::wine {
namespace {

using interception::ALL_MESSAGES;
using interception::PhaseAfter;
using interception::PhaseBefore;
using interception::PhaseBoth;

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

/// The platform with what the interception writes to the event log kept for the test; the
/// message boxes are real (the watcher reads and closes them).
class LoggingPlatform : public Win32Platform {
public:
    LoggingPlatform() : Win32Platform(GetModuleHandleW(nullptr)) {}
    void reportEvent(EventLogType type, const std::u16string& text) override {
        events.emplace_back(type, text);
        Win32Platform::reportEvent(type, text);
    }
    std::vector<std::pair<EventLogType, std::u16string>> events;
};

// ---- a window that records what its own procedure sees ----

std::vector<std::string> probeLog;

std::string name(UINT message) { return "m" + std::to_string(message - WM_APP); }

LRESULT CALLBACK probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP && message < WM_APP + 100) {
        probeLog.push_back("proc " + name(message));
        return 100 + (message - WM_APP);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK probeProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP && message < WM_APP + 100) {
        probeLog.push_back("procA " + name(message));
        return 100 + (message - WM_APP);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeProbe(bool unicode) {
    static const bool registered = [] {
        WNDCLASSW w{};
        w.lpfnWndProc = probeProc;
        w.hInstance = GetModuleHandleW(nullptr);
        w.lpszClassName = L"Seg4Probe";
        RegisterClassW(&w);
        WNDCLASSA a{};
        a.lpfnWndProc = probeProcA;
        a.hInstance = GetModuleHandleW(nullptr);
        a.lpszClassName = "Seg4ProbeA";
        RegisterClassA(&a);
        return true;
    }();
    (void)registered;
    return unicode ? CreateWindowExW(0, L"Seg4Probe", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr)
                   : CreateWindowExA(0, "Seg4ProbeA", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
}

/// The owner's side: logs application messages and answers as the row says.
class RecordingClient : public InterceptionClient {
public:
    UINT handleBefore = 0;
    UINT changeAfter = 0;
    void onInterceptedMessage(bool before, bool& handled, LRESULT& result, HWND, UINT message, WPARAM, LPARAM,
                              LONG_PTR user) override {
        if (message < WM_APP || message >= WM_APP + 100) return;
        probeLog.push_back(std::string(before ? "before " : "after ") + name(message) + " r" +
                           std::to_string(result) + " u" + std::to_string(user));
        if (before && message == handleBefore) {
            handled = true;
            result = 7;
        }
        if (!before && message == changeAfter) result = 9;
    }
};

TEST(WindowInterception, PhasesHandledAndResults) {
    const UINT m1 = WM_APP + 1, m2 = WM_APP + 2;
    const struct {
        const char* name;
        bool unicode;
        std::vector<std::pair<std::int32_t, int>> registrations;
        UINT handleBefore, changeAfter;
        std::vector<std::string> log;
        LRESULT answer;
    } cases[] = {
        {"not registered", true, {{static_cast<std::int32_t>(m2), PhaseBoth}}, 0, 0, {"proc m1"}, 101},
        {"before",
         true,
         {{static_cast<std::int32_t>(m1), PhaseBefore}},
         0,
         0,
         {"before m1 r0 u5", "proc m1"},
         101},
        {"after sees the result",
         true,
         {{static_cast<std::int32_t>(m1), PhaseAfter}},
         0,
         0,
         {"proc m1", "after m1 r101 u5"},
         101},
        {"both",
         true,
         {{static_cast<std::int32_t>(m1), PhaseBoth}},
         0,
         0,
         {"before m1 r0 u5", "proc m1", "after m1 r101 u5"},
         101},
        {"handled before skips the procedure and the after phase",
         true,
         {{static_cast<std::int32_t>(m1), PhaseBoth}},
         m1,
         0,
         {"before m1 r0 u5"},
         7},
        {"after changes the answer",
         true,
         {{static_cast<std::int32_t>(m1), PhaseAfter}},
         0,
         m1,
         {"proc m1", "after m1 r101 u5"},
         9},
        {"every message before",
         true,
         {{ALL_MESSAGES, PhaseBefore}},
         0,
         0,
         {"before m1 r0 u5", "proc m1"},
         101},
        {"ANSI window, both",
         false,
         {{static_cast<std::int32_t>(m1), PhaseBoth}},
         0,
         m1,
         {"before m1 r0 u5", "procA m1", "after m1 r101 u5"},
         9},
    };
    LoggingPlatform platform;
    for (const auto& c : cases) {
        RecordingClient client;
        client.handleBefore = c.handleBefore;
        client.changeAfter = c.changeAfter;
        WindowInterception in(platform, client);
        HWND probe = makeProbe(c.unicode);
        ASSERT_EQ(IsWindowUnicode(probe) != FALSE, c.unicode) << c.name;
        ASSERT_TRUE(in.ssc_Subclass(probe, 5)) << c.name;
        for (const auto& [message, phase] : c.registrations)
            ASSERT_TRUE(in.ssc_AddMessage(probe, message, phase));
        probeLog.clear();
        EXPECT_EQ(SendMessageW(probe, m1, 0, 0), c.answer) << c.name;
        EXPECT_EQ(probeLog, c.log) << c.name;
        // Stopped, the window answers as before and the owner hears nothing.
        ASSERT_TRUE(in.ssc_Stop(probe)) << c.name;
        probeLog.clear();
        EXPECT_EQ(SendMessageW(probe, m1, 0, 0), 101) << c.name;
        EXPECT_EQ(probeLog, std::vector<std::string>{c.unicode ? "proc m1" : "procA m1"}) << c.name;
        DestroyWindow(probe);
    }
    EXPECT_TRUE(platform.events.empty());
}

// A procedure that someone else put in front of ours after we started.
WNDPROC laterPrevious = nullptr;
LRESULT CALLBACK laterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP && message < WM_APP + 100) probeLog.push_back("later " + name(message));
    return CallWindowProcW(laterPrevious, window, message, wParam, lParam);
}

TEST(WindowInterception, ChainsStopAllAndDestroyedWindows) {
    LoggingPlatform platform;
    RecordingClient client;
    const UINT m3 = WM_APP + 3;
    HWND a = makeProbe(true), b = makeProbe(true);
    {
        WindowInterception in(platform, client);
        ASSERT_TRUE(in.ssc_Subclass(a, 1));
        ASSERT_TRUE(in.ssc_Subclass(b, 2));
        in.ssc_AddMessage(a, static_cast<std::int32_t>(m3), PhaseBefore);
        in.ssc_AddMessage(b, static_cast<std::int32_t>(m3), PhaseBefore);
        laterPrevious = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(a, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&laterProc)));
        // Stopping a window whose procedure was replaced after ours keeps the chain whole.
        EXPECT_TRUE(in.ssc_Stop(a));
        probeLog.clear();
        EXPECT_EQ(SendMessageW(a, m3, 0, 0), 103);
        EXPECT_EQ(probeLog, (std::vector<std::string>{"later m3", "proc m3"}));
        // Ours is still in that chain: starting again takes it up with empty tables.
        EXPECT_TRUE(in.ssc_Subclass(a, 4));
        in.ssc_AddMessage(a, static_cast<std::int32_t>(m3), PhaseAfter);
        probeLog.clear();
        SendMessageW(a, m3, 0, 0);
        EXPECT_EQ(probeLog, (std::vector<std::string>{"later m3", "proc m3", "after m3 r103 u4"}));
        EXPECT_EQ(in.windows().size(), 2u);
        // The owner's end stops everything it intercepts.
    }
    probeLog.clear();
    SendMessageW(a, m3, 0, 0);
    SendMessageW(b, m3, 0, 0);
    EXPECT_EQ(probeLog, (std::vector<std::string>{"later m3", "proc m3", "proc m3"}));

    // A window destroyed while intercepted leaves by itself; its handle can be intercepted anew
    // by nobody (it is no window any more).
    WindowInterception in(platform, client);
    ASSERT_TRUE(in.ssc_Subclass(b, 2));
    DestroyWindow(b);
    EXPECT_FALSE(in.intercepting(b));
    EXPECT_TRUE(in.windows().empty());
    EXPECT_FALSE(in.ssc_Stop(b));
    DestroyWindow(a);
    EXPECT_TRUE(platform.events.empty());
}

TEST(WindowInterception, RefusalsAsTheUserSeesThem) {
    LoggingPlatform platform;
    RecordingClient client;
    WindowInterception in(platform, client);
    HWND probe = makeProbe(true);
    HWND other = GetDesktopWindow();
    DWORD otherProcess = 0;
    GetWindowThreadProcessId(other, &otherProcess);
    ASSERT_NE(otherProcess, GetCurrentProcessId()) << "the desktop window is expected in another process";
    ASSERT_TRUE(in.ssc_Subclass(probe, 0));
    const std::u16string overflow = interception::overflowMessage();
    const struct {
        const char* name;
        std::function<bool()> call;
        std::u16string routine, text;
    } cases[] = {
        {"no handle", [&] { return in.ssc_Subclass(nullptr, 0); }, u"ssc_Subclass", u"Invalid window handle"},
        {"not a window", [&] { return in.ssc_Subclass(reinterpret_cast<HWND>(0x7FFF1234), 0); },
         u"ssc_Subclass", u"Invalid window handle"},
        {"another process", [&] { return in.ssc_Subclass(other, 0); }, u"ssc_Subclass",
         u"Window handle belongs to another process"},
        {"twice", [&] { return in.ssc_Subclass(probe, 0); }, u"ssc_Subclass",
         u"Window handle is already subclassed"},
        {"full table",
         [&] {
             for (std::int32_t m = 1; m <= interception::MSG_ENTRIES; ++m)
                 if (!in.ssc_AddMessage(probe, static_cast<std::int32_t>(WM_APP) + m, PhaseAfter))
                     return true;
             return in.ssc_AddMessage(probe, static_cast<std::int32_t>(WM_APP) + 40, PhaseAfter);
         },
         u"zAddMsg", overflow},
        {"missing message", [&] { return in.ssc_RemoveMessage(probe, 0x8001, PhaseBefore); }, u"zDelMsg",
         u"Message &H8001 not found in table"},
        {"window not intercepted", [&] { return in.ssc_AddMessage(other, 5, PhaseBefore); }, u"zAddMsg",
         u"Window handle is not subclassed"},
    };
    MessageBoxWatcher::instance().take();
    for (const auto& c : cases) {
        platform.events.clear();
        EXPECT_FALSE(c.call()) << c.name;
        ASSERT_EQ(platform.events.size(), 1u) << c.name;
        EXPECT_EQ(platform.events[0].first, EventLogType::Error) << c.name;
        EXPECT_EQ(platform.events[0].second, u"ucComboBoxEx." + c.routine + u": " + c.text) << c.name;
        const auto boxes = MessageBoxWatcher::instance().take();
        ASSERT_EQ(boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes[0].title, wide(u"Error in ucComboBoxEx." + c.routine)) << c.name;
        EXPECT_EQ(boxes[0].text, wide(c.text + u".")) << c.name;
    }
    // The refusals changed nothing: the window is still intercepted once, with its first table.
    probeLog.clear();
    SendMessageW(probe, WM_APP + 1, 0, 0);
    EXPECT_EQ(probeLog, (std::vector<std::string>{"proc m1", "after m1 r101 u0"}));
    DestroyWindow(probe);
}

// ---- the native window ----

/// What the window reported, in order; ListFirstShown is answered from `moveListTo` (moved
/// there) or cancelled.
class RecordingEvents : public ComboWindowEvents {
public:
    std::vector<ComboNotification> seen;
    bool cancelList = false;
    RECT moveListTo{};
    bool onComboNotification(ComboNotification& n) override {
        seen.push_back(n);
        if (n.kind == ComboNotificationKind::ListFirstShown && !cancelList) {
            n.left = moveListTo.left;
            n.top = moveListTo.top;
            n.right = moveListTo.right;
            n.bottom = moveListTo.bottom;
        }
        return !cancelList;
    }
    std::vector<ComboNotificationKind> kinds() {
        std::vector<ComboNotificationKind> out;
        for (const auto& n : seen) out.push_back(n.kind);
        seen.clear();
        return out;
    }
};

using K = ComboNotificationKind;

/// A visible top-level window holding the control, as a property page holds it.
struct Host {
    HWND window = nullptr;
    Host() {
        static const bool registered = [] {
            WNDCLASSW w{};
            w.lpfnWndProc = DefWindowProcW;
            w.hInstance = GetModuleHandleW(nullptr);
            w.lpszClassName = L"Seg4ComboHost";
            return RegisterClassW(&w) != 0;
        }();
        (void)registered;
        window = CreateWindowExW(0, L"Seg4ComboHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400,
                                 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(window);
        pump();
    }
    ~Host() { DestroyWindow(window); }
};

std::unique_ptr<Win32ComboWindow> makeWindow(Platform& platform, Host& host, RecordingEvents& events,
                                             std::int32_t comboStyle, bool designMode = false) {
    Win32ComboWindowFactory factory(platform, GetModuleHandleW(nullptr), host.window);
    ComboWindowSpec spec;
    spec.comboStyle = comboStyle;
    spec.widthPixels = 120;
    spec.heightPixels = 8 * 21;
    spec.designMode = designMode;
    auto made = factory.create(spec, events);
    EXPECT_TRUE(made);
    return std::unique_ptr<Win32ComboWindow>(static_cast<Win32ComboWindow*>(made.release()));
}

TEST(Win32ComboWindow, ItemsSearchAndSelection) {
    LoggingPlatform platform;
    Host host;
    RecordingEvents events;
    auto w = makeWindow(platform, host, events, CBS_DROPDOWNLIST);
    const std::u16string names[] = {u"Red", u"Green", u"Yellow", u"Light blue", u"red"};
    for (std::int32_t i = 0; i < 5; ++i) {
        ComboItem item;
        item.text = names[i];
        item.image = i;
        item.selectedImage = i + 10;
        item.indent = i % 3;
        item.data = -1000 * i;
        EXPECT_EQ(w->insertItem(-1, item), i);
    }
    ComboItem first;
    first.text = u"Blue \u00E9\u4E2D";
    EXPECT_EQ(w->insertItem(0, first), 0);
    EXPECT_EQ(w->insertItem(7, first), -1) << "past the end";
    EXPECT_EQ(w->count(), 6);
    const auto third = w->item(3);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->text, u"Yellow");
    EXPECT_EQ(third->image, 2);
    EXPECT_EQ(third->selectedImage, 12);
    EXPECT_EQ(third->indent, 2);
    EXPECT_EQ(third->data, -2000);
    EXPECT_EQ(w->item(0)->text, u"Blue \u00E9\u4E2D");
    EXPECT_FALSE(w->item(6));
    EXPECT_FALSE(w->item(-1));
    ComboItem longer;
    longer.text = std::u16string(1000, u'x');
    EXPECT_TRUE(w->setItem(5, longer));
    EXPECT_EQ(w->item(5)->text, longer.text);
    EXPECT_FALSE(w->setItem(6, longer));
    EXPECT_TRUE(w->setItem(5, ComboItem{u"red", 4, 14, -1, 1, -4000}));

    // Items: 0 "Blue..", 1 Red, 2 Green, 3 Yellow, 4 Light blue, 5 red. The search starts after
    // item 0 and ignores case.
    const struct {
        std::u16string text;
        bool exact;
        std::int32_t found;
    } searches[] = {
        {u"RED", true, 1},   {u"red", false, 1},   {u"Re", true, -1}, {u"gr", false, 2},
        {u"Blue", false, 0}, {u"light", false, 4}, {u"x", false, -1}, {u"", true, -1},
    };
    for (const auto& s : searches)
        EXPECT_EQ(w->findString(s.text, s.exact), s.found) << testing::PrintToString(wide(s.text)) << s.exact;

    EXPECT_EQ(w->selection(), -1);
    EXPECT_TRUE(w->select(3));
    EXPECT_EQ(w->selection(), 3);
    EXPECT_FALSE(w->select(6));
    EXPECT_EQ(w->selection(), -1) << "an index that is not an item clears the selection";
    EXPECT_TRUE(w->select(2));
    EXPECT_FALSE(w->select(-2));
    EXPECT_TRUE(w->select(-1));
    EXPECT_EQ(w->selection(), -1);
    EXPECT_TRUE(w->deleteItem(0));
    EXPECT_FALSE(w->deleteItem(5));
    EXPECT_EQ(w->count(), 5);
    w->clear();
    EXPECT_EQ(w->count(), 0);
    pump();
    EXPECT_TRUE(events.kinds().empty()) << "the owner's own changes are not reported";
}

void addColours(ComboWindow& w) {
    for (const char16_t* text : {u"Red", u"Green", u"Yellow", u"Light blue"})
        w.insertItem(-1, ComboItem{text});
}

TEST(Win32ComboWindow, UserActionsReported) {
    LoggingPlatform platform;
    Host host;
    RecordingEvents events;
    auto w = makeWindow(platform, host, events, CBS_DROPDOWNLIST);
    addColours(*w);
    EXPECT_FALSE(w->hasEditField());
    HWND combo = reinterpret_cast<HWND>(w->comboWindow());
    ASSERT_TRUE(combo);

    // Keys on the closed list move the selection as a user's do.
    SendMessageW(combo, WM_KEYDOWN, VK_DOWN, 0);
    pump();
    EXPECT_EQ(w->selection(), 0);
    EXPECT_EQ(events.kinds(), std::vector<K>{K::SelectionChanged});
    SendMessageW(combo, WM_KEYDOWN, VK_END, 0);
    pump();
    EXPECT_EQ(w->selection(), 3);
    EXPECT_EQ(events.kinds(), std::vector<K>{K::SelectionChanged});

    // Dropping the list: the drop-down, then its first colour request with the list's screen
    // rectangle, which the owner moves; closing forgets the list.
    events.moveListTo = RECT{50, 60, 250, 160};
    w->setDropped(true);
    pump();
    HWND list = w->listWindow();
    std::vector<K> dropped = events.kinds();
    if (!list) { // the list asks for its colours when it paints
        RedrawWindow(combo, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(combo, &info);
        if (info.hwndList) RedrawWindow(info.hwndList, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        pump();
        list = w->listWindow();
        for (K k : events.kinds()) dropped.push_back(k);
    }
    EXPECT_TRUE(w->dropped());
    ASSERT_EQ(dropped, (std::vector<K>{K::DroppedDown, K::ListFirstShown}));
    ASSERT_TRUE(list);
    RECT r{};
    GetWindowRect(list, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 100);
    // Painted again while dropped: no second report.
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump();
    EXPECT_TRUE(events.kinds().empty());
    w->setDropped(false);
    pump();
    // The window may also end an edit because of the list (reason 4); its record names the
    // selected item.
    ASSERT_FALSE(events.seen.empty());
    EXPECT_EQ(events.seen[0].kind, K::ClosedUp);
    for (std::size_t i = 1; i < events.seen.size(); ++i) {
        const auto& n = events.seen[i];
        EXPECT_EQ(n.kind, K::EndEdit);
        EXPECT_EQ(n.why, CBENF_DROPDOWN);
        EXPECT_EQ(n.newIndex, 3);
        EXPECT_EQ(n.text, u"Light blue");
        EXPECT_FALSE(n.editChanged);
    }
    events.seen.clear();
    EXPECT_FALSE(w->listWindow());
}

TEST(Win32ComboWindow, EditFieldKeysAndEditing) {
    LoggingPlatform platform;
    Host host;
    RecordingEvents events;
    auto w = makeWindow(platform, host, events, CBS_DROPDOWN);
    addColours(*w);
    ASSERT_TRUE(w->hasEditField());
    HWND edit = w->editWindow();

    // Key codes keep their low byte; Shift, Ctrl and Alt add 1, 2 and 4 from the key state.
    const struct {
        std::vector<int> held;
        WPARAM key;
        std::int16_t code, shift;
    } keys[] = {
        {{}, 'A', 'A', 0},
        {{VK_SHIFT}, VK_F4, VK_F4, 1},
        {{VK_CONTROL, VK_MENU}, 0x1A5, 0xA5, 6},
        {{VK_SHIFT, VK_CONTROL, VK_MENU}, VK_HOME, VK_HOME, 7},
    };
    for (const auto& k : keys) {
        BYTE state[256] = {};
        for (int v : k.held) state[v] = 0x80;
        SetKeyboardState(state);
        SendMessageW(edit, WM_KEYDOWN, k.key, 0);
        SendMessageW(edit, WM_KEYUP, k.key, 0xC0000000);
        ASSERT_EQ(events.seen.size(), 2u) << k.key;
        EXPECT_EQ(events.seen[0].kind, K::KeyDown);
        EXPECT_EQ(events.seen[1].kind, K::KeyUp);
        for (const auto& n : events.seen) {
            EXPECT_EQ(n.keyCode, k.code) << k.key;
            EXPECT_EQ(n.shift, k.shift) << k.key;
        }
        events.seen.clear();
    }
    BYTE none[256] = {};
    SetKeyboardState(none);

    // Typing: editing begins with the focus, each change is reported, Enter ends it with the
    // text and the reason.
    SetFocus(edit);
    pump();
    SendMessageW(edit, WM_CHAR, 'Q', 0);
    SendMessageW(edit, WM_CHAR, 'z', 0);
    pump();
    EXPECT_EQ(w->editText(), u"Qz");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    pump();
    std::vector<K> got;
    const ComboNotification* end = nullptr;
    for (const auto& n : events.seen) {
        if (n.kind == K::KeyDown || n.kind == K::KeyUp) continue;
        got.push_back(n.kind);
        if (n.kind == K::EndEdit) end = &n;
    }
    EXPECT_EQ(got, (std::vector<K>{K::BeginEdit, K::EditChanged, K::EditChanged, K::EndEdit}));
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->editChanged);
    EXPECT_EQ(end->text, u"Qz");
    EXPECT_EQ(end->newIndex, -1);
    EXPECT_EQ(end->why, CBENF_RETURN);
    events.seen.clear();

    // The edit field's selection.
    w->setEditText(u"Yellow");
    w->setEditSelection(1, 4);
    EXPECT_EQ(w->selectionStart(), 1);
    EXPECT_EQ(w->selectionEnd(), 4);
    w->setMaxLength(3);
    SetWindowTextW(edit, L"");
    for (wchar_t c : std::wstring(L"abcdef")) SendMessageW(edit, WM_CHAR, c, 0);
    EXPECT_EQ(w->editText(), u"abc");
}

TEST(Win32ComboWindow, FontLayoutAndDesignMode) {
    LoggingPlatform platform;
    Host host;
    RecordingEvents events;
    auto w = makeWindow(platform, host, events, CBS_DROPDOWN);
    const int dpi = platform.pixelsPerInchY();
    const struct {
        ComboFont font;
        LONG height, weight;
    } fonts[] = {
        {ComboFont{u"Arial", 12, true, false, false, false, 0},
         -static_cast<LONG>(std::lround(12.0 * dpi / 72)), 700},
        {ComboFont{u"Tahoma", 8.25, false, true, true, true, 161},
         -static_cast<LONG>(std::lround(8.25 * dpi / 72)), 400},
    };
    std::int32_t lastHeight = 0;
    for (const auto& f : fonts) {
        w->setFont(f.font);
        LOGFONTW made{};
        ASSERT_TRUE(GetObjectW(w->font(), sizeof made, &made));
        EXPECT_EQ(made.lfHeight, f.height);
        EXPECT_EQ(made.lfWeight, f.weight);
        EXPECT_EQ(made.lfItalic != 0, f.font.italic);
        EXPECT_EQ(made.lfUnderline != 0, f.font.underline);
        EXPECT_EQ(made.lfStrikeOut != 0, f.font.strikethrough);
        EXPECT_EQ(made.lfCharSet, f.font.charset);
        EXPECT_EQ(std::wstring(made.lfFaceName), wide(f.font.face));
        EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(w->comboExWindow()), WM_GETFONT, 0, 0),
                  reinterpret_cast<LRESULT>(w->font()));
        EXPECT_GT(w->selectionFieldHeight(), 0);
        EXPECT_NE(w->selectionFieldHeight(), lastHeight);
        lastHeight = w->selectionFieldHeight();
    }
    events.seen.clear();
    w->layout(150, 25);
    pump();
    RECT client{};
    GetClientRect(reinterpret_cast<HWND>(w->controlWindow()), &client);
    EXPECT_EQ(client.right, 150);
    EXPECT_EQ(client.bottom, 25);
    EXPECT_EQ(events.kinds(), std::vector<K>{K::Resized});
    w->layout(150, 25);
    EXPECT_TRUE(events.kinds().empty()) << "the same size moves nothing";

    // While the container is designed nothing is intercepted and nothing is reported.
    RecordingEvents quiet;
    auto designed = makeWindow(platform, host, quiet, CBS_DROPDOWNLIST, true);
    addColours(*designed);
    EXPECT_FALSE(designed->interception());
    SendMessageW(reinterpret_cast<HWND>(designed->comboWindow()), WM_KEYDOWN, VK_DOWN, 0);
    designed->layout(90, 20);
    pump();
    EXPECT_EQ(designed->selection(), 0);
    EXPECT_TRUE(quiet.kinds().empty());
    EXPECT_TRUE(platform.events.empty());

    // Termination takes every window with it.
    const HWND handles[] = {reinterpret_cast<HWND>(w->controlWindow()),
                            reinterpret_cast<HWND>(w->comboExWindow()),
                            reinterpret_cast<HWND>(w->comboWindow()), w->editWindow()};
    w.reset();
    for (HWND h : handles) EXPECT_FALSE(IsWindow(h));
}

} // namespace
} // namespace seg4::wine
