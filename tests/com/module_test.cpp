// The module as a host finds it: self-registration (class keys, ProgID, interfaces and both type
// libraries after regsvr32; the host's own library left alone; no key at all after regsvr32 /u,
// checked by the Unregistered group after the stage has unregistered the module), and its
// resources: every text of the string table as the portable table has it, in blocks tagged with
// their language, the version block and the toolbox bitmap.
#include "wine_support.h"

#include "platform/string_resources.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace seg4::wine {
namespace {

const std::wstring kControlLibId = L"{ACDA10C9-82D4-4CB6-A964-5D0A14181900}";
const std::wstring kHostLibId = L"{CC30F52D-4274-48BD-B64E-DACAE5A244A6}";
const std::wstring kClsid = L"CLSID\\{4DB172DB-1264-415E-9417-10B6459B4AEE}";
const std::wstring kHostInterface = L"Interface\\{CC753F00-9625-45BB-8797-5141B3289F2A}";
const std::wstring kPageClsid = L"CLSID\\{203E56B0-72FB-4E19-BB19-8F05D50226A3}";
/// Every key registration makes, each with the type library it names ("" for none).
const std::pair<std::wstring, std::wstring> kKeys[] = {
    {kClsid, kControlLibId},
    {kPageClsid, kControlLibId},
    {L"Quorvane_ARM_7seg4.led7seg4", L""},
    {L"TypeLib\\" + kControlLibId, L""},
    {L"TypeLib\\" + kHostLibId, L""},
    {kHostInterface, kHostLibId},
    {L"Interface\\{FF6F9DB4-B477-4E9C-85E9-33D07959E3C1}", kControlLibId}, // _led7seg4
    {L"Interface\\{4F1B6471-BD94-41F1-BC8B-638A8E5C1F07}", kControlLibId}, // __led7seg4
    {L"Interface\\{7F294B97-4569-40DB-B781-DF4F7666BA0A}", kControlLibId}, // _ppg7seg4
};

/// A string value under HKEY_CLASSES_ROOT; "<missing>" when key or value is absent.
std::wstring classesValue(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

bool classesKeyExists(const std::wstring& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

std::wstring modulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controlModule(), path, MAX_PATH);
    return path;
}

std::wstring registeredLibrary(REFGUID libid, LCID lcid = 0) {
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(libid, 1, 0, lcid, &path))) return L"<missing>";
    std::wstring text = path;
    SysFreeString(path);
    return text;
}

TEST(Registered, ClassKeysNameTheModuleAndItsTraits) {
    const std::wstring path = modulePath(), clsid = kClsid;
    const std::tuple<std::wstring, const wchar_t*, std::wstring> rows[] = {
        {clsid, nullptr, L"led7seg4"},
        {clsid + L"\\InprocServer32", nullptr, path},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", nullptr, L"Quorvane_ARM_7seg4.led7seg4"},
        {clsid + L"\\VersionIndependentProgID", nullptr, L"Quorvane_ARM_7seg4.led7seg4"},
        {clsid + L"\\MiscStatus\\1", nullptr, L"131473"},
        {clsid + L"\\ToolboxBitmap32", nullptr, path + L", 1"},
        {clsid + L"\\Version", nullptr, L"1.0"},
        {L"Quorvane_ARM_7seg4.led7seg4\\CLSID", nullptr, L"{4DB172DB-1264-415E-9417-10B6459B4AEE}"},
        {kPageClsid, nullptr, L"ppg7seg4"},
        {kPageClsid + L"\\InprocServer32", nullptr, path},
        {kPageClsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {kPageClsid + L"\\ProgID", nullptr, L"Quorvane_ARM_7seg4.ppg7seg4"},
        {kPageClsid + L"\\VersionIndependentProgID", nullptr, L"Quorvane_ARM_7seg4.ppg7seg4"},
        {L"Quorvane_ARM_7seg4.ppg7seg4\\CLSID", nullptr, L"{203E56B0-72FB-4E19-BB19-8F05D50226A3}"},
    };
    for (const auto& [key, name, expected] : rows)
        EXPECT_EQ(classesValue(key, name), expected) << testing::PrintToString(key);
    for (const auto& [key, library] : kKeys) {
        EXPECT_TRUE(classesKeyExists(key)) << testing::PrintToString(key);
        if (!library.empty()) {
            EXPECT_EQ(classesValue(key + L"\\TypeLib"), library) << testing::PrintToString(key);
        }
    }
    EXPECT_TRUE(classesKeyExists(clsid + L"\\Control"));
    EXPECT_EQ(registeredLibrary(LIBID_Quorvane_ARM_7seg4, 0x409), path);
    EXPECT_EQ(registeredLibrary(LIBID_QuorvaneCompV4Lib), path + L"\\2")
        << "the second library of the module";
}

TEST(Registered, TheHostsOwnLibraryIsKept) {
    // The host's library as a file of its own (the stage puts it beside the module), registered
    // as the host would; the module's registration and unregistration must leave it as it is.
    const std::wstring hostFile = std::wstring(layoutFolder()) + L"\\QuorvaneV4.tlb";
    ASSERT_NE(GetFileAttributesW(hostFile.c_str()), INVALID_FILE_ATTRIBUTES) << "the stage copies it there";
    auto entry = [](const char* name) { return moduleEntry<HRESULT(STDAPICALLTYPE*)()>(name); };
    ASSERT_EQ(entry("DllUnregisterServer")(), S_OK);
    Ref<ITypeLib> hostLib;
    ASSERT_EQ(LoadTypeLibEx(hostFile.c_str(), REGKIND_REGISTER, hostLib.put()), S_OK);
    const std::wstring hostPath = registeredLibrary(LIBID_QuorvaneCompV4Lib);
    const std::wstring hostInterfaceLib = classesValue(kHostInterface + L"\\TypeLib");
    for (const char* step : {"DllRegisterServer", "DllUnregisterServer"}) {
        EXPECT_EQ(entry(step)(), S_OK);
        EXPECT_EQ(registeredLibrary(LIBID_QuorvaneCompV4Lib), hostPath)
            << step << " keeps the host's library";
        EXPECT_EQ(classesValue(kHostInterface + L"\\TypeLib"), hostInterfaceLib) << step;
    }
    EXPECT_FALSE(classesKeyExists(kClsid));
    EXPECT_FALSE(classesKeyExists(L"TypeLib\\" + kControlLibId));

    // Back to the state of the stage: the host's library gone, the module registered.
    UnRegisterTypeLib(LIBID_QuorvaneCompV4Lib, 1, 0, 0, SYS_WIN64);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kHostInterface.c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + kHostLibId).c_str());
    ASSERT_EQ(entry("DllRegisterServer")(), S_OK);
    EXPECT_EQ(registeredLibrary(LIBID_QuorvaneCompV4Lib), modulePath() + L"\\2");
}

TEST(Registered, AFailureOnTheWayIsUndoneAndReported) {
    auto entry = [](const char* name) { return moduleEntry<HRESULT(STDAPICALLTYPE*)()>(name); };
    ASSERT_EQ(entry("DllUnregisterServer")(), S_OK);

    // A volatile key where the page's class goes: its subkeys cannot be created, so the
    // registration fails half-way and takes back what it had written.
    HKEY blocker = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kPageClsid.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &blocker, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(blocker);
    EXPECT_TRUE(FAILED(entry("DllRegisterServer")()));
    for (const auto& [key, library] : kKeys)
        EXPECT_FALSE(classesKeyExists(key))
            << "left after the failed registration: " << testing::PrintToString(key);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kPageClsid.c_str());

    // A subkey that cannot be removed (a link to nowhere): unregistering says so.
    ASSERT_EQ(entry("DllRegisterServer")(), S_OK);
    const std::wstring linkKey = kClsid + L"\\Blocker";
    HKEY link = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, linkKey.c_str(), 0, nullptr,
                              REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                              nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const std::wstring target = L"\\Registry\\Machine\\Software\\Seg4NoSuchKey";
    ASSERT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(target.c_str()),
                             static_cast<DWORD>(target.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(link);
    EXPECT_TRUE(FAILED(entry("DllUnregisterServer")())) << "a key of the class could not be removed";
    EXPECT_TRUE(classesKeyExists(kClsid));
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, linkKey.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(link, L""), ERROR_SUCCESS);
    RegCloseKey(link);

    // Back to the state of the stage.
    EXPECT_EQ(entry("DllUnregisterServer")(), S_OK);
    ASSERT_EQ(entry("DllRegisterServer")(), S_OK);
    EXPECT_EQ(registeredLibrary(LIBID_QuorvaneCompV4Lib), modulePath() + L"\\2");
}

TEST(Unregistered, NoKeyOfTheModuleIsLeft) {
    for (const auto& [key, library] : kKeys)
        EXPECT_FALSE(classesKeyExists(key)) << testing::PrintToString(key);
    Ref<IUnknown> none;
    for (const CLSID* clsid : {&CLSID_led7seg4, &CLSID_ppg7seg4})
        EXPECT_EQ(CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.putVoid()),
                  REGDB_E_CLASSNOTREG);
}

BOOL CALLBACK collectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::set<WORD>*>(param)->insert(language);
    return TRUE;
}

TEST(ModuleResources, StringTableHoldsEveryTextInBlocksOfItsLanguage) {
    Win32Platform platform(controlModule());
    std::map<int, WORD> blockLanguage; // a string resource block holds 16 identifiers
    for (const BuiltInString& s : builtInStrings()) {
        EXPECT_EQ(platform.loadStringResource(s.absoluteId), s.text) << "string " << s.absoluteId;
        for (const BuiltInLanguage& language : builtInLanguages())
            if (s.absoluteId > language.stringOffset && s.absoluteId <= language.stringOffset + 153)
                blockLanguage[s.absoluteId / 16 + 1] = language.resourceLanguage;
    }
    EXPECT_GE(blockLanguage.size(), builtInLanguages().size());
    EXPECT_FALSE(platform.loadStringResource(2600 + 13)) << "offset 2600 belongs to no language";
    for (const auto& [block, language] : blockLanguage) {
        std::set<WORD> languages;
        EnumResourceLanguagesW(controlModule(), MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(block),
                               collectLanguage, reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(languages, std::set<WORD>{language}) << "block " << block;
    }
}

TEST(ModuleResources, VersionBlockAndToolboxBitmap) {
    const std::wstring path = layoutFolder() + L"\\ARM_7seg4.ocx";
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    for (const auto& [name, expected] :
         {std::pair{L"FileVersion", L"4.00.0001"}, std::pair{L"InternalName", L"ARM_7seg4"},
          std::pair{L"ProductName", L"Quorvane_ARM_7seg"},
          std::pair{L"OriginalFilename", L"ARM_7seg4.ocx"}}) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_STREQ(value, expected);
    }
    const ModuleVersion v = Win32Platform(controlModule()).moduleVersion();
    EXPECT_EQ((std::array<int, 4>{v.major, v.minor, v.build, v.revision}), (std::array<int, 4>{4, 0, 0, 1}));

    HRSRC found = FindResourceW(controlModule(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    ASSERT_NE(found, nullptr);
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(controlModule(), found)));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biWidth, 16);
    EXPECT_EQ(std::abs(header->biHeight), 15);
    EXPECT_EQ(header->biBitCount, 24);
}

} // namespace
} // namespace seg4::wine
