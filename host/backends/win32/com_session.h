// What qhost.exe's displays, its page and its backend share: the message-box watcher, the
// dispatch ids asked for once, a scope around every call into the module, and the helpers that
// turn failures and text into qhost's own.
#pragma once

#include "com_backend.h"
#include "message_box_watcher.h"

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace qhost {

struct ComBackend::Shared {
    win32::MessageBoxWatcher watcher;
    /// Dispatch ids by interface (true: the host's) and member name, asked for once.
    std::map<std::pair<bool, std::string_view>, DISPID> ids;
};

using Shared = ComBackend::Shared;

/// Marks a call into a control, during which a message box may block the script thread.
class CallScope {
public:
    explicit CallScope(Shared& shared);
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    win32::MessageBoxWatcher& watcher_;
};

/// A failed call's error: the description the control published, else the runtime's text for
/// the code, as qhost prints it for the linked core.
[[noreturn]] void raiseFailure(HRESULT hr);
inline void check(HRESULT hr) {
    if (FAILED(hr)) raiseFailure(hr);
}

inline std::wstring wide(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string fromWide(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }

/// Text in the system's ANSI code page (command-line arguments, REGEDIT4 files) and back.
std::u16string decodeAnsi(std::string_view bytes);
std::string encodeAnsi(std::u16string_view text);

/// The system's text for an error code, without its final full stop.
std::string systemMessage(DWORD code);

} // namespace qhost
