// Assembles the generated program of one display from the members the host calls.
#include "codegen/program.h"

namespace seg4 {

std::u16string assembleProgram(CodeMembers& members) {
    std::u16string program = members.definesCode();
    program += members.initialisationCode();
    program += members.interruptCode();

    const Variant names = members.macroNames();
    const SafeArray* table = names.arrayData();
    if (!table) return program;
    for (std::int32_t id = table->lowerBound; id <= table->upperBound(); ++id) {
        std::u16string code = members.macroCode(id);
        members.macroCodeOverride(code);
        program += code;
    }
    return program;
}

} // namespace seg4
