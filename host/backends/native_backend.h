// Displays of the native core, linked into qhost, on the Linux platform adapter.
#pragma once

#include "backends/backend.h"

namespace seg4 {
class PosixPlatform;
}

namespace qhost {

class NativeBackend : public Backend {
public:
    /// `platform` is configured by the caller (language, registry, module folder, screen) and
    /// must outlive the backend and its displays.
    explicit NativeBackend(seg4::PosixPlatform& platform);
    std::unique_ptr<Display> create() override;
    void onMessageBox(std::function<void(const std::u16string& text)> handler) override;
    std::string name() const override { return "native"; }
    /// The page of the linked core over the in-memory colour list (page_native.cpp).
    std::unique_ptr<PageSession> openPage(std::vector<Display*> selected) override;
    /// The platform's twips per pixel, as a change of the screen's resolution would set them.
    void setTwipsPerPixel(float twips) override;
    /// The identity from the core's own tables and constants.
    std::string classId() override;
    std::string memberName(bool hostInterface, std::int32_t position) override;
    std::string fileVersion() override;

private:
    seg4::PosixPlatform& platform_;
};

} // namespace qhost
