// The IDL files of the Windows module against the member tables of the core: the same members
// in the same order, with the same kinds and argument and result types, and the identifiers the
// host looks for. The module's vtables are built from the tables, so a drift here would make the
// type library describe slots that do not exist.
#include "idl_parser.h"

#include "component/member_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace seg4::idl {
namespace {

std::string readIdl(const std::string& name) {
    const char* root = std::getenv("SEG4_SOURCE_DIR");
    std::ifstream in(std::string(root ? root : ".") + "/7seg4/com/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const Block* find(const std::vector<Block>& all, const std::string& keyword, const std::string& name) {
    for (const Block& b : all)
        if (b.keyword == keyword && b.name == name) return &b;
    return nullptr;
}

/// The differences between an interface of `text` and a table; a text the reader cannot take
/// is one difference too.
std::vector<std::string> differencesOf(const std::string& text, const std::string& interfaceName,
                                       std::span<const MemberInfo> table) {
    try {
        const std::vector<Block> all = blocks(text);
        const Block* iface = find(all, "interface", interfaceName);
        if (!iface) return {"no interface " + interfaceName};
        std::vector<Row> rows;
        for (const Method& m : methods(iface->body)) rows.push_back(rowOf(m));
        return compare(rows, table);
    } catch (const std::runtime_error& e) {
        return {e.what()};
    }
}

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

TEST(IdlTables, InterfacesListTheTableMembersInOrder) {
    struct Row {
        const char* file;
        const char* interfaceName;
        std::span<const MemberInfo> table;
    };
    const Row rows[] = {{"QuorvaneV4.idl", "IQuorvaneComponentV4", kHostMembers},
                        {"ARM_7seg4.idl", "_led7seg4", kControlMembers}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.interfaceName);
        const std::string text = readIdl(r.file);
        ASSERT_FALSE(text.empty()) << r.file;
        const std::vector<std::string> differences = differencesOf(text, r.interfaceName, r.table);
        EXPECT_TRUE(differences.empty()) << joined(differences);
    }
}

TEST(IdlTables, DispatchIdsNameOneMemberEach) {
    struct Row {
        const char* file;
        const char* interfaceName;
    };
    for (const Row& r : {Row{"QuorvaneV4.idl", "IQuorvaneComponentV4"}, Row{"ARM_7seg4.idl", "_led7seg4"}}) {
        SCOPED_TRACE(r.interfaceName);
        const std::vector<Block> all = blocks(readIdl(r.file));
        const Block* iface = find(all, "interface", r.interfaceName);
        ASSERT_NE(iface, nullptr);
        std::map<std::string, std::string> idOfName;
        std::map<std::string, std::string> nameOfId;
        for (const Method& m : methods(iface->body)) {
            const std::optional<std::string> id = attributeValue(m.attributes, "id");
            ASSERT_TRUE(id) << m.name << " has no dispatch id";
            EXPECT_GT(std::stol(*id, nullptr, 0), 0) << m.name << ": 0 and below are reserved";
            auto [byName, newName] = idOfName.emplace(m.name, *id);
            EXPECT_EQ(byName->second, *id) << m.name << ": its get and put share one id";
            auto [byId, newId] = nameOfId.emplace(*id, m.name);
            EXPECT_EQ(byId->second, m.name) << "id " << *id << " names two members";
        }
    }
}

TEST(IdlTables, LibrariesCarryTheIdentifiersTheHostLooksFor) {
    const std::vector<Block> host = blocks(readIdl("QuorvaneV4.idl"));
    const std::vector<Block> control = blocks(readIdl("ARM_7seg4.idl"));
    struct Row {
        const std::vector<Block>* file;
        const char* keyword;
        const char* name;
        const char* attribute;
        const char* expected;
    };
    const Row rows[] = {
        {&host, "library", "QuorvaneCompV4Lib", "uuid", "CC30F52D-4274-48BD-B64E-DACAE5A244A6"},
        {&host, "library", "QuorvaneCompV4Lib", "version", "1.0"},
        {&host, "interface", "IQuorvaneComponentV4", "uuid", "CC753F00-9625-45BB-8797-5141B3289F2A"},
        {&control, "library", "Quorvane_ARM_7seg4", "uuid", "ACDA10C9-82D4-4CB6-A964-5D0A14181900"},
        {&control, "library", "Quorvane_ARM_7seg4", "version", "1.0"},
        {&control, "library", "Quorvane_ARM_7seg4", "lcid", "0x409"},
        {&control, "library", "Quorvane_ARM_7seg4", "helpfile", "\"7seg1.hlp\""},
        {&control, "coclass", "led7seg4", "uuid", "4DB172DB-1264-415E-9417-10B6459B4AEE"},
        {&control, "interface", "_led7seg4", "uuid", "FF6F9DB4-B477-4E9C-85E9-33D07959E3C1"},
        {&control, "dispinterface", "__led7seg4", "uuid", "4F1B6471-BD94-41F1-BC8B-638A8E5C1F07"},
        {&control, "coclass", "ppg7seg4", "uuid", "203E56B0-72FB-4E19-BB19-8F05D50226A3"},
        {&control, "interface", "_ppg7seg4", "uuid", "7F294B97-4569-40DB-B781-DF4F7666BA0A"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + " " + r.attribute);
        const Block* b = find(*r.file, r.keyword, r.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(attributeValue(b->attributes, r.attribute).value_or("<none>"), r.expected);
    }
    for (const char* dual : {"IQuorvaneComponentV4", "_led7seg4", "_ppg7seg4"}) {
        const Block* b = find(dual[0] == 'I' ? host : control, "interface", dual);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(hasAttribute(b->attributes, "dual")) << dual;
        EXPECT_EQ(b->base, "IDispatch") << dual;
    }
    const Block* events = find(control, "dispinterface", "__led7seg4");
    ASSERT_NE(events, nullptr);
    EXPECT_TRUE(methods(events->body).empty()) << "the event interface declares no events";
    const Block* display = find(control, "coclass", "led7seg4");
    ASSERT_NE(display, nullptr);
    EXPECT_TRUE(hasAttribute(display->attributes, "control"));
    std::string body;
    for (char c : display->body)
        if (c != ' ' && c != '\n' && c != '\r') body += c;
    EXPECT_EQ(body,
              "[default]interface_led7seg4;interfaceIQuorvaneComponentV4;[default,source]dispinterface__"
              "led7seg4;");
}

TEST(IdlTables, TheComparisonNoticesDrift) {
    const std::string original = readIdl("QuorvaneV4.idl");
    struct Row {
        const char* what;
        const char* from;
        const char* to;
    };
    const Row rows[] = {
        {"two members swapped",
         "[propget, id(15)] HRESULT DesiredPort([in] long lPinID, [out, retval] long* pVal);\n"
         "    [propget, id(16)] HRESULT Direction([in] long lPinID, [out, retval] long* pVal);",
         "[propget, id(16)] HRESULT Direction([in] long lPinID, [out, retval] long* pVal);\n"
         "    [propget, id(15)] HRESULT DesiredPort([in] long lPinID, [out, retval] long* pVal);"},
        {"a narrower argument", "HRESULT Port([in] long lPinID, [in] long value)",
         "HRESULT Port([in] long lPinID, [in] short value)"},
        {"an in/out argument passed by value", "HRESULT SimReadPins([in, out] VARIANT* pVal)",
         "HRESULT SimReadPins([in] VARIANT pVal)"},
        {"a put read as a get", "[propput, id(43)] HRESULT QuorvaneVersion",
         "[propget, id(43)] HRESULT QuorvaneVersion"},
        {"a member missing", "    [id(60)] HRESULT Refresh();\n", ""},
        {"a different result", "HRESULT Description([out, retval] BSTR* pVal)",
         "HRESULT Description([out, retval] VARIANT* pVal)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::string changed = original;
        const std::size_t at = changed.find(r.from);
        ASSERT_NE(at, std::string::npos) << "the IDL no longer has the text this case changes";
        changed.replace(at, std::string(r.from).size(), r.to);
        EXPECT_FALSE(differencesOf(changed, "IQuorvaneComponentV4", kHostMembers).empty());
    }
}

} // namespace
} // namespace seg4::idl
