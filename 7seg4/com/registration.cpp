// Self-registration: the class keys of led7seg4 and of its property page ppg7seg4 with their
// ProgIDs, and both embedded type libraries.
//
// The host's library (QuorvaneCompV4Lib) belongs to the host. The module registers its own copy
// only when no other is registered, and unregisters it only when the registration points at the
// module. Registering the control's library also registers the host interface's key (the
// control library carries a copy of the interface); the host's library is registered after it,
// so that the interface key always names the host's library.
#include "com_holders.h"
#include "module.h"

#include <ARM_7seg4.h>
#include <QuorvaneV4.h>
#include <olectl.h>

#include <string>

namespace seg4::com {

namespace {

std::wstring guidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring clsidKey() { return L"CLSID\\" + guidText(CLSID_led7seg4); }
std::wstring pageClsidKey() { return L"CLSID\\" + guidText(CLSID_ppg7seg4); }

std::wstring hostLibraryPath() { return modulePath() + L"\\" + std::to_wstring(kHostTypeLibId); }

HRESULT setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    RegKey k;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                              nullptr, k.put(), nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    rc = RegSetValueExW(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

HRESULT createKey(const std::wstring& key) {
    RegKey k;
    const LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_WRITE, nullptr, k.put(), nullptr);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

/// Removes `key` with everything below it; false when the key is still there afterwards (a key
/// that was never there counts as removed).
bool deleteTree(const std::wstring& key) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    RegKey k;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, k.put()) == ERROR_FILE_NOT_FOUND;
}

std::wstring moduleFolder() {
    const std::wstring path = modulePath();
    return path.substr(0, path.find_last_of(L"\\/"));
}

/// Registers the library at `path` under that very path: a library in a resource other than the
/// first keeps its "\\n" suffix, which LoadTypeLibEx's own registration would drop.
HRESULT registerLibrary(const std::wstring& path) {
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring fullPath = path;
    std::wstring helpDir = moduleFolder();
    return RegisterTypeLib(lib.get(), fullPath.data(), helpDir.data());
}

/// Where the host's library is registered ("" when it is not).
std::wstring registeredHostLibrary() {
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_QuorvaneCompV4Lib, 1, 0, 0, &path))) return {};
    Bstr owned = Bstr::adopt(path);
    const std::u16string text = owned.text();
    std::wstring result(text.begin(), text.end());
    while (!result.empty() && result.back() == L'\0') result.pop_back();
    return result;
}

/// Whether `path` names the module file (with or without a resource suffix or "\\?\\" prefix).
bool refersToModule(std::wstring path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash + 1 < path.size() &&
        path.find_first_not_of(L"0123456789", slash + 1) == std::wstring::npos)
        path.erase(slash);
    return CompareStringOrdinal(path.c_str(), -1, modulePath().c_str(), -1, TRUE) == CSTR_EQUAL;
}

/// The host's own registration of its library: a loadable QuorvaneCompV4Lib that is not the
/// module's copy ("" when there is none).
std::wstring foreignHostLibrary() {
    const std::wstring path = registeredHostLibrary();
    if (path.empty() || refersToModule(path)) return {};
    ComPtr<ITypeLib> lib;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put()))) return {};
    TLIBATTR* attributes = nullptr;
    if (FAILED(lib->GetLibAttr(&attributes))) return {};
    const bool isHostLibrary = IsEqualGUID(attributes->guid, LIBID_QuorvaneCompV4Lib) != 0;
    lib->ReleaseTLibAttr(attributes);
    return isHostLibrary ? path : std::wstring();
}

/// Registers the host's library after the control's: the host's own registration when it has
/// one, else the module's copy.
HRESULT registerHostLibrary() {
    const std::wstring foreign = foreignHostLibrary();
    return registerLibrary(foreign.empty() ? hostLibraryPath() : foreign);
}

HRESULT registerClass() {
    const std::wstring key = clsidKey();
    const std::wstring path = modulePath();
    const std::wstring libid = guidText(LIBID_Quorvane_ARM_7seg4);
    const std::wstring progId = kControlProgId;
    HRESULT hr = S_OK;
    auto step = [&hr](HRESULT result) {
        if (SUCCEEDED(hr)) hr = result;
    };
    step(setValue(key, nullptr, kControlName));
    step(setValue(key + L"\\InprocServer32", nullptr, path));
    step(setValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
    step(setValue(key + L"\\ProgID", nullptr, progId));
    // The name carries no version, so it is the version-independent name as well.
    step(setValue(key + L"\\VersionIndependentProgID", nullptr, progId));
    step(createKey(key + L"\\Control"));
    step(setValue(key + L"\\MiscStatus", nullptr, L"0"));
    step(setValue(key + L"\\MiscStatus\\1", nullptr, std::to_wstring(kControlMiscStatus)));
    step(setValue(key + L"\\ToolboxBitmap32", nullptr, path + L", " + std::to_wstring(kToolboxBitmapId)));
    step(setValue(key + L"\\TypeLib", nullptr, libid));
    step(setValue(key + L"\\Version", nullptr, L"1.0"));
    step(setValue(progId, nullptr, kControlName));
    step(setValue(progId + L"\\CLSID", nullptr, guidText(CLSID_led7seg4)));

    // The property page: created by the frame through its class, in the host's apartment.
    const std::wstring page = pageClsidKey();
    step(setValue(page, nullptr, kPageName));
    step(setValue(page + L"\\InprocServer32", nullptr, path));
    step(setValue(page + L"\\InprocServer32", L"ThreadingModel", L"Apartment"));
    step(setValue(page + L"\\TypeLib", nullptr, libid));
    step(setValue(page + L"\\ProgID", nullptr, kPageProgId));
    step(setValue(page + L"\\VersionIndependentProgID", nullptr, kPageProgId));
    step(setValue(kPageProgId, nullptr, kPageName));
    step(setValue(std::wstring(kPageProgId) + L"\\CLSID", nullptr, guidText(CLSID_ppg7seg4)));
    return hr;
}

} // namespace

} // namespace seg4::com

extern "C" {

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    using namespace seg4::com;
    // Every key is tried even after one could not be removed; the first failure is reported.
    HRESULT result = S_OK;
    const auto removed = [&result](bool gone, HRESULT failure) {
        if (!gone && SUCCEEDED(result)) result = failure;
    };
    removed(deleteTree(clsidKey()), SELFREG_E_CLASS);
    removed(deleteTree(pageClsidKey()), SELFREG_E_CLASS);
    removed(deleteTree(kControlProgId), SELFREG_E_CLASS);
    removed(deleteTree(kPageProgId), SELFREG_E_CLASS);
    const std::wstring foreign = foreignHostLibrary();
    const bool hostRegistered = !registeredHostLibrary().empty();
    // Removes the library's key and the keys of its interfaces (the copy of the host interface
    // included); whatever the system's unregistration leaves of the module's own identifiers
    // goes too.
    UnRegisterTypeLib(LIBID_Quorvane_ARM_7seg4, 1, 0, 0x409, SYS_WIN64);
    for (const IID* iid : {&IID__led7seg4, &DIID___led7seg4, &IID__ppg7seg4})
        removed(deleteTree(L"Interface\\" + guidText(*iid)), SELFREG_E_TYPELIB);
    removed(deleteTree(L"TypeLib\\" + guidText(LIBID_Quorvane_ARM_7seg4)), SELFREG_E_TYPELIB);
    if (!foreign.empty()) {
        registerLibrary(foreign); // the host's registration, interface key included, as it was
    } else {
        if (hostRegistered) UnRegisterTypeLib(LIBID_QuorvaneCompV4Lib, 1, 0, 0, SYS_WIN64);
        removed(deleteTree(L"Interface\\" + guidText(IID_IQuorvaneComponentV4)), SELFREG_E_TYPELIB);
        removed(deleteTree(L"TypeLib\\" + guidText(LIBID_QuorvaneCompV4Lib)), SELFREG_E_TYPELIB);
    }
    return result;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    using namespace seg4::com;
    HRESULT hr = registerLibrary(modulePath());
    if (SUCCEEDED(hr)) hr = registerHostLibrary();
    if (SUCCEEDED(hr)) hr = registerClass();
    if (FAILED(hr)) {
        DllUnregisterServer(); // nothing half-registered stays behind
        return hr;
    }
    return S_OK;
}

} // extern "C"
