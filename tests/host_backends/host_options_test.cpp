// qhost.exe's host options under Wine: settings land in the real registry where the module
// reads them, and options that describe the system are accepted only as the system is.
#include "automation/conversions.h"
#include "com_backend.h"
#include "test_host.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace qhost::testing {
namespace {

constexpr wchar_t kInfo[] = L"Software\\DelmarshSW\\QuorvaneV4\\Info";

std::optional<std::wstring> userString(const wchar_t* key, const wchar_t* name) {
    wchar_t buffer[256] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

std::string narrow(const std::u16string& s) { return seg4::toUtf8(s); } // the paths here are ASCII

std::string messageOf(const HostOptions& o) {
    try {
        applyHostOptions(o);
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

class HostOptionsTest : public ::testing::Test {
protected:
    // Every test leaves the host as the contract tests expect it: engb, nothing else.
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DelmarshSW");
        applyHostOptions({});
        std::remove(file_.c_str());
    }
    std::string writeFile(const std::string& text) {
        std::ofstream(file_, std::ios::binary) << text;
        return file_;
    }
    std::string file_ = "host_options_test.reg";
};

TEST_F(HostOptionsTest, WhatDescribesTheSystemIsAcceptedOnlyAsItIs) {
    const std::u16string module = registeredModulePath();
    ASSERT_FALSE(module.empty()) << "the stage registers the module first";
    std::string folder = narrow(module.substr(0, module.find_last_of(u'\\')));
    std::string shouted = folder;
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HDC dc = GetDC(nullptr);
    const float screen = 1440.0f / static_cast<float>(GetDeviceCaps(dc, LOGPIXELSX));
    ReleaseDC(nullptr, dc);
    const unsigned acp = GetACP();
    struct Row {
        const char* what;
        std::function<void(HostOptions&)> set;
        const char* refusal; // the start of the error, "" when accepted
    };
    const Row rows[] = {
        {"the screen's twips", [&](HostOptions& o) { o.twips = screen; }, ""},
        {"other twips", [&](HostOptions& o) { o.twips = screen + 3; }, "--twips "},
        {"the system's code page", [&](HostOptions& o) { o.codePage = acp; }, ""},
        {"another code page", [&](HostOptions& o) { o.codePage = acp == 932 ? 1252u : 932u; },
         "--code-page "},
        {"the module's folder", [&](HostOptions& o) { o.moduleFolder = folder; }, ""},
        {"the same folder in capitals, with a separator",
         [&](HostOptions& o) { o.moduleFolder = shouted + "\\"; }, ""},
        {"the same folder through a detour", [&](HostOptions& o) { o.moduleFolder = folder + "\\help\\.."; },
         ""},
        {"another folder", [&](HostOptions& o) { o.moduleFolder = folder + "\\help"; }, "--module-folder "},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        HostOptions options;
        r.set(options);
        const std::string message = messageOf(options);
        EXPECT_EQ(message.substr(0, std::string(r.refusal).size()), r.refusal) << message;
        if (*r.refusal == '\0') {
            EXPECT_EQ(message, "");
        }
    }
    // The twips command of a run gets the screen's own value or, unaware of the resolution, 15,
    // and the module then reads what it got; anything else is refused and changes nothing.
    const auto moduleTwips = [] {
        HDC screenDc = GetDC(nullptr);
        const float t = 1440.0f / static_cast<float>(GetDeviceCaps(screenDc, LOGPIXELSX));
        ReleaseDC(nullptr, screenDc);
        return t;
    };
    for (const float wanted : {15.0f, screen}) {
        EXPECT_NO_THROW(testBackend().setTwipsPerPixel(wanted));
        EXPECT_EQ(moduleTwips(), wanted);
    }
    try {
        testBackend().setTwipsPerPixel(screen + 3);
        ADD_FAILURE() << "other twips accepted during a run";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot be had during a run"), std::string::npos) << e.what();
    }
    EXPECT_EQ(moduleTwips(), screen);
    // A refused module folder names the one the module reads.
    HostOptions elsewhere;
    elsewhere.moduleFolder = "C:\\windows";
    EXPECT_NE(messageOf(elsewhere).find(folder), std::string::npos);
}

TEST_F(HostOptionsTest, SettingsLandWhereTheModuleReadsThem) {
    const std::string file = "REGEDIT4\r\n\r\n"
                             "[HKEY_CURRENT_USER\\Software\\DelmarshSW\\QuorvaneV4\\Info]\r\n"
                             "\"CurrentLanguage\"=\"frfr\"\r\n"
                             "\"Extra\"=dword:0000002a\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Seg4HostTest]\r\n\"x\"=\"y\"\r\n";
    struct Row {
        const char* what;
        const char* fileText; // nullptr: no registry file
        const char* language;
        const wchar_t* profile; // CurrentProfile afterwards; nullptr: absent
        const wchar_t* currentLanguage;
    };
    const Row rows[] = {
        {"the default language", nullptr, "", L"QuorvaneV4", L"engb"},
        {"a language", nullptr, "dede", L"QuorvaneV4", L"dede"},
        {"a registry file alone", file.c_str(), "", nullptr, L"frfr"},
        {"a registry file and a language", file.c_str(), "ja", L"QuorvaneV4", L"ja"},
        {"a registry file without the host's keys", "REGEDIT4\r\n\r\n", "", nullptr, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        // An earlier run's settings: another profile with its own language.
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DelmarshSW");
        RegSetKeyValueW(HKEY_CURRENT_USER, kInfo, L"CurrentProfile", REG_SZ, L"Old", 8);
        RegSetKeyValueW(HKEY_CURRENT_USER, kInfo, L"CurrentLanguage", REG_SZ, L"ru", 6);
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\DelmarshSW\\Old\\Info", L"CurrentLanguage", REG_SZ,
                        L"el", 6);
        HostOptions o;
        o.language = r.language;
        if (r.fileText) o.registryFile = writeFile(r.fileText);
        ASSERT_EQ(messageOf(o), "");
        EXPECT_EQ(userString(kInfo, L"CurrentProfile").value_or(L"(absent)"),
                  r.profile ? r.profile : L"(absent)");
        EXPECT_EQ(userString(kInfo, L"CurrentLanguage").value_or(L"(absent)"),
                  r.currentLanguage ? r.currentLanguage : L"(absent)");
        // A registry file is the host's settings: the module finds only what it holds.
        EXPECT_EQ(userString(L"Software\\DelmarshSW\\Old\\Info", L"CurrentLanguage").value_or(L"(absent)"),
                  r.fileText ? L"(absent)" : L"el");
        if (r.fileText && r.currentLanguage) {
            DWORD extra = 0, bytes = sizeof extra;
            EXPECT_EQ(
                RegGetValueW(HKEY_CURRENT_USER, kInfo, L"Extra", RRF_RT_REG_DWORD, nullptr, &extra, &bytes),
                ERROR_SUCCESS);
            EXPECT_EQ(extra, 42u);
        }
        HKEY other = nullptr;
        EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Seg4HostTest", 0, KEY_READ, &other),
                  ERROR_SUCCESS)
            << "keys of other hives are not the host's settings";
        if (other) RegCloseKey(other);
    }
}

TEST_F(HostOptionsTest, AMalformedRegistryFileChangesNothing) {
    HostOptions german;
    german.language = "dede";
    applyHostOptions(german);
    const std::string path =
        writeFile("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\DelmarshSW\\QuorvaneV4\\Info]\r\n"
                  "\"CurrentLanguage\"=\"frfr\"\r\n\"Broken\"=unknown:12\r\n");
    HostOptions broken, missing;
    broken.registryFile = path;
    missing.registryFile = "no-such-file.reg";
    const std::string message = messageOf(broken);
    EXPECT_EQ(message.rfind(path + ":5:", 0), 0u) << message;
    EXPECT_EQ(userString(kInfo, L"CurrentLanguage").value_or(L"(absent)"), L"dede");
    EXPECT_EQ(messageOf(missing), "cannot read no-such-file.reg: No such file or directory");
}

/// What a run on a changed system touches: the screen's dots per inch and both classes' modules.
std::vector<std::wstring> systemAsItIs() {
    std::vector<std::wstring> seen;
    DWORD dpi = 0, bytes = sizeof dpi;
    const bool set = RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels",
                                  RRF_RT_REG_DWORD, nullptr, &dpi, &bytes) == ERROR_SUCCESS;
    seen.push_back(set ? std::to_wstring(dpi) : L"(absent)");
    for (const wchar_t* key : {L"CLSID\\{4DB172DB-1264-415E-9417-10B6459B4AEE}\\InprocServer32",
                               L"CLSID\\{203E56B0-72FB-4E19-BB19-8F05D50226A3}\\InprocServer32"}) {
        wchar_t path[MAX_PATH] = {};
        DWORD size = sizeof path;
        RegGetValueW(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, path, &size);
        seen.push_back(path);
    }
    return seen;
}

TEST_F(HostOptionsTest, AChangeThatCannotBeMadeLeavesTheSystemAsItWas) {
    const std::u16string module = registeredModulePath();
    ASSERT_FALSE(module.empty()) << "the stage registers the module first";
    const std::string folder = narrow(module.substr(0, module.find_last_of(u'\\')));
    const std::vector<std::wstring> before = systemAsItIs();
    struct Row {
        const char* what;
        std::optional<float> twips;
        std::string moduleFolder;
        const char* refusal; // the start of the error
    };
    const Row rows[] = {
        {"twips that give no whole dots per inch", 7.0f, "",
         "--twips 7: the screen takes whole dots per inch"},
        {"a folder the module cannot be copied to", std::nullopt, folder + "\\no-such-folder",
         "--module-folder "},
        {"a finer screen, then a folder that fails", 12.0f, folder + "\\no-such-folder", "--module-folder "},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        HostOptions o;
        o.twips = r.twips;
        o.moduleFolder = r.moduleFolder;
        std::string message;
        try {
            runOnChangedSystem(o);
        } catch (const std::runtime_error& e) {
            message = e.what();
        }
        EXPECT_EQ(message.rfind(r.refusal, 0), 0u) << message;
        EXPECT_EQ(systemAsItIs(), before);
    }
    // What the system already is needs no change and no second process.
    HostOptions same;
    same.moduleFolder = folder;
    same.twips = screenTwipsPerPixel();
    EXPECT_EQ(runOnChangedSystem(same), std::nullopt);
}

} // namespace
} // namespace qhost::testing
