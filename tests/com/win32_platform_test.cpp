// The win32 adapter against the real APIs: which files count as ordinary and how reading fails,
// registry strings through the ANSI query into a fixed buffer, code pages, and the module's own
// name, folder and strings.
#include "wine_support.h"

#include "automation/conversions.h"
#include "automation/errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace seg4::wine {
namespace {

constexpr wchar_t kTestKey[] = L"Software\\Seg4WineTest";

std::u16string u16(const std::filesystem::path& p) { return narrowToU16(p.c_str()); }

HResult readFailure(Win32Platform& platform, const std::u16string& path) {
    try {
        platform.readFile(path);
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

TEST(Win32Platform, OrdinaryFilesAndReadFailures) {
    Win32Platform platform(controlModule());
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder = std::filesystem::path(temp) / L"seg4-files";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / L"sub");
    for (const wchar_t* name : {L"plain.c", L"hidden.c", L"system.c", L"readonly.c", L"locked.c"})
        std::ofstream(folder / name, std::ios::binary) << "abc\r\n";
    SetFileAttributesW((folder / L"hidden.c").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((folder / L"system.c").c_str(), FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesW((folder / L"readonly.c").c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE lock = CreateFileW((folder / L"locked.c").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

    struct Row {
        const wchar_t* name;
        bool ordinary;
        HResult readResult;
    };
    const Row rows[] = {{L"plain.c", true, hr::Ok},
                        {L"readonly.c", true, hr::Ok},
                        {L"hidden.c", false, hr::Ok},
                        {L"system.c", false, hr::Ok},
                        {L"sub", false, hr::PathFileAccessError},
                        {L"missing.c", false, hr::FileNotFound},
                        {L"nofolder\\x.c", false, hr::FileNotFound},
                        {L"locked.c", true, hr::PathFileAccessError}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.name)));
        const std::u16string path = u16(folder / r.name);
        EXPECT_EQ(platform.isOrdinaryFile(path), r.ordinary);
        EXPECT_EQ(readFailure(platform, path), r.readResult);
    }
    EXPECT_EQ(platform.readFile(u16(folder / L"plain.c")),
              (std::vector<std::uint8_t>{'a', 'b', 'c', '\r', '\n'}));
    CloseHandle(lock);
    for (const wchar_t* name : {L"hidden.c", L"system.c", L"readonly.c"})
        SetFileAttributesW((folder / name).c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(folder);
}

void setValue(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, name, type, data, bytes);
}

TEST(Win32Platform, RegistryStringsThroughTheAnsiQuery) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    const std::wstring exact(255, L'x'); // 255 characters and the NUL fill 256 bytes
    const std::wstring over(256, L'y');
    const wchar_t accented[] = L"Gr\u00F6\u00DFe";
    const BYTE binary[] = {'a', 'b', 0, 'c'};
    const DWORD letter = 'A';
    setValue(L"exact", REG_SZ, exact.c_str(), static_cast<DWORD>((exact.size() + 1) * sizeof(wchar_t)));
    setValue(L"over", REG_SZ, over.c_str(), static_cast<DWORD>((over.size() + 1) * sizeof(wchar_t)));
    setValue(L"accented", REG_SZ, accented, sizeof accented);
    setValue(L"binary", REG_BINARY, binary, sizeof binary);
    setValue(L"dword", REG_DWORD, &letter, sizeof letter);

    Win32Platform platform(controlModule());
    EXPECT_EQ(platform.openCurrentUserKey(u"Software\\Seg4WineTest\\Missing"), nullptr);
    std::unique_ptr<RegistryKey> key = platform.openCurrentUserKey(u"Software\\Seg4WineTest");
    ASSERT_NE(key, nullptr);
    struct Row {
        const char16_t* name;
        std::optional<std::u16string> expected;
    };
    const Row rows[] = {{u"exact", std::u16string(255, u'x')},
                        {u"over", std::nullopt}, // does not fit the 256-byte buffer
                        {u"accented", u"Gr\u00F6\u00DFe"},
                        {u"binary", u"ab"}, // up to the first NUL, whatever the type
                        {u"dword", u"A"},
                        {u"missing", std::nullopt}};
    for (const Row& r : rows) {
        SCOPED_TRACE(toUtf8(r.name));
        EXPECT_EQ(key->queryString(r.name, 256), r.expected);
    }
    key.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
}

TEST(Win32Platform, CodePagesOfLocalesAndConversions) {
    Win32Platform platform(controlModule());
    struct Locale {
        std::uint32_t lcid;
        std::uint32_t codePage;
    };
    for (const Locale l : {Locale{2057, 1252}, Locale{1049, 1251}, Locale{1041, 932}, Locale{1054, 874},
                           Locale{1032, 1253}, Locale{0x7FFE, GetACP()}})
        EXPECT_EQ(platform.ansiCodePageOfLocale(l.lcid), l.codePage) << l.lcid;
    EXPECT_EQ(platform.systemAnsiCodePage(), GetACP());
    EXPECT_EQ(platform.encodeAnsi(u"Gr\u00F6\u00DFe \u20AC", 1252), "Gr\xF6\xDF"
                                                                    "e \x80");
    EXPECT_EQ(platform.encodeAnsi(u"\u0416!", 1252), "?!") << "what the code page lacks becomes '?'";
    EXPECT_EQ(platform.decodeAnsi("\xC6", 1251), u"\u0416");
    EXPECT_EQ(platform.encodeAnsi(u"\u0416", 65001), "\xD0\x96") << "UTF-8 takes no replacement character";
    EXPECT_EQ(platform.encodeAnsi(u"", 1252), "");
}

TEST(Win32Platform, TheModuleItself) {
    Win32Platform platform(controlModule());
    EXPECT_EQ(platform.moduleBaseName(), u"ARM_7seg4");
    EXPECT_EQ(platform.moduleFolder(), narrowToU16(layoutFolder().c_str()));
    EXPECT_EQ(platform.loadStringResource(213), std::optional<std::u16string>(u"Anode 3"));
    EXPECT_EQ(platform.loadStringResource(0), std::nullopt);
    EXPECT_EQ(platform.loadStringResource(70000), std::nullopt);
    HDC screen = GetDC(nullptr);
    EXPECT_FLOAT_EQ(platform.twipsPerPixelX(),
                    1440.0f / static_cast<float>(GetDeviceCaps(screen, LOGPIXELSX)));
    EXPECT_EQ(platform.pixelsPerInchY(), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    HWND label = CreateWindowExW(0, L"STATIC", L"abc", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(platform.windowText(reinterpret_cast<std::uintptr_t>(label)), u"abc");
    DestroyWindow(label);
    EXPECT_EQ(platform.windowText(0), u"");
}

} // namespace
} // namespace seg4::wine
