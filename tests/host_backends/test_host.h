// The backend the contract tests run against: the linked core on Linux, the registered module
// through COM under Wine. Both must give the same answers to the same calls.
#pragma once

#include "backends/backend.h"
#include "component/member_table.h"

#include <string_view>
#include <vector>

namespace qhost::testing {

/// The process's backend, set up as qhost sets it up (language engb, the module's own data).
Backend& testBackend();

/// Calls a member by name and kind on either interface, as the interpreter does.
seg4::Variant call(Display& display, std::string_view name, seg4::MemberKind kind,
                   std::vector<seg4::Variant*> args);

} // namespace qhost::testing
