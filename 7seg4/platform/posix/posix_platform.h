// The platform services on Linux: a registry from .reg files or the host's settings, message
// boxes handed to the host, files, the profile reader's rules, screen metrics and code pages.
//
// Paths arrive as Windows paths and are mapped as Wine maps them: "\" becomes "/", and a drive
// prefix becomes the folder that drive stands for ("Z:" is the root of the file system; other
// letters only when the host maps them). A path without drive is used as it is. The module's
// folder is handed to the core the same way back ("/opt/x/data" is "Z:\opt\x\data"), so texts
// that show paths read as they do under Wine.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace seg4 {

class Registry;
namespace posix {
class CodePages;
} // namespace posix

class PosixPlatform : public Platform {
public:
    PosixPlatform();
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    // ---- settings of the host ----
    /// Folder of the module (data files beside it), as a local path. The default is the folder
    /// "data" beside the running executable.
    void setModuleFolder(const std::string& localPath);
    /// Screen twips per pixel (15 at 96 pixels per inch). Throws std::invalid_argument unless
    /// both are positive and finite.
    void setTwipsPerPixel(float x, float y);
    /// The system's ANSI code page (1252 unless set). Throws std::invalid_argument for a code
    /// page the conversions do not support.
    void setSystemCodePage(std::uint32_t codePage);
    /// Makes Windows paths on drive `letter` ("C") refer to the local folder `localRoot`.
    void setDriveRoot(char letter, const std::string& localRoot);
    /// Adds the keys and values of a registry export (REGEDIT4 or version 5.00) for
    /// HKEY_CURRENT_USER. Throws std::runtime_error with the file and line on malformed input
    /// (or naming the file when it cannot be read) and then leaves the registry unchanged.
    void loadRegistryFile(const std::string& localPath);
    /// The same for the bytes of an export; `sourceName` names it in error messages.
    void loadRegistryData(std::string_view bytes, const std::string& sourceName);
    /// Sets one string value (creating its key), e.g. ("Software\\DelmarshSW\\...", "CurrentLanguage",
    /// "dede"). Throws std::invalid_argument for a key path with an empty part.
    void setRegistryString(const std::u16string& key, const std::u16string& valueName,
                           const std::u16string& value);
    /// Removes every key and value.
    void clearRegistry();
    /// The registry as loaded and set so far.
    const Registry& registry() const noexcept { return *registry_; }
    /// Receives every message box; without a handler a box is printed to stderr and answered OK.
    void setMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler);
    /// The help file registered last ("" if none).
    const std::u16string& registeredHelpFile() const noexcept { return helpFile_; }
    /// Every event reported to the application event log, in order.
    const std::vector<std::pair<EventLogType, std::u16string>>& events() const noexcept { return events_; }
    /// Also hands every reported event to `sink` (none by default).
    void setEventSink(std::function<void(EventLogType, const std::u16string&)> sink);
    /// The text windowText answers for a window handle (there are no real windows on Linux).
    void setWindowText(std::uintptr_t window, const std::u16string& text);

    /// The local path of a Windows path, or nothing when it cannot name a file (an empty path,
    /// a NUL in it, a drive that is not mapped).
    std::optional<std::string> localPath(const std::u16string& windowsPath) const;
    /// The Windows path of a local path, through the drive whose folder holds it.
    std::u16string windowsPath(const std::string& localPath) const;

    // ---- Platform ----
    std::unique_ptr<RegistryKey> openCurrentUserKey(std::u16string_view subKey) override;
    int messageBox(const MessageBoxRequest& request) override;
    std::u16string windowText(std::uintptr_t window) override;
    float twipsPerPixelX() override;
    float twipsPerPixelY() override;
    int pixelsPerInchY() override;
    /// Only existing ordinary files count: not folders, and not hidden files, which on Linux
    /// are the files whose name starts with ".".
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
    /// Code page 0 (CP_ACP) is the system code page; see posix::CodePages for the rules.
    std::string encodeAnsi(std::u16string_view text, std::uint32_t codePage) override;
    std::u16string decodeAnsi(std::string_view bytes, std::uint32_t codePage) override;

private:
    std::uint32_t resolve(std::uint32_t codePage) const noexcept;

    std::string moduleFolder_;
    float twipsX_ = 15;
    float twipsY_ = 15;
    std::uint32_t systemCodePage_ = 1252;
    std::u16string helpFile_;
    std::function<int(const MessageBoxRequest&)> messageBoxHandler_;
    std::function<void(EventLogType, const std::u16string&)> eventSink_;
    std::vector<std::pair<EventLogType, std::u16string>> events_;
    std::map<std::uintptr_t, std::u16string> windowTexts_;
    std::map<char, std::string> drives_; // upper-case letter -> local folder
    std::shared_ptr<posix::CodePages> codePages_;
    std::shared_ptr<Registry> registry_;
};

} // namespace seg4
