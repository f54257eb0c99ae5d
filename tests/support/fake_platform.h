// A platform double for tests: everything in memory, every message box recorded, and a fault
// injector that makes any one service fail the way Windows makes it fail, at a chosen call.
#pragma once

#include "automation/errors.h"
#include "call_sequence.h"
#include "platform/platform.h"

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace seg4::test {

/// The services that can fail, each with a countdown of its own. How each one fails is the way
/// its Windows call reports a failure to the adapter:
enum class Service {
    FileCheck,      ///< isOrdinaryFile: no such file (the attributes cannot be read)
    FileRead,       ///< readFile: the file opened, then a read failed (Device I/O error)
    ProfileRead,    ///< profileString: the INI file could not be read (Device I/O error)
    RegistryOpen,   ///< openCurrentUserKey: the key cannot be opened
    RegistryRead,   ///< RegistryKey::queryString: the value cannot be read
    StringResource, ///< loadStringResource: no such string
    MessageBox,     ///< messageBox: the box cannot be shown (0 instead of a button)
    Encode,         ///< encodeAnsi: the conversion fails and gives nothing
    Decode,         ///< decodeAnsi: likewise
};
inline constexpr std::array kServices{Service::FileCheck,    Service::FileRead,     Service::ProfileRead,
                                      Service::RegistryOpen, Service::RegistryRead, Service::StringResource,
                                      Service::MessageBox,   Service::Encode,       Service::Decode};
const char* serviceName(Service service);

/// Which call of a service fails, and how.
struct Fault {
    Service service = Service::FileRead;
    int call = 1;            ///< counted from 1 since the fault was injected
    bool persistent = false; ///< every call from `call` on fails, not just that one
    /// Memory runs out inside the service instead (std::bad_alloc, as the adapter's buffers
    /// surface it); only the services that read files take this.
    bool outOfMemory = false;
};

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
    /// Makes an existing file report `bytes` as its size without holding them (a huge file).
    void setApparentSize(const std::u16string& path, std::uint64_t bytes) { apparentSizes_[path] = bytes; }
    void removeFile(const std::u16string& path);
    void addFolder(const std::u16string& path);
    void setString(std::uint32_t id, const std::u16string& text);

    // ---- faults ----
    /// Arms `fault` and starts counting the calls of every service afresh.
    void inject(const Fault& fault);
    /// Disarms the fault; the counts stay readable.
    void clearFault() { fault_.reset(); }
    /// Calls of `service` since the last inject().
    int callsOf(Service service) const { return calls_[static_cast<std::size_t>(service)]; }
    /// How many calls the armed fault has failed.
    int faultsFired() const { return fired_; }

    // ---- what happened ----
    std::vector<MessageBoxRequest> messageBoxes;
    std::vector<std::u16string> registeredHelpFiles;
    std::vector<std::pair<EventLogType, std::u16string>> events;
    /// When set, message boxes ("messageBox", title: text (buttons and icon)) and event log
    /// entries ("reportEvent", type text) are recorded here too, in the order they happen.
    SequenceRecorder* calls = nullptr;
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
    std::optional<std::uint64_t> ordinaryFileSize(const std::u16string& path) override;
    std::vector<std::uint8_t> readFile(const std::u16string& path) override;
    std::string profileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              std::size_t bufferChars, const std::u16string& path) override;
    std::u16string moduleFolder() override { return folder; }
    std::u16string moduleBaseName() override { return baseName; }
    ModuleVersion moduleVersion() override { return version; }
    void registerHelpFile(const std::u16string& path) override { registeredHelpFiles.push_back(path); }
    std::optional<std::u16string> loadStringResource(std::uint32_t id) override;
    void reportEvent(EventLogType type, const std::u16string& text) override;
    std::uint32_t ansiCodePageOfLocale(std::uint32_t lcid) override;
    std::uint32_t systemAnsiCodePage() override { return systemCodePage; }
    std::string encodeAnsi(std::u16string_view text, std::uint32_t codePage) override;
    std::u16string decodeAnsi(std::string_view bytes, std::uint32_t codePage) override;

    std::map<std::uintptr_t, std::u16string> windowTexts;

    /// What the failed calls were about (the path or the key), in order.
    std::vector<std::u16string> faultSubjects;

    /// Counts a call of `service`; true when the armed fault fails it (memory faults throw here).
    bool failsNow(Service service, std::u16string_view subject = {});

private:
    static std::u16string upper(std::u16string s);
    std::map<std::u16string, std::map<std::u16string, std::u16string>>
        registry_; // upper-cased key/value names
    std::map<std::u16string, std::string> files_;
    std::map<std::u16string, std::uint64_t> apparentSizes_;
    std::set<std::u16string> folders_;
    std::map<std::uint32_t, std::u16string> strings_;
    std::optional<Fault> fault_;
    std::array<int, kServices.size()> calls_{};
    int fired_ = 0;
};

} // namespace seg4::test
