// Self-registration as a host finds it: class keys, ProgID and both type libraries after
// regsvr32; the host's own library left alone; and no key at all after regsvr32 /u (the
// Unregistered group runs after the stage has unregistered the module).
#include "wine_support.h"

#include <gtest/gtest.h>

#include <string>

namespace seg4::wine {
namespace {

constexpr wchar_t kClsid[] = L"CLSID\\{4DB172DB-1264-415E-9417-10B6459B4AEE}";
constexpr wchar_t kControlLib[] = L"TypeLib\\{ACDA10C9-82D4-4CB6-A964-5D0A14181900}";
constexpr wchar_t kHostLib[] = L"TypeLib\\{CC30F52D-4274-48BD-B64E-DACAE5A244A6}";
constexpr wchar_t kHostInterface[] = L"Interface\\{CC753F00-9625-45BB-8797-5141B3289F2A}";

/// A string value under HKEY_CLASSES_ROOT; "<missing>" when key or value is absent.
std::wstring classesValue(const std::wstring& key, const wchar_t* name) {
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
    const std::wstring path = modulePath();
    struct Row {
        std::wstring key;
        const wchar_t* name;
        std::wstring expected;
    };
    const std::wstring clsid = kClsid;
    const Row rows[] = {
        {clsid, nullptr, L"led7seg4"},
        {clsid + L"\\InprocServer32", nullptr, path},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", nullptr, L"Quorvane_ARM_7seg4.led7seg4"},
        {clsid + L"\\MiscStatus\\1", nullptr, L"131473"},
        {clsid + L"\\ToolboxBitmap32", nullptr, path + L", 1"},
        {clsid + L"\\TypeLib", nullptr, L"{ACDA10C9-82D4-4CB6-A964-5D0A14181900}"},
        {clsid + L"\\Version", nullptr, L"1.0"},
        {L"Quorvane_ARM_7seg4.led7seg4\\CLSID", nullptr, L"{4DB172DB-1264-415E-9417-10B6459B4AEE}"},
        {kHostInterface + std::wstring(L"\\TypeLib"), nullptr, L"{CC30F52D-4274-48BD-B64E-DACAE5A244A6}"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.key));
        EXPECT_EQ(classesValue(r.key, r.name), r.expected);
    }
    EXPECT_TRUE(classesKeyExists(clsid + L"\\Control"));
    CLSID fromProgId{};
    EXPECT_EQ(CLSIDFromProgID(L"Quorvane_ARM_7seg4.led7seg4", &fromProgId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(fromProgId, CLSID_led7seg4));
}

TEST(Registered, BothTypeLibrariesLoadFromTheModule) {
    const std::wstring path = modulePath();
    struct Row {
        const GUID* libid;
        std::wstring path;
        const wchar_t* name;
        LCID lcid;
    };
    const Row rows[] = {{&LIBID_Quorvane_ARM_7seg4, path, L"Quorvane_ARM_7seg4", 0x409},
                        {&LIBID_QuorvaneCompV4Lib, path + L"\\2", L"QuorvaneCompV4Lib", 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.name)));
        EXPECT_EQ(registeredLibrary(*r.libid, r.lcid), r.path);
        Ref<ITypeLib> lib;
        ASSERT_EQ(LoadRegTypeLib(*r.libid, 1, 0, r.lcid, lib.put()), S_OK);
        BSTR name = nullptr;
        lib->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_STREQ(name, r.name);
        SysFreeString(name);
        TLIBATTR* attr = nullptr;
        ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
        EXPECT_EQ(attr->lcid, r.lcid);
        EXPECT_EQ(attr->wMajorVerNum, 1);
        EXPECT_EQ(attr->wMinorVerNum, 0);
        lib->ReleaseTLibAttr(attr);
    }
}

TEST(Registered, TheHostsOwnLibraryIsKept) {
    // The host's library as a file of its own (the stage puts it beside the module), registered
    // as the host would; the module's registration and unregistration must leave it as it is.
    const std::wstring hostFile = std::wstring(layoutFolder()) + L"\\QuorvaneV4.tlb";
    ASSERT_NE(GetFileAttributesW(hostFile.c_str()), INVALID_FILE_ATTRIBUTES) << "the stage copies it there";
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto entry = [](const char* name) {
        return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(controlModule(), name)));
    };
    ASSERT_EQ(entry("DllUnregisterServer")(), S_OK);
    Ref<ITypeLib> hostLib;
    ASSERT_EQ(LoadTypeLibEx(hostFile.c_str(), REGKIND_REGISTER, hostLib.put()), S_OK);
    const std::wstring hostPath = registeredLibrary(LIBID_QuorvaneCompV4Lib);

    EXPECT_EQ(entry("DllRegisterServer")(), S_OK);
    EXPECT_EQ(registeredLibrary(LIBID_QuorvaneCompV4Lib), hostPath) << "registering keeps the host's library";
    EXPECT_EQ(classesValue(kHostInterface + std::wstring(L"\\TypeLib"), nullptr),
              L"{CC30F52D-4274-48BD-B64E-DACAE5A244A6}");

    EXPECT_EQ(entry("DllUnregisterServer")(), S_OK);
    EXPECT_EQ(registeredLibrary(LIBID_QuorvaneCompV4Lib), hostPath) << "unregistering keeps it too";
    EXPECT_EQ(classesValue(kHostInterface + std::wstring(L"\\TypeLib"), nullptr),
              L"{CC30F52D-4274-48BD-B64E-DACAE5A244A6}");
    EXPECT_FALSE(classesKeyExists(kClsid));
    EXPECT_FALSE(classesKeyExists(kControlLib));

    // Back to the state of the stage: the host's library gone, the module registered.
    UnRegisterTypeLib(LIBID_QuorvaneCompV4Lib, 1, 0, 0, SYS_WIN64);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kHostInterface);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kHostLib);
    ASSERT_EQ(entry("DllRegisterServer")(), S_OK);
    EXPECT_EQ(registeredLibrary(LIBID_QuorvaneCompV4Lib), modulePath() + L"\\2");
}

TEST(Unregistered, NoKeyOfTheModuleIsLeft) {
    const std::wstring keys[] = {kClsid,
                                 L"Quorvane_ARM_7seg4.led7seg4",
                                 kControlLib,
                                 kHostLib,
                                 kHostInterface,
                                 L"Interface\\{FF6F9DB4-B477-4E9C-85E9-33D07959E3C1}",
                                 L"Interface\\{4F1B6471-BD94-41F1-BC8B-638A8E5C1F07}",
                                 L"Interface\\{7F294B97-4569-40DB-B781-DF4F7666BA0A}"};
    for (const std::wstring& key : keys) EXPECT_FALSE(classesKeyExists(key)) << testing::PrintToString(key);
    Ref<IUnknown> none;
    EXPECT_EQ(CoCreateInstance(CLSID_led7seg4, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.putVoid()),
              REGDB_E_CLASSNOTREG);
}

} // namespace
} // namespace seg4::wine
