#include "message_box_watcher.h"

#include "window_reading.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace qhost::win32 {

namespace {

// A call that shows no box is over long before this; one that does waits in the box.
constexpr DWORD kCallGraceMs = 2;

std::vector<HWND> visibleBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t cls[16] = {};
            GetClassNameW(hwnd, cls, 16);
            if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && std::wcscmp(cls, L"#32770") == 0)
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

} // namespace

MessageBoxWatcher::MessageBoxWatcher(std::chrono::milliseconds idlePoll)
    : idlePoll_(idlePoll), thread_([this] { run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void MessageBoxWatcher::setHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void MessageBoxWatcher::enter() {
    {
        std::lock_guard lock(mutex_);
        ++active_;
        ++calls_;
    }
    wake_.notify_one();
}

void MessageBoxWatcher::leave() {
    std::lock_guard lock(mutex_);
    --active_;
}

void MessageBoxWatcher::run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        const bool woken = wake_.wait_for(lock, idlePoll_, [this] { return stop_ || active_ > 0; });
        if (stop_) return;
        const unsigned long call = calls_;
        lock.unlock();
        if (woken) Sleep(kCallGraceMs);
        lock.lock();
        // Without a call in progress there is seldom a box, but a slow look costs nothing.
        const bool sameCall = active_ > 0 && calls_ == call;
        if (!sameCall && woken) continue;
        lock.unlock();
        for (HWND box : visibleBoxes()) answer(box);
        lock.lock();
    }
}

void MessageBoxWatcher::answer(void* handle) {
    auto* box = static_cast<HWND>(handle);
    HWND label = GetDlgItem(box, 0xFFFF); // the static control that shows a message box's text
    const std::u16string title = windowText(box);
    const std::u16string text = label ? windowText(label) : std::u16string();
    {
        std::lock_guard lock(mutex_);
        try {
            if (handler_) handler_(title, text);
        } catch (...) { // the box is answered all the same, or the caller waits forever
        }
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // The next box of the same call must not be taken for this one.
    for (int waited = 0; waited < 5000 && IsWindow(box) && IsWindowVisible(box); ++waited) Sleep(1);
}

} // namespace qhost::win32
