// The Linux adapter: paths and files, the registry, screen, module and code-page services.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "helpers.h"
#include "posix_platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <limits>

namespace seg4 {
namespace {

namespace fs = std::filesystem;
using test::failureOf;

/// A folder of files, and their Windows paths on drive Z: as the core builds them.
struct Folder : test::TempDir {
    std::string file(const std::string& name, const std::string& bytes) const {
        test::writeText(*this / name, bytes);
        return (*this / name).string();
    }
    std::u16string windows(const std::string& name) const {
        std::u16string out = u"Z:" + fromUtf8((*this / name).string());
        for (char16_t& c : out)
            if (c == u'/') c = u'\\';
        return out;
    }
};

TEST(PosixPaths, WindowsPathsMapAsWineMapsThem) {
    PosixPlatform platform;
    const std::pair<std::u16string, std::optional<std::string>> cases[] = {
        {u"Z:\\opt\\data\\ARM_7seg4.c", "/opt/data/ARM_7seg4.c"},
        {u"z:/opt/x", "/opt/x"},
        {u"Z:", "/"},
        {u"\\tmp\\a", "/tmp/a"},
        {u"relative\\a", "relative/a"},
        {u"C:\\Windows", std::nullopt},
        {u"", std::nullopt},
        {std::u16string(u"Z:\\a\0b", 6), std::nullopt},
    };
    for (const auto& [windows, local] : cases) EXPECT_EQ(platform.localPath(windows), local);
    platform.setDriveRoot('c', "/srv/drive_c/");
    EXPECT_EQ(platform.localPath(u"C:\\Windows\\win.ini"), "/srv/drive_c/Windows/win.ini");
    EXPECT_EQ(platform.windowsPath("/srv/drive_c/Program Files"), u"C:\\Program Files");
    EXPECT_EQ(platform.windowsPath("/srv/other"), u"Z:\\srv\\other");
    EXPECT_EQ(platform.windowsPath("/"), u"Z:\\");
}

TEST(PosixFiles, OnlyOrdinaryVisibleFilesCountAndReadsGiveTheBytesOrTheFileErrors) {
    Folder dir;
    const std::string bytes("a\0\r\n\xFF", 5);
    dir.file("code.c", bytes);
    dir.file(".hidden.c", "h");
    dir.file("sub/inner.c", "x");
    dir.file("Help/ARM_7SEG4.CHM", "help");
    dir.file("\xC3\x9C"
             "bung.c",
             "u"); // "Übung.c"
    fs::create_symlink(dir / "code.c", dir / "link.c");
    fs::create_symlink(dir / "missing.c", dir / "broken.c");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    PosixPlatform platform;
    const struct {
        std::u16string path;
        bool ordinary;
        HResult readError;
    } cases[] = {
        {dir.windows("code.c"), true, hr::Ok},
        {dir.windows(".hidden.c"), false, hr::Ok},
        {dir.windows("sub/inner.c"), true, hr::Ok},
        {dir.windows("link.c"), true, hr::Ok},
        {dir.windows("broken.c"), false, hr::FileNotFound},
        {dir.windows("none/x.c"), false, hr::FileNotFound},
        {dir.windows("code.c/x"), false, hr::FileNotFound}, // a file used as folder
        {dir.windows("sub"), false, hr::PathFileAccessError},
        {u"Q:\\x.c", false, hr::FileNotFound}, // unmapped drive
        {u"", false, hr::BadFileNameOrNumber},
        {u"Z:\\proc\\self\\mem", true, hr::DeviceIoError},
        {u"Z:\\dev\\zero", false, hr::PathFileAccessError},    // a device is no file
        {dir.windows("pipe"), false, hr::PathFileAccessError}, // nor a pipe, and it does not block
        // Names compare as Windows compares them, without regard to letter case.
        {dir.windows("CODE.C"), true, hr::Ok},
        {dir.windows("SUB/Inner.C"), true, hr::Ok},
        {dir.windows("help/arm_7seg4.chm"), true, hr::Ok},
        {dir.windows("\xC3\xBC"
                     "BUNG.C"),
         true, hr::Ok}, // "üBUNG.C"
        {dir.windows(".HIDDEN.C"), false, hr::Ok},
        {dir.windows("BROKEN.C"), false, hr::FileNotFound}, // the link it finds leads nowhere
        {dir.windows("\xC3\x9C"
                     "BUNG.CC"),
         false, hr::FileNotFound},
        {dir.windows("Code.C/x"), false, hr::FileNotFound},
        {dir.windows("SUB/none/../inner.c"), false, hr::FileNotFound},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform.isOrdinaryFile(c.path), c.ordinary) << toUtf8(c.path);
        EXPECT_EQ(failureOf([&] { platform.readFile(c.path); }), c.readError) << toUtf8(c.path);
    }
    const auto content = platform.readFile(dir.windows("link.c"));
    EXPECT_EQ(std::string(content.begin(), content.end()), bytes);
    // Where two names differ only in case, the exact spelling wins, else the one sorting first.
    dir.file("twin.c", "lower");
    dir.file("TWIN.C", "upper");
    for (const auto& [name, want] :
         {std::pair{"twin.c", "lower"}, {"TWIN.C", "upper"}, {"Twin.c", "upper"}}) {
        const auto read = platform.readFile(dir.windows(name));
        EXPECT_EQ(std::string(read.begin(), read.end()), want) << name;
    }

    if (::geteuid() == 0) return; // the superuser reads every file
    fs::permissions(dir.file("locked.c", "x"), fs::perms::none);
    EXPECT_EQ(failureOf([&] { platform.readFile(dir.windows("locked.c")); }), hr::PathFileAccessError);
}

TEST(PosixFiles, ProfileStringsFromFiles) {
    Folder dir;
    dir.file("code.c", "[MacroNames]\r\nCount = \"1\"\r\n[Cyr]\r\nk=\xCF\xF0\xE8\r\n");
    fs::create_directories(dir / "folder.c");
    PosixPlatform platform;
    EXPECT_EQ(platform.profileString("macronames", "count", "0", 255, dir.windows("code.c")), "1");
    EXPECT_EQ(platform.profileString("MacroNames", "2", "'x' ", 255, dir.windows("code.c")), "x");
    EXPECT_EQ(platform.profileString("MacroNames", "Count", "'x'", 255, dir.windows("missing.c")), "x");
    EXPECT_EQ(platform.profileString("MacroNames", "Count", "'x' ", 255, dir.windows("folder.c")), "'x'");
    platform.setSystemCodePage(1251);
    EXPECT_EQ(platform.profileString("cyr", "K", "", 255, dir.windows("code.c")), "\xCF\xF0\xE8");
}

TEST(PosixRegistry, KeysFromFilesAndSettingsInTheSystemCodePage) {
    Folder dir;
    PosixPlatform platform;
    platform.loadRegistryFile(dir.file("host.reg",
                                       "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\DelmarshSW\\"
                                       "QuorvaneV4\\Info]\r\n\"CurrentProfile\"=\"QuorvaneV4\"\r\n"));
    platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage",
                               u"\u0414\u0430");
    auto key = platform.openCurrentUserKey(u"software\\delmarshsw\\quorvanev4\\info");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->queryString(u"CurrentProfile", 256), u"QuorvaneV4");
    EXPECT_EQ(key->queryString(u"currentlanguage", 256), u"??");
    platform.setSystemCodePage(1251);
    key = platform.openCurrentUserKey(u"Software\\DelmarshSW\\QuorvaneV4\\Info");
    EXPECT_EQ(key->queryString(u"currentlanguage", 256), u"\u0414\u0430");
    EXPECT_EQ(key->queryString(u"currentlanguage", 2), std::nullopt);
    EXPECT_EQ(key->queryString(u"Missing", 256), std::nullopt);
    EXPECT_NE(platform.openCurrentUserKey(u"Software\\DelmarshSW"), nullptr);
    EXPECT_EQ(platform.openCurrentUserKey(u"\\Software\\DelmarshSW"), nullptr);

    EXPECT_THROW(platform.loadRegistryFile((dir / "absent.reg").string()), std::runtime_error);
    EXPECT_THROW(platform.loadRegistryFile(dir.file("bad.reg", "REGEDIT4\n[HKCU\\New]\n\"n\"=dword:xyz\n")),
                 std::runtime_error);
    EXPECT_EQ(platform.openCurrentUserKey(u"New"), nullptr);

    // A key opened before the registry is cleared finds nothing afterwards.
    platform.clearRegistry();
    EXPECT_EQ(key->queryString(u"CurrentProfile", 256), std::nullopt);
    EXPECT_EQ(platform.openCurrentUserKey(u"Software\\DelmarshSW"), nullptr);
}

TEST(PosixPlatform, ScreenModuleAndMessageBoxes) {
    PosixPlatform platform;
    EXPECT_EQ(platform.pixelsPerInchY(), 96);
    platform.setTwipsPerPixel(12, 11.25f);
    EXPECT_EQ(platform.pixelsPerInchY(), 128);
    for (float bad :
         {0.0f, -15.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()})
        EXPECT_THROW(platform.setTwipsPerPixel(15, bad), std::invalid_argument);
    EXPECT_EQ(platform.twipsPerPixelY(), 11.25f);

    const ModuleVersion v = platform.moduleVersion();
    EXPECT_EQ((std::vector<int>{v.major, v.minor, v.build, v.revision}), (std::vector<int>{4, 0, 0, 1}));
    EXPECT_EQ(platform.moduleBaseName(), u"ARM_7seg4");
    EXPECT_TRUE(platform.moduleFolder().starts_with(u"Z:\\") && platform.moduleFolder().ends_with(u"\\data"));
    platform.setModuleFolder("/opt/seg4/data/");
    EXPECT_EQ(platform.moduleFolder(), u"Z:\\opt\\seg4\\data");
    EXPECT_EQ(platform.loadStringResource(213), u"Anode 3");
    EXPECT_EQ(platform.loadStringResource(199), std::nullopt);

    // Message boxes go to standard error until the host takes them.
    MessageBoxRequest box{u"Error - cannot find C code file:\r\n\r\nZ:\\x.c", u"ARM_7seg4", msgbox::Ok, 0};
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform.messageBox(box), msgbox::IdOk);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[ARM_7seg4] Error - cannot find C code file:\n\nZ:\\x.c\n");
    platform.setMessageBoxHandler([&](const MessageBoxRequest& r) { return r.text == box.text ? 7 : 0; });
    EXPECT_EQ(platform.messageBox(box), 7);
}

TEST(PosixCodePages, LocalesAndConversionsThroughThePlatform) {
    PosixPlatform platform;
    EXPECT_EQ(platform.systemAnsiCodePage(), 1252u);
    EXPECT_EQ(platform.ansiCodePageOfLocale(1049), 1251u);
    EXPECT_EQ(platform.encodeAnsi(u"\u20AC\u0416", 0), "\x80?");
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
