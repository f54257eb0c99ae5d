// How the script's names resolve: members of either interface by name and kind, and the
// built-in constants and functions. Members win over built-ins, built-ins over variables.
#pragma once

#include "component/member_table.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qhost {

std::string lower(std::string s);
bool sameName(std::string_view a, std::string_view b);

struct FoundMember {
    const seg4::MemberInfo* info = nullptr;
    bool host = true; // a member of the host interface, else of the control's own
};

/// The member of either interface with this name (any letter case) and kind.
FoundMember findMember(std::string_view name, seg4::MemberKind kind);
bool isMemberName(std::string_view name);
/// Arguments a script writes in the parentheses: a put's value comes after the "=".
std::size_t inputCount(const seg4::MemberInfo& m);
bool isBuiltIn(std::string_view name);

} // namespace qhost
