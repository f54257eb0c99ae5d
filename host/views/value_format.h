// Prints automation values on one line in the script's own literal style, so transcripts of two
// runs compare as text.
#pragma once

#include "automation/variant.h"

#include <string>

namespace qhost {

/// 12 (Long), 12% (Integer), 1.5 (Double), 2# (a whole Double), 1.5! (Single), 1.5@ (Currency),
/// "text" with "" for a quote and " & vbCrLf & " for line ends, True/False, Empty, Null,
/// CByte(3) and the like for the other integer types, arrays as Boolean(0 To 11) {-1, 0, ...}.
std::string formatValue(const seg4::Variant& value);

/// A string in literal style, quotes included.
std::string formatString(const std::u16string& text);

/// The element-type name of an array ("Boolean", "Variant", ...).
std::string typeWord(seg4::VarType type);

} // namespace qhost
