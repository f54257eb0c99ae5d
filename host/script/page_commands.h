// The script's `page` command and the open page's values for `expect`.
#pragma once

#include "automation/variant.h"
#include "script/script_ast.h"

#include <string>
#include <vector>

namespace qhost {

class Interpreter;

/// Runs `page <action> [arguments]`. Usage errors throw CommandError.
void runPageCommand(Interpreter& interpreter, const std::vector<std::string>& args, int line);
/// Only `page snapshot FILE` writes a file.
bool pageCommandTouchesFiles(const std::vector<std::string>& args);

/// The open page's value a script reads as PageListIndex, PageSizeText, ... (`value` is one of
/// BuiltIn::PageOpen to BuiltIn::PageChanged).
seg4::Variant pageValue(Interpreter& interpreter, BuiltIn value, int line);

} // namespace qhost
