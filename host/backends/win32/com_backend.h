// Displays of the registered Windows module (ARM_7seg4.ocx), created and driven through COM as a
// container drives them: the host's members by name through IDispatch, stored settings through
// IPersistPropertyBag, pictures through IViewObject, message boxes answered by a watcher thread.
#pragma once

#include "backends/backend.h"
#include "backends/host_options.h"

#include <memory>
#include <optional>
#include <string>

namespace qhost {

/// Binary standard output (the bytes the Linux build writes) and, when SEG4_WATCHDOG_SECONDS
/// names a number of seconds, a watchdog that ends the process after that long.
void prepareProcess();

/// Writes the host's settings where a Windows host keeps them (the current user's registry),
/// before the first display reads them: the registry file's keys of the current user, then the
/// profile and language (engb unless a registry file replaces them). Options that describe the
/// system itself (screen, code page, module folder) are accepted only when they name what the
/// system already is (under Wine runOnChangedSystem has made it so before). Throws std::runtime_error with a
/// clear message.
void applyHostOptions(const HostOptions& options);

/// The full path of the module registered for the display class; empty when there is none.
std::u16string registeredModulePath();

/// A folder's full path without a last separator; whether two such paths name the same folder.
std::u16string fullFolderPath(const std::u16string& path);
bool sameFolder(const std::u16string& a, const std::u16string& b);

/// Twips per pixel of the screen, as the module computes them (horizontally and vertically alike
/// unless the screen says otherwise: then the horizontal ones).
float screenTwipsPerPixel();

/// Under Wine, options that describe the system itself (--twips, --module-folder) change it for
/// the run: the screen's dots per inch, the module's registration (served from a copy in the
/// folder). qhost.exe then runs itself again in a child process, which reads the changed system,
/// and restores everything after; the child's exit status, or 2 when a change could not be
/// undone (each named on standard error). Nothing to change, the child itself or a real Windows:
/// no value, and the run goes on in this process. Throws std::runtime_error with a clear message
/// when a change cannot be made (the changes before it are undone).
std::optional<int> runOnChangedSystem(const HostOptions& options);

/// Ends the child that runOnChangedSystem waits for, so that the parent restores the system;
/// false when there is none (the watchdog then ends this process).
bool stopChildRun();

class ComBackend : public Backend {
public:
    /// Joins a single-threaded apartment and starts the message-box watcher.
    ComBackend();
    ~ComBackend() override;
    ComBackend(const ComBackend&) = delete;
    ComBackend& operator=(const ComBackend&) = delete;

    /// CoCreateInstance of the registered class (its Initialize runs there), sited in a container.
    std::unique_ptr<Display> create() override;
    void onMessageBox(std::function<void(const std::u16string& text)> handler) override;
    /// The registered property page, activated into a hidden window and driven through its
    /// child windows as a user drives them.
    std::unique_ptr<PageSession> openPage(std::vector<Display*> selected) override;
    std::string name() const override { return "ocx"; }
    /// The module takes its twips per pixel from the screen's resolution, which Windows fixes
    /// for the session: only the screen's own value is accepted (host_settings.cpp).
    void setTwipsPerPixel(float twips) override;
    /// The identity of the registered module (com_identity.cpp).
    std::string classId() override;
    std::string memberName(bool hostInterface, std::int32_t position) override;
    std::string fileVersion() override;

    struct Shared; // what the backend and its displays share: the watcher, the dispatch ids

private:
    std::shared_ptr<Shared> shared_;
    bool uninitialise_ = false;
};

} // namespace qhost
