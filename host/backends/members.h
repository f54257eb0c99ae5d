// The members a display answers to, found by name: the one lookup the script, the views and
// both backends share.
#pragma once

#include "component/member_table.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qhost {

/// Lower-case ASCII, as names are compared.
std::string lower(std::string s);
/// Whether two names are the same, ignoring ASCII letter case.
bool sameName(std::string_view a, std::string_view b) noexcept;

struct FoundMember {
    const seg4::MemberInfo* info = nullptr;
    bool host = true; // a member of the host interface, else of the control's own
    explicit operator bool() const { return info != nullptr; }
};

/// The member of either interface with this name (any letter case) and kind; the host
/// interface is searched first. Nothing found: `info` is null.
FoundMember findMember(std::string_view name, seg4::MemberKind kind) noexcept;
/// The same for a member the caller knows exists; a missing one is a fault of the program.
const seg4::MemberInfo& requireMember(std::string_view name, seg4::MemberKind kind);
bool isMemberName(std::string_view name);
/// Arguments a script writes in the parentheses: a put's value comes after the "=".
inline std::size_t inputCount(const seg4::MemberInfo& m) {
    return m.args.size() - (m.kind == seg4::MemberKind::Put ? 1 : 0);
}

} // namespace qhost
