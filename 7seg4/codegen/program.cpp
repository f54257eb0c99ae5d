// Assembles the generated program of one display from the members the host calls.
#include "codegen/program.h"

#include "automation/variant.h"
#include "component/led7seg4.h"

namespace seg4 {

std::u16string assembleProgram(Led7Seg4& control) {
    std::u16string program = control.get_DefinesCode();
    program += control.get_InitialisationCode();
    program += control.get_InterruptCode();

    const Variant names = control.get_MacroNames();
    const SafeArray* table = names.arrayData();
    if (!table) return program;
    for (std::int32_t id = table->lowerBound; id <= table->upperBound(); ++id) {
        std::u16string code = control.get_MacroCode(id);
        control.MacroCodeOverride(code);
        program += code;
    }
    return program;
}

} // namespace seg4
