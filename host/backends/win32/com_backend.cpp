// Displays of the registered Windows module through COM: the backend that hands them out.
//
// The rest of qhost.exe's Windows side sits beside it: process.cpp (binary output, watchdog),
// host_settings.cpp (the host's settings in the registry), message_box_watcher.cpp,
// dispatch_call.cpp (members by name through IDispatch), com_display.cpp (one display in its
// container), com_page.cpp (the property page in a hidden frame).
#include "com_backend.h"

#include "com_display.h"
#include "com_page.h"
#include "com_session.h"

#include <objbase.h>

#include <stdexcept>

// The class and interface identifiers are defined once, here, for the whole of qhost.exe.
#include <initguid.h>

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>

namespace qhost {

ComBackend::ComBackend() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
        throw std::runtime_error("cannot start COM: " + systemMessage(static_cast<DWORD>(hr)));
    uninitialise_ = SUCCEEDED(hr);
    shared_ = std::make_shared<Shared>();
}

ComBackend::~ComBackend() {
    shared_.reset(); // the watcher stops with the last display
    if (uninitialise_) CoUninitialize();
}

std::unique_ptr<Display> ComBackend::create() { return createComDisplay(shared_); }

std::unique_ptr<PageSession> ComBackend::openPage(std::vector<Display*> selected) {
    return openComPage(shared_, selected);
}

void ComBackend::onMessageBox(std::function<void(const std::u16string& text)> handler) {
    shared_->watcher.setHandler(
        [handler = std::move(handler)](const std::u16string&, const std::u16string& text) { handler(text); });
}

} // namespace qhost
