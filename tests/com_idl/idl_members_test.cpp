// The IDL files of the Windows module against the member tables of the core: the same members
// in the same order, with the same kinds and argument and result types, and one dispatch id per
// member. The module's vtables are built from the tables, so a drift here would make the type
// library describe slots that do not exist.
#include "component/member_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace seg4 {
namespace {

std::string readIdl(const std::string& name) {
    const char* root = std::getenv("SEG4_SOURCE_DIR");
    std::ifstream in(std::string(root ? root : ".") + "/7seg4/com/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return std::regex_replace(s.str(), std::regex("//[^\n]*"), "");
}

/// The text between the braces that follow `head` ("interface _led7seg4 :") in `text`.
std::string bodyOf(const std::string& text, const std::string& head) {
    const std::size_t open = text.find('{', text.find(head));
    if (text.find(head) == std::string::npos || open == std::string::npos) return "";
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        depth += text[i] == '{' ? 1 : text[i] == '}' ? -1 : 0;
        if (depth == 0) return text.substr(open + 1, i - open - 1);
    }
    return "";
}

struct Method {
    std::string attributes, name, parameters;
};

std::vector<Method> methodsOf(const std::string& body) {
    static const std::regex method(R"(\[([^\]]*)\]\s*HRESULT\s+(\w+)\s*\(([^)]*)\)\s*;)");
    std::vector<Method> out;
    for (std::sregex_iterator it(body.begin(), body.end(), method), end; it != end; ++it)
        out.push_back({(*it)[1], (*it)[2], (*it)[3]});
    return out;
}

ValueKind kindOf(const std::string& type, bool pointer) {
    static const std::map<std::string, std::pair<ValueKind, ValueKind>> known = {
        {"long", {ValueKind::Long, ValueKind::LongRef}},
        {"short", {ValueKind::Short, ValueKind::ShortRef}},
        {"BSTR", {ValueKind::String, ValueKind::StringRef}},
        {"VARIANT", {ValueKind::Variant, ValueKind::VariantRef}}};
    const auto it = known.find(type);
    if (it == known.end()) throw std::runtime_error("no member kind for " + type);
    return pointer ? it->second.second : it->second.first;
}

std::string describe(std::string_view name, MemberKind kind, const std::vector<ValueKind>& args,
                     ValueKind result) {
    static const char* const kinds[] = {"get", "put", "method"};
    std::string s = std::string(name) + " " + kinds[static_cast<int>(kind)] + " (";
    for (ValueKind k : args) s += std::string(valueKindName(k)) + " ";
    return s + ") -> " + std::string(valueKindName(result));
}

/// One line per method of the interface: name, kind, argument kinds and result kind. A
/// parameter that is a pointer must be [in, out] or [out, retval], and the reverse.
std::vector<std::string> idlRows(const std::string& text, const std::string& interfaceName) {
    static const std::regex parameter(R"(\[([^\]]*)\]\s*(\w+)\s*(\*?)\s*\w+)");
    std::vector<std::string> rows;
    for (const Method& m : methodsOf(bodyOf(text, "interface " + interfaceName + " :"))) {
        const MemberKind kind = m.attributes.find("propget") != std::string::npos   ? MemberKind::Get
                                : m.attributes.find("propput") != std::string::npos ? MemberKind::Put
                                                                                    : MemberKind::Method;
        std::vector<ValueKind> args;
        ValueKind result = ValueKind::Void;
        for (std::sregex_iterator it(m.parameters.begin(), m.parameters.end(), parameter), end; it != end;
             ++it) {
            const std::string attributes = (*it)[1];
            const bool pointer = (*it)[3].length() == 1;
            if (pointer != (attributes.find("out") != std::string::npos))
                throw std::runtime_error(m.name + ": a pointer parameter must be out, and only it");
            if (attributes.find("retval") != std::string::npos)
                result = kindOf((*it)[2], false);
            else
                args.push_back(kindOf((*it)[2], pointer));
        }
        rows.push_back(describe(m.name, kind, args, result));
    }
    return rows;
}

std::vector<std::string> tableRows(std::span<const MemberInfo> table) {
    std::vector<std::string> rows;
    for (const MemberInfo& m : table)
        rows.push_back(describe(m.name, m.kind, {m.args.begin(), m.args.end()}, m.result));
    return rows;
}

struct Interface {
    const char* file;
    const char* name;
    std::span<const MemberInfo> table;
};
const Interface kInterfaces[] = {{"QuorvaneV4.idl", "IQuorvaneComponentV4", kHostMembers},
                                 {"ARM_7seg4.idl", "_led7seg4", kControlMembers}};

TEST(IdlTables, InterfacesListTheTableMembersInOrder) {
    for (const Interface& i : kInterfaces) {
        SCOPED_TRACE(i.name);
        const std::string text = readIdl(i.file);
        ASSERT_FALSE(text.empty()) << i.file;
        EXPECT_EQ(idlRows(text, i.name), tableRows(i.table));
    }
}

TEST(IdlTables, DispatchIdsNameOneMemberEach) {
    static const std::regex id(R"(\bid\((\w+)\))");
    for (const Interface& i : kInterfaces) {
        SCOPED_TRACE(i.name);
        std::map<std::string, std::string> idOfName, nameOfId;
        for (const Method& m :
             methodsOf(bodyOf(readIdl(i.file), "interface " + std::string(i.name) + " :"))) {
            std::smatch found;
            ASSERT_TRUE(std::regex_search(m.attributes, found, id)) << m.name << " has no dispatch id";
            EXPECT_GT(std::stol(found[1], nullptr, 0), 0) << m.name << ": 0 and below are reserved";
            EXPECT_EQ(idOfName.emplace(m.name, found[1]).first->second, found[1]) << m.name;
            EXPECT_EQ(nameOfId.emplace(found[1], m.name).first->second, m.name) << "id " << found[1];
        }
    }
}

TEST(IdlTables, TheComparisonNoticesDrift) {
    const std::string original = readIdl("QuorvaneV4.idl");
    const std::pair<const char*, const char*> changes[] = {
        {"[propget, id(15)] HRESULT DesiredPort", "[propget, id(15)] HRESULT Direction"},
        {"HRESULT Port([in] long lPinID, [in] long value)",
         "HRESULT Port([in] long lPinID, [in] short value)"},
        {"HRESULT SimReadPins([in, out] VARIANT* pVal)", "HRESULT SimReadPins([in] VARIANT pVal)"},
        {"[propput, id(43)] HRESULT QuorvaneVersion", "[propget, id(43)] HRESULT QuorvaneVersion"},
        {"[id(60)] HRESULT Refresh();", ""},
    };
    for (const auto& [from, to] : changes) {
        SCOPED_TRACE(from);
        std::string changed = original;
        const std::size_t at = changed.find(from);
        ASSERT_NE(at, std::string::npos) << "the IDL no longer has the text this case changes";
        changed.replace(at, std::string(from).size(), to);
        EXPECT_NE(idlRows(changed, "IQuorvaneComponentV4"), tableRows(kHostMembers));
    }
}

} // namespace
} // namespace seg4
