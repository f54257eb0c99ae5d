// The platform services on Windows, through the real APIs: registry, message boxes, files, the
// profile reader, the module's own version, strings and folder, the event log and code pages.
#pragma once

#include "platform/platform.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>

namespace seg4 {

class Win32Platform : public Platform {
public:
    /// `module` is the component module (the .ocx), whose file, version and string table the
    /// component reads.
    explicit Win32Platform(HMODULE module);
    ~Win32Platform() override;

    /// The help file registered last ("" if none); the host shows it for the component.
    std::u16string helpFile() const;

    // ---- Platform ----
    std::unique_ptr<RegistryKey> openCurrentUserKey(std::u16string_view subKey) override;
    int messageBox(const MessageBoxRequest& request) override;
    std::u16string windowText(std::uintptr_t window) override;
    float twipsPerPixelX() override;
    float twipsPerPixelY() override;
    int pixelsPerInchY() override;
    bool isOrdinaryFile(const std::u16string& path) override;
    std::optional<std::uint64_t> ordinaryFileSize(const std::u16string& path) override;
    std::vector<std::uint8_t> readFile(const std::u16string& path) override;
    std::string profileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              std::size_t bufferChars, const std::u16string& path) override;
    std::u16string moduleFolder() override;
    std::u16string moduleBaseName() override;
    ModuleVersion moduleVersion() override;
    void registerHelpFile(const std::u16string& path) override;
    std::optional<std::u16string> loadStringResource(std::uint32_t id) override;
    void reportEvent(EventLogType type, const std::u16string& text) override;
    std::uint32_t ansiCodePageOfLocale(std::uint32_t lcid) override;
    std::uint32_t systemAnsiCodePage() override;
    std::string encodeAnsi(std::u16string_view text, std::uint32_t codePage) override;
    std::u16string decodeAnsi(std::string_view bytes, std::uint32_t codePage) override;

    /// The full path of the module file.
    std::u16string modulePath() const { return modulePath_; }

private:
    HMODULE module_;
    std::u16string modulePath_;
    mutable std::mutex mutex_; // the help file and the cached version are shared by all objects
    std::u16string helpFile_;
    std::optional<ModuleVersion> version_;
};

} // namespace seg4
