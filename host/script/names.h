// How the script's names resolve: members of either interface by name and kind (see
// backends/members.h), and the built-in constants and functions. Members win over built-ins,
// built-ins over variables.
#pragma once

#include "backends/members.h"

#include <string_view>

namespace qhost {

bool isBuiltIn(std::string_view name);

} // namespace qhost
