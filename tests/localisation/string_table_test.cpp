// The generated string table, and the generator's answer to bad sources.
#include "automation/conversions.h"
#include "localisation/language_codes.h"
#include "localisation/string_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include <unistd.h>

namespace seg4 {
namespace {

// The identifiers the component reads, with their English texts.
const std::map<int, std::u16string> kEnglish = {
    {10, u"Anode 0"},    {11, u"Anode 1"},      {12, u"Anode 2"},    {13, u"Anode 3"},    {105, u"Segment A"},
    {106, u"Segment B"}, {107, u"Segment C"},   {108, u"Segment D"}, {110, u"Segment E"}, {111, u"Segment F"},
    {112, u"Segment G"}, {109, u"Segment DP"},  {61, u"LED7SEG4"},   {115, u"ShowDigit"}, {39, u"Digit"},
    {137, u"Value"},     {37, u"DecimalPoint"}, {60, u"LED7SEG1"},   {27, u"Color"},      {116, u"Size"},
    {98, u"Red"},        {45, u"Green"},        {148, u"Yellow"},    {18, u"Blue"}};

std::u16string at(int offset, int id) {
    return builtInString(static_cast<std::uint32_t>(offset + id)).value_or(u"");
}

TEST(StringTable, EveryLanguageOfTheCodeTableHasEveryText) {
    ASSERT_EQ(builtInLanguages().size(), 23u);
    for (const LanguageCodeEntry& code : kWholeLanguageCodes) {
        SCOPED_TRACE(toUtf8(code.code));
        const BuiltInLanguage* block = nullptr;
        for (const BuiltInLanguage& l : builtInLanguages())
            if (l.stringOffset == code.stringOffset) block = &l;
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->localeId, code.localeId);
        EXPECT_EQ(block->resourceLanguage, code.code == u"PTPT" ? 2070 : code.localeId);
        for (const auto& [id, english] : kEnglish) EXPECT_NE(at(code.stringOffset, id), u"") << id;
        // Names of the component itself are never translated.
        EXPECT_EQ(at(code.stringOffset, 61), u"LED7SEG4");
        EXPECT_EQ(at(code.stringOffset, 60), u"LED7SEG1");
    }
}

TEST(StringTable, EnglishIsTheReferenceAndOtherLanguagesTranslateIt) {
    for (const auto& [id, english] : kEnglish) EXPECT_EQ(at(200, id), english) << id;
    EXPECT_EQ(at(400, 137), u"Wert");
    // The German host lists macros by their English names, so German keeps "ShowDigit".
    EXPECT_EQ(at(400, 115), u"ShowDigit");
    for (const BuiltInLanguage& l : builtInLanguages()) {
        if (l.stringOffset == 200) continue;
        for (int id : {115, 137, 98, 45, 148, 18}) {
            if (l.stringOffset == 400 && id == 115) continue;
            EXPECT_NE(at(l.stringOffset, id), at(200, id)) << id;
        }
    }
    // Languages of other scripts use them: a swapped or mis-encoded source shows here.
    struct Script {
        int offset;
        char16_t low, high;
    };
    const Script scripts[] = {{1800, 0x370, 0x3FF},   {4400, 0x400, 0x4FF},   {2200, 0xE00, 0xE7F},
                              {3800, 0x3040, 0x9FFF}, {1600, 0x4E00, 0x9FFF}, {4600, 0x4E00, 0x9FFF}};
    for (const Script& s : scripts) {
        const std::u16string red = at(s.offset, 98);
        EXPECT_TRUE(!red.empty() && red.front() >= s.low && red.front() <= s.high) << s.offset;
    }
    EXPECT_NE(at(1600, 98), at(4600, 98)); // simplified and traditional differ
}

TEST(StringTable, EntriesAreSortedAndInsideTheirBlock) {
    std::uint32_t previous = 0;
    for (const BuiltInString& s : builtInStrings()) {
        EXPECT_GT(s.absoluteId, previous);
        previous = s.absoluteId;
        const int relative = s.absoluteId % 200;
        EXPECT_TRUE(relative >= 1 && relative <= 153) << s.absoluteId;
        EXPECT_FALSE(s.text.empty()) << s.absoluteId;
    }
    EXPECT_EQ(builtInStrings().size(), builtInLanguages().size() * kEnglish.size());
    for (std::uint32_t missing : {0u, 200u, 354u, 2613u, 4999u, 65535u})
        EXPECT_FALSE(builtInString(missing)) << missing;
}

// [SECTION] The generator

namespace fs = std::filesystem;

struct ToolRun {
    int exitCode;
    std::string output;
};

ToolRun capture(const std::string& command) {
    ToolRun run{-1, {}};
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, p)) run.output += buffer;
        run.exitCode = pclose(p);
    }
    return run;
}

/// A scratch folder of this process, so parallel test runs do not meet.
fs::path scratch(const char* name) {
    return fs::temp_directory_path() / (std::string(name) + "_" + std::to_string(getpid()));
}

ToolRun generate(const fs::path& dir, const std::vector<std::pair<std::string, std::string>>& files) {
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    std::string command = std::string(SEG4_STRINGTABLE_GEN) + " " + (dir / "out").string();
    for (const auto& [name, content] : files) {
        std::ofstream(dir / name, std::ios::binary) << content;
        command += " " + (dir / name).string();
    }
    return capture(command);
}

const std::string kHeader = "language = Test\noffset = 200\nlocale = 2057\ntag = 2057\n";

TEST(StringTableGenerator, RejectsBadSourcesWithFileAndLine) {
    struct Row {
        const char* what;
        std::string source, message;
    };
    const Row rows[] = {
        {"duplicate id", kHeader + "10 = a\n10 = b\n", "bad.txt:6: error: duplicate id 10 (first on line 5)"},
        {"id 0", kHeader + "0 = a\n", "bad.txt:5: error: id 0 outside 1..153"},
        {"id 154", kHeader + "154 = a\n", "bad.txt:5: error: id 154 outside 1..153"},
        {"negative id", kHeader + "-3 = a\n", "bad.txt:5: error: id -3 outside 1..153"},
        {"unknown escape", kHeader + "10 = a\\qb\n", "bad.txt:5: error: unknown escape '\\q'"},
        {"escape at the end", kHeader + "10 = a\\\n", "bad.txt:5: error: unfinished escape"},
        {"missing field", "language = Test\noffset = 200\nlocale = 2057\n10 = a\n",
         "bad.txt:1: error: missing header field 'tag'"},
        {"unknown field", "colour = red\n" + kHeader, "bad.txt:1: error: unknown header field 'colour'"},
        {"offset between blocks", "language = Test\noffset = 250\nlocale = 2057\ntag = 2057\n",
         "bad.txt:2: error: offset 250 is not a multiple of 200"},
        {"empty text", kHeader + "10 = \n", "bad.txt:5: error: empty text for id 10"},
        {"invalid UTF-8", kHeader + "10 = \xC3\x28\n", "bad.txt:5: error: text is not valid UTF-8"},
        {"no equals sign", kHeader + "10 Anode\n", "bad.txt:5: error: expected"},
    };
    const fs::path dir = scratch("seg4_stringtable_bad");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const ToolRun run = generate(dir, {{"bad.txt", r.source}});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.output.find(r.message), std::string::npos) << run.output;
        EXPECT_FALSE(fs::exists(dir / "out" / "string_table.inc"));
        EXPECT_FALSE(fs::exists(dir / "out" / "strings.rc"));
    }
    fs::remove_all(dir);
}

TEST(StringTableGenerator, ChecksLanguagesAgainstEachOther) {
    const fs::path dir = scratch("seg4_stringtable_pair");
    const std::string other = "language = Other\noffset = 400\nlocale = 1031\ntag = 1031\n10 = x\n";
    struct Row {
        std::string second, message;
    };
    const Row rows[] = {
        {kHeader + "10 = y\n", "b.txt:2: error: offset 200 is already used by a.txt"},
        {"language = T\noffset = 600\nlocale = 1031\ntag = 2057\n10 = y\n",
         "b.txt:4: error: tag 2057 is already used by a.txt"},
        {"language = T\noffset = 600\nlocale = 1043\ntag = 1043\n11 = y\n",
         "b.txt:1: error: id 10 is missing"},
    };
    for (const Row& r : rows) {
        const ToolRun run = generate(dir, {{"a.txt", kHeader + "10 = x\n"}, {"b.txt", r.second}});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_NE(run.output.find(r.message), std::string::npos) << run.output;
    }
    // Offsets are written in ascending order whatever the order of the sources.
    const ToolRun ok = generate(dir, {{"a.txt", other}, {"b.txt", kHeader + "10 = \\sSay \"\\\\hi\"\\tÄ\n"}});
    ASSERT_EQ(ok.exitCode, 0) << ok.output;
    std::ifstream rcFile(dir / "out" / "strings.rc");
    const std::string rc((std::istreambuf_iterator<char>(rcFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(rc.find("#pragma code_page(65001)"), std::string::npos);
    EXPECT_NE(rc.find("LANGUAGE 0x09, 0x02\nBEGIN\n    210, \" Say \"\"\\\\hi\"\"\\tÄ\"\n"),
              std::string::npos)
        << rc;
    EXPECT_LT(rc.find("210,"), rc.find("410,"));
    fs::remove_all(dir);
}

TEST(StringTableGenerator, ShippedResourceScriptCompiles) {
    // The script of this build through the Windows resource compiler, and back to text.
    if (std::system("command -v x86_64-w64-mingw32-windres >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no windres on this machine";
    const fs::path res = scratch("seg4_strings") += ".res";
    const ToolRun compiled = capture("x86_64-w64-mingw32-windres -i " + std::string(SEG4_GENERATED_DIR) +
                                     "/strings.rc -O res -o " + res.string());
    ASSERT_EQ(compiled.exitCode, 0) << compiled.output;
    const ToolRun dump = capture("x86_64-w64-mingw32-windres -i " + res.string() + " -O rc");
    fs::remove(res);
    ASSERT_EQ(dump.exitCode, 0) << dump.output;
    for (const char* expected : {"LANGUAGE 22, 2", "3227, \"Cor\"", "LANGUAGE 7, 1", "537, \"Wert\"",
                                 "516, L\"Gr\\366\\337e\"", "LANGUAGE 4, 1"})
        EXPECT_NE(dump.output.find(expected), std::string::npos) << expected;
}

} // namespace
} // namespace seg4
