// In-memory platform with recorded message boxes and injectable faults.
#include "fake_platform.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "platform/string_resources.h"
#include "profile_reader.h"

#include <new>

namespace seg4::test {

const char* serviceName(Service service) {
    switch (service) {
    case Service::FileCheck: return "file check";
    case Service::FileRead: return "file read";
    case Service::ProfileRead: return "profile read";
    case Service::RegistryOpen: return "registry open";
    case Service::RegistryRead: return "registry read";
    case Service::StringResource: return "string resource";
    case Service::MessageBox: return "message box";
    case Service::Encode: return "encode";
    case Service::Decode: return "decode";
    }
    return "?";
}

namespace {

class FakeKey : public RegistryKey {
public:
    FakeKey(FakePlatform& platform, std::map<std::u16string, std::u16string> values)
        : platform_(platform), values_(std::move(values)) {}
    std::optional<std::u16string> queryString(std::u16string_view valueName,
                                              std::size_t bufferBytes) override {
        if (platform_.failsNow(Service::RegistryRead)) return std::nullopt;
        std::u16string name(valueName);
        for (auto& c : name)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        auto it = values_.find(name);
        if (it == values_.end()) return std::nullopt;
        // As the ANSI query: one byte a character (the double's code page) and the terminator
        // must fit the caller's buffer; the answer stops at the first NUL.
        if (it->second.size() + 1 > bufferBytes) return std::nullopt;
        return it->second.substr(0, it->second.find(u'\0'));
    }

private:
    FakePlatform& platform_;
    std::map<std::u16string, std::u16string> values_;
};

} // namespace

FakePlatform::FakePlatform() = default;

std::u16string FakePlatform::upper(std::u16string s) {
    for (auto& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    return s;
}

void FakePlatform::setRegistryValue(const std::u16string& key, const std::u16string& name,
                                    const std::u16string& value) {
    registry_[upper(key)][upper(name)] = value;
}

void FakePlatform::addRegistryKey(const std::u16string& key) { registry_[upper(key)]; }

void FakePlatform::setHostLanguage(const std::u16string& code) {
    setRegistryValue(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentProfile", u"QuorvaneV4");
    setRegistryValue(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage", code);
}

void FakePlatform::setFile(const std::u16string& path, std::string bytes) { files_[path] = std::move(bytes); }
void FakePlatform::removeFile(const std::u16string& path) { files_.erase(path); }
void FakePlatform::addFolder(const std::u16string& path) { folders_.insert(path); }
void FakePlatform::setString(std::uint32_t id, const std::u16string& text) { strings_[id] = text; }

void FakePlatform::inject(const Fault& fault) {
    fault_ = fault;
    calls_.fill(0);
    fired_ = 0;
    faultSubjects.clear();
}

bool FakePlatform::failsNow(Service service, std::u16string_view subject) {
    const int call = ++calls_[static_cast<std::size_t>(service)];
    if (!fault_ || fault_->service != service) return false;
    if (call != fault_->call && !(fault_->persistent && call > fault_->call)) return false;
    ++fired_;
    faultSubjects.emplace_back(subject);
    if (fault_->outOfMemory) throw std::bad_alloc();
    return true;
}

std::vector<std::u16string> FakePlatform::messageTexts() const {
    std::vector<std::u16string> texts;
    for (const auto& m : messageBoxes) texts.push_back(m.text);
    return texts;
}

std::unique_ptr<RegistryKey> FakePlatform::openCurrentUserKey(std::u16string_view subKey) {
    if (failsNow(Service::RegistryOpen, subKey)) return nullptr;
    const std::u16string key = upper(std::u16string(subKey));
    auto it = registry_.find(key);
    if (it == registry_.end()) return nullptr;
    return std::make_unique<FakeKey>(*this, it->second);
}

int FakePlatform::messageBox(const MessageBoxRequest& request) {
    // What the component asked to show is recorded even when the box cannot be shown.
    messageBoxes.push_back(request);
    if (calls)
        calls->record("messageBox", toUtf8(request.title + u": " + request.text) + " (" +
                                        hexMessage(request.buttons | request.icon) + ")");
    return failsNow(Service::MessageBox) ? 0 : msgbox::IdOk;
}

void FakePlatform::reportEvent(EventLogType type, const std::u16string& text) {
    events.emplace_back(type, text);
    if (calls) calls->record("reportEvent", std::to_string(static_cast<int>(type)) + " " + toUtf8(text));
}

std::u16string FakePlatform::windowText(std::uintptr_t window) {
    auto it = windowTexts.find(window);
    return it == windowTexts.end() ? std::u16string() : it->second;
}

bool FakePlatform::isOrdinaryFile(const std::u16string& path) { return ordinaryFileSize(path).has_value(); }

std::optional<std::uint64_t> FakePlatform::ordinaryFileSize(const std::u16string& path) {
    if (failsNow(Service::FileCheck, path)) return std::nullopt;
    const auto it = files_.find(path);
    if (it == files_.end()) return std::nullopt;
    return apparentSizes_.count(path) ? apparentSizes_.at(path) : it->second.size();
}

std::vector<std::uint8_t> FakePlatform::readFile(const std::u16string& path) {
    ++fileReads;
    const bool fails = failsNow(Service::FileRead, path);
    if (folders_.count(path)) raise(hr::PathFileAccessError);
    auto it = files_.find(path);
    if (it == files_.end()) raise(hr::FileNotFound);
    // The file was found and opened: the failure comes part-way through reading it.
    if (fails) raise(hr::DeviceIoError);
    return {it->second.begin(), it->second.end()};
}

std::string FakePlatform::profileString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue, std::size_t bufferChars,
                                        const std::u16string& path) {
    if (failsNow(Service::ProfileRead, path)) raise(hr::DeviceIoError);
    auto it = files_.find(path);
    const std::string_view content = it == files_.end() ? std::string_view() : std::string_view(it->second);
    return readProfileString(content, section, key, defaultValue, bufferChars);
}

std::optional<std::u16string> FakePlatform::loadStringResource(std::uint32_t id) {
    if (failsNow(Service::StringResource)) return std::nullopt;
    if (auto it = strings_.find(id); it != strings_.end()) return it->second;
    return builtInString(id);
}

std::uint32_t FakePlatform::ansiCodePageOfLocale(std::uint32_t lcid) {
    switch (lcid) {
    case 1049: return 1251;
    case 1041: return 932;
    case 2052: return 936;
    case 1028: return 950;
    case 1032: return 1253;
    case 1055: return 1254;
    case 1066: return 1258;
    case 1054: return 874;
    case 1045:
    case 1038:
    case 1051:
    case 1060:
    case 1048: return 1250;
    default: return 1252;
    }
}

// Latin-1 stands in for every code page: enough for tests that follow bytes through.
std::string FakePlatform::encodeAnsi(std::u16string_view text, std::uint32_t) {
    if (failsNow(Service::Encode)) return {};
    std::string out;
    for (char16_t c : text) out += c < 256 ? static_cast<char>(c) : '?';
    return out;
}

std::u16string FakePlatform::decodeAnsi(std::string_view bytes, std::uint32_t) {
    if (failsNow(Service::Decode)) return {};
    std::u16string out;
    for (char b : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(b));
    return out;
}

} // namespace seg4::test
