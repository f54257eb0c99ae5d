// Finds the modal message boxes of this process from a thread of its own, reports each (title
// and text) and presses OK. qhost.exe and the Wine tests both watch the module's boxes with it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace qhost::win32 {

class MessageBoxWatcher {
public:
    using Handler = std::function<void(const std::u16string& title, const std::u16string& text)>;

    /// Starts the thread. Between calls (see enter) it looks for boxes every `idlePoll`.
    explicit MessageBoxWatcher(std::chrono::milliseconds idlePoll = std::chrono::milliseconds(250));
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    /// Called on the watcher's thread for every box, under the lock that enter and leave take.
    void setHandler(Handler handler);

    /// The caller's thread calls into a control: a box it shows is found within milliseconds.
    /// While it is blocked in the box, reporting the box from here keeps the order of everything
    /// it prints; the lock hands the caller's state between the threads at each call.
    void enter();
    /// The call returned: what the handler did is visible to the caller from here on.
    void leave();

private:
    void run();
    void answer(void* box);

    const std::chrono::milliseconds idlePoll_;
    std::mutex mutex_;
    std::condition_variable wake_;
    Handler handler_;
    int active_ = 0;
    unsigned long calls_ = 0;
    bool stop_ = false;
    std::thread thread_; // last: it starts once everything above is ready
};

} // namespace qhost::win32
