// What a script checks of the current display as its container sees it: the picture it draws
// (its size, a pixel, a comparison with a stored PNG), how often it repainted, was resized and
// laid out again, its size on the panel; and the container's own commands that provoke those
// (resize, paint, twips).
#pragma once

#include "automation/variant.h"
#include "script/commands.h"
#include "script/script_ast.h"

#include <string>
#include <vector>

namespace qhost {

class Interpreter;

/// The value of a container built-in (PictureWidth .. ControlHeight) with its arguments.
/// Pixel outside the picture is the subscript error; a wrong number of arguments is a fault of
/// the script.
seg4::Variant containerValue(Interpreter& in, BuiltIn which, const std::vector<seg4::Variant>& args,
                             int line);

/// "expect picture FILE.png": the current display's picture against the stored one, pixel for
/// pixel; "expect picture A.png B.png" two stored pictures (with "<>" between them: that they
/// differ). A difference is a failed expectation naming the first differing pixel with both
/// colours, or both sizes. A file that cannot be read or is no PNG throws CommandError.
void expectPicture(Interpreter& in, const std::vector<std::string>& words, int line);

/// The text of a file's bytes for FileText: UTF-8 without NUL. Bytes that are not text fail with
/// the runtime's "Bad file mode", naming the file and the first offending offset, so that a
/// binary file is never compared as mangled text.
std::u16string fileTextOf(const std::string& path, const std::string& bytes);

// The container's commands (their table rows are in commands.cpp).
void resizeCommand(Interpreter& in, const CommandArgs& args, int line);
void paintCommand(Interpreter& in, const CommandArgs& args, int line);
void twipsCommand(Interpreter& in, const CommandArgs& args, int line);

} // namespace qhost
