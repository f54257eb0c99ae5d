// The translation and font files shipped beside the module, read as the profile reader reads them.
#include "automation/conversions.h"
#include "localisation/language_codes.h"
#include "localisation/string_table.h"
#include "profile_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include <iconv.h>

namespace seg4 {
namespace {

std::string readData(const std::string& name) {
    std::ifstream in(std::string(SEG4_TRANSLATIONS_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Bytes of `charset` to UTF-16; nullopt when they are not valid in it.
std::optional<std::u16string> decode(const std::string& bytes, const std::string& charset) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string in = bytes, out(bytes.size() * 4 + 16, '\0');
    char* src = in.data();
    char* dst = out.data();
    std::size_t left = in.size(), room = out.size();
    const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<std::size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &dst, &room) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - room);
    return fromUtf8(out);
}

// Keys of every translation file, with the string-table texts they must match.
const std::map<std::string, int> kKeys = {
    {"Anode0", 10},    {"Anode1", 11},       {"Anode2", 12},      {"Anode3", 13},     {"SegmentA", 105},
    {"SegmentB", 106}, {"SegmentC", 107},    {"SegmentD", 108},   {"SegmentE", 110},  {"SegmentF", 111},
    {"SegmentG", 112}, {"SegmentDP", 109},   {"Description", 61}, {"ShowDigit", 115}, {"Digit", 39},
    {"Value", 137},    {"DecimalPoint", 37}, {"PageCaption", 60}, {"Colour", 27},     {"Size", 116},
    {"Red", 98},       {"Green", 45},        {"Yellow", 148},     {"Blue", 18}};

// The ANSI code page a reader of each language expects its file in.
const std::map<std::u16string, std::string> kCodePages = {
    {u"EL", "CP1253"}, {u"HU", "CP1250"},  {u"JA", "CP932"},   {u"PL", "CP1250"},  {u"RO", "CP1250"},
    {u"RU", "CP1251"}, {u"SK", "CP1250"},  {u"SL", "CP1250"},  {u"THAI", "CP874"}, {u"TR", "CP1254"},
    {u"VI", "CP1258"}, {u"ZHCN", "CP936"}, {u"ZHHK", "CP950"}, {u"ZHTW", "CP950"}};

std::string lower(std::u16string_view code) {
    std::string s = toUtf8(code);
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

TEST(TranslationFiles, EveryCodeHasItsFileInItsCodePageMatchingTheStringTable) {
    for (const LanguageCodeEntry& code : kWholeLanguageCodes) {
        const std::string section = lower(code.code);
        SCOPED_TRACE(section);
        const std::string bytes = readData("Lang_" + section + ".rc");
        ASSERT_FALSE(bytes.empty());
        const auto page = kCodePages.find(std::u16string(code.code));
        const std::string charset = page == kCodePages.end() ? "CP1252" : page->second;
        // The file names its encoding in a comment line of its own.
        std::string named = "encoding: cp" + charset.substr(2);
        EXPECT_NE(bytes.find(named), std::string::npos) << named;
        for (const auto& [key, id] : kKeys) {
            const std::string raw = readProfileString(bytes, section, key, "", 255);
            const std::optional<std::u16string> value = decode(raw, charset);
            ASSERT_TRUE(value) << key;
            std::u16string expected =
                builtInString(static_cast<std::uint32_t>(code.stringOffset + id)).value();
            // Code page 1250 has s and t with cedilla only, not with comma below.
            if (charset == "CP1250")
                for (char16_t& c : expected) c = c == u'ș' ? u'ş' : c == u'ț' ? u'ţ' : c;
            EXPECT_EQ(*value, expected) << key;
        }
    }
}

TEST(TranslationFiles, FontSectionForEveryLocaleWithTheCharSetOfItsScript) {
    const std::string fonts = readData("langFonts.txt");
    const std::map<int, std::string> charSets = {{1049, "204"}, {1041, "128"}, {2052, "134"}, {1028, "136"},
                                                 {1032, "161"}, {1055, "162"}, {1066, "163"}, {1054, "222"},
                                                 {1045, "238"}, {1038, "238"}, {1051, "238"}, {1060, "238"},
                                                 {1048, "238"}};
    for (const LanguageCodeEntry& code : kWholeLanguageCodes) {
        const std::string section = std::to_string(code.localeId);
        SCOPED_TRACE(section);
        const auto expected = charSets.find(code.localeId);
        EXPECT_EQ(readProfileString(fonts, section, "CharSet", "?", 4),
                  expected == charSets.end() ? "0" : expected->second);
        EXPECT_NE(readProfileString(fonts, section, "Font", "", 255), "");
        const std::string size = readProfileString(fonts, section, "FontSize", "", 4);
        EXPECT_TRUE(!size.empty() && size.find_first_not_of("0123456789") == std::string::npos) << size;
    }
}

} // namespace
} // namespace seg4
