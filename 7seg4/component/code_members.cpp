// The members that hand the host code and read the code file, over the codegen modules.
#include "codegen/code_file.h"
#include "codegen/macro_table.h"
#include "codegen/placeholders.h"
#include "codegen/program.h"
#include "component/led7seg4.h"

namespace seg4 {

codegen::CodeFile Led7Seg4::codeFile() {
    return codegen::CodeFile(platform_, state_.m_sCodeFile,
                             [this](const std::u16string& text) { showMessage(text); });
}

std::u16string Led7Seg4::get_CodeFilename() { return codeFile().path(); }

std::u16string Led7Seg4::GetIniKeyValue(std::u16string& lpApplicationName, std::u16string& lpKeyName,
                                        std::u16string& lpDefault) {
    return codeFile().keyValue(lpApplicationName, lpKeyName, lpDefault);
}

std::u16string Led7Seg4::GetCodeFromFile(std::u16string& lpCodeName) {
    return codeFile().block(lpCodeName, state_.m_sDescription);
}

void Led7Seg4::BuildMacroTable() {
    codegen::buildMacroTable(
        state_,
        [this](std::u16string section, std::u16string key, std::u16string fallback) {
            return GetIniKeyValue(section, key, fallback);
        },
        [this](const std::u16string& text) { showMessage(text); });
}

const std::vector<RSMacro>& Led7Seg4::macroTable() { return codegen::macroTable(state_); }

// These read records of the table; SimMacroCall only asks its bounds (macroTable).
Variant Led7Seg4::get_MacroNames() { return codegen::macroNames(codegen::macroRecords(state_)); }
std::int32_t Led7Seg4::get_MacroIsFunction(std::int32_t lMacroID) {
    return codegen::macroIsFunction(codegen::macroRecords(state_, lMacroID), lMacroID);
}
std::int32_t Led7Seg4::get_MacroIsPrivate(std::int32_t lMacroID) {
    return codegen::macroIsPrivate(codegen::macroRecords(state_, lMacroID), lMacroID);
}
Variant Led7Seg4::get_MacroParameters(std::int32_t lMacroID) {
    return codegen::macroParameters(codegen::macroRecords(state_, lMacroID), lMacroID);
}

std::u16string Led7Seg4::get_MacroCode(std::int32_t lMacroID) {
    std::u16string block = codegen::macroBlockName(codegen::macroRecords(state_, lMacroID), lMacroID);
    return block.empty() ? std::u16string() : GetCodeFromFile(block);
}

std::u16string Led7Seg4::get_DefinesCode() {
    std::u16string block = u"DefinesCode";
    return GetCodeFromFile(block);
}

std::u16string Led7Seg4::get_InitialisationCode() { return state_.m_sInitCode; }
std::u16string Led7Seg4::get_InterruptCode() { return state_.m_sInterruptCode; }

void Led7Seg4::MacroCodeOverride(std::u16string& pVal) {
    // Every value is worked out before the text is touched, so a failure leaves it as it was.
    pVal = placeholders_.fill(pVal, state_.m_Pins, platform_);
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
