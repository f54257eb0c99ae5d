// What a display holds: the state every subsystem of the control works on.
#pragma once

#include "localisation/language.h"
#include "model/records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace seg4 {

/// The control's state, in the order the control declares it.
struct Led7Seg4State {
    std::int16_t iVersionMajor = 0;
    std::int16_t iVersionMinor = 0;
    std::int32_t m_lPinCount = 0;
    std::int32_t m_lCommonAnode = 0;
    std::int32_t m_lLEDColour = 0;
    std::int32_t m_lLastColour = 0;
    std::int32_t m_lLEDSize = 0;
    std::int32_t m_lLastSize = 0;
    std::int16_t m_iMacroCount = 0;
    std::optional<std::vector<RSMacro>> m_Macros; // absent until a build finds a macro
    // How many slots of m_Macros, from the first, hold a record: a build that stops part-way
    // leaves the slots after the last record it made empty.
    std::size_t m_macrosMade = 0;
    bool m_bSimulating = false;
    bool m_bHasSimulated = false;
    std::optional<std::vector<RSPin>> m_Pins; // absent until InitProperties
    std::u16string m_sDescription;
    std::u16string m_sInitCode;
    std::u16string m_sInterruptCode;
    // m_lExclusiveInts: a Long array that is never filled (ExclusiveInterrupts answers it).
    bool m_bHasExclusiveInts = false;
    std::unique_ptr<Language> m_oLanguage;
    std::u16string m_sCodeFile;
};

} // namespace seg4
