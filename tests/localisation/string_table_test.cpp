// The generated string table, the translation and font files shipped beside the module, and the
// generator's answer to bad sources.
#include "automation/conversions.h"
#include "helpers.h"
#include "localisation/language_codes.h"
#include "platform/string_resources.h"
#include "profile_reader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include <iconv.h>

namespace seg4 {
namespace {

namespace fs = std::filesystem;

// The texts the component reads: their keys in the translation files and relative ids.
const std::map<std::string, int> kTexts = {
    {"Anode0", 10},    {"Anode1", 11},       {"Anode2", 12},      {"Anode3", 13},     {"SegmentA", 105},
    {"SegmentB", 106}, {"SegmentC", 107},    {"SegmentD", 108},   {"SegmentE", 110},  {"SegmentF", 111},
    {"SegmentG", 112}, {"SegmentDP", 109},   {"Description", 61}, {"ShowDigit", 115}, {"Digit", 39},
    {"Value", 137},    {"DecimalPoint", 37}, {"PageCaption", 60}, {"Colour", 27},     {"Size", 116},
    {"Red", 98},       {"Green", 45},        {"Yellow", 148},     {"Blue", 18}};

std::u16string at(int offset, int id) { return builtInString(std::uint32_t(offset + id)).value_or(u""); }

TEST(StringTable, EveryLanguageOfTheCodeTableHasEveryTextTranslated) {
    ASSERT_EQ(builtInLanguages().size(), 23u);
    EXPECT_EQ(builtInStrings().size(), 23 * kTexts.size());
    for (const LanguageCodeEntry& code : kWholeLanguageCodes) {
        SCOPED_TRACE(toUtf8(code.code));
        const BuiltInLanguage* block = nullptr;
        for (const BuiltInLanguage& l : builtInLanguages())
            if (l.stringOffset == code.stringOffset) block = &l;
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->localeId, code.localeId);
        EXPECT_EQ(block->resourceLanguage, code.code == u"PTPT" ? 2070 : code.localeId);
        for (const auto& [key, id] : kTexts) EXPECT_NE(at(code.stringOffset, id), u"") << key;
        // Names of the component itself are never translated; the German host lists macros by
        // their English names. Everything else a user reads differs from English.
        EXPECT_EQ(at(code.stringOffset, 61) + at(code.stringOffset, 60), u"LED7SEG4LED7SEG1");
        for (int id : {115, 137, 98, 45, 148, 18}) {
            const bool english = code.stringOffset == 200 || (code.stringOffset == 400 && id == 115);
            EXPECT_TRUE(english || at(code.stringOffset, id) != at(200, id)) << id;
        }
    }
    EXPECT_EQ(at(400, 137), u"Wert");
    EXPECT_EQ(at(400, 115), u"ShowDigit");
    // Languages of other scripts use them: a swapped or mis-encoded source shows here.
    const struct {
        int offset;
        char16_t low, high;
    } scripts[] = {{1800, 0x370, 0x3FF},   {4400, 0x400, 0x4FF},   {2200, 0xE00, 0xE7F},
                   {3800, 0x3040, 0x9FFF}, {1600, 0x4E00, 0x9FFF}, {4600, 0x4E00, 0x9FFF}};
    for (const auto& s : scripts) {
        const std::u16string red = at(s.offset, 98);
        EXPECT_TRUE(!red.empty() && red.front() >= s.low && red.front() <= s.high) << s.offset;
    }
    EXPECT_NE(at(1600, 98), at(4600, 98)); // simplified and traditional differ
    for (std::uint32_t missing : {0u, 200u, 354u, 2613u, 65535u})
        EXPECT_FALSE(builtInString(missing)) << missing;
}

/// Bytes of `charset` to UTF-16 through the C library; nullopt when they are not valid in it.
std::optional<std::u16string> decode(std::string in, const std::string& charset) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(in.size() * 4 + 16, '\0');
    char *src = in.data(), *dst = out.data();
    std::size_t left = in.size(), room = out.size();
    const bool ok = iconv(cd, &src, &left, &dst, &room) != std::size_t(-1) &&
                    iconv(cd, nullptr, nullptr, &dst, &room) != std::size_t(-1);
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - room);
    return fromUtf8(out);
}

TEST(TranslationFiles, EveryCodeHasItsFileInItsCodePageAndItsFontSection) {
    // The ANSI code page a reader of each language expects, and the character set of its font.
    const std::map<int, std::pair<std::string, std::string>> scripts = {
        {1032, {"CP1253", "161"}}, {1038, {"CP1250", "238"}}, {1041, {"CP932", "128"}},
        {1045, {"CP1250", "238"}}, {1048, {"CP1250", "238"}}, {1049, {"CP1251", "204"}},
        {1051, {"CP1250", "238"}}, {1060, {"CP1250", "238"}}, {1054, {"CP874", "222"}},
        {1055, {"CP1254", "162"}}, {1066, {"CP1258", "163"}}, {2052, {"CP936", "134"}},
        {1028, {"CP950", "136"}}};
    const std::string fonts = test::readText(fs::path(SEG4_TRANSLATIONS_DIR) / "langFonts.txt");
    for (const LanguageCodeEntry& code : kWholeLanguageCodes) {
        std::string section = toUtf8(code.code);
        for (char& c : section) c = char(std::tolower(c));
        SCOPED_TRACE(section);
        const auto script = scripts.find(code.localeId);
        const auto [charset, charSet] =
            script == scripts.end() ? std::pair<std::string, std::string>{"CP1252", "0"} : script->second;

        const std::string bytes =
            test::readText(fs::path(SEG4_TRANSLATIONS_DIR) / ("Lang_" + section + ".rc"));
        EXPECT_NE(bytes.find("encoding: cp" + charset.substr(2)), std::string::npos) << "names its encoding";
        for (const auto& [key, id] : kTexts) {
            const std::optional<std::u16string> value =
                decode(readProfileString(bytes, section, key, "", 255), charset);
            ASSERT_TRUE(value) << key;
            std::u16string expected = at(code.stringOffset, id);
            // Code page 1250 has s and t with cedilla only, not with comma below.
            if (charset == "CP1250")
                for (char16_t& c : expected) c = c == u'ș' ? u'ş' : c == u'ț' ? u'ţ' : c;
            EXPECT_EQ(*value, expected) << key;
        }

        const std::string locale = std::to_string(code.localeId);
        EXPECT_EQ(readProfileString(fonts, locale, "CharSet", "?", 4), charSet);
        EXPECT_NE(readProfileString(fonts, locale, "Font", "", 255), "");
        const std::string size = readProfileString(fonts, locale, "FontSize", "", 4);
        EXPECT_TRUE(!size.empty() && size.find_first_not_of("0123456789") == std::string::npos) << size;
    }
}

/// Runs the generator on the given sources; its exit status, messages and the resource script.
test::CommandRun generate(const test::TempDir& dir,
                          const std::vector<std::pair<std::string, std::string>>& files,
                          std::string* rc = nullptr) {
    std::string command = std::string(SEG4_STRINGTABLE_GEN) + " " + (dir / "out").string();
    fs::create_directories(dir / "out");
    for (const auto& [name, content] : files) {
        test::writeText(dir / name, content);
        command += " " + (dir / name).string();
    }
    test::CommandRun run = test::runCommand(command);
    EXPECT_EQ(run.status == 0,
              fs::exists(dir / "out" / "string_table.inc") && fs::exists(dir / "out" / "strings.rc"))
        << "the outputs exist exactly when it succeeds";
    if (rc) *rc = test::readText(dir / "out" / "strings.rc");
    return run;
}

const std::string kHeader = "language = Test\noffset = 200\nlocale = 2057\ntag = 2057\n";

TEST(StringTableGenerator, RejectsBadSourcesWithFileAndLine) {
    const std::string other = "language = Other\noffset = 400\nlocale = 1031\ntag = 1031\n10 = x\n";
    const std::pair<std::string, std::string> rows[] = {
        {kHeader + "10 = a\n10 = b\n", "b.txt:6: error: duplicate id 10 (first on line 5)"},
        {kHeader + "0 = a\n", "b.txt:5: error: id 0 outside 1..153"},
        {kHeader + "154 = a\n", "b.txt:5: error: id 154 outside 1..153"},
        {kHeader + "10 = a\\qb\n", "b.txt:5: error: unknown escape '\\q'"},
        {"language = Test\noffset = 200\nlocale = 2057\n10 = a\n",
         "b.txt:1: error: missing header field 'tag'"},
        {"language = T\noffset = 250\nlocale = 2057\ntag = 2057\n",
         "b.txt:2: error: offset 250 is not a multiple of 200"},
        {kHeader + "10 = \n", "b.txt:5: error: empty text for id 10"},
        {kHeader + "10 = \xC3\x28\n", "b.txt:5: error: text is not valid UTF-8"},
        // Checked against the other language.
        {"language = T\noffset = 400\nlocale = 2057\ntag = 2057\n10 = y\n",
         "b.txt:2: error: offset 400 is already used by a.txt"},
        {"language = T\noffset = 600\nlocale = 1043\ntag = 1031\n10 = y\n",
         "b.txt:4: error: tag 1031 is already used by a.txt"},
        {"language = T\noffset = 600\nlocale = 1043\ntag = 1043\n11 = y\n",
         "b.txt:1: error: id 10 is missing"},
    };
    for (const auto& [source, message] : rows) {
        test::TempDir dir;
        const test::CommandRun run = generate(dir, {{"a.txt", other}, {"b.txt", source}});
        EXPECT_NE(run.status, 0) << message;
        EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
    }
}

TEST(StringTableGenerator, WritesTheResourceScriptInAscendingOffsets) {
    test::TempDir dir;
    std::string rc;
    const std::string other = "language = Other\noffset = 400\nlocale = 1031\ntag = 1031\n10 = x\n";
    ASSERT_EQ(
        generate(dir, {{"a.txt", other}, {"b.txt", kHeader + "10 = \\sSay \"\\\\hi\"\\tÄ\n"}}, &rc).status,
        0);
    EXPECT_NE(rc.find("#pragma code_page(65001)"), std::string::npos);
    EXPECT_NE(rc.find("LANGUAGE 0x09, 0x02\nBEGIN\n    210, \" Say \"\"\\\\hi\"\"\\tÄ\"\n"),
              std::string::npos)
        << rc;
    EXPECT_LT(rc.find("210,"), rc.find("410,"));
}

} // namespace
} // namespace seg4
