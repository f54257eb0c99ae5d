// qhost.exe on a system changed for one run. Under Wine a script may ask for another module folder
// or another screen resolution, which a Windows user only gets by installing the module elsewhere
// or changing the display settings. qhost.exe makes those changes, runs itself again in a child
// process (a process reads the screen's resolution once, when it starts), and puts every change
// back when the child ends, however it ends: its exit status, a fault of the script, the watchdog.
#include "com_backend.h"
#include "com_session.h"

#include "automation/conversions.h"

#include <ARM_7seg4.h>

#include <cmath>
#include <functional>
#include <iostream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace qhost {

namespace {

/// Set in the child's environment: the system is already as the options describe it.
constexpr wchar_t kChildMarker[] = L"SEG4_QHOST_CHANGED_SYSTEM";
/// Where Wine reads the screen's dots per inch when a process starts.
constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

std::mutex childMutex;
HANDLE runningChild = nullptr; // guarded by childMutex

bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string utf8(const std::wstring& w) { return seg4::toUtf8(fromWide(w)); }

/// The changes made for the run, each with the step that undoes it.
class Changes {
public:
    Changes() = default;
    Changes(const Changes&) = delete;
    Changes& operator=(const Changes&) = delete;
    ~Changes() { restore(); }

    bool empty() const { return undo_.empty(); }

    /// Sets a registry value and remembers what was there (or that nothing was).
    void setValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                  DWORD size) {
        DWORD oldType = 0, oldSize = 0;
        std::vector<BYTE> old;
        bool present = RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &oldType, nullptr,
                                    &oldSize) == ERROR_SUCCESS;
        if (present) {
            old.resize(oldSize);
            present = RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &oldType, old.data(),
                                   &oldSize) == ERROR_SUCCESS;
            old.resize(oldSize);
        }
        const std::wstring label = key + L"\\" + (name ? name : L"(default)");
        const LSTATUS status = RegSetKeyValueW(root, key.c_str(), name, type, data, size);
        if (status != ERROR_SUCCESS)
            throw std::runtime_error("cannot set " + utf8(label) + ": " +
                                     systemMessage(static_cast<DWORD>(status)));
        const std::wstring valueName = name ? name : L"";
        undo_.emplace_back(label, [=] {
            const wchar_t* n = valueName.empty() ? nullptr : valueName.c_str();
            return present ? RegSetKeyValueW(root, key.c_str(), n, oldType, old.data(),
                                             static_cast<DWORD>(old.size()))
                           : RegDeleteKeyValueW(root, key.c_str(), n);
        });
    }

    /// Remembers a file the run made, to be removed after it.
    void madeFile(const std::wstring& path) {
        undo_.emplace_back(path, [path]() -> LSTATUS {
            return DeleteFileW(path.c_str()) ? ERROR_SUCCESS : static_cast<LSTATUS>(GetLastError());
        });
    }

    /// Undoes every change, the last first; a step that fails is reported and the others still
    /// run. False when one failed.
    bool restore() {
        bool ok = true;
        while (!undo_.empty()) {
            const auto [label, step] = std::move(undo_.back());
            undo_.pop_back();
            const LSTATUS status = step();
            if (status == ERROR_SUCCESS) continue;
            std::cerr << "qhost: cannot restore " << utf8(label) << ": "
                      << systemMessage(static_cast<DWORD>(status)) << "\n";
            ok = false;
        }
        return ok;
    }

private:
    std::vector<std::pair<std::wstring, std::function<LSTATUS()>>> undo_;
};

/// The screen at 1440 / twips dots per inch, which must be a whole number.
void changeTwips(Changes& changes, float twips) {
    if (twips == screenTwipsPerPixel()) return;
    const long dpi = std::lround(1440.0f / twips);
    if (dpi < 1 || 1440.0f / static_cast<float>(dpi) != twips) {
        std::ostringstream text;
        text << "--twips " << twips << ": the screen takes whole dots per inch, and 1440 / " << twips
             << " is not a whole number";
        throw std::runtime_error(text.str());
    }
    const auto value = static_cast<DWORD>(dpi);
    changes.setValue(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &value, sizeof value);
}

/// The registered module's classes served from a module in the given folder: the module's copy,
/// unless the folder holds a file of its name already (that one is then the folder's module).
void changeModuleFolder(Changes& changes, const std::string& folder) {
    const std::u16string registered = registeredModulePath();
    if (registered.empty()) return; // the run itself says that there is no module
    const std::size_t cut = registered.find_last_of(u"\\/");
    const std::u16string target = fullFolderPath(decodeAnsi(folder));
    if (sameFolder(fullFolderPath(registered.substr(0, cut)), target)) return;

    const std::wstring module = wide(target + u"\\" + registered.substr(cut + 1));
    if (GetFileAttributesW(module.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (!CopyFileW(wide(registered).c_str(), module.c_str(), TRUE))
            throw std::runtime_error("--module-folder " + folder +
                                     ": cannot copy the module there: " + systemMessage(GetLastError()));
        changes.madeFile(module);
    }
    const auto bytes = static_cast<DWORD>((module.size() + 1) * sizeof(wchar_t));
    for (const GUID& clsid : {CLSID_led7seg4, CLSID_ppg7seg4}) {
        wchar_t text[40] = {};
        StringFromGUID2(clsid, text, 40);
        changes.setValue(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + text + L"\\InprocServer32", nullptr,
                         REG_SZ, module.c_str(), bytes);
    }
}

BOOL WINAPI outliveInterrupt(DWORD) { return TRUE; } // the child ends, the parent restores

/// This program again, with the same command line and standard handles; its exit status.
int runChild() {
    SetEnvironmentVariableW(kChildMarker, L"1");
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (n < self.size()) {
            self.resize(n);
            break;
        }
        self.resize(self.size() * 2);
    }
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    std::cout.flush();
    std::cerr.flush();

    PROCESS_INFORMATION child{};
    SetConsoleCtrlHandler(outliveInterrupt, TRUE);
    if (!CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &child))
        throw std::runtime_error("cannot start qhost again on the changed system: " +
                                 systemMessage(GetLastError()));
    CloseHandle(child.hThread);
    {
        const std::lock_guard<std::mutex> lock(childMutex);
        runningChild = child.hProcess;
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(child.hProcess, &status);
    {
        const std::lock_guard<std::mutex> lock(childMutex);
        runningChild = nullptr;
    }
    CloseHandle(child.hProcess);
    SetConsoleCtrlHandler(outliveInterrupt, FALSE);
    return static_cast<int>(status);
}

} // namespace

std::optional<int> runOnChangedSystem(const HostOptions& options) {
    if (GetEnvironmentVariableW(kChildMarker, nullptr, 0) != 0 || !underWine()) return std::nullopt;
    Changes changes;
    if (options.twips) changeTwips(changes, *options.twips);
    if (!options.moduleFolder.empty()) changeModuleFolder(changes, options.moduleFolder);
    if (changes.empty()) return std::nullopt;
    const int status = runChild();
    return changes.restore() ? status : 2;
}

bool stopChildRun() {
    const std::lock_guard<std::mutex> lock(childMutex);
    if (!runningChild) return false;
    TerminateProcess(runningChild, 3);
    return true;
}

} // namespace qhost
