// The host's settings where a Windows host keeps them: the current user's registry.
#include "com_backend.h"
#include "com_kit.h"
#include "com_session.h"
#include "registry.h"

#include "automation/conversions.h"
#include "files/bounded_read.h"

#include <ARM_7seg4.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace qhost {

using seg4::com::RegKey;

namespace {

constexpr wchar_t kVendorKey[] = L"Software\\DelmarshSW"; // every key of the host's settings
constexpr wchar_t kHostInfoKey[] = L"Software\\DelmarshSW\\QuorvaneV4\\Info";

RegKey createUserKey(const std::wstring& path) {
    RegKey key;
    const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot create HKEY_CURRENT_USER\\" + seg4::toUtf8(fromWide(path)) + ": " +
                                 systemMessage(static_cast<DWORD>(status)));
    return key;
}

void setValue(const RegKey& key, const std::wstring& keyPath, const std::wstring& name, DWORD type,
              const std::vector<std::uint8_t>& data) {
    const LSTATUS status =
        RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("cannot set " + seg4::toUtf8(fromWide(name)) + " in HKEY_CURRENT_USER\\" +
                                 seg4::toUtf8(fromWide(keyPath)) + ": " +
                                 systemMessage(static_cast<DWORD>(status)));
}

std::vector<std::uint8_t> stringData(std::u16string_view text) {
    std::vector<std::uint8_t> data((text.size() + 1) * 2, 0);
    std::memcpy(data.data(), text.data(), text.size() * 2);
    return data;
}

/// The keys of the current user that a registry export file holds, copied into the registry
/// (keys of other hives are not the host's settings). The file is read whole before anything is
/// written: a malformed file changes nothing. The host's keys that were there before go first,
/// so that the module finds exactly what the file holds, as the Linux qhost's registry does: a
/// profile or language the file leaves out is missing, not left over from an earlier run.
void importRegistryFile(const std::string& path) {
    const std::string bytes = qhost::files::readBounded(path);
    seg4::Registry hive;
    hive.load(bytes, path, seg4::text::AnsiCodec{decodeAnsi, encodeAnsi}); // REGEDIT4 is ANSI text
    const LSTATUS cleared = RegDeleteTreeW(HKEY_CURRENT_USER, kVendorKey);
    if (cleared != ERROR_SUCCESS && cleared != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("cannot clear HKEY_CURRENT_USER\\" + seg4::toUtf8(fromWide(kVendorKey)) +
                                 ": " + systemMessage(static_cast<DWORD>(cleared)));
    for (const auto& [keyPath, values] : hive.keys()) {
        const std::wstring where = wide(keyPath);
        const RegKey key = createUserKey(where);
        for (const seg4::RegistryValue& v : values) setValue(key, where, wide(v.name), v.type, v.data);
    }
}

void writeLanguage(const std::u16string& code) {
    const RegKey key = createUserKey(kHostInfoKey);
    setValue(key, kHostInfoKey, L"CurrentProfile", REG_SZ, stringData(u"QuorvaneV4"));
    setValue(key, kHostInfoKey, L"CurrentLanguage", REG_SZ, stringData(code));
}

float screenTwips(int axis) {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, axis) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? 1440.0f / static_cast<float>(dpi) : 15.0f;
}

std::string number(float v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

void checkModuleFolder(const std::string& folder) {
    const std::u16string module = registeredModulePath();
    if (module.empty())
        throw std::runtime_error("--module-folder " + folder +
                                 ": no display module is registered, so there is no folder to compare");
    const std::u16string own = fullFolderPath(module.substr(0, module.find_last_of(u"\\/")));
    if (sameFolder(own, fullFolderPath(decodeAnsi(folder)))) return;
    throw std::runtime_error("--module-folder " + folder +
                             ": the registered module reads its data from its own folder, " +
                             seg4::toUtf8(own) + ", and a Windows host cannot point it elsewhere");
}

} // namespace

float screenTwipsPerPixel() { return screenTwips(LOGPIXELSX); }

std::u16string fullFolderPath(const std::u16string& path) {
    const std::wstring w = wide(path);
    const DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring out(n, L'\0');
    const DWORD got = GetFullPathNameW(w.c_str(), n, out.data(), nullptr);
    out.resize(got < n ? got : 0);
    // A folder names the same place with or without its last separator (a drive's root keeps it).
    while (out.size() > 3 && (out.back() == L'\\' || out.back() == L'/')) out.pop_back();
    return fromWide(out);
}

bool sameFolder(const std::u16string& a, const std::u16string& b) {
    const std::wstring x = wide(a), y = wide(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()),
                                TRUE) == CSTR_EQUAL;
}

std::u16string registeredModulePath() {
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_led7seg4, clsid, 40);
    const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                                            path.data(), &bytes);
        if (status == ERROR_MORE_DATA) {
            path.resize(bytes / sizeof(wchar_t) + 1);
            continue;
        }
        if (status != ERROR_SUCCESS) return {};
        path.resize(bytes / sizeof(wchar_t));
        while (!path.empty() && path.back() == L'\0') path.pop_back();
        return fromWide(path);
    }
    return {};
}

namespace {

/// Switches how this thread sees the screen's resolution: unaware of it (every screen has 96
/// pixels per inch) or aware of the system's. The module reads the resolution on the thread
/// that calls it, which is this one. False where Windows has no such switch.
bool seeResolutionAs(bool unaware) {
    using Switch = void*(WINAPI*)(void*);
    static const auto change = reinterpret_cast<Switch>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
    if (!change) return false;
    // DPI_AWARENESS_CONTEXT_UNAWARE and DPI_AWARENESS_CONTEXT_SYSTEM_AWARE.
    return change(reinterpret_cast<void*>(static_cast<std::intptr_t>(unaware ? -1 : -2))) != nullptr;
}

} // namespace

void ComBackend::setTwipsPerPixel(float twips) {
    // A thread unaware of the resolution sees 15 twips per pixel on any screen; one aware of it
    // sees the screen's own. Those are the two values a Windows host can honestly offer.
    const bool wasUnaware = screenTwips(LOGPIXELSX) == 15.0f;
    if (!seeResolutionAs(false))
        throw std::runtime_error("this Windows cannot change how a program sees the screen's resolution");
    const float own = screenTwips(LOGPIXELSX), ownY = screenTwips(LOGPIXELSY);
    if (twips == own && twips == ownY) return;
    if (twips == 15.0f && seeResolutionAs(true) && screenTwips(LOGPIXELSX) == 15.0f &&
        screenTwips(LOGPIXELSY) == 15.0f)
        return;
    seeResolutionAs(wasUnaware);
    throw std::runtime_error("a Windows host sees the screen either with its own " + number(own) +
                             " twips per pixel (" + number(ownY) +
                             " down) or, unaware of its resolution, with 15; the module takes its twips from "
                             "the screen, so " +
                             number(twips) + " cannot be had during a run");
}

void applyHostOptions(const HostOptions& o) {
    // What describes the system itself is checked before anything is written.
    if (o.twips) {
        const float x = screenTwips(LOGPIXELSX), y = screenTwips(LOGPIXELSY);
        if (*o.twips != x || *o.twips != y)
            throw std::runtime_error("--twips " + number(*o.twips) +
                                     ": a Windows host cannot change the screen, which has " + number(x) +
                                     " twips per pixel");
    }
    if (o.codePage && *o.codePage != GetACP())
        throw std::runtime_error("--code-page " + std::to_string(*o.codePage) +
                                 ": a Windows host cannot change the system's ANSI code page, which is " +
                                 std::to_string(GetACP()));
    if (!o.moduleFolder.empty()) checkModuleFolder(o.moduleFolder);

    if (!o.registryFile.empty()) {
        importRegistryFile(o.registryFile);
        if (o.language.empty()) return;
    }
    writeLanguage(decodeAnsi(o.language.empty() ? std::string(kDefaultLanguage) : o.language));
}

} // namespace qhost
