// The script's `page` command and the open page's values for `expect`.
#pragma once

#include "automation/variant.h"

#include <optional>
#include <string>
#include <vector>

namespace qhost {

class Interpreter;

/// Runs `page <action> [arguments]`. Usage errors throw CommandError.
void runPageCommand(Interpreter& interpreter, const std::vector<std::string>& args, int line);
/// Only `page snapshot FILE` writes a file.
bool pageCommandTouchesFiles(const std::vector<std::string>& args);

/// The script's names for the open page's values (PageListIndex, PageSizeText, ...), by
/// lower-cased name; nothing when `lowerName` is none of them.
bool isPageValueName(const std::string& lowerName);
std::optional<seg4::Variant> pageValue(Interpreter& interpreter, const std::string& lowerName, int line);

} // namespace qhost
