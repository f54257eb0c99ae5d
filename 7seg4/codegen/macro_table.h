// The macro table: the macros the host can call, built from the code file's profile entries and
// the localised display names, and what the host reads of it.
#pragma once

#include "automation/variant.h"
#include "model/led7seg4_state.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace seg4::codegen {

/// A profile entry of the code file: (section, key, default) to its value.
using KeyReader =
    std::function<std::u16string(std::u16string section, std::u16string key, std::u16string fallback)>;
using Report = std::function<void(const std::u16string& message)>;

/// Builds the state's macro table, macro count and description. A build that finds macros
/// replaces the whole table; what it has made stays when it stops part-way.
void buildMacroTable(Led7Seg4State& state, const KeyReader& entry, const Report& showMessage);

/// The state's table; without one there is no index range, which is subscript out of range.
const std::vector<RSMacro>& macroTable(const Led7Seg4State& state);

/// The table for reading every record (MacroNames): a slot that a stopped build left empty fails
/// with object variable not set.
const std::vector<RSMacro>& macroRecords(const Led7Seg4State& state);
/// The table for reading the record of macro lMacroID: fails as above when that slot is empty.
const std::vector<RSMacro>& macroRecords(const Led7Seg4State& state, std::int32_t lMacroID);

Variant macroNames(const std::vector<RSMacro>& table);
/// -1 or 0; 0 for an ID outside the table.
std::int32_t macroIsFunction(const std::vector<RSMacro>& table, std::int32_t lMacroID);
std::int32_t macroIsPrivate(const std::vector<RSMacro>& table, std::int32_t lMacroID);
/// Empty for an ID outside the table.
Variant macroParameters(const std::vector<RSMacro>& table, std::int32_t lMacroID);
/// "Macro_" and the macro's code name: the code file block of its code; "" outside the table.
std::u16string macroBlockName(const std::vector<RSMacro>& table, std::int32_t lMacroID);

} // namespace seg4::codegen
