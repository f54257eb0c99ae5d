// Calls of the host's and the control's members by name through IDispatch, with arguments
// converted as the caller's runtime converts them and by-reference arguments written back.
#pragma once

#include "com_session.h"

#include "automation/variant.h"
#include "component/member_table.h"

#include <oaidl.h>

#include <vector>

namespace qhost {

/// Invokes `member` of `target` (the host's interface when `hostInterface`) with `args`, which
/// the member may write through; a failure is raised as the caller's runtime reports it.
seg4::Variant callByName(Shared& shared, IDispatch* target, bool hostInterface,
                         const seg4::MemberInfo& member, std::vector<seg4::Variant*>& args);

} // namespace qhost
