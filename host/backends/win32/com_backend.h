// Displays of the registered Windows module (ARM_7seg4.ocx), created and driven through COM as a
// container drives them: the host's members by name through IDispatch, stored settings through
// IPersistPropertyBag, pictures through IViewObject, message boxes answered by a watcher thread.
#pragma once

#include "backends/backend.h"
#include "backends/host_options.h"

#include <memory>
#include <string>

namespace qhost {

/// Binary standard output (the bytes the Linux build writes) and, when SEG4_WATCHDOG_SECONDS
/// names a number of seconds, a watchdog that ends the process after that long.
void prepareProcess();

/// Writes the host's settings where a Windows host keeps them (the current user's registry),
/// before the first display reads them: the registry file's keys of the current user, then the
/// profile and language (engb unless a registry file replaces them). Options that describe the
/// system itself (screen, code page, module folder) cannot change it: each is accepted only when
/// it names what the system already is. Throws std::runtime_error with a clear message.
void applyHostOptions(const HostOptions& options);

/// The full path of the module registered for the display class; empty when there is none.
std::u16string registeredModulePath();

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
