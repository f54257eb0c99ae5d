// The whole target program a display contributes for its current wiring, as a host would
// assemble it: used by qhost to write the generated code and by the target-code checks.
#pragma once

#include <string>

namespace seg4 {

class Led7Seg4;

/// DefinesCode, InitialisationCode and InterruptCode as the control hands them out, then the
/// code of every macro of its table with the placeholders replaced from its wiring, one after
/// the other and nothing else. Fails as the members it calls fail: subscript out of range
/// while the control has no macro table, overflow for a wiring whose masks do not fit.
std::u16string assembleProgram(Led7Seg4& control);

} // namespace seg4
