// The host commands of a script (snapshot, save, eye, page, ...): one table from which the parser
// recognises the words, `help` lists them and the interpreter runs them.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qhost {

class Interpreter;

/// A command used wrongly (missing file name, unreadable document): a fault of the script.
struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using CommandArgs = std::vector<std::string>;

struct Command {
    std::string_view word;
    std::string_view arguments; // as `help`, the README and usage errors write them
    std::string_view summary;
    std::size_t minArgs = 0;
    std::size_t maxArgs = 0;
    /// Whether these arguments make the command read or write files (refused in runs that may
    /// touch no file).
    bool (*touchesFiles)(const CommandArgs& args) = nullptr;
    void (*run)(Interpreter& interpreter, const CommandArgs& args, int line) = nullptr;
};

inline constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();

/// Every command, in the order `help` lists them.
std::span<const Command> commandTable();
/// The command of this word (any letter case), or null.
const Command* findCommand(std::string_view word);
/// The listing `help` prints: one line a command, its arguments and what it does.
void writeHelp(std::ostream& out);

/// Runs a command after checking its number of arguments. Throws CommandError on misuse.
void runCommand(Interpreter& interpreter, const Command& command, const CommandArgs& args, int line);

} // namespace qhost
