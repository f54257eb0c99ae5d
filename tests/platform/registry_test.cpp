// The current user's hive from registry export files, and queries as the ANSI functions answer.
#include "automation/conversions.h"
#include "registry.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace seg4 {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";

/// UTF-16LE bytes of a text and its terminating NUL.
Bytes utf16(std::u16string_view s) {
    Bytes out;
    for (char16_t c : std::u16string(s) + u'\0')
        out.insert(out.end(), {std::uint8_t(c & 0xFF), std::uint8_t(c >> 8)});
    return out;
}

TEST(RegistryFile, LoadsKeysAndValuesOfEveryKind) {
    std::string regeditFile = "\xFF\xFE"; // version 5 as regedit writes it: UTF-16LE with a mark
    for (std::uint8_t b :
         utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"n\"=\"\u0416\"\r\n"))
        regeditFile += char(b);
    regeditFile.resize(regeditFile.size() - 2);
    const struct {
        const char* what;
        std::string file;
        const char16_t *key, *name;
        std::uint32_t type;
        Bytes data;
    } cases[] = {
        {"escapes in name and text", kV5 + "[HKEY_CURRENT_USER\\A]\n\"a\\\"b\"=\"C:\\\\x \\\"y\\\"\"\n", u"A",
         u"a\"b", regtype::String, utf16(u"C:\\x \"y\"")},
        {"default value, blanks around =", kV5 + "[HKCU\\A]\n  @ \t=  \"d\"  \n", u"A", u"", regtype::String,
         utf16(u"d")},
        {"dword",
         kV5 + "[HKCU\\A]\n\"n\"=dword:0001e240\n",
         u"A",
         u"n",
         regtype::Dword,
         {0x40, 0xE2, 0x01, 0x00}},
        {"binary", kV5 + "[HKCU\\A]\n\"n\"=hex:01,ab,FF\n", u"A", u"n", regtype::Binary, {0x01, 0xAB, 0xFF}},
        {"hex(N) with continuation lines",
         kV5 + "[HKCU\\A]\n\"n\"=hex(7):61,00,00,\\\n  00,62,\\\r\n  00,00,00\n",
         u"A",
         u"n",
         regtype::MultiString,
         {0x61, 0, 0, 0, 0x62, 0, 0, 0}},
        {"REGEDIT4 hex(2) is ANSI", "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"n\"=hex(2):e9,00\r\n", u"A",
         u"n", regtype::ExpandString, utf16(u"\u00E9")},
        {"REGEDIT4 text is ANSI", "REGEDIT4\n[HKCU\\A]\n\"\xE9\"=\"\x80\"\n", u"A", u"\u00E9",
         regtype::String, utf16(u"\u20AC")},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + kV5 + "[HKCU\\A]\n\"n\"=\"\xD0\x94\"\n", u"A", u"n",
         regtype::String, utf16(u"\u0414")},
        {"UTF-16LE as regedit writes it", regeditFile, u"A", u"n", regtype::String, utf16(u"\u0416")},
        {"comments, and the later value wins",
         kV5 + "; x\n[HKCU\\A]\n ; \"n\"=\"x\"\n\"n\"=\"1\"\n[HKCU\\a]\n\"N\"=\"2\"\n", u"A", u"n",
         regtype::String, utf16(u"2")},
        {"value on the hive itself", kV5 + "[HKEY_CURRENT_USER]\n\"n\"=\"r\"\n", u"", u"n", regtype::String,
         utf16(u"r")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Registry registry;
        ASSERT_NO_THROW(registry.load(c.file, "test.reg", text::windows1252()));
        const RegistryValue* value = registry.findValue(c.key, c.name);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, c.data);
    }
}

TEST(RegistryFile, DeletesKeysAndValuesAndSkipsOtherHives) {
    Registry registry;
    for (const char16_t* key : {u"Software\\Keep", u"Software\\Gone\\Child", u"Software\\Values"})
        registry.setString(key, u"drop", u"1");
    registry.setString(u"Software\\Values", u"stay", u"1");
    registry.load(kV5 + "[-HKEY_CURRENT_USER\\Software\\Gone]\n\"ignored\"=\"x\"\n"
                        "[HKCU\\Software\\Values]\n\"DROP\"=-\n\"absent\"=-\n"
                        "[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"m\"=\"x\"\n[-HKLM\\Software\\Keep]\n",
                  "test.reg", text::windows1252());
    EXPECT_TRUE(registry.hasKey(u"Software\\Keep"));
    EXPECT_FALSE(registry.hasKey(u"Software\\Gone"));
    EXPECT_FALSE(registry.hasKey(u"Software\\Gone\\Child"));
    EXPECT_EQ(registry.findValue(u"Software\\Values", u"drop"), nullptr);
    EXPECT_NE(registry.findValue(u"Software\\Values", u"stay"), nullptr);
    EXPECT_FALSE(registry.hasKey(u"Software\\Other"));
}

TEST(RegistryFile, MalformedFilesNameTheLineAndChangeNothing) {
    const std::pair<std::string, const char*> cases[] = {
        {"[HKCU\\A]\n", "f.reg:1:"},                              // no header
        {kV5 + "\"n\"=\"v\"\n", "f.reg:3:"},                      // value before any key
        {kV5 + "[HKCU\\A\n", "f.reg:3:"},                         // key line without ]
        {kV5 + "[HKEY_NOWHERE\\A]\n", "f.reg:3:"},                // unknown root key
        {kV5 + "[HKCU\\A\\\\B]\n", "f.reg:3:"},                   // empty part in a key path
        {kV5 + "[-HKEY_CURRENT_USER]\n", "f.reg:3:"},             // deleting the hive
        {kV5 + "[HKCU\\A]\nn=\"v\"\n", "f.reg:4:"},               // value name without quotes
        {kV5 + "[HKCU\\A]\n\"n\"=\"v\n", "f.reg:4:"},             // unterminated text
        {kV5 + "[HKCU\\A]\n\"n\"=\"C:\\x\"\n", "f.reg:4:"},       // unknown escape
        {kV5 + "[HKCU\\A]\n\"n\"=dword:123456789\n", "f.reg:4:"}, // dword too long
        {kV5 + "[HKCU\\A]\n\"n\"=hex:0a,,0b\n", "f.reg:4:"},
        {kV5 + "[HKCU\\A]\n\"n\"=qword:1\n", "f.reg:4:"},
        {kV5 + "[HKCU\\A]\n\"n\"=hex:00,\\\n zz\n", "f.reg:4:"}, // a continued line counts from its start
        {kV5 + "[HKCU\\New]\n\"n\"=\"v\"\n@=bad\n", "f.reg:5:"}, // keys before a bad line are not kept
        {"\xFF\xFE"
         "A",
         "f.reg:1:"}, // half a UTF-16 character
    };
    for (const auto& [file, where] : cases) {
        SCOPED_TRACE(file);
        Registry registry;
        registry.setString(u"Software\\Before", u"v", u"1");
        const Registry before = registry;
        try {
            registry.load(file, "f.reg", text::windows1252());
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(where, 0), 0u) << e.what();
        }
        EXPECT_TRUE(registry == before);
    }
}

TEST(RegistryKeys, PathsAndNamesIgnoreLetterCase) {
    Registry registry;
    registry.setString(u"Software\\DelmarshSW\\QuorvaneV4\\Info", u"CurrentLanguage", u"dede");
    EXPECT_TRUE(registry.hasKey(u"SOFTWARE\\delmarshsw"));
    EXPECT_TRUE(registry.hasKey(u"software\\delmarshsw\\quorvanev4\\info\\"));
    EXPECT_TRUE(registry.hasKey(u""));
    for (const char16_t* bad : {u"Software\\\\DelmarshSW", u"\\Software", u"Software\\Delmarsh"})
        EXPECT_FALSE(registry.hasKey(bad)) << toUtf8(bad);
    EXPECT_NE(registry.findValue(u"software\\DELMARSHSW\\quorvaneV4\\INFO", u"currentlanguage"), nullptr);
    EXPECT_THROW(registry.setString(u"A\\\\B", u"n", u"v"), std::invalid_argument);
}

TEST(RegistryKeys, QueriesAnswerAsTheAnsiFunction) {
    const struct {
        const char* what;
        std::uint32_t type;
        Bytes data;
        std::size_t buffer;
        std::optional<std::u16string> expected;
    } cases[] = {
        {"text and its NUL fit", regtype::String, utf16(u"dede"), 5, u"dede"},
        {"one byte short", regtype::String, utf16(u"dede"), 4, std::nullopt},
        {"a character outside the code page is '?'", regtype::String, utf16(u"\u03A9x"), 3, u"?x"},
        {"expand string is not expanded", regtype::ExpandString, utf16(u"%PATH%"), 7, u"%PATH%"},
        {"multi string up to its first NUL", regtype::MultiString, utf16(std::u16string(u"a\0b\0", 4)), 5,
         u"a"},
        {"dword is its four bytes", regtype::Dword, {0x41, 0x42, 0, 0}, 4, u"AB"},
        {"binary bytes through the code page", regtype::Binary, {'h', 0x80}, 2, u"h\u20AC"},
    };
    for (const auto& c : cases) {
        Registry registry;
        registry.setValue(u"K", RegistryValue{u"v", c.type, c.data});
        EXPECT_EQ(registry.queryAnsiString(u"k", u"V", c.buffer, text::windows1252()), c.expected) << c.what;
    }
    EXPECT_EQ(Registry().queryAnsiString(u"K", u"v", 256, text::windows1252()), std::nullopt);
}

} // namespace
} // namespace seg4
