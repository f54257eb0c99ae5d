// The end-user help: the sources hang together and tell the same facts as the component, and
// the compiled file in the build's data folder holds them and is found by a display.
#include "automation/conversions.h"
#include "component/led7seg4.h"
#include "fake_platform.h"
#include "helpers.h"
#include "posix_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace seg4 {
namespace {

namespace fs = std::filesystem;
using test::readText;

const fs::path kSources = SEG4_HELP_SOURCE_DIR;
const fs::path kCompiled = fs::path(SEG4_HELP_DATA_DIR) / "help" / "ARM_7seg4.chm";

std::vector<std::string> captures(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

template <class T>
bool contains(const std::vector<T>& list, const T& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

struct HelpProject {
    std::map<std::string, std::string> options; // [OPTIONS] key=value
    std::vector<std::string> files, pages;      // [FILES] in order, '/' separated; the .htm ones
};

HelpProject readProject() {
    HelpProject project;
    std::string section, line;
    std::istringstream in(readText(kSources / "ARM_7seg4.hhp"));
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (section == "OPTIONS" && line.find('=') != std::string::npos) {
            project.options[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        } else if (section == "FILES") {
            std::replace(line.begin(), line.end(), '\\', '/');
            project.files.push_back(line);
            if (line.ends_with(".htm")) project.pages.push_back(line);
        }
    }
    return project;
}

TEST(HelpSources, ProjectListsExactlyTheFilesThatExist) {
    const HelpProject project = readProject();
    std::set<std::string> onDisk;
    for (const auto& e : fs::recursive_directory_iterator(kSources))
        if (std::set<std::string>{".htm", ".css", ".png"}.count(e.path().extension().string()))
            onDisk.insert(fs::relative(e.path(), kSources).generic_string());
    EXPECT_EQ(std::set<std::string>(project.files.begin(), project.files.end()).size(), project.files.size());
    EXPECT_EQ(std::set<std::string>(project.files.begin(), project.files.end()), onDisk);
}

TEST(HelpSources, LinksPicturesContentsAndIndexLeadToListedFiles) {
    const HelpProject project = readProject();
    const auto contents =
        captures(readText(kSources / "ARM_7seg4.hhc"), R"re(name="Local" value="([^"]*)")re");
    const auto index = captures(readText(kSources / "ARM_7seg4.hhk"), R"re(name="Local" value="([^"]*)")re");
    ASSERT_FALSE(index.empty());
    for (const auto& target : index) EXPECT_TRUE(contains(project.pages, target)) << target;
    for (const auto& target : contents) EXPECT_TRUE(contains(project.pages, target)) << target;

    for (const std::string& page : project.pages) {
        SCOPED_TRACE(page);
        EXPECT_TRUE(contains(contents, page)) << "not in the contents";
        const std::string text = readText(kSources / page);
        EXPECT_EQ(captures(text, "<title>([^<]+)</title>"), captures(text, "<h1>([^<]+)</h1>"));
        for (const std::string& ref : captures(text, R"re((?:href|src)="([^"]*)")re")) {
            ASSERT_EQ(ref.find(':'), std::string::npos) << "the help links only to its own files: " << ref;
            const std::string file = ref.substr(0, ref.find('#')), target = file.empty() ? page : file;
            ASSERT_TRUE(contains(project.files, target)) << ref;
            if (ref.find('#') != std::string::npos) {
                const auto ids = captures(readText(kSources / target), R"re(\bid="([^"]*)")re");
                EXPECT_TRUE(contains(ids, ref.substr(ref.find('#') + 1))) << ref;
            }
        }
        for (const std::string& tag : captures(text, "(<img\\b[^>]*>)"))
            EXPECT_TRUE(std::regex_search(tag, std::regex(R"re(alt="[^"]+")re"))) << "no alt text: " << tag;
    }
}

/// The text of each cell of each row of the table with this id (header rows left out).
std::vector<std::vector<std::string>> tableRows(const std::string& page, const std::string& tableId) {
    const std::string text = readText(kSources / page);
    const std::size_t start = text.find("<table id=\"" + tableId + "\">");
    if (start == std::string::npos) return {};
    std::vector<std::vector<std::string>> rows;
    for (const std::string& r :
         captures(text.substr(start, text.find("</table>", start) - start), R"re(<tr>([\s\S]*?)</tr>)re")) {
        std::vector<std::string> cells;
        for (const std::string& c : captures(r, R"re(<td[^>]*>([\s\S]*?)</td>)re"))
            cells.push_back(std::regex_replace(c, std::regex("<[^>]*>"), ""));
        if (!cells.empty()) rows.push_back(cells);
    }
    return rows;
}

/// The segments a pattern lights: a clear bit is a low line, which lights its segment.
std::string litSegments(std::uint8_t pattern) {
    std::string lit;
    for (int s = 0; s < 7; ++s)
        if (!(pattern & (1u << s))) lit += (lit.empty() ? "" : " ") + std::string(1, char('A' + s));
    return lit;
}

TEST(HelpSources, PinAndValueTablesAreThoseOfTheComponent) {
    test::FakePlatform platform;
    Led7Seg4 control(platform);
    control.Initialize();
    control.InitProperties();
    const auto pins = tableRows("wiring.htm", "pin-table");
    ASSERT_EQ(std::int32_t(pins.size()), control.get_PinCount());
    std::string masks;
    for (std::int32_t pin = 0; pin < control.get_PinCount(); ++pin) {
        const std::vector<std::string> row = pins[std::size_t(pin)];
        ASSERT_EQ(row.size(), 4u);
        EXPECT_EQ(std::vector<std::string>({row[0], row[2], row[3]}),
                  std::vector<std::string>({toUtf8(control.get_PinName(pin)),
                                            std::to_string(control.get_DesiredPort(pin)),
                                            std::to_string(control.get_DesiredBit(pin))}));
        if (pin < 4)
            masks += (pin ? ", " : "") +
                     std::to_string(Led7Seg4::ShiftLeft(1, std::int16_t(control.get_DesiredBit(pin))));
    }

    const auto values = tableRows("show_digit.htm", "value-table");
    ASSERT_EQ(values.size(), 11u);
    std::string patterns;
    for (int v = 0; v < 10; ++v) {
        const std::uint8_t pattern = Led7Seg4::DigitPattern(std::uint8_t(v));
        EXPECT_EQ(values[std::size_t(v)], std::vector<std::string>({std::to_string(v), litSegments(pattern),
                                                                    std::to_string(pattern)}));
        patterns += (v ? ", " : "") + std::to_string(pattern);
    }
    EXPECT_EQ(values[10], std::vector<std::string>(
                              {"10 to 255", litSegments(0), std::to_string(Led7Seg4::DigitPattern(10))}));
    EXPECT_EQ(Led7Seg4::DigitPattern(10), Led7Seg4::DigitPattern(255));

    // With the proposed wiring the generated code holds the anode masks and patterns themselves.
    const auto code = tableRows("generated_code.htm", "code-values");
    EXPECT_TRUE(contains(code, std::vector<std::string>{"Anode mask of DIGIT 0, 1, 2, 3", masks})) << masks;
    EXPECT_TRUE(contains(code, std::vector<std::string>{"Segment lines for the figures 0 to 9", patterns}))
        << patterns;
}

TEST(HelpFile, UnpacksToItsSourcesAndCarriesTheProjectsOptions) {
    // An independent reader of the compiled format lists and unpacks it.
    test::TempDir out;
    const auto unpacked = test::runCommand(std::string("'" SEG4_CHMLS "' extractall '") + kCompiled.string() +
                                           "' '" + out.path().string() + "'");
    ASSERT_EQ(unpacked.status, 0) << unpacked.output;
    const HelpProject project = readProject();
    for (const std::string& file : project.files)
        EXPECT_TRUE(fs::exists(out / file) && readText(out / file) == readText(kSources / file)) << file;
    for (const char* navigation : {"ARM_7seg4.hhc", "ARM_7seg4.hhk"})
        EXPECT_EQ(readText(out / navigation), readText(kSources / navigation)) << navigation;

    const auto system = test::runCommand("'" SEG4_CHMLS "' printsystem '" + kCompiled.string() + "'");
    ASSERT_EQ(system.status, 0) << system.output;
    std::map<int, std::string> records;
    for (const auto& [code, value] : std::map<int, const char*>{{0, "Contents file"},
                                                                {1, "Index file"},
                                                                {2, "Default topic"},
                                                                {3, "Title"},
                                                                {5, "Default Window"}}) {
        const auto found =
            captures(system.output, "\\(" + std::to_string(code) + "\\)[^:\\n]*:([^\\n\\x00]*)");
        EXPECT_EQ(found, std::vector<std::string>{project.options.at(value)}) << value;
    }
    EXPECT_EQ(
        captures(system.output, "LCID from HHP file *: *(\\d+)"),
        std::vector<std::string>{std::to_string(std::stoi(project.options.at("Language"), nullptr, 16))});
}

TEST(HelpFile, DisplayFindsTheCompiledHelpInItsModuleFolderOrSaysItIsMissing) {
    const struct {
        const char* what;
        const char16_t* language;
        void (*prepare)(const fs::path& moduleFolder); // nullptr: the build's data folder
    } cases[] = {
        // No language-specific help ships, so every language falls through to the compiled help.
        {"English", u"engb", nullptr},
        {"German", u"dede", nullptr},
        {"no help folder", u"engb", [](const fs::path&) {}},
        {"a folder in the file's place", u"engb",
         [](const fs::path& f) { fs::create_directories(f / "help" / "ARM_7seg4.chm"); }},
        {"the file one level too high", u"engb",
         [](const fs::path& f) { fs::copy_file(kCompiled, f / "ARM_7seg4.chm"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir temp;
        if (c.prepare) c.prepare(temp.path());
        const bool found = !c.prepare;
        PosixPlatform platform;
        platform.setModuleFolder(found ? SEG4_HELP_DATA_DIR : temp.path().string());
        platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentProfile",
                                   u"QuorvaneV4");
        platform.setRegistryString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage", c.language);
        std::vector<std::u16string> messages;
        platform.setMessageBoxHandler([&](const MessageBoxRequest& box) {
            messages.push_back(box.text);
            return msgbox::IdOk;
        });
        Led7Seg4(platform).Initialize();
        EXPECT_EQ(platform.registeredHelpFile(), found ? platform.windowsPath(kCompiled.string()) : u"");
        EXPECT_EQ(messages, found ? std::vector<std::u16string>{}
                                  : std::vector<std::u16string>{u"Can't find ARM_7seg4 help file"});
    }
}

} // namespace
} // namespace seg4
