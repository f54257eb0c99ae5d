// Assembles the generated program of one display from the members the host calls.
#include "codegen/program.h"

#include "component/led7seg4.h"

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

namespace {

class LinkedControl : public CodeMembers {
public:
    explicit LinkedControl(Led7Seg4& control) : c_(control) {}
    std::u16string definesCode() override { return c_.get_DefinesCode(); }
    std::u16string initialisationCode() override { return c_.get_InitialisationCode(); }
    std::u16string interruptCode() override { return c_.get_InterruptCode(); }
    Variant macroNames() override { return c_.get_MacroNames(); }
    std::u16string macroCode(std::int32_t id) override { return c_.get_MacroCode(id); }
    void macroCodeOverride(std::u16string& code) override { c_.MacroCodeOverride(code); }

private:
    Led7Seg4& c_;
};

} // namespace

std::u16string assembleProgram(Led7Seg4& control) {
    LinkedControl members(control);
    return assembleProgram(members);
}

} // namespace seg4
