// PLACEHOLDER until the posix adapter lands.
#include "posix_platform.h"

#include "automation/conversions.h"
#include "automation/errors.h"

namespace seg4 {

PosixPlatform::PosixPlatform() = default;
PosixPlatform::~PosixPlatform() = default;
void PosixPlatform::setModuleFolder(const std::string& p) { moduleFolder_ = p; }
void PosixPlatform::setTwipsPerPixel(float x, float y) {
    twipsX_ = x;
    twipsY_ = y;
}
void PosixPlatform::setSystemCodePage(std::uint32_t cp) { systemCodePage_ = cp; }
void PosixPlatform::loadRegistryFile(const std::string&) {}
void PosixPlatform::setRegistryString(const std::u16string&, const std::u16string&, const std::u16string&) {}
void PosixPlatform::clearRegistry() { registry_.clear(); }
void PosixPlatform::setMessageBoxHandler(std::function<int(const MessageBoxRequest&)> h) {
    messageBoxHandler_ = std::move(h);
}
std::unique_ptr<RegistryKey> PosixPlatform::openCurrentUserKey(std::u16string_view) { return nullptr; }
int PosixPlatform::messageBox(const MessageBoxRequest& r) {
    return messageBoxHandler_ ? messageBoxHandler_(r) : msgbox::IdOk;
}
std::u16string PosixPlatform::windowText(std::uintptr_t) { return {}; }
float PosixPlatform::twipsPerPixelX() { return twipsX_; }
float PosixPlatform::twipsPerPixelY() { return twipsY_; }
int PosixPlatform::pixelsPerInchY() { return static_cast<int>(1440 / twipsY_); }
bool PosixPlatform::isOrdinaryFile(const std::u16string&) { return false; }
std::vector<std::uint8_t> PosixPlatform::readFile(const std::u16string&) { raise(hr::FileNotFound); }
std::string PosixPlatform::profileString(std::string_view, std::string_view, std::string_view d, std::size_t,
                                         const std::u16string&) {
    return std::string(d);
}
std::u16string PosixPlatform::moduleFolder() { return fromUtf8(moduleFolder_); }
std::u16string PosixPlatform::moduleBaseName() { return u"ARM_7seg4"; }
ModuleVersion PosixPlatform::moduleVersion() { return {4, 0, 0, 1}; }
void PosixPlatform::registerHelpFile(const std::u16string& p) { helpFile_ = p; }
std::optional<std::u16string> PosixPlatform::loadStringResource(std::uint32_t) { return std::nullopt; }
void PosixPlatform::reportEvent(EventLogType, const std::u16string&) {}
std::uint32_t PosixPlatform::ansiCodePageOfLocale(std::uint32_t) { return 1252; }
std::uint32_t PosixPlatform::systemAnsiCodePage() { return systemCodePage_; }
std::string PosixPlatform::encodeAnsi(std::u16string_view t, std::uint32_t) { return toUtf8(t); }
std::u16string PosixPlatform::decodeAnsi(std::string_view b, std::uint32_t) { return fromUtf8(b); }

} // namespace seg4
