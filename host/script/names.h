// How the script's names resolve: members of either interface by name and kind (see
// backends/members.h), the built-in constants and functions, and script variables. Members win
// over built-ins, built-ins over variables.
#pragma once

#include "script/script_ast.h"

#include <string_view>

namespace qhost {

/// The built-in of this name (any letter case), or BuiltIn::None.
BuiltIn builtInNamed(std::string_view name);
bool isBuiltIn(std::string_view name);
inline bool isPageValue(BuiltIn b) { return b >= BuiltIn::PageOpen && b <= BuiltIn::PageChanged; }
inline bool isContainerValue(BuiltIn b) { return b >= BuiltIn::PictureWidth && b <= BuiltIn::ControlHeight; }

/// What `name` stands for, its variable slot left for the caller to fill in.
NameBinding bindName(std::string_view name);

} // namespace qhost
