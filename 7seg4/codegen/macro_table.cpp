#include "codegen/macro_table.h"

#include "automation/conversions.h"
#include "automation/errors.h"

#include <array>
#include <cstddef>

namespace seg4::codegen {

namespace {

// Display names by position: the i-th macro of the code file takes macro row i, the k-th
// parameter (counted across all macros of one build) parameter row k. The code file that
// goes with the component lists SHOW_DIGIT with DIGIT, VALUE and DECIMAL_PT in this order.
constexpr std::array<std::int16_t, 1> kMacroRows{
    115, // "ShowDigit"
};
constexpr std::array<std::int16_t, 3> kParameterRows{
    39,  // "Digit"
    137, // "Value"
    37,  // "DecimalPoint"
};
constexpr std::int16_t kDescriptionText = 61; // "LED7SEG4"

constexpr std::int32_t kTrue = -1;
constexpr std::int32_t kFalse = 0;

/// The localised text of a relative identifier; a failed lookup fails the build.
std::u16string displayText(Language* language, std::int16_t textId) {
    if (!language) return {}; // a container that skipped Initialize: fall back to code names
    return toString(language->GetInternalResource(textId, false));
}

/// Numbered keys go to the key reader with one leading blank, which it ignores.
std::u16string numberedKey(std::int32_t n) { return u" " + decimal(n); }

bool inTable(const std::vector<RSMacro>& table, std::int32_t id) {
    return id >= 0 && static_cast<std::size_t>(id) < table.size();
}

} // namespace

void buildMacroTable(Led7Seg4State& state, const KeyReader& entry, const Report& showMessage) {
    Language* language = state.m_oLanguage.get();

    const std::int16_t macroCount = toInteger(Variant::string(entry(u"MacroNames", u"Count", u"0")));
    state.m_iMacroCount = macroCount;

    if (macroCount >= 1) {
        // A build that finds macros replaces the whole table; what it has made stays when it
        // stops part-way.
        state.m_Macros.emplace(static_cast<std::size_t>(macroCount));
        state.m_macrosMade = 0;
        std::vector<RSMacro>& macros = *state.m_Macros;
        std::size_t parameterRow = 0;

        for (std::int32_t i = 1; i <= macroCount; ++i) {
            const std::u16string code = entry(u"MacroNames", numberedKey(i), u"");
            const std::u16string returns = entry(u"MacroReturns", numberedKey(i), u"void");
            const bool isPrivate = toBoolean(Variant::string(entry(u"MacroIsPrivate", numberedKey(i), u"0")));
            const bool isFunction = returns != u"void"; // exact: "Void" makes a function
            if (code.empty()) showMessage(u"Error: Macro " + decimal(i) + u" is missing from the code file!");

            RSMacro& macro = macros[static_cast<std::size_t>(i - 1)];
            macro = RSMacro{};
            state.m_macrosMade = static_cast<std::size_t>(i);
            const auto macroRow = static_cast<std::size_t>(i - 1);
            if (macroRow >= kMacroRows.size()) raise(hr::SubscriptOutOfRange);
            std::u16string display = displayText(language, kMacroRows[macroRow]);
            if (display.empty()) display = code;
            macro.MacroName = display + u"|" + code + u"|" + returns;
            macro.IsFunction = isFunction;
            macro.IsPrivate = isPrivate;

            const std::u16string parameterSection = u"MacroParameters_" + code;
            const std::u16string typeSection = u"MacroParamTypes_" + code;
            const std::int16_t parameterCount =
                toInteger(Variant::string(entry(parameterSection, u"Count", u"0")));
            if (parameterCount == 0) {
                macro.MacroParams = Variant::emptyArray(VarType::Variant);
                continue;
            }
            // A negative count asks for an array of negative length, which cannot be made.
            if (parameterCount < 0) raise(hr::SubscriptOutOfRange);

            std::vector<Variant> parameters(static_cast<std::size_t>(parameterCount), Variant::string(u""));
            for (std::int32_t j = 1; j <= parameterCount; ++j) {
                const std::u16string name = entry(parameterSection, numberedKey(j), u"");
                const std::u16string type = entry(typeSection, numberedKey(j), u"char");
                if (name.empty())
                    showMessage(u"Error: Parameter " + decimal(i) + u"." + decimal(j) +
                                u" is missing from the code file!");
                if (parameterRow >= kParameterRows.size()) raise(hr::SubscriptOutOfRange);
                std::u16string parameterDisplay = displayText(language, kParameterRows[parameterRow]);
                if (parameterDisplay.empty()) parameterDisplay = name;
                parameters[static_cast<std::size_t>(j - 1)] =
                    Variant::string(parameterDisplay + u"|" + name + u"|" + type);
                ++parameterRow;
            }
            // Only a complete list is stored: a parameter without a row leaves the macro with none.
            macro.MacroParams = Variant::array(VarType::String, 0, std::move(parameters));
        }
    }

    std::u16string description = displayText(language, kDescriptionText);
    state.m_sDescription = description.empty() ? std::u16string(u"LED7SEG4") : std::move(description);
}

const std::vector<RSMacro>& macroTable(const Led7Seg4State& state) {
    // Without a table there is no index range to test an ID against.
    if (!state.m_Macros) raise(hr::SubscriptOutOfRange);
    return *state.m_Macros;
}

const std::vector<RSMacro>& macroRecords(const Led7Seg4State& state) {
    const std::vector<RSMacro>& table = macroTable(state);
    // Every slot is read: the first one a stopped build left empty has no record to read.
    if (state.m_macrosMade < table.size()) raise(hr::ObjectVariableNotSet);
    return table;
}

const std::vector<RSMacro>& macroRecords(const Led7Seg4State& state, std::int32_t lMacroID) {
    const std::vector<RSMacro>& table = macroTable(state);
    // Outside the table the members answer neutrally; inside it, an empty slot has no record.
    if (inTable(table, lMacroID) && static_cast<std::size_t>(lMacroID) >= state.m_macrosMade)
        raise(hr::ObjectVariableNotSet);
    return table;
}

Variant macroNames(const std::vector<RSMacro>& table) {
    std::vector<Variant> names;
    names.reserve(table.size());
    for (const RSMacro& macro : table) names.push_back(Variant::string(macro.MacroName));
    return Variant::array(VarType::String, 0, std::move(names));
}

std::int32_t macroIsFunction(const std::vector<RSMacro>& table, std::int32_t lMacroID) {
    if (!inTable(table, lMacroID)) return kFalse;
    return table[static_cast<std::size_t>(lMacroID)].IsFunction ? kTrue : kFalse;
}

std::int32_t macroIsPrivate(const std::vector<RSMacro>& table, std::int32_t lMacroID) {
    if (!inTable(table, lMacroID)) return kFalse;
    return table[static_cast<std::size_t>(lMacroID)].IsPrivate ? kTrue : kFalse;
}

Variant macroParameters(const std::vector<RSMacro>& table, std::int32_t lMacroID) {
    if (!inTable(table, lMacroID)) return Variant();
    return table[static_cast<std::size_t>(lMacroID)].MacroParams;
}

std::u16string macroBlockName(const std::vector<RSMacro>& table, std::int32_t lMacroID) {
    if (!inTable(table, lMacroID)) return {};
    // The block is named after the code name, the second of "display|code|returns"; a name
    // with one bar gives its first part, a name without bars is used whole.
    std::u16string name = table[static_cast<std::size_t>(lMacroID)].MacroName;
    if (const std::size_t bar = name.find(u'|'); bar != std::u16string::npos) {
        const std::u16string rest = name.substr(bar + 1);
        const std::size_t second = rest.find(u'|');
        name = second != std::u16string::npos ? rest.substr(0, second) : name.substr(0, bar);
    }
    return u"Macro_" + name;
}

} // namespace seg4::codegen
