// A platform double for tests: everything in memory, every message box recorded, and switches
// that make a service fail the way Windows can fail.
#pragma once

#include "automation/errors.h"
#include "platform/platform.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace seg4::test {

class FakePlatform : public Platform {
public:
    FakePlatform();

    // ---- set-up ----
    /// Sets a registry string value, creating the key.
    void setRegistryValue(const std::u16string& key, const std::u16string& name, const std::u16string& value);
    /// Creates a key without values.
    void addRegistryKey(const std::u16string& key);
    /// The host's language in the default profile ("Software\DelmarshSW\QuorvaneV4\Info" ->
    /// "CurrentProfile" = QuorvaneV4, "Software\DelmarshSW\QuorvaneV4\Info" -> "CurrentLanguage").
    void setHostLanguage(const std::u16string& code);
    /// Adds a file at `folder + "\" + name` style path (any path string the core builds).
    void setFile(const std::u16string& path, std::string bytes);
    void removeFile(const std::u16string& path);
    void addFolder(const std::u16string& path);
    void setString(std::uint32_t id, const std::u16string& text);

    // ---- faults ----
    /// Every open of this registry key fails (as if access were denied).
    void failRegistryOpen(const std::u16string& key) { failingKeys_.insert(upper(key)); }
    /// loadStringResource fails for every id.
    void failStringResources(bool fail) { failStrings_ = fail; }

    // ---- what happened ----
    std::vector<MessageBoxRequest> messageBoxes;
    std::vector<std::u16string> registeredHelpFiles;
    std::vector<std::pair<EventLogType, std::u16string>> events;
    int fileReads = 0;
    /// Texts of the message boxes shown so far, in order.
    std::vector<std::u16string> messageTexts() const;

    // ---- settings ----
    std::u16string folder = u"C:\\Program Files\\Quorvane\\Components";
    std::u16string baseName = u"ARM_7seg4";
    ModuleVersion version{4, 0, 0, 1};
    float twipsX = 15;
    float twipsY = 15;
    std::uint32_t systemCodePage = 1252;

    // ---- Platform ----
    std::unique_ptr<RegistryKey> openCurrentUserKey(std::u16string_view subKey) override;
    int messageBox(const MessageBoxRequest& request) override;
    std::u16string windowText(std::uintptr_t window) override;
    float twipsPerPixelX() override { return twipsX; }
    float twipsPerPixelY() override { return twipsY; }
    int pixelsPerInchY() override { return static_cast<int>(1440.0f / twipsY); }
    bool isOrdinaryFile(const std::u16string& path) override;
    std::vector<std::uint8_t> readFile(const std::u16string& path) override;
    std::string profileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              std::size_t bufferChars, const std::u16string& path) override;
    std::u16string moduleFolder() override { return folder; }
    std::u16string moduleBaseName() override { return baseName; }
    ModuleVersion moduleVersion() override { return version; }
    void registerHelpFile(const std::u16string& path) override { registeredHelpFiles.push_back(path); }
    std::optional<std::u16string> loadStringResource(std::uint32_t id) override;
    void reportEvent(EventLogType type, const std::u16string& text) override {
        events.emplace_back(type, text);
    }
    std::uint32_t ansiCodePageOfLocale(std::uint32_t lcid) override;
    std::uint32_t systemAnsiCodePage() override { return systemCodePage; }
    std::string encodeAnsi(std::u16string_view text, std::uint32_t codePage) override;
    std::u16string decodeAnsi(std::string_view bytes, std::uint32_t codePage) override;

    std::map<std::uintptr_t, std::u16string> windowTexts;

private:
    static std::u16string upper(std::u16string s);
    std::map<std::u16string, std::map<std::u16string, std::u16string>>
        registry_; // upper-cased key/value names
    std::map<std::u16string, std::string> files_;
    std::set<std::u16string> folders_;
    std::map<std::uint32_t, std::u16string> strings_;
    std::set<std::u16string> failingKeys_;
    bool failStrings_ = false;
};

} // namespace seg4::test
