// Resolution of the script's names.
#include "names.h"

#include "page.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace qhost {

using seg4::MemberInfo;
using seg4::MemberKind;

std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return lower(std::string(a)) == lower(std::string(b));
}

FoundMember findMember(std::string_view name, MemberKind kind) {
    for (const MemberInfo& m : seg4::kHostMembers)
        if (m.kind == kind && sameName(m.name, name)) return {&m, true};
    for (const MemberInfo& m : seg4::kControlMembers)
        if (m.kind == kind && sameName(m.name, name)) return {&m, false};
    return {};
}

bool isMemberName(std::string_view name) {
    return findMember(name, MemberKind::Get).info || findMember(name, MemberKind::Put).info ||
           findMember(name, MemberKind::Method).info;
}

std::size_t inputCount(const MemberInfo& m) { return m.args.size() - (m.kind == MemberKind::Put ? 1 : 0); }

namespace {

const char* const kConstants[] = {"true", "false",  "empty", "null",        "vbcr",
                                  "vblf", "vbcrlf", "vbtab", "vbnullstring"};
const char* const kFunctions[] = {"typename", "array", "chr",  "chrw",   "cint",   "clng",    "cbyte",
                                  "cbool",    "cdbl",  "cstr", "ubound", "lbound", "len",     "time",
                                  "int",      "fix",   "abs",  "min",    "max",    "filetext"};

} // namespace

bool isBuiltIn(std::string_view name) {
    const std::string n = lower(std::string(name));
    return isPageValueName(n) ||
           std::find(std::begin(kConstants), std::end(kConstants), n) != std::end(kConstants) ||
           std::find(std::begin(kFunctions), std::end(kFunctions), n) != std::end(kFunctions);
}

} // namespace qhost
