// Reads a qhost script into its syntax tree, reporting every syntax error with its line.
#pragma once

#include "script/script_ast.h"

#include <string>
#include <string_view>
#include <vector>

namespace qhost {

struct ScriptError {
    int line = 0;
    std::string message;
};

struct ParseResult {
    Script script;
    std::vector<ScriptError> errors; // empty when the script is well formed
};

ParseResult parseScript(std::string_view source, std::string fileName);

/// Parses one expression (used for command-line values and by tests).
ExprPtr parseExpression(std::string_view text, std::vector<ScriptError>& errors);

} // namespace qhost
