// The script's `combo` command: the property page's colour list driven as a program drives the
// combo control (AddItem, FindItem, ListIndex) and read back item by item.
#pragma once

#include <string>
#include <vector>

namespace qhost {

class Interpreter;

/// Runs `combo <action> [arguments]` on the open page's colour list. Misuse throws CommandError.
void runComboCommand(Interpreter& interpreter, const std::vector<std::string>& args, int line);

} // namespace qhost
