// The current user's hive from registry export files, and queries as the ANSI functions answer.
#include "registry.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace seg4::posix {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";

Bytes utf16(std::u16string_view s) {
    Bytes out;
    for (char16_t c : s)
        out.insert(out.end(), {static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>(c >> 8)});
    return out;
}

// An export as regedit writes version 5 files: UTF-16LE with a byte-order mark.
std::string asUtf16File(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (std::uint8_t b : utf16(text)) out += static_cast<char>(b);
    return out;
}

struct LoadCase {
    const char* what;
    std::string file;
    const char16_t* key;
    const char16_t* name;
    std::uint32_t type;
    Bytes data;
};

TEST(RegistryFile, LoadsKeysAndValuesOfEveryKind) {
    const LoadCase cases[] = {
        {"string", kV5 + "[HKEY_CURRENT_USER\\Software\\A]\r\n\"Lang\"=\"dede\"\r\n", u"Software\\A", u"Lang",
         regtype::String, utf16(std::u16string(u"dede\0", 5))},
        {"escapes in name and text", kV5 + "[HKCU\\A]\n\"a\\\"b\"=\"C:\\\\x \\\"y\\\"\"\n", u"A", u"a\"b",
         regtype::String, utf16(std::u16string(u"C:\\x \"y\"\0", 9))},
        {"default value", kV5 + "[HKCU\\A]\n@=\"d\"\n", u"A", u"", regtype::String,
         utf16(std::u16string(u"d\0", 2))},
        {"blanks around =", kV5 + "[HKCU\\A]\n  \"n\" \t=  \"v\"  \n", u"A", u"n", regtype::String,
         utf16(std::u16string(u"v\0", 2))},
        {"dword",
         kV5 + "[HKCU\\A]\n\"n\"=dword:0001e240\n",
         u"A",
         u"n",
         regtype::Dword,
         {0x40, 0xE2, 0x01, 0x00}},
        {"short dword", kV5 + "[HKCU\\A]\n\"n\"=DWORD:ff\n", u"A", u"n", regtype::Dword, {0xFF, 0, 0, 0}},
        {"binary", kV5 + "[HKCU\\A]\n\"n\"=hex:01,ab,FF\n", u"A", u"n", regtype::Binary, {0x01, 0xAB, 0xFF}},
        {"empty binary", kV5 + "[HKCU\\A]\n\"n\"=hex:\n", u"A", u"n", regtype::Binary, {}},
        {"hex(N) with continuation lines",
         kV5 + "[HKCU\\A]\n\"n\"=hex(7):61,00,00,\\\n  00,62,\\\r\n  00,00,00\n",
         u"A",
         u"n",
         regtype::MultiString,
         {0x61, 0, 0, 0, 0x62, 0, 0, 0}},
        {"REGEDIT4 hex(2) is ANSI", "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"n\"=hex(2):e9,00\r\n", u"A",
         u"n", regtype::ExpandString, utf16(std::u16string(u"\u00E9\0", 2))},
        {"REGEDIT4 text is ANSI", "REGEDIT4\n[HKCU\\A]\n\"\xE9\"=\"\x80\"\n", u"A", u"\u00E9",
         regtype::String, utf16(std::u16string(u"\u20AC\0", 2))},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + kV5 + "[HKCU\\A]\n\"n\"=\"\xD0\x94\"\n", u"A", u"n",
         regtype::String, utf16(std::u16string(u"\u0414\0", 2))},
        {"UTF-16LE as regedit writes it",
         asUtf16File(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\"
                     u"A]\r\n\"n\"=\"\u0416\"\r\n"),
         u"A", u"n", regtype::String, utf16(std::u16string(u"\u0416\0", 2))},
        {"comments and blank lines", kV5 + "; note\n\n[HKCU\\A]\n  ; \"n\"=\"x\"\n\"n\"=\"y\"\n", u"A", u"n",
         regtype::String, utf16(std::u16string(u"y\0", 2))},
        {"later value wins", kV5 + "[HKCU\\A]\n\"n\"=\"1\"\n[HKCU\\a]\n\"N\"=\"2\"\n", u"A", u"n",
         regtype::String, utf16(std::u16string(u"2\0", 2))},
        {"value on the hive itself", kV5 + "[HKEY_CURRENT_USER]\n\"n\"=\"r\"\n", u"", u"n", regtype::String,
         utf16(std::u16string(u"r\0", 2))},
    };
    for (const LoadCase& c : cases) {
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
    registry.setString(u"Software\\Keep", u"k", u"1");
    registry.setString(u"Software\\Gone\\Child", u"c", u"1");
    registry.setString(u"Software\\Values", u"drop", u"1");
    registry.setString(u"Software\\Values", u"stay", u"1");
    registry.load(kV5 + "[-HKEY_CURRENT_USER\\Software\\Gone]\n\"ignored\"=\"x\"\n"
                        "[HKCU\\Software\\Values]\n\"DROP\"=-\n\"absent\"=-\n"
                        "[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"m\"=\"x\"\n[-HKLM\\Software\\Keep]\n",
                  "test.reg", text::windows1252());
    EXPECT_TRUE(registry.hasKey(u"Software\\Keep"));
    EXPECT_TRUE(registry.hasKey(u"Software"));
    EXPECT_FALSE(registry.hasKey(u"Software\\Gone"));
    EXPECT_FALSE(registry.hasKey(u"Software\\Gone\\Child"));
    EXPECT_EQ(registry.findValue(u"Software\\Values", u"drop"), nullptr);
    EXPECT_NE(registry.findValue(u"Software\\Values", u"stay"), nullptr);
    EXPECT_FALSE(registry.hasKey(u"Software\\Other"));
}

TEST(RegistryFile, MalformedFilesNameTheLineAndChangeNothing) {
    struct Case {
        const char* what;
        std::string file;
        const char* where; // expected start of the message
    };
    const Case cases[] = {
        {"no header", "[HKCU\\A]\n", "f.reg:1:"},
        {"wrong header after blank lines", "\n\nREGEDIT5\n", "f.reg:3:"},
        {"empty file", "", "f.reg:1:"},
        {"value before any key", kV5 + "\"n\"=\"v\"\n", "f.reg:3:"},
        {"key line without ]", kV5 + "[HKCU\\A\n", "f.reg:3:"},
        {"unknown root key", kV5 + "[HKEY_NOWHERE\\A]\n", "f.reg:3:"},
        {"empty part in a key path", kV5 + "[HKCU\\A\\\\B]\n", "f.reg:3:"},
        {"deleting the hive", kV5 + "[-HKEY_CURRENT_USER]\n", "f.reg:3:"},
        {"value name without quotes", kV5 + "[HKCU\\A]\nn=\"v\"\n", "f.reg:4:"},
        {"no =", kV5 + "[HKCU\\A]\n\"n\" \"v\"\n", "f.reg:4:"},
        {"unterminated text", kV5 + "[HKCU\\A]\n\"n\"=\"v\n", "f.reg:4:"},
        {"unknown escape", kV5 + "[HKCU\\A]\n\"n\"=\"C:\\x\"\n", "f.reg:4:"},
        {"text after the closing quote", kV5 + "[HKCU\\A]\n\"n\"=\"v\" x\n", "f.reg:4:"},
        {"dword too long", kV5 + "[HKCU\\A]\n\"n\"=dword:123456789\n", "f.reg:4:"},
        {"dword not hex", kV5 + "[HKCU\\A]\n\"n\"=dword:12g4\n", "f.reg:4:"},
        {"hex byte too long", kV5 + "[HKCU\\A]\n\"n\"=hex:0a,123\n", "f.reg:4:"},
        {"hex gap", kV5 + "[HKCU\\A]\n\"n\"=hex:0a,,0b\n", "f.reg:4:"},
        {"bad hex(N)", kV5 + "[HKCU\\A]\n\"n\"=hex(x):00\n", "f.reg:4:"},
        {"unknown data", kV5 + "[HKCU\\A]\n\"n\"=qword:1\n", "f.reg:4:"},
        {"error on a continued line counts from its start", kV5 + "[HKCU\\A]\n\"n\"=hex:00,\\\n zz\n",
         "f.reg:4:"},
        {"good keys before a bad line are not kept", kV5 + "[HKCU\\New]\n\"n\"=\"v\"\n@=bad\n", "f.reg:5:"},
        {"half a UTF-16 character",
         "\xFF\xFE"
         "A",
         "f.reg:1:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Registry registry;
        registry.setString(u"Software\\Before", u"v", u"1");
        const Registry before = registry;
        try {
            registry.load(c.file, "f.reg", text::windows1252());
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.where, 0), 0u) << e.what();
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
    EXPECT_FALSE(registry.hasKey(u"Software\\\\DelmarshSW"));
    EXPECT_FALSE(registry.hasKey(u"\\Software"));
    EXPECT_FALSE(registry.hasKey(u"Software\\Delmarsh"));
    EXPECT_NE(registry.findValue(u"software\\DELMARSHSW\\quorvaneV4\\INFO", u"currentlanguage"), nullptr);
    EXPECT_THROW(registry.setString(u"A\\\\B", u"n", u"v"), std::invalid_argument);
    EXPECT_EQ(normalKeyPath(u"a\\b\\"), u"A\\B");
    EXPECT_EQ(normalKeyPath(u"a\\\\b"), std::nullopt);
}

TEST(RegistryKeys, QueriesAnswerAsTheAnsiFunction) {
    struct Case {
        const char* what;
        std::uint32_t type;
        Bytes data;
        std::size_t buffer;
        std::optional<std::u16string> expected;
    };
    const Case cases[] = {
        {"text and its NUL fit", regtype::String, utf16(std::u16string(u"dede\0", 5)), 5, u"dede"},
        {"one byte short", regtype::String, utf16(std::u16string(u"dede\0", 5)), 4, std::nullopt},
        {"a character outside the code page is '?'", regtype::String, utf16(std::u16string(u"\u03A9x\0", 3)),
         3, u"?x"},
        {"expand string is not expanded", regtype::ExpandString, utf16(std::u16string(u"%PATH%\0", 7)), 7,
         u"%PATH%"},
        {"multi string up to its first NUL", regtype::MultiString, utf16(std::u16string(u"a\0b\0\0", 5)), 5,
         u"a"},
        {"dword is its four bytes", regtype::Dword, {0x41, 0x42, 0, 0}, 4, u"AB"},
        {"dword in a smaller buffer", regtype::Dword, {0x41, 0x42, 0, 0}, 3, std::nullopt},
        {"binary without NUL", regtype::Binary, {'h', 'i'}, 2, u"hi"},
        {"binary bytes through the code page", regtype::Binary, {0x80, 0}, 256, u"\u20AC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Registry registry;
        registry.setValue(u"K", RegistryValue{u"v", c.type, c.data});
        EXPECT_EQ(registry.queryAnsiString(u"k", u"V", c.buffer, text::windows1252()), c.expected);
    }
    Registry empty;
    EXPECT_EQ(empty.queryAnsiString(u"K", u"v", 256, text::windows1252()), std::nullopt);
}

} // namespace
} // namespace seg4::posix
