// The win32 adapter and the control against the real APIs: which files count as ordinary and how
// reading fails, registry strings through the ANSI query, code pages, the module's own name,
// folder and strings; and what the real registry and the module's folder decide, in the message
// boxes the watcher reads and closes: the host's language, the help file.
#include "wine_support.h"

#include "automation/conversions.h"
#include "automation/errors.h"
#include "platform/string_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace seg4::wine {
namespace {

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
    for (const Row& r :
         {Row{L"plain.c", true, hr::Ok}, Row{L"readonly.c", true, hr::Ok}, Row{L"hidden.c", false, hr::Ok},
          Row{L"system.c", false, hr::Ok}, Row{L"sub", false, hr::PathFileAccessError},
          Row{L"missing.c", false, hr::FileNotFound}, Row{L"nofolder\\x.c", false, hr::FileNotFound},
          Row{L"locked.c", true, hr::PathFileAccessError}}) {
        const std::u16string path = narrowToU16((folder / r.name).c_str());
        EXPECT_EQ(platform.isOrdinaryFile(path), r.ordinary) << testing::PrintToString(std::wstring(r.name));
        HResult result = hr::Ok;
        try {
            EXPECT_EQ(platform.readFile(path), (std::vector<std::uint8_t>{'a', 'b', 'c', '\r', '\n'}));
        } catch (const ComError& e) {
            result = e.code();
        }
        EXPECT_EQ(result, r.readResult) << testing::PrintToString(std::wstring(r.name));
    }
    CloseHandle(lock);
    for (const wchar_t* name : {L"hidden.c", L"system.c", L"readonly.c"})
        SetFileAttributesW((folder / name).c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(folder);
}

TEST(Win32Platform, RegistryStringsThroughTheAnsiQuery) {
    constexpr wchar_t kTestKey[] = L"Software\\Seg4WineTest";
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    const std::wstring exact(255, L'x'); // 255 characters and the NUL fill 256 bytes
    const std::wstring over(256, L'y');
    const wchar_t accented[] = L"Gr\u00F6\u00DFe";
    const BYTE binary[] = {'a', 'b', 0, 'c'};
    const DWORD letter = 'A';
    auto set = [&](const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kTestKey, name, type, data, static_cast<DWORD>(bytes));
    };
    set(L"exact", REG_SZ, exact.c_str(), (exact.size() + 1) * sizeof(wchar_t));
    set(L"over", REG_SZ, over.c_str(), (over.size() + 1) * sizeof(wchar_t));
    set(L"accented", REG_SZ, accented, sizeof accented);
    set(L"binary", REG_BINARY, binary, sizeof binary);
    set(L"dword", REG_DWORD, &letter, sizeof letter);

    Win32Platform platform(controlModule());
    EXPECT_EQ(platform.openCurrentUserKey(u"Software\\Seg4WineTest\\Missing"), nullptr);
    std::unique_ptr<RegistryKey> key = platform.openCurrentUserKey(u"Software\\Seg4WineTest");
    ASSERT_NE(key, nullptr);
    const std::pair<const char16_t*, std::optional<std::u16string>> rows[] = {
        {u"exact", std::u16string(255, u'x')},
        {u"over", std::nullopt}, // does not fit the 256-byte buffer
        {u"accented", u"Gr\u00F6\u00DFe"},
        {u"binary", u"ab"}, // up to the first NUL, whatever the type
        {u"dword", u"A"},
        {u"missing", std::nullopt}};
    for (const auto& [name, expected] : rows)
        EXPECT_EQ(key->queryString(name, 256), expected) << toUtf8(name);
    key.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
}

TEST(Win32Platform, CodePagesOfLocalesAndConversions) {
    Win32Platform platform(controlModule());
    for (const auto& [lcid, codePage] : {std::pair{2057u, 1252u}, std::pair{1049u, 1251u},
                                         std::pair{1041u, 932u}, std::pair{0x7FFEu, GetACP()}})
        EXPECT_EQ(platform.ansiCodePageOfLocale(lcid), codePage) << lcid;
    EXPECT_EQ(platform.systemAnsiCodePage(), GetACP());
    EXPECT_EQ(platform.encodeAnsi(u"Gr\u00F6\u00DFe \u20AC", 1252), "Gr\xF6\xDF"
                                                                    "e \x80");
    EXPECT_EQ(platform.encodeAnsi(u"\u0416!", 1252), "?!") << "what the code page lacks becomes '?'";
    EXPECT_EQ(platform.decodeAnsi("\xC6", 1251), u"\u0416");
    EXPECT_EQ(platform.encodeAnsi(u"\u0416", 65001), "\xD0\x96") << "UTF-8 takes no replacement character";
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

/// How many of the boxes seen since the last look had this text (and the module's title).
int boxesWith(const std::wstring& text) {
    int count = 0;
    for (const SeenBox& b : SeenBoxes::instance().take()) count += b.text == text && b.title == L"ARM_7seg4";
    return count;
}

std::wstring pinName(IQuorvaneComponentV4* host, LONG pin) {
    BSTR name = nullptr;
    EXPECT_EQ(host->get_PinName(pin, &name), S_OK);
    std::wstring text = name ? name : L"";
    SysFreeString(name);
    return text;
}

/// The display name of the first parameter of macro 0 (its text before the first "|").
std::wstring firstParameterName(IQuorvaneComponentV4* host) {
    EXPECT_EQ(host->put_QuorvaneVersion(1027), S_OK); // builds the macro table
    Var parameters;
    EXPECT_EQ(host->get_MacroParameters(0, parameters.get()), S_OK);
    if (V_VT(parameters.get()) != (VT_ARRAY | VT_BSTR)) return L"<no list>";
    LONG first = 0;
    BSTR text = nullptr;
    SafeArrayGetElement(V_ARRAY(parameters.get()), &first, &text);
    std::wstring name = text ? text : L"";
    SysFreeString(text);
    return name.substr(0, name.find(L'|'));
}

TEST(HostLanguage, MissingProfileKeyIsReportedAndEnglishUsed) {
    LanguageSetting keep;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DelmarshSW");
    SeenBoxes::instance().take();
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    EXPECT_EQ(boxesWith(L"Error opening key: Software\\DelmarshSW\\QuorvaneV4\\Info"), 1);
    EXPECT_EQ(pinName(host.get(), 0), L"Anode 3");
}

TEST(StageLanguage, PinNamesInTheLanguageSetWithWineRegAdd) {
    // The stage sets CurrentLanguage to dede with `wine reg add` and names it in the environment.
    const char* code = std::getenv("SEG4_STAGE_LANGUAGE");
    if (!code) GTEST_SKIP() << "runs in the stage, after the registry was set";
    ASSERT_STREQ(code, "dede");
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    EXPECT_EQ(pinName(host.get(), 0), wide(*builtInString(400 + 13)));
    EXPECT_EQ(firstParameterName(host.get()), wide(*builtInString(400 + 39)));
    EXPECT_NE(firstParameterName(host.get()), L"Digit") << "the German name of the digit parameter";
}

TEST(HelpFile, HelpBesideTheModuleIsRegisteredWithoutAMessage) {
    SeenBoxes::instance().take();
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    EXPECT_EQ(boxesWith(L"Can't find ARM_7seg4 help file"), 0);
    auto get = moduleEntry<UINT(WINAPI*)(LPWSTR, UINT)>("Seg4HelpFile");
    ASSERT_NE(get, nullptr);
    const UINT n = get(nullptr, 0);
    std::wstring path(n + 1, L'\0');
    EXPECT_EQ(get(path.data(), n + 1), n);
    path.resize(n);
    EXPECT_EQ(path, layoutFolder() + L"\\help\\ARM_7seg4.chm");
}

} // namespace
} // namespace seg4::wine
