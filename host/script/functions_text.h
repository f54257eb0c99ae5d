// The script's text functions (InStr, Left, Mid, Right, Replace, Split, Join, LCase, UCase, Hex)
// and its typed arrays (ArrayOf, ArrayOf2), with the automation runtime's rules: 1-based
// positions, Null passed through where the runtime passes it, "Invalid procedure call or
// argument" for a bad start, length or count.
#pragma once

#include "automation/variant.h"
#include "script/script_ast.h"

#include <cstddef>
#include <span>
#include <stdexcept>

namespace qhost {

/// A function used in a way no value can mend (an unknown element type): a fault of the script.
struct FunctionMisuse : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ValueFunction {
    std::size_t minArgs;
    std::size_t maxArgs;
    /// The arguments are evaluated and looked through (no references).
    seg4::Variant (*run)(std::span<const seg4::Variant> args);
};

/// The function of this built-in, or null when it is none of these.
const ValueFunction* valueFunction(BuiltIn builtIn);

/// The bound of dimension `dimension` (1-based) of the array `v` holds, as UBound and LBound
/// answer it: type mismatch for no array, subscript out of range for a dimension it lacks.
std::int32_t arrayBound(const seg4::Variant& v, std::int32_t dimension, bool upper);

} // namespace qhost
