// The platform services through the Windows APIs.
#include "win32_platform.h"

#include "automation/errors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace seg4 {

namespace {

const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::u16string fromWide(const wchar_t* s, std::size_t n) {
    return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}

/// Bytes of `text` in code page `codePage`; characters it cannot hold become '?'. Code pages
/// that refuse a replacement character (UTF-7/8 and the stateful ones) convert without one.
std::string encode(std::u16string_view text, UINT codePage) {
    if (text.empty()) return {};
    const auto* src = reinterpret_cast<const wchar_t*>(text.data());
    const int srcLen = static_cast<int>(text.size());
    const char* replacement = "?";
    int n = WideCharToMultiByte(codePage, 0, src, srcLen, nullptr, 0, replacement, nullptr);
    if (n == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
        replacement = nullptr;
        n = WideCharToMultiByte(codePage, 0, src, srcLen, nullptr, 0, nullptr, nullptr);
    }
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, src, srcLen, out.data(), n, replacement, nullptr);
    return out;
}

std::u16string decode(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) return {};
    const int srcLen = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), srcLen, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), srcLen, out.data(), n);
    return fromWide(out.data(), out.size());
}

class Win32RegistryKey : public RegistryKey {
public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}
    ~Win32RegistryKey() override { RegCloseKey(key_); }
    Win32RegistryKey(const Win32RegistryKey&) = delete;
    Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

    // The ANSI query: the value arrives in the system code page, and a value that does not fit
    // the buffer fails as a whole (ERROR_MORE_DATA) instead of coming back cut.
    std::optional<std::u16string> queryString(std::u16string_view valueName,
                                              std::size_t bufferBytes) override {
        const std::string name = encode(valueName, CP_ACP);
        std::vector<BYTE> buffer(std::max<std::size_t>(bufferBytes, 1));
        DWORD size = static_cast<DWORD>(bufferBytes);
        const LONG rc = RegQueryValueExA(key_, name.c_str(), nullptr, nullptr, buffer.data(), &size);
        if (rc != ERROR_SUCCESS) return std::nullopt;
        const auto* text = reinterpret_cast<const char*>(buffer.data());
        const std::size_t available = std::min<std::size_t>(size, bufferBytes);
        const std::size_t length = std::find(text, text + available, '\0') - text;
        return decode(std::string_view(text, length), CP_ACP);
    }

private:
    HKEY key_;
};

std::u16string moduleFileName(HMODULE module) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return fromWide(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

HResult openError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME: return hr::FileNotFound;
    default: return hr::PathFileAccessError; // denied, shared, locked, a folder ...
    }
}

/// Screen pixels per logical inch along one axis.
int screenDpi(int index) {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, index) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}

} // namespace

Win32Platform::Win32Platform(HMODULE module) : module_(module), modulePath_(moduleFileName(module)) {}

Win32Platform::~Win32Platform() = default;

std::u16string Win32Platform::helpFile() const {
    std::lock_guard lock(mutex_);
    return helpFile_;
}

std::unique_ptr<RegistryKey> Win32Platform::openCurrentUserKey(std::u16string_view subKey) {
    const std::u16string path(subKey);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

int Win32Platform::messageBox(const MessageBoxRequest& request) {
    return MessageBoxW(GetActiveWindow(), wide(request.text), wide(request.title),
                       request.buttons | request.icon);
}

std::u16string Win32Platform::windowText(std::uintptr_t window) {
    HWND hwnd = reinterpret_cast<HWND>(window);
    if (!hwnd || !IsWindow(hwnd)) return {};
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = GetWindowTextW(hwnd, buffer.data(), length + 1);
    return fromWide(buffer.data(), static_cast<std::size_t>(std::max(n, 0)));
}

float Win32Platform::twipsPerPixelX() { return 1440.0f / static_cast<float>(screenDpi(LOGPIXELSX)); }
float Win32Platform::twipsPerPixelY() { return 1440.0f / static_cast<float>(screenDpi(LOGPIXELSY)); }
int Win32Platform::pixelsPerInchY() { return screenDpi(LOGPIXELSY); }

bool Win32Platform::isOrdinaryFile(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::optional<std::uint64_t> Win32Platform::ordinaryFileSize(const std::u16string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide(path), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::uint8_t> Win32Platform::readFile(const std::u16string& path) {
    HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) raise(openError(GetLastError()));
    struct Closer {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{file};

    std::vector<std::uint8_t> content;
    std::uint8_t chunk[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) raise(hr::DeviceIoError);
        if (got == 0) break;
        content.insert(content.end(), chunk, chunk + got);
    }
    return content;
}

std::string Win32Platform::profileString(std::string_view section, std::string_view key,
                                         std::string_view defaultValue, std::size_t bufferChars,
                                         const std::u16string& path) {
    if (bufferChars == 0) return {};
    const std::string sectionZ(section);
    const std::string keyZ(key);
    const std::string defaultZ(defaultValue);
    const std::string pathA = encode(path, CP_ACP);
    std::vector<char> buffer(bufferChars, '\0');
    const DWORD n = GetPrivateProfileStringA(sectionZ.c_str(), keyZ.c_str(), defaultZ.c_str(), buffer.data(),
                                             static_cast<DWORD>(bufferChars), pathA.c_str());
    return std::string(buffer.data(), std::min<std::size_t>(n, bufferChars));
}

std::u16string Win32Platform::moduleFolder() {
    const std::size_t slash = modulePath_.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : modulePath_.substr(0, slash);
}

std::u16string Win32Platform::moduleBaseName() {
    const std::size_t slash = modulePath_.find_last_of(u"\\/");
    std::u16string name = slash == std::u16string::npos ? modulePath_ : modulePath_.substr(slash + 1);
    const std::size_t dot = name.find_last_of(u'.');
    return dot == std::u16string::npos ? name : name.substr(0, dot);
}

ModuleVersion Win32Platform::moduleVersion() {
    std::lock_guard lock(mutex_);
    if (version_) return *version_;
    ModuleVersion v;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide(modulePath_), &ignored);
    if (size != 0) {
        std::vector<BYTE> block(size);
        VS_FIXEDFILEINFO* info = nullptr;
        UINT infoSize = 0;
        if (GetFileVersionInfoW(wide(modulePath_), 0, size, block.data()) &&
            VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) && info &&
            infoSize >= sizeof(VS_FIXEDFILEINFO)) {
            v.major = HIWORD(info->dwFileVersionMS);
            v.minor = LOWORD(info->dwFileVersionMS);
            v.build = HIWORD(info->dwFileVersionLS);
            v.revision = LOWORD(info->dwFileVersionLS);
        }
    }
    version_ = v;
    return v;
}

void Win32Platform::registerHelpFile(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    helpFile_ = path;
}

std::optional<std::u16string> Win32Platform::loadStringResource(std::uint32_t id) {
    if (id > 0xFFFF) return std::nullopt;
    // With a zero buffer size LoadStringW hands out a read-only pointer into the resource and
    // the text's length (the text is not NUL-terminated there).
    const wchar_t* text = nullptr;
    const int n = LoadStringW(module_, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return std::nullopt;
    return fromWide(text, static_cast<std::size_t>(n));
}

void Win32Platform::reportEvent(EventLogType type, const std::u16string& text) {
    const std::u16string source = moduleBaseName();
    HANDLE log = RegisterEventSourceW(nullptr, wide(source));
    if (!log) return;
    const wchar_t* strings[] = {wide(text)};
    ReportEventW(log, static_cast<WORD>(type), 0, 0, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(log);
}

std::uint32_t Win32Platform::ansiCodePageOfLocale(std::uint32_t lcid) {
    DWORD codePage = 0;
    if (GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(WCHAR)) == 0)
        return GetACP(); // an unknown locale converts like the system
    return codePage;
}

std::uint32_t Win32Platform::systemAnsiCodePage() { return GetACP(); }

std::string Win32Platform::encodeAnsi(std::u16string_view text, std::uint32_t codePage) {
    return encode(text, codePage);
}

std::u16string Win32Platform::decodeAnsi(std::string_view bytes, std::uint32_t codePage) {
    return decode(bytes, codePage);
}

} // namespace seg4
