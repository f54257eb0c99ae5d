// The Linux adapter: paths and files, the registry, screen, module and code-page services.
#include "automation/errors.h"
#include "posix_platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace seg4 {
namespace {

namespace fs = std::filesystem;

/// A fresh folder with a few files, removed afterwards.
class TempFolder {
public:
    TempFolder() : path_(fs::temp_directory_path() / ("seg4-platform-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string file(const std::string& name, const std::string& bytes) const {
        const fs::path p = path_ / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    std::string local(const std::string& name) const { return (path_ / name).string(); }
    /// The Windows path of a file here, on drive Z: as the core would build it.
    std::u16string windows(const std::string& name) const {
        std::u16string out = u"Z:";
        for (char c : (path_ / name).string()) out += c == '/' ? u'\\' : static_cast<char16_t>(c);
        return out;
    }

private:
    fs::path path_;
};

HResult readError(PosixPlatform& platform, const std::u16string& path) {
    try {
        platform.readFile(path);
    } catch (const ComError& e) {
        return e.code();
    }
    return hr::Ok;
}

TEST(PosixPaths, WindowsPathsMapAsWineMapsThem) {
    PosixPlatform platform;
    struct Case {
        std::u16string windows;
        std::optional<std::string> local;
    };
    const Case cases[] = {
        {u"Z:\\opt\\data\\ARM_7seg4.c", "/opt/data/ARM_7seg4.c"},
        {u"z:/opt/x", "/opt/x"},
        {u"Z:", "/"},
        {u"Z:\\", "/"},
        {u"\\tmp\\a", "/tmp/a"},
        {u"relative\\a", "relative/a"},
        {u"C:\\Windows", std::nullopt},
        {u"", std::nullopt},
        {std::u16string(u"Z:\\a\0b", 6), std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(platform.localPath(c.windows), c.local);
    platform.setDriveRoot('c', "/srv/drive_c/");
    EXPECT_EQ(platform.localPath(u"C:\\Windows\\win.ini"), "/srv/drive_c/Windows/win.ini");
    EXPECT_EQ(platform.windowsPath("/srv/drive_c/Program Files"), u"C:\\Program Files");
    EXPECT_EQ(platform.windowsPath("/srv/other"), u"Z:\\srv\\other");
    EXPECT_EQ(platform.windowsPath("/"), u"Z:\\");
}

TEST(PosixFiles, OnlyOrdinaryVisibleFilesCount) {
    TempFolder dir;
    dir.file("code.c", "x");
    dir.file(".hidden.c", "x");
    dir.file("sub/inner.c", "x");
    fs::create_symlink(dir.local("code.c"), dir.local("link.c"));
    fs::create_symlink(dir.local("missing.c"), dir.local("broken.c"));
    PosixPlatform platform;
    struct Case {
        std::string name;
        bool ordinary;
    };
    const Case cases[] = {{"code.c", true},     {".hidden.c", false}, {"sub/inner.c", true}, {"sub", false},
                          {"missing.c", false}, {"link.c", true},     {"broken.c", false}};
    for (const Case& c : cases) EXPECT_EQ(platform.isOrdinaryFile(dir.windows(c.name)), c.ordinary) << c.name;
    EXPECT_FALSE(platform.isOrdinaryFile(u"C:\\code.c"));
}

TEST(PosixFiles, ReadGivesTheBytesOrTheRuntimesFileErrors) {
    TempFolder dir;
    const std::string bytes("a\0\r\n\xFF", 5);
    dir.file("data.bin", bytes);
    dir.file(".hidden", "h");
    ASSERT_EQ(::mkfifo(dir.local("pipe").c_str(), 0600), 0);
    PosixPlatform platform;
    const auto content = platform.readFile(dir.windows("data.bin"));
    EXPECT_EQ(std::string(content.begin(), content.end()), bytes);
    EXPECT_EQ(platform.readFile(dir.windows(".hidden")).size(), 1u);

    struct Case {
        const char* what;
        std::u16string path;
        HResult error;
    };
    const Case cases[] = {
        {"missing file", dir.windows("none.c"), hr::FileNotFound},
        {"missing folder", dir.windows("none/x.c"), hr::FileNotFound},
        {"a file used as folder", dir.windows("data.bin/x"), hr::FileNotFound},
        {"a folder", dir.windows(""), hr::PathFileAccessError},
        {"unmapped drive", u"Q:\\x.c", hr::FileNotFound},
        {"empty path", u"", hr::BadFileNameOrNumber},
        {"read failure", u"Z:\\proc\\self\\mem", hr::DeviceIoError},
        {"a device is no file", u"Z:\\dev\\zero", hr::PathFileAccessError},
        {"a pipe is no file, and does not block", dir.windows("pipe"), hr::PathFileAccessError},
    };
    for (const Case& c : cases) EXPECT_EQ(readError(platform, c.path), c.error) << c.what;
}

TEST(PosixFiles, NoPermissionIsAnAccessError) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
    TempFolder dir;
    const std::string path = dir.file("locked.c", "x");
    fs::permissions(path, fs::perms::none);
    PosixPlatform platform;
    EXPECT_EQ(readError(platform, dir.windows("locked.c")), hr::PathFileAccessError);
}

TEST(PosixFiles, ProfileStringsFromFiles) {
    TempFolder dir;
    dir.file("code.c", "[MacroNames]\r\nCount = \"1\"\r\n[Cyr]\r\nk=\xCF\xF0\xE8\r\n");
    fs::create_directories(dir.local("folder.c"));
    PosixPlatform platform;
    EXPECT_EQ(platform.profileString("macronames", "count", "0", 255, dir.windows("code.c")), "1");
    EXPECT_EQ(platform.profileString("MacroNames", "2", "'x' ", 255, dir.windows("code.c")), "x");
    EXPECT_EQ(platform.profileString("MacroNames", "Count", "'x'", 255, dir.windows("missing.c")), "x");
    EXPECT_EQ(platform.profileString("MacroNames", "Count", "'x' ", 255, dir.windows("folder.c")), "'x'");
    platform.setSystemCodePage(1251);
    EXPECT_EQ(platform.profileString("cyr", "K", "", 255, dir.windows("code.c")), "\xCF\xF0\xE8");
}

TEST(PosixRegistry, KeysFromFilesAndSettings) {
    TempFolder dir;
    const std::string reg =
        dir.file("host.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\DelmarshSW\\"
                             "QuorvaneV4\\Info]\r\n\"CurrentProfile\"=\"QuorvaneV4\"\r\n");
    PosixPlatform platform;
    platform.loadRegistryFile(reg);
    platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage", u"dede");

    auto key = platform.openCurrentUserKey(u"software\\delmarshsw\\quorvanev4\\info");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->queryString(u"CurrentProfile", 256), u"QuorvaneV4");
    EXPECT_EQ(key->queryString(u"currentlanguage", 256), u"dede");
    EXPECT_EQ(key->queryString(u"CurrentLanguage", 4), std::nullopt);
    EXPECT_EQ(key->queryString(u"Missing", 256), std::nullopt);
    EXPECT_NE(platform.openCurrentUserKey(u"Software\\DelmarshSW"), nullptr);
    EXPECT_EQ(platform.openCurrentUserKey(u"Software\\Other"), nullptr);
    EXPECT_EQ(platform.openCurrentUserKey(u"\\Software\\DelmarshSW"), nullptr);

    // A key opened before the registry is cleared finds nothing afterwards.
    platform.clearRegistry();
    EXPECT_EQ(key->queryString(u"CurrentProfile", 256), std::nullopt);
    EXPECT_EQ(platform.openCurrentUserKey(u"Software\\DelmarshSW"), nullptr);
}

TEST(PosixRegistry, BadFilesLeaveTheRegistryAsItWas) {
    TempFolder dir;
    const std::string bad = dir.file("bad.reg", "REGEDIT4\n[HKCU\\Software\\New]\n\"n\"=dword:xyz\n");
    PosixPlatform platform;
    platform.setRegistryString(u"Software\\Old", u"v", u"1");
    try {
        platform.loadRegistryFile(bad);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("bad.reg:3:"), std::string::npos) << e.what();
    }
    EXPECT_NE(platform.openCurrentUserKey(u"Software\\Old"), nullptr);
    EXPECT_EQ(platform.openCurrentUserKey(u"Software\\New"), nullptr);
    EXPECT_THROW(platform.loadRegistryFile(dir.local("absent.reg")), std::runtime_error);
    EXPECT_THROW(platform.setRegistryString(u"A\\\\B", u"n", u"v"), std::invalid_argument);
}

TEST(PosixRegistry, QueriesUseTheSystemCodePage) {
    PosixPlatform platform;
    platform.setRegistryString(u"K", u"v", u"\u0414\u0430");
    EXPECT_EQ(platform.openCurrentUserKey(u"K")->queryString(u"v", 256), u"??");
    platform.setSystemCodePage(1251);
    EXPECT_EQ(platform.openCurrentUserKey(u"K")->queryString(u"v", 256), u"\u0414\u0430");
    EXPECT_EQ(platform.openCurrentUserKey(u"K")->queryString(u"v", 2), std::nullopt);
}

TEST(PosixScreen, TwipsAndPixelsPerInch) {
    PosixPlatform platform;
    EXPECT_EQ(platform.twipsPerPixelX(), 15.0f);
    EXPECT_EQ(platform.twipsPerPixelY(), 15.0f);
    EXPECT_EQ(platform.pixelsPerInchY(), 96);
    platform.setTwipsPerPixel(12, 10);
    EXPECT_EQ(platform.twipsPerPixelX(), 12.0f);
    EXPECT_EQ(platform.pixelsPerInchY(), 144);
    platform.setTwipsPerPixel(11.25f, 11.25f);
    EXPECT_EQ(platform.pixelsPerInchY(), 128);
    for (float bad :
         {0.0f, -15.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()})
        EXPECT_THROW(platform.setTwipsPerPixel(15, bad), std::invalid_argument);
    EXPECT_EQ(platform.twipsPerPixelY(), 11.25f);
}

TEST(PosixModule, IdentityFolderHelpStringsAndEvents) {
    PosixPlatform platform;
    EXPECT_EQ(platform.moduleBaseName(), u"ARM_7seg4");
    const ModuleVersion v = platform.moduleVersion();
    EXPECT_EQ((std::vector<int>{v.major, v.minor, v.build, v.revision}), (std::vector<int>{4, 0, 0, 1}));

    const std::u16string folder = platform.moduleFolder();
    EXPECT_EQ(folder.substr(0, 3), u"Z:\\");
    EXPECT_EQ(folder.substr(folder.size() - 5), u"\\data");
    platform.setModuleFolder("/opt/seg4/data/");
    EXPECT_EQ(platform.moduleFolder(), u"Z:\\opt\\seg4\\data");

    platform.registerHelpFile(u"Z:\\opt\\seg4\\data\\help\\ARM_7seg4.chm");
    EXPECT_EQ(platform.registeredHelpFile(), u"Z:\\opt\\seg4\\data\\help\\ARM_7seg4.chm");
    EXPECT_EQ(platform.loadStringResource(213), u"Anode 3");
    EXPECT_EQ(platform.loadStringResource(199), std::nullopt);

    std::vector<std::u16string> sunk;
    platform.reportEvent(EventLogType::Warning, u"first");
    platform.setEventSink([&](EventLogType, const std::u16string& text) { sunk.push_back(text); });
    platform.reportEvent(EventLogType::Error, u"second");
    ASSERT_EQ(platform.events().size(), 2u);
    EXPECT_EQ(platform.events()[1].first, EventLogType::Error);
    EXPECT_EQ(sunk, std::vector<std::u16string>{u"second"});

    platform.setWindowText(42, u"abc");
    EXPECT_EQ(platform.windowText(42), u"abc");
    EXPECT_EQ(platform.windowText(43), u"");
}

TEST(PosixUserInterface, MessageBoxesGoToTheHandlerOrToStandardError) {
    PosixPlatform platform;
    MessageBoxRequest box{u"Error - cannot find C code file:\r\n\r\nZ:\\x.c", u"ARM_7seg4", msgbox::Ok, 0};
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform.messageBox(box), msgbox::IdOk);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[ARM_7seg4] Error - cannot find C code file:\n\nZ:\\x.c\n");

    std::vector<std::u16string> seen;
    platform.setMessageBoxHandler([&](const MessageBoxRequest& r) {
        seen.push_back(r.text);
        return 7;
    });
    EXPECT_EQ(platform.messageBox(box), 7);
    EXPECT_EQ(seen, std::vector<std::u16string>{box.text});
}

TEST(PosixCodePages, LocalesAndConversionsThroughThePlatform) {
    PosixPlatform platform;
    EXPECT_EQ(platform.systemAnsiCodePage(), 1252u);
    EXPECT_EQ(platform.ansiCodePageOfLocale(1049), 1251u);
    EXPECT_EQ(platform.ansiCodePageOfLocale(0), 1252u);
    EXPECT_EQ(platform.encodeAnsi(u"\u20AC\u0416", 0), "\x80?");
    EXPECT_EQ(platform.encodeAnsi(u"\u0416", 1251), "\xC6");
    // The language conversion: encode in the language's code page, decode in the system's.
    EXPECT_EQ(platform.decodeAnsi(platform.encodeAnsi(u"\u0416", 1251), 0), u"\u00C6");
    EXPECT_THROW(platform.encodeAnsi(u"a", 437), std::runtime_error);
    EXPECT_THROW(platform.setSystemCodePage(437), std::invalid_argument);
    platform.setSystemCodePage(932);
    EXPECT_EQ(platform.decodeAnsi("\x93\xFA", 0), u"\u65E5");
    EXPECT_EQ(platform.ansiCodePageOfLocale(0x800), 932u);
}

} // namespace
} // namespace seg4
