// Window-procedure replacement with a process-wide map from window to record.
#include "window_interception.h"

#include "platform/platform.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace seg4 {

using namespace interception;

namespace {

struct Record {
    HWND window = nullptr;
    WNDPROC previous = nullptr;
    bool unicode = true;
    LONG_PTR user = 0;
    MessageTables tables;
    // Null once the owner stopped: a record left behind another procedure only forwards.
    WindowInterception* owner = nullptr;
    InterceptionClient* client = nullptr;
};

// Records are shared so that a message in progress keeps its record while a callback stops
// the interception or destroys the window.
std::mutex& recordsMutex() {
    static std::mutex mutex;
    return mutex;
}
std::map<HWND, std::shared_ptr<Record>>& records() {
    static std::map<HWND, std::shared_ptr<Record>> map;
    return map;
}

std::shared_ptr<Record> findRecord(HWND window) {
    std::lock_guard lock(recordsMutex());
    const auto it = records().find(window);
    return it == records().end() ? nullptr : it->second;
}

void eraseRecord(const std::shared_ptr<Record>& record) {
    std::lock_guard lock(recordsMutex());
    const auto it = records().find(record->window);
    if (it != records().end() && it->second == record) records().erase(it);
}

LRESULT CALLBACK interceptedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LONG_PTR currentProc(const Record& record) {
    return record.unicode ? GetWindowLongPtrW(record.window, GWLP_WNDPROC)
                          : GetWindowLongPtrA(record.window, GWLP_WNDPROC);
}

// Gives the window its procedure back when ours is still the first in its chain; otherwise the
// record stays as a forwarder until the window goes, so that whoever replaced ours later keeps
// a working chain.
void release(const std::shared_ptr<Record>& record) {
    record->owner = nullptr;
    record->client = nullptr;
    if (!IsWindow(record->window)) {
        eraseRecord(record);
        return;
    }
    if (currentProc(*record) != reinterpret_cast<LONG_PTR>(&interceptedProc)) return;
    const auto previous = reinterpret_cast<LONG_PTR>(record->previous);
    if (record->unicode)
        SetWindowLongPtrW(record->window, GWLP_WNDPROC, previous);
    else
        SetWindowLongPtrA(record->window, GWLP_WNDPROC, previous);
    eraseRecord(record);
}

LRESULT callPrevious(const Record& record, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return record.unicode ? CallWindowProcW(record.previous, window, message, wParam, lParam)
                          : CallWindowProcA(record.previous, window, message, wParam, lParam);
}

LRESULT CALLBACK interceptedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<Record> record = findRecord(window);
    if (!record) // only a window whose record vanished mid-replacement can get here
        return IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                       : DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    if (record->client && record->tables.before.contains(message)) {
        bool handled = false;
        record->client->onInterceptedMessage(true, handled, result, window, message, wParam, lParam,
                                             record->user);
        if (handled) return result;
    }
    result = callPrevious(*record, window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        release(record);
        eraseRecord(record);
        return result;
    }
    // The client is read again: the procedure may have run a callback that stopped us.
    if (record->client && record->tables.after.contains(message)) {
        bool handled = false;
        record->client->onInterceptedMessage(false, handled, result, window, message, wParam, lParam,
                                             record->user);
    }
    return result;
}

std::shared_ptr<Record> ownRecord(const WindowInterception* owner, HWND window) {
    auto record = findRecord(window);
    return record && record->owner == owner ? record : nullptr;
}

} // namespace

WindowInterception::WindowInterception(Platform& platform, InterceptionClient& client)
    : platform_(platform), client_(client) {}

WindowInterception::~WindowInterception() { ssc_StopAll(); }

bool WindowInterception::ssc_Subclass(HWND window, LONG_PTR user) {
    const auto refuse = [this](const std::u16string& message) {
        reportError(platform_, u"ssc_Subclass", message);
        return false;
    };
    if (!window || !IsWindow(window)) return refuse(u"Invalid window handle");
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return refuse(u"Window handle belongs to another process");

    if (auto record = findRecord(window)) {
        if (record->owner) return refuse(u"Window handle is already subclassed");
        // A forwarder left behind another procedure: ours is still in the chain, take it up again.
        record->owner = this;
        record->client = &client_;
        record->user = user;
        record->tables = {};
        return true;
    }

    auto record = std::make_shared<Record>();
    record->window = window;
    record->unicode = IsWindowUnicode(window) != FALSE;
    record->user = user;
    record->owner = this;
    record->client = &client_;
    {
        // In the map before the procedure changes, so that no message finds the window unknown.
        std::lock_guard lock(recordsMutex());
        records()[window] = record;
    }
    const auto proc = reinterpret_cast<LONG_PTR>(&interceptedProc);
    SetLastError(0);
    const LONG_PTR previous = record->unicode ? SetWindowLongPtrW(window, GWLP_WNDPROC, proc)
                                              : SetWindowLongPtrA(window, GWLP_WNDPROC, proc);
    const DWORD error = GetLastError();
    if (previous == 0 && error != 0) {
        eraseRecord(record);
        const std::string number = std::to_string(error);
        return refuse(u"SetWindowLong failed, error #" + std::u16string(number.begin(), number.end()));
    }
    record->previous = reinterpret_cast<WNDPROC>(previous);
    return true;
}

bool WindowInterception::ssc_AddMessage(HWND window, std::int32_t message, int phase) {
    auto record = ownRecord(this, window);
    if (!record) {
        reportError(platform_, u"zAddMsg", u"Window handle is not subclassed");
        return false;
    }
    return addMessage(platform_, record->tables, message, phase);
}

bool WindowInterception::ssc_RemoveMessage(HWND window, std::int32_t message, int phase) {
    auto record = ownRecord(this, window);
    if (!record) {
        reportError(platform_, u"zDelMsg", u"Window handle is not subclassed");
        return false;
    }
    return removeMessage(platform_, record->tables, message, phase);
}

bool WindowInterception::ssc_Stop(HWND window) {
    // Stopping a window that is not (or no longer, after its destruction) intercepted is no
    // failure: termination stops whatever is left.
    auto record = ownRecord(this, window);
    if (!record) return false;
    release(record);
    return true;
}

void WindowInterception::ssc_StopAll() {
    for (HWND window : windows()) ssc_Stop(window);
}

bool WindowInterception::intercepting(HWND window) const { return ownRecord(this, window) != nullptr; }

std::vector<HWND> WindowInterception::windows() const {
    std::vector<HWND> out;
    std::lock_guard lock(recordsMutex());
    for (const auto& [window, record] : records())
        if (record->owner == this) out.push_back(window);
    return out;
}

} // namespace seg4
