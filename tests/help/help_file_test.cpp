// The compiled help file in the build's data folder: a real help container holding every page
// and picture of the project, and the file a display placed with that module folder finds.
#include "automation/conversions.h"
#include "chm_archive.h"
#include "component/led7seg4.h"
#include "help_project.h"
#include "platform/posix/posix_platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace seg4 {
namespace {

namespace fs = std::filesystem;
using test::ChmArchive;

TEST(HelpFile, IsAHelpContainerListingEveryProjectFileAtItsFullSize) {
    const ChmArchive chm = ChmArchive::fromFile(test::builtHelpFile());
    EXPECT_EQ(chm.version(), 3u);
    EXPECT_EQ(chm.languageId(), 0x0809u); // English (United Kingdom), as the project says

    const test::HelpProject project = test::readHelpProject();
    ASSERT_FALSE(project.files.empty());
    for (const std::string& file : project.files) {
        SCOPED_TRACE(file);
        const test::ChmEntry* entry = chm.find("/" + file);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->section, 1u) << "pages and pictures are stored compressed";
        // The directory gives the uncompressed length, which must be the source file's.
        EXPECT_EQ(entry->length, fs::file_size(test::helpSourceDir() + "/" + file));
    }
    for (const char* navigation : {"/ARM_7seg4.hhc", "/ARM_7seg4.hhk", "/#SYSTEM", "/#TOPICS", "/$FIftiMain"})
        EXPECT_NE(chm.find(navigation), nullptr) << navigation;
}

TEST(HelpFile, SystemRecordsCarryTheProjectsTitleTopicAndNavigation) {
    const ChmArchive chm = ChmArchive::fromFile(test::builtHelpFile());
    const test::ChmEntry* system = chm.find("/#SYSTEM");
    ASSERT_NE(system, nullptr);
    const auto records = test::systemRecords(chm.readStored(*system));
    const test::HelpProject project = test::readHelpProject();

    struct Row {
        std::uint16_t code;
        const char* option;
    };
    for (const Row& r : {Row{0, "Contents file"}, Row{1, "Index file"}, Row{2, "Default topic"},
                         Row{3, "Title"}, Row{5, "Default Window"}}) {
        SCOPED_TRACE(r.option);
        ASSERT_TRUE(records.count(r.code));
        ASSERT_TRUE(project.options.count(r.option));
        EXPECT_EQ(records.at(r.code), project.options.at(r.option));
    }
    EXPECT_NE(chm.find("/" + records.at(2)), nullptr) << "the default topic is in the file";
}

/// A temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "seg4-help-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TEST(HelpFile, PagesUnpackToTheirSources) {
    // An independent unpacker reads the compressed section back.
    TempDir out;
    const std::string command = std::string("'") + SEG4_CHMLS + "' extractall '" + test::builtHelpFile() +
                                "' '" + out.path().string() + "' > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    for (const std::string& file : test::readHelpProject().files) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(test::readBytes((out.path() / file).string()) ==
                    test::readBytes(test::helpSourceDir() + "/" + file))
            << "unpacks to other bytes than its source";
    }
}

/// A display started by a host whose language is `code`, with `moduleFolder` as the folder of
/// the component; every message box it shows is recorded.
struct StartedDisplay {
    PosixPlatform platform;
    std::vector<std::u16string> messages;

    StartedDisplay(const std::string& moduleFolder, const std::u16string& code) {
        platform.setModuleFolder(moduleFolder);
        const std::u16string info = u"Software\\DelmarshSW\\QuorvaneV4\\Info";
        platform.setRegistryString(info, u"CurrentProfile", u"QuorvaneV4");
        platform.setRegistryString(info, u"CurrentLanguage", code);
        platform.setMessageBoxHandler([this](const MessageBoxRequest& box) {
            messages.push_back(box.text);
            return msgbox::IdOk;
        });
        Led7Seg4 control(platform);
        control.Initialize();
    }
};

TEST(HelpFile, DisplayInTheBuiltModuleFolderRegistersTheCompiledHelpInEveryLanguage) {
    // No language-specific help ships, so every language falls through to the compiled help.
    for (const char16_t* code : {u"engb", u"dede", u"ja", u"zhtw", u"enus"}) {
        SCOPED_TRACE(toUtf8(code));
        StartedDisplay display(test::builtDataDir(), code);
        EXPECT_TRUE(display.messages.empty()) << toUtf8(display.messages.front());
        const std::u16string expected = display.platform.windowsPath(test::builtHelpFile());
        EXPECT_EQ(display.platform.registeredHelpFile(), expected);
        EXPECT_TRUE(expected.ends_with(u"\\help\\ARM_7seg4.chm")) << toUtf8(expected);
    }
}

TEST(HelpFile, DisplayWithoutTheHelpFileSaysSoAndRegistersNothing) {
    struct Case {
        const char* name;
        void (*prepare)(const fs::path& moduleFolder);
    };
    const Case cases[] = {
        {"no help folder", [](const fs::path&) {}},
        {"empty help folder", [](const fs::path& f) { fs::create_directories(f / "help"); }},
        {"a folder in the help file's place",
         [](const fs::path& f) { fs::create_directories(f / "help" / "ARM_7seg4.chm"); }},
        {"the help file one level too high",
         [](const fs::path& f) { fs::copy_file(test::builtHelpFile(), f / "ARM_7seg4.chm"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        c.prepare(folder.path());
        StartedDisplay display(folder.path().string(), u"engb");
        EXPECT_EQ(display.messages, std::vector<std::u16string>{u"Can't find ARM_7seg4 help file"});
        EXPECT_EQ(display.platform.registeredHelpFile(), u"");
    }
}

} // namespace
} // namespace seg4
