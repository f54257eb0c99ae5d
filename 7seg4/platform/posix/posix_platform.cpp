// The platform services on Linux (see posix_platform.h).
//
// [SECTION] Construction and settings
// [SECTION] Registry
// [SECTION] User interface and screen
// [SECTION] Paths and files
// [SECTION] The module
// [SECTION] Code pages
#include "posix_platform.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "code_pages.h"
#include "file_name_case.h"
#include "platform/string_resources.h"
#include "profile_reader.h"
#include "registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace seg4 {

namespace {

text::AnsiCodec codecFor(const std::shared_ptr<posix::CodePages>& pages, std::uint32_t codePage) {
    return {[pages, codePage](std::string_view bytes) { return pages->decode(bytes, codePage); },
            [pages, codePage](std::u16string_view t) { return pages->encode(t, codePage); }};
}

// The folder "data" beside the running executable, as an installation lays it out; in a build
// tree the programs sit one folder further down (build/<preset>/host/qhost beside
// build/<preset>/data), so the parent folder's "data" is the next place to look.
std::string defaultModuleFolder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) exe = std::filesystem::current_path(error) / "unknown";
    const std::filesystem::path beside = exe.parent_path() / "data";
    const std::filesystem::path above = exe.parent_path().parent_path() / "data";
    if (!std::filesystem::is_directory(beside, error) && std::filesystem::is_directory(above, error))
        return above.string();
    return beside.string();
}

} // namespace

// [SECTION] Construction and settings

PosixPlatform::PosixPlatform()
    : moduleFolder_(defaultModuleFolder()), codePages_(std::make_shared<posix::CodePages>()),
      registry_(std::make_shared<Registry>()) {
    drives_['Z'] = "/";
}

PosixPlatform::~PosixPlatform() = default;

void PosixPlatform::setModuleFolder(const std::string& localPath) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(localPath, error);
    moduleFolder_ = error ? localPath : absolute.lexically_normal().string();
    while (moduleFolder_.size() > 1 && moduleFolder_.back() == '/') moduleFolder_.pop_back();
}

void PosixPlatform::setTwipsPerPixel(float x, float y) {
    if (!(std::isfinite(x) && std::isfinite(y) && x > 0 && y > 0))
        throw std::invalid_argument("twips per pixel must be positive");
    twipsX_ = x;
    twipsY_ = y;
}

void PosixPlatform::setSystemCodePage(std::uint32_t codePage) {
    if (!posix::CodePages::isSupported(codePage))
        throw std::invalid_argument("code page " + std::to_string(codePage) + " is not supported");
    systemCodePage_ = codePage;
}

void PosixPlatform::setDriveRoot(char letter, const std::string& localRoot) {
    if (!std::isalpha(static_cast<unsigned char>(letter))) throw std::invalid_argument("not a drive letter");
    drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = localRoot;
}

// [SECTION] Registry

namespace {

class PosixKey : public RegistryKey {
public:
    PosixKey(std::shared_ptr<const Registry> registry, std::u16string path, text::AnsiCodec ansi)
        : registry_(std::move(registry)), path_(std::move(path)), ansi_(std::move(ansi)) {}

    std::optional<std::u16string> queryString(std::u16string_view valueName,
                                              std::size_t bufferBytes) override {
        return registry_->queryAnsiString(path_, valueName, bufferBytes, ansi_);
    }

private:
    std::shared_ptr<const Registry> registry_;
    std::u16string path_;
    text::AnsiCodec ansi_;
};

} // namespace

void PosixPlatform::loadRegistryFile(const std::string& localPath) {
    std::ifstream in(localPath, std::ios::binary);
    if (!in) throw std::runtime_error(localPath + ": cannot read the registry file");
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error(localPath + ": cannot read the registry file");
    loadRegistryData(bytes, localPath);
}

void PosixPlatform::loadRegistryData(std::string_view bytes, const std::string& sourceName) {
    registry_->load(bytes, sourceName, codecFor(codePages_, systemCodePage_));
}

void PosixPlatform::setRegistryString(const std::u16string& key, const std::u16string& valueName,
                                      const std::u16string& value) {
    registry_->setString(key, valueName, value);
}

void PosixPlatform::clearRegistry() { registry_->clear(); }

std::unique_ptr<RegistryKey> PosixPlatform::openCurrentUserKey(std::u16string_view subKey) {
    // The platform refuses a path that starts with a backslash.
    if (!subKey.empty() && subKey.front() == u'\\') return nullptr;
    if (!registry_->hasKey(subKey)) return nullptr;
    return std::make_unique<PosixKey>(registry_, std::u16string(subKey),
                                      codecFor(codePages_, systemCodePage_));
}

// [SECTION] User interface and screen

void PosixPlatform::setMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler) {
    messageBoxHandler_ = std::move(handler);
}

int PosixPlatform::messageBox(const MessageBoxRequest& request) {
    if (messageBoxHandler_) return messageBoxHandler_(request);
    std::string text = toUtf8(request.text);
    for (std::size_t pos; (pos = text.find("\r\n")) != std::string::npos;) text.erase(pos, 1);
    std::cerr << "[" << toUtf8(request.title) << "] " << text << std::endl;
    return msgbox::IdOk;
}

void PosixPlatform::setWindowText(std::uintptr_t window, const std::u16string& text) {
    windowTexts_[window] = text;
}

std::u16string PosixPlatform::windowText(std::uintptr_t window) {
    const auto it = windowTexts_.find(window);
    return it == windowTexts_.end() ? std::u16string() : it->second;
}

float PosixPlatform::twipsPerPixelX() { return twipsX_; }
float PosixPlatform::twipsPerPixelY() { return twipsY_; }
int PosixPlatform::pixelsPerInchY() { return static_cast<int>(std::lround(1440.0 / twipsY_)); }

// [SECTION] Paths and files

std::optional<std::string> PosixPlatform::localPath(const std::u16string& windowsPath) const {
    if (windowsPath.empty() || windowsPath.find(u'\0') != std::u16string::npos) return std::nullopt;
    std::string path = toUtf8(windowsPath);
    for (char& c : path)
        if (c == '\\') c = '/';
    const bool hasDrive =
        path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    if (!hasDrive) return path;
    const auto drive = drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    if (drive == drives_.end()) return std::nullopt;
    std::string root = drive->second;
    while (!root.empty() && root.back() == '/') root.pop_back();
    std::string rest = path.substr(2);
    if (!rest.empty() && rest.front() != '/') rest.insert(rest.begin(), '/');
    const std::string joined = root + rest;
    return joined.empty() ? std::string("/") : joined;
}

std::u16string PosixPlatform::windowsPath(const std::string& local) const {
    // The drive whose folder is the longest prefix of the path.
    char bestDrive = 0;
    std::size_t bestLength = 0;
    for (const auto& [letter, folder] : drives_) {
        std::string root = folder;
        while (!root.empty() && root.back() == '/') root.pop_back();
        const bool inside =
            local.starts_with(root) && (local.size() == root.size() || local[root.size()] == '/');
        if (inside && (bestDrive == 0 || root.size() > bestLength)) {
            bestDrive = letter;
            bestLength = root.size();
        }
    }
    if (bestDrive == 0) return fromUtf8(local);
    std::string rest = local.substr(bestLength);
    for (char& c : rest)
        if (c == '/') c = '\\';
    return fromUtf8(std::string(1, bestDrive) + ":" + (rest.empty() ? std::string("\\") : rest));
}

bool PosixPlatform::isOrdinaryFile(const std::u16string& path) { return ordinaryFileSize(path).has_value(); }

std::optional<std::uint64_t> PosixPlatform::ordinaryFileSize(const std::u16string& path) {
    auto local = localPath(path);
    if (!local) return std::nullopt;
    struct stat info {};
    if (::stat(local->c_str(), &info) != 0) {
        // Not there as spelt: perhaps in another letter case.
        if (errno != ENOENT && errno != ENOTDIR) return std::nullopt;
        std::string resolved = posix::resolveLetterCase(*local);
        if (resolved == *local || ::stat(resolved.c_str(), &info) != 0) return std::nullopt;
        *local = std::move(resolved);
    }
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    const std::string name = std::filesystem::path(*local).filename().string();
    if (!name.empty() && name.front() == '.') return std::nullopt; // hidden, as Windows hides it
    return static_cast<std::uint64_t>(info.st_size);
}

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const noexcept { return fd_; }

private:
    int fd_;
};

HResult openError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return hr::FileNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ELOOP: return hr::PathFileAccessError;
    case ENAMETOOLONG: return hr::BadFileNameOrNumber;
    default: return hr::DeviceIoError;
    }
}

} // namespace

std::vector<std::uint8_t> PosixPlatform::readFile(const std::u16string& path) {
    const auto local = localPath(path);
    if (!local) {
        if (path.empty() || path.find(u'\0') != std::u16string::npos) raise(hr::BadFileNameOrNumber);
        raise(hr::FileNotFound); // a drive that is not mapped
    }
    // Only ordinary files are read: a folder, a device or a pipe is no file to the runtime (and
    // a pipe or a terminal could block the read forever). Non-blocking, should one appear
    // between the check and the open.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    int opened = ::open(local->c_str(), kFlags);
    if (opened < 0) {
        const int error = errno;
        // Not there as spelt: perhaps in another letter case; otherwise the first failure counts.
        const std::string resolved =
            error == ENOENT || error == ENOTDIR ? posix::resolveLetterCase(*local) : *local;
        if (resolved == *local) raise(openError(error));
        opened = ::open(resolved.c_str(), kFlags);
        if (opened < 0) raise(openError(errno));
    }
    const FileDescriptor file(opened);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) raise(hr::DeviceIoError);
    if (!S_ISREG(info.st_mode)) raise(hr::PathFileAccessError);
    // Straight into place, the size the file has now; a file whose size is not known ahead
    // (as some system files report 0) is read until its end.
    const auto expected = static_cast<std::size_t>(info.st_size);
    std::vector<std::uint8_t> bytes(expected == 0 ? 16384 : expected);
    std::size_t filled = 0;
    while (true) {
        if (filled == bytes.size()) {
            if (expected != 0) break; // the whole file as it was when it was opened
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t n = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raise(hr::DeviceIoError);
        if (n == 0) break;
        filled += static_cast<std::size_t>(n);
    }
    bytes.resize(filled);
    return bytes;
}

std::string PosixPlatform::profileString(std::string_view section, std::string_view key,
                                         std::string_view defaultValue, std::size_t bufferChars,
                                         const std::u16string& path) {
    const text::AnsiCodec codec = codecFor(codePages_, systemCodePage_);
    std::vector<std::uint8_t> bytes;
    try {
        bytes = readFile(path);
    } catch (const ComError& e) {
        // A missing file reads as an empty one; one that exists but cannot be opened gives the
        // default without the quote rule, as the platform's reader does; a failed read is empty.
        if (e.code() == hr::PathFileAccessError)
            return unreadableProfileString(defaultValue, bufferChars, codec);
    }
    const std::string_view content(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return readProfileString(content, section, key, defaultValue, bufferChars, codec);
}

// [SECTION] The module

std::u16string PosixPlatform::moduleFolder() { return windowsPath(moduleFolder_); }
std::u16string PosixPlatform::moduleBaseName() { return u"ARM_7seg4"; }
ModuleVersion PosixPlatform::moduleVersion() { return {4, 0, 0, 1}; }
void PosixPlatform::registerHelpFile(const std::u16string& path) { helpFile_ = path; }
std::optional<std::u16string> PosixPlatform::loadStringResource(std::uint32_t id) {
    return builtInString(id);
}

void PosixPlatform::setEventSink(std::function<void(EventLogType, const std::u16string&)> sink) {
    eventSink_ = std::move(sink);
}

void PosixPlatform::reportEvent(EventLogType type, const std::u16string& text) {
    events_.emplace_back(type, text);
    if (eventSink_) eventSink_(type, text);
}

// [SECTION] Code pages

std::uint32_t PosixPlatform::resolve(std::uint32_t codePage) const noexcept {
    return codePage == 0 ? systemCodePage_ : codePage;
}

std::uint32_t PosixPlatform::ansiCodePageOfLocale(std::uint32_t lcid) {
    return posix::ansiCodePageOfLocale(lcid, systemCodePage_);
}

std::uint32_t PosixPlatform::systemAnsiCodePage() { return systemCodePage_; }

std::string PosixPlatform::encodeAnsi(std::u16string_view text, std::uint32_t codePage) {
    return codePages_->encode(text, resolve(codePage));
}

std::u16string PosixPlatform::decodeAnsi(std::string_view bytes, std::uint32_t codePage) {
    return codePages_->decode(bytes, resolve(codePage));
}

} // namespace seg4
