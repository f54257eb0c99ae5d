// The whole target program a display contributes for its current wiring, as a host would
// assemble it: used by qhost to write the generated code and by the target-code checks.
#pragma once

#include "automation/variant.h"

#include <cstdint>
#include <string>

namespace seg4 {

/// The code members a host reads when it compiles, wherever the display lives (linked in, or
/// behind COM).
class CodeMembers {
public:
    virtual ~CodeMembers() = default;
    virtual std::u16string definesCode() = 0;
    virtual std::u16string initialisationCode() = 0;
    virtual std::u16string interruptCode() = 0;
    virtual Variant macroNames() = 0;
    virtual std::u16string macroCode(std::int32_t id) = 0;
    virtual void macroCodeOverride(std::u16string& code) = 0;
};

/// DefinesCode, InitialisationCode and InterruptCode as the control hands them out, then the
/// code of every macro of its table with the placeholders replaced from its wiring, one after
/// the other and nothing else. Fails as the members it calls fail: subscript out of range
/// while the control has no macro table, overflow for a wiring whose masks do not fit.
std::u16string assembleProgram(CodeMembers& members);

} // namespace seg4
