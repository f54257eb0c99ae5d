// The help sources hang together (every page listed, every link and picture found, contents
// and index pointing at real pages) and tell the same facts as the component: pin names and
// proposed wiring, and the segments each VALUE lights.
#include "component/led7seg4.h"
#include "fake_platform.h"
#include "help_project.h"

#include "automation/conversions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace seg4 {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> captures(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator();
         ++it)
        found.push_back((*it)[1].str());
    return found;
}

std::vector<std::string> pages(const test::HelpProject& project) {
    std::vector<std::string> result;
    for (const std::string& f : project.files)
        if (f.ends_with(".htm")) result.push_back(f);
    return result;
}

template <class Range, class Value>
bool contains(const Range& range, const Value& value) {
    return std::find(std::begin(range), std::end(range), value) != std::end(range);
}

bool listed(const test::HelpProject& project, const std::string& file) {
    return contains(project.files, file);
}

TEST(HelpPages, ProjectListsExactlyTheFilesThatExist) {
    const test::HelpProject project = test::readHelpProject();
    const fs::path dir = test::helpSourceDir();
    std::set<std::string> onDisk;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string ext = e.path().extension().string();
        if (ext == ".htm" || ext == ".css" || ext == ".png")
            onDisk.insert(fs::relative(e.path(), dir).generic_string());
    }
    const std::set<std::string> inProject(project.files.begin(), project.files.end());
    EXPECT_EQ(inProject.size(), project.files.size()) << "a file is listed twice";
    EXPECT_EQ(inProject, onDisk);
}

TEST(HelpPages, EveryLinkAndPictureResolves) {
    const test::HelpProject project = test::readHelpProject();
    const std::regex reference(R"re((?:href|src)="([^"]*)")re");
    const std::regex id(R"re(\bid="([^"]*)")re");
    const std::regex image(R"re(<img\b[^>]*>)re");
    for (const std::string& page : pages(project)) {
        SCOPED_TRACE(page);
        const std::string text = test::readText(test::helpSourceDir() + "/" + page);
        for (const std::string& ref : captures(text, reference)) {
            SCOPED_TRACE(ref);
            ASSERT_EQ(ref.find(':'), std::string::npos) << "the help links only to its own files";
            const std::size_t hash = ref.find('#');
            const std::string file = hash == std::string::npos ? ref : ref.substr(0, hash);
            const std::string target = file.empty() ? page : file;
            ASSERT_TRUE(listed(project, target));
            if (hash != std::string::npos) {
                const auto ids = captures(test::readText(test::helpSourceDir() + "/" + target), id);
                EXPECT_TRUE(contains(ids, ref.substr(hash + 1))) << "no such id in " << target;
            }
        }
        // Pictures are shown at their own size, so none is stretched.
        for (auto it = std::sregex_iterator(text.begin(), text.end(), image); it != std::sregex_iterator();
             ++it) {
            const std::string tag = it->str();
            std::smatch src, width, height;
            ASSERT_TRUE(std::regex_search(tag, src, std::regex(R"re(src="([^"]*)")re")));
            ASSERT_TRUE(std::regex_search(tag, width, std::regex(R"re(width="(\d+)")re"))) << tag;
            ASSERT_TRUE(std::regex_search(tag, height, std::regex(R"re(height="(\d+)")re"))) << tag;
            EXPECT_TRUE(std::regex_search(tag, std::regex(R"re(alt="[^"]+")re"))) << "no alt text: " << tag;
            const auto png = test::readBytes(test::helpSourceDir() + "/" + src[1].str());
            ASSERT_GE(png.size(), 24u);
            ASSERT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
            auto be32 = [&](std::size_t at) {
                return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 |
                       std::uint32_t{png[at + 2]} << 8 | png[at + 3];
            };
            EXPECT_EQ(std::to_string(be32(16)), width[1].str()) << src[1];
            EXPECT_EQ(std::to_string(be32(20)), height[1].str()) << src[1];
        }
    }
}

TEST(HelpPages, ContentsAndIndexLeadToListedPagesAndEveryPageIsInTheContents) {
    const test::HelpProject project = test::readHelpProject();
    const std::regex local(R"re(<param name="Local" value="([^"]*)")re");
    const auto contents = captures(test::readText(test::helpSourceDir() + "/ARM_7seg4.hhc"), local);
    const auto index = captures(test::readText(test::helpSourceDir() + "/ARM_7seg4.hhk"), local);
    ASSERT_FALSE(contents.empty());
    ASSERT_FALSE(index.empty());
    for (const auto& target : contents) EXPECT_TRUE(listed(project, target)) << target;
    for (const auto& target : index) EXPECT_TRUE(listed(project, target)) << target;
    for (const std::string& page : pages(project))
        EXPECT_TRUE(contains(contents, page)) << page << " is not in the contents";
}

TEST(HelpPages, EveryPageIsTitledAsItsHeading) {
    const std::regex title(R"re(<title>([^<]+)</title>)re");
    const std::regex heading(R"re(<h1>([^<]+)</h1>)re");
    for (const std::string& page : pages(test::readHelpProject())) {
        SCOPED_TRACE(page);
        const std::string text = test::readText(test::helpSourceDir() + "/" + page);
        const auto titles = captures(text, title);
        const auto headings = captures(text, heading);
        ASSERT_EQ(titles.size(), 1u);
        ASSERT_EQ(headings.size(), 1u);
        EXPECT_EQ(titles[0], headings[0]);
    }
}

/// The text of each cell of each row of the table with this id (header rows left out).
std::vector<std::vector<std::string>> tableRows(const std::string& page, const std::string& tableId) {
    const std::string text = test::readText(test::helpSourceDir() + "/" + page);
    const std::size_t start = text.find("<table id=\"" + tableId + "\">");
    if (start == std::string::npos) return {};
    const std::string table = text.substr(start, text.find("</table>", start) - start);
    const std::regex row(R"re(<tr>([\s\S]*?)</tr>)re");
    const std::regex cell(R"re(<td[^>]*>([\s\S]*?)</td>)re");
    const std::regex tag(R"re(<[^>]*>)re");
    std::vector<std::vector<std::string>> rows;
    for (const std::string& r : captures(table, row)) {
        std::vector<std::string> cells;
        for (const std::string& c : captures(r, cell)) cells.push_back(std::regex_replace(c, tag, ""));
        if (!cells.empty()) rows.push_back(cells);
    }
    return rows;
}

TEST(HelpPages, PinTableIsThePinTableOfANewDisplay) {
    test::FakePlatform platform;
    Led7Seg4 control(platform);
    control.Initialize();
    control.InitProperties();

    const auto rows = tableRows("wiring.htm", "pin-table");
    ASSERT_EQ(static_cast<std::int32_t>(rows.size()), control.get_PinCount());
    for (std::int32_t pin = 0; pin < control.get_PinCount(); ++pin) {
        SCOPED_TRACE(pin);
        const auto& cells = rows[static_cast<std::size_t>(pin)];
        ASSERT_EQ(cells.size(), 4u);
        EXPECT_EQ(cells[0], toUtf8(control.get_PinName(pin)));
        EXPECT_EQ(cells[2], std::to_string(control.get_DesiredPort(pin)));
        EXPECT_EQ(cells[3], std::to_string(control.get_DesiredBit(pin)));
    }

    // The code's anode masks for DIGIT 0 to 3 follow from the proposed bits of pins 0 to 3.
    std::string masks;
    for (std::int32_t pin = 0; pin < 4; ++pin)
        masks +=
            (pin ? ", " : "") +
            std::to_string(Led7Seg4::ShiftLeft(1, static_cast<std::int16_t>(control.get_DesiredBit(pin))));
    const auto code = tableRows("generated_code.htm", "code-values");
    EXPECT_TRUE(contains(code, std::vector<std::string>{"Anode mask of DIGIT 0, 1, 2, 3", masks})) << masks;
}

/// The segments a pattern lights: a clear bit is a low line, which lights its segment.
std::string litSegments(std::uint8_t pattern) {
    std::string lit;
    for (int s = 0; s < 7; ++s) {
        if (pattern & (1u << s)) continue;
        if (!lit.empty()) lit += ' ';
        lit += static_cast<char>('A' + s);
    }
    return lit;
}

TEST(HelpPages, ValueTablesShowTheSegmentPatternsOfTheDisplay) {
    const auto rows = tableRows("show_digit.htm", "value-table");
    ASSERT_EQ(rows.size(), 11u);
    for (std::size_t v = 0; v < 10; ++v) {
        SCOPED_TRACE(v);
        const std::uint8_t pattern = Led7Seg4::DigitPattern(static_cast<std::uint8_t>(v));
        EXPECT_EQ(rows[v], (std::vector<std::string>{std::to_string(v), litSegments(pattern),
                                                     std::to_string(pattern)}));
    }
    for (int v : {10, 99, 255})
        EXPECT_EQ(rows[10][2], std::to_string(Led7Seg4::DigitPattern(static_cast<std::uint8_t>(v))));
    EXPECT_EQ(rows[10][0], "10 to 255");
    EXPECT_EQ(rows[10][1], litSegments(0));

    // With the proposed wiring the code holds the patterns themselves.
    std::string patterns;
    for (std::uint8_t v = 0; v < 10; ++v)
        patterns += (v ? ", " : "") + std::to_string(Led7Seg4::DigitPattern(v));
    const auto code = tableRows("generated_code.htm", "code-values");
    EXPECT_TRUE(contains(code, std::vector<std::string>{"Segment lines for the figures 0 to 9", patterns}))
        << patterns;
}

} // namespace
} // namespace seg4
