// A reader for the small part of IDL the module's interface files use: interfaces with their
// methods (attributes, name, parameters), libraries, coclasses and dispinterfaces.
#pragma once

#include "component/member_table.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace seg4::idl {

struct Parameter {
    std::vector<std::string> attributes; // in, out, retval ...
    std::string type;                    // "long", "BSTR*" ...
    std::string name;
};

struct Method {
    std::vector<std::string> attributes; // propget, id(3) ...
    std::string name;
    std::vector<Parameter> parameters;
};

/// A block `[attributes] keyword name [: base] { body }`.
struct Block {
    std::string keyword; // interface, library, coclass, dispinterface
    std::string name;
    std::string base;
    std::vector<std::string> attributes;
    std::string body;
};

/// Every top-level and nested block of `text` (comments removed), in order.
std::vector<Block> blocks(const std::string& text);
/// The methods of an interface body. Throws std::runtime_error on text it cannot read.
std::vector<Method> methods(const std::string& body);
/// The value of an attribute such as uuid(...), id(...) or version(...); empty when absent.
std::optional<std::string> attributeValue(const std::vector<std::string>& attributes,
                                          const std::string& name);
bool hasAttribute(const std::vector<std::string>& attributes, const std::string& name);

/// A method as a row of the member tables: kind from propget/propput, argument kinds from the
/// parameter types and directions, result kind from the [out, retval] parameter.
struct Row {
    std::string name;
    MemberKind kind;
    std::vector<ValueKind> args;
    ValueKind result;
};
Row rowOf(const Method& m);

/// Differences between the IDL's rows and a member table, one line each; empty when they agree.
std::vector<std::string> compare(const std::vector<Row>& idl, std::span<const MemberInfo> table);

} // namespace seg4::idl
