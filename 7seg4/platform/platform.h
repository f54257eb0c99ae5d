// The one boundary between the component and the operating system it runs on.
//
// The core reaches Windows services only through this interface. The win32 adapter uses the
// real APIs; the posix adapter gives the same answers on Linux from files and settings of the
// host; tests use a fault-injecting double. Paths are Windows paths built by the core
// (folder + "\" + name); adapters map them to their file system.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace seg4 {

/// Buttons and icon of a modal message box, with the values of MessageBoxW's uType.
namespace msgbox {
inline constexpr std::uint32_t Ok = 0x0;
inline constexpr std::uint32_t IconError = 0x10;
inline constexpr std::uint32_t IconQuestion = 0x20;
inline constexpr std::uint32_t IconExclamation = 0x30;
inline constexpr std::uint32_t IconInformation = 0x40;
inline constexpr int IdOk = 1;
} // namespace msgbox

struct MessageBoxRequest {
    std::u16string text;
    std::u16string title;
    std::uint32_t buttons = msgbox::Ok;
    std::uint32_t icon = 0;
};

enum class EventLogType : std::uint16_t { Error = 1, Warning = 2, Information = 4 };

struct ModuleVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int revision = 0;
};

/// An open registry key of the current user's hive, read only. Closed when destroyed.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    /// The value's data as text, queried into a buffer of `bufferBytes` bytes, up to its first
    /// NUL. Empty optional when the value is missing or does not fit the buffer.
    /// The query answers as RegQueryValueExA: the data as the ANSI function returns it (strings
    /// converted to the system ANSI code page with their terminating NUL, other types their
    /// stored bytes) must fit `bufferBytes`; the answer is that data decoded through the system
    /// code page up to its first NUL. The value's type plays no other part.
    virtual std::optional<std::u16string> queryString(std::u16string_view valueName,
                                                      std::size_t bufferBytes) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // --- registry (HKEY_CURRENT_USER, read only) ---
    /// Opens `subKey` ("Software\\...") for reading; nullptr when it does not exist or cannot
    /// be opened.
    virtual std::unique_ptr<RegistryKey> openCurrentUserKey(std::u16string_view subKey) = 0;

    // --- user interface ---
    /// Shows a modal message box and returns the button pressed (msgbox::IdOk for OK).
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    /// The text of a window, without its terminating NUL ("" for no window or no text).
    virtual std::u16string windowText(std::uintptr_t window) = 0;
    /// Screen twips per pixel (1440 / pixels per inch on Windows; 15 at 96 dpi).
    virtual float twipsPerPixelX() = 0;
    virtual float twipsPerPixelY() = 0;
    virtual int pixelsPerInchY() = 0;

    // --- files ---
    /// True only for an existing ordinary file: folders, hidden and system files do not count.
    virtual bool isOrdinaryFile(const std::u16string& path) = 0;
    /// The size in bytes of the file at `path` when it is an ordinary file (as isOrdinaryFile
    /// counts files); nothing otherwise.
    virtual std::optional<std::uint64_t> ordinaryFileSize(const std::u16string& path) = 0;
    /// The whole content of a file. Throws ComError with the runtime's file errors
    /// (hr::FileNotFound, hr::PathFileAccessError, hr::DeviceIoError, ...).
    virtual std::vector<std::uint8_t> readFile(const std::u16string& path) = 0;
    /// GetPrivateProfileStringA: the value of `key` in `section` of the INI file at `path`,
    /// or `defaultValue`, as ANSI bytes copied into a buffer of `bufferChars` characters (so at
    /// most bufferChars - 1 come back).
    virtual std::string profileString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue, std::size_t bufferChars,
                                      const std::u16string& path) = 0;

    // --- the module itself ---
    /// Folder of the component module, without a trailing separator.
    virtual std::u16string moduleFolder() = 0;
    /// File name of the module without extension ("ARM_7seg4").
    virtual std::u16string moduleBaseName() = 0;
    virtual ModuleVersion moduleVersion() = 0;
    /// Makes `path` the module's help file (App.HelpFile).
    virtual void registerHelpFile(const std::u16string& path) = 0;
    /// The module's own string resource with this absolute identifier; empty optional if none.
    virtual std::optional<std::u16string> loadStringResource(std::uint32_t id) = 0;
    virtual void reportEvent(EventLogType type, const std::u16string& text) = 0;

    // --- code pages ---
    /// The ANSI code page of a locale identifier (1252 for 2057, 1251 for 1049, ...).
    virtual std::uint32_t ansiCodePageOfLocale(std::uint32_t lcid) = 0;
    /// The system's default ANSI code page (CP_ACP).
    virtual std::uint32_t systemAnsiCodePage() = 0;
    /// WideCharToMultiByte: characters the code page cannot hold become '?'.
    virtual std::string encodeAnsi(std::u16string_view text, std::uint32_t codePage) = 0;
    /// MultiByteToWideChar.
    virtual std::u16string decodeAnsi(std::string_view bytes, std::uint32_t codePage) = 0;
};

} // namespace seg4
