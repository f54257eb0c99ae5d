// The combo control's font as one line of text, the form its "Font" entry takes in a property bag.
//
// "points;bold;italic;underline;strikethrough;charset;face": the point size in decimal with a
// dot, the four flags as 1 or 0, the character set 0..255, and the face name last, so that a
// face may hold any character, ';' included. Example: "8.25;0;0;0;0;0;MS Sans Serif".
#pragma once

#include "platform/combo_window.h"

#include <optional>
#include <string>
#include <string_view>

namespace seg4 {

std::u16string comboFontToText(const ComboFont& font);

/// The font a text describes; empty optional for a text that is damaged (a field missing or out
/// of range, a point size that is not a positive number up to 1638, an empty face).
std::optional<ComboFont> comboFontFromText(std::u16string_view text);

} // namespace seg4
