// What the user sees in message boxes (read and closed by the watcher), and what the real
// registry and the module's folder decide: the host's language, the help file.
#include "wine_support.h"

#include "localisation/string_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace seg4::wine {
namespace {

constexpr wchar_t kInfoKey[] = L"Software\\DelmarshSW\\QuorvaneV4\\Info";

bool sawBox(const std::vector<SeenBox>& boxes, const std::wstring& text,
            const std::wstring& title = L"ARM_7seg4") {
    for (const SeenBox& b : boxes)
        if (b.text == text && b.title == title) return true;
    return false;
}

std::wstring describe(const std::vector<SeenBox>& boxes) {
    std::wstring all;
    for (const SeenBox& b : boxes) all += L"[" + b.title + L": " + b.text + L"] ";
    return all;
}

/// The host's language setting, put back as it was when the test ends.
class LanguageSetting {
public:
    LanguageSetting() {
        wchar_t value[64] = {};
        DWORD size = sizeof value;
        had_ = RegGetValueW(HKEY_CURRENT_USER, kInfoKey, L"CurrentLanguage", RRF_RT_REG_SZ, nullptr, value,
                            &size) == ERROR_SUCCESS;
        old_ = value;
    }
    LanguageSetting(const LanguageSetting&) = delete;
    LanguageSetting& operator=(const LanguageSetting&) = delete;
    ~LanguageSetting() {
        if (had_)
            set(old_);
        else
            RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DelmarshSW");
    }
    static void set(const std::wstring& code) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kInfoKey, L"CurrentLanguage", REG_SZ, code.c_str(),
                        static_cast<DWORD>((code.size() + 1) * sizeof(wchar_t)));
    }

private:
    bool had_ = false;
    std::wstring old_;
};

std::wstring pinName(IQuorvaneComponentV4* host, LONG pin) {
    BSTR name = nullptr;
    EXPECT_EQ(host->get_PinName(pin, &name), S_OK);
    std::wstring text = name ? name : L"";
    SysFreeString(name);
    return text;
}

TEST(MessageBoxes, CustomImageNamesAreShownNotStored) {
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    MessageBoxWatcher::instance().take();
    struct Row {
        LONG id;
        const wchar_t* file;
        const wchar_t* text;
    };
    const Row rows[] = {{2, L"on.png", L"id=2  and filename = \r\non.png"},
                        {-7, L"", L"id=-7  and filename = \r\n"}};
    for (const Row& r : rows) {
        BSTR file = SysAllocString(r.file);
        EXPECT_EQ(host->put_WriteCustomImages(r.id, file), S_OK);
        SysFreeString(file);
        const std::vector<SeenBox> boxes = MessageBoxWatcher::instance().take();
        EXPECT_TRUE(sawBox(boxes, r.text)) << testing::PrintToString(describe(boxes));
        BSTR stored = nullptr;
        EXPECT_EQ(host->get_ReadCustomImages(r.id, &stored), S_OK);
        EXPECT_EQ(SysStringLen(stored), 0u);
        SysFreeString(stored);
    }
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

TEST(HostLanguage, TextsFollowTheRegistry) {
    LanguageSetting keep;
    struct Row {
        const wchar_t* code;
        std::uint32_t offset; // of the language's block in the string table
    };
    const Row rows[] = {{L"dede", 400}, {L"ru", 4400}, {L"frfr", 1200}, {L"engb", 200}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.code)));
        LanguageSetting::set(r.code);
        Ref<IQuorvaneComponentV4> host;
        createControl(host);
        struct Text {
            LONG pin;
            std::uint32_t id;
        };
        for (const Text t : {Text{0, 13}, Text{3, 10}, Text{4, 105}, Text{11, 109}}) {
            const std::optional<std::u16string> expected = builtInString(r.offset + t.id);
            ASSERT_TRUE(expected);
            EXPECT_EQ(pinName(host.get(), t.pin), wide(*expected)) << "pin " << t.pin;
        }
        EXPECT_EQ(firstParameterName(host.get()), wide(*builtInString(r.offset + 39)));
    }
    // The languages do differ where these checks look.
    EXPECT_NE(*builtInString(4400 + 13), *builtInString(200 + 13));
    EXPECT_NE(*builtInString(400 + 39), *builtInString(200 + 39));
    MessageBoxWatcher::instance().take();
}

TEST(HostLanguage, MissingProfileKeyIsReportedAndEnglishUsed) {
    LanguageSetting keep;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DelmarshSW");
    MessageBoxWatcher::instance().take();
    Ref<IQuorvaneComponentV4> host;
    createControl(host);
    const std::vector<SeenBox> boxes = MessageBoxWatcher::instance().take();
    EXPECT_TRUE(sawBox(boxes, L"Error opening key: Software\\DelmarshSW\\QuorvaneV4\\Info"))
        << testing::PrintToString(describe(boxes));
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

/// A copy of the module in a folder of its own, loaded and asked for a control directly.
class ModuleCopy {
public:
    explicit ModuleCopy(const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ =
            std::filesystem::path(temp) / (L"seg4-" + name + L"-" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        std::filesystem::copy_file(std::filesystem::path(layoutFolder()) / L"ARM_7seg4.ocx",
                                   folder_ / L"ARM_7seg4.ocx");
    }
    ModuleCopy(const ModuleCopy&) = delete;
    ModuleCopy& operator=(const ModuleCopy&) = delete;
    ~ModuleCopy() {
        if (module_) FreeLibrary(module_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::filesystem::path& folder() const { return folder_; }

    void create(Ref<IQuorvaneComponentV4>& host) {
        module_ = LoadLibraryW((folder_ / L"ARM_7seg4.ocx").c_str());
        ASSERT_NE(module_, nullptr);
        using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        auto get = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        Ref<IClassFactory> factory;
        ASSERT_EQ(get(CLSID_led7seg4, IID_IClassFactory, factory.putVoid()), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IQuorvaneComponentV4, host.putVoid()), S_OK);
    }
    std::wstring helpFile() {
        using HelpFile = UINT(WINAPI*)(LPWSTR, UINT);
        auto get =
            reinterpret_cast<HelpFile>(reinterpret_cast<void*>(GetProcAddress(module_, "Seg4HelpFile")));
        const UINT n = get(nullptr, 0);
        std::wstring path(n + 1, L'\0');
        EXPECT_EQ(get(path.data(), n + 1), n);
        path.resize(n);
        return path;
    }

private:
    std::filesystem::path folder_;
    HMODULE module_ = nullptr;
};

TEST(HelpFile, MissingHelpIsReportedOnceAtCreation) {
    ModuleCopy copy(L"nohelp");
    MessageBoxWatcher::instance().take();
    {
        Ref<IQuorvaneComponentV4> host;
        copy.create(host);
        const std::vector<SeenBox> boxes = MessageBoxWatcher::instance().take();
        int count = 0;
        for (const SeenBox& b : boxes) count += b.text == L"Can't find ARM_7seg4 help file";
        EXPECT_EQ(count, 1) << testing::PrintToString(describe(boxes));
        EXPECT_EQ(copy.helpFile(), L"");
    }
}

TEST(HelpFile, FoundHelpIsRegisteredWithoutAMessage) {
    struct Row {
        const char* what;
        std::vector<const wchar_t*> files; // in the help folder
        const wchar_t* registered;
    };
    const Row rows[] = {
        {"compiled help", {L"ARM_7seg4.chm"}, L"ARM_7seg4.chm"},
        {"language help before compiled help",
         {L"ARM_7seg4engb.hlp", L"ARM_7seg4.chm"},
         L"ARM_7seg4engb.hlp"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ModuleCopy copy(L"help");
        std::filesystem::create_directories(copy.folder() / L"help");
        for (const wchar_t* f : r.files) std::ofstream(copy.folder() / L"help" / f) << "help";
        MessageBoxWatcher::instance().take();
        Ref<IQuorvaneComponentV4> host;
        copy.create(host);
        const std::vector<SeenBox> boxes = MessageBoxWatcher::instance().take();
        for (const SeenBox& b : boxes) EXPECT_NE(b.text, L"Can't find ARM_7seg4 help file");
        EXPECT_EQ(std::filesystem::path(copy.helpFile()), copy.folder() / L"help" / r.registered);
        host.put();
    }
}

} // namespace
} // namespace seg4::wine
