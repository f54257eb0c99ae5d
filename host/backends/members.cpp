// Members by name.
#include "backends/members.h"

#include <stdexcept>

namespace qhost {

using seg4::MemberInfo;
using seg4::MemberKind;

namespace {

char foldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

} // namespace

std::string lower(std::string s) {
    for (char& c : s) c = foldCase(c);
    return s;
}

bool sameName(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

FoundMember findMember(std::string_view name, MemberKind kind) noexcept {
    for (const MemberInfo& m : seg4::kHostMembers)
        if (m.kind == kind && sameName(m.name, name)) return {&m, true};
    for (const MemberInfo& m : seg4::kControlMembers)
        if (m.kind == kind && sameName(m.name, name)) return {&m, false};
    return {};
}

const MemberInfo& requireMember(std::string_view name, MemberKind kind) {
    const FoundMember found = findMember(name, kind);
    if (!found) throw std::logic_error("no member " + std::string(name) + " of that kind");
    return *found.info;
}

bool isMemberName(std::string_view name) {
    return findMember(name, MemberKind::Get) || findMember(name, MemberKind::Put) ||
           findMember(name, MemberKind::Method);
}

} // namespace qhost
