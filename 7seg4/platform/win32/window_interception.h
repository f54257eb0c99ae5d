// Interception of the messages of windows the combo control does not own.
//
// The window procedure of an intercepted window is replaced (SetWindowLongPtrW for a Unicode
// window, SetWindowLongPtrA otherwise) by one shared procedure that finds the window's record in
// a process-wide map from window to record. Each record keeps the replaced procedure, the user
// value and the two message tables; messages of the before table reach the client before the
// replaced procedure runs (and may be answered there), messages of the after table afterwards,
// with the procedure's result to inspect or change.
//
// No code is generated at run time, so the "no executable memory" refusal of generated thunks
// cannot happen here. A window destroyed while intercepted leaves the map by itself.
#pragma once

#include "platform/message_tables.h"

#include <windows.h>

#include <vector>

namespace seg4 {

class Platform;

/// The one callback of an interception's owner.
class InterceptionClient {
public:
    virtual ~InterceptionClient() = default;
    /// `before`: called ahead of the window's own procedure; setting `handled` then makes the
    /// message return `result` without that procedure. After it, `result` holds the procedure's
    /// answer, which the client may change. `user` is the value given to ssc_Subclass.
    virtual void onInterceptedMessage(bool before, bool& handled, LRESULT& result, HWND window, UINT message,
                                      WPARAM wParam, LPARAM lParam, LONG_PTR user) = 0;
};

/// The interceptions of one owner. Every refusal and failure is reported through the platform
/// (event log and message box) and leaves nothing changed. Destroying the object stops all of
/// its interceptions.
class WindowInterception {
public:
    WindowInterception(Platform& platform, InterceptionClient& client);
    ~WindowInterception();
    WindowInterception(const WindowInterception&) = delete;
    WindowInterception& operator=(const WindowInterception&) = delete;

    /// Starts intercepting `window` (no message yet: add them with ssc_AddMessage).
    bool ssc_Subclass(HWND window, LONG_PTR user);
    /// Adds `message` (or interception::ALL_MESSAGES) to the tables of `phase` (1, 2 or 3).
    bool ssc_AddMessage(HWND window, std::int32_t message, int phase);
    bool ssc_RemoveMessage(HWND window, std::int32_t message, int phase);
    /// Gives `window` its own procedure back.
    bool ssc_Stop(HWND window);
    /// Stops every interception of this owner.
    void ssc_StopAll();

    bool intercepting(HWND window) const;
    /// The windows this owner intercepts.
    std::vector<HWND> windows() const;

private:
    Platform& platform_;
    InterceptionClient& client_;
};

} // namespace seg4
