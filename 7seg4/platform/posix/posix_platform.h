// The platform services on Linux: a registry from .reg files or the host's settings, message
// boxes handed to the host, files, the profile reader's rules, screen metrics and code pages.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <map>
#include <string>

namespace seg4 {

class PosixPlatform : public Platform {
public:
    PosixPlatform();
    ~PosixPlatform() override;

    // ---- settings of the host ----
    /// Folder of the module (data files beside it), as a local path.
    void setModuleFolder(const std::string& localPath);
    void setTwipsPerPixel(float x, float y);
    void setSystemCodePage(std::uint32_t codePage);
    /// Adds the keys and string values of a registry export (REGEDIT4 or version 5.00) for
    /// HKEY_CURRENT_USER. Throws std::runtime_error with the file and line on malformed input.
    void loadRegistryFile(const std::string& localPath);
    /// Sets one string value (creating its key), e.g. ("Software\\DelmarshSW\\...", "CurrentLanguage",
    /// "dede").
    void setRegistryString(const std::u16string& key, const std::u16string& valueName,
                           const std::u16string& value);
    /// Removes every key and value.
    void clearRegistry();
    /// Receives every message box; without a handler boxes are answered OK silently.
    void setMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler);
    /// The help file registered last ("" if none).
    const std::u16string& registeredHelpFile() const noexcept { return helpFile_; }

    // ---- Platform ----
    std::unique_ptr<RegistryKey> openCurrentUserKey(std::u16string_view subKey) override;
    int messageBox(const MessageBoxRequest& request) override;
    std::u16string windowText(std::uintptr_t window) override;
    float twipsPerPixelX() override;
    float twipsPerPixelY() override;
    int pixelsPerInchY() override;
    bool isOrdinaryFile(const std::u16string& path) override;
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

private:
    std::string moduleFolder_;
    float twipsX_ = 15;
    float twipsY_ = 15;
    std::uint32_t systemCodePage_ = 1252;
    std::u16string helpFile_;
    std::function<int(const MessageBoxRequest&)> messageBoxHandler_;
    // Registry keys by upper-cased path; each maps upper-cased value names to (name, data).
    std::map<std::u16string, std::map<std::u16string, std::u16string>> registry_;
};

} // namespace seg4
