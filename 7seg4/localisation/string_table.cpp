// PLACEHOLDER until the generated multilingual table lands: the English block only.
#include "localisation/string_table.h"

#include <map>

namespace seg4 {

std::optional<std::u16string> builtInString(std::uint32_t absoluteId) {
    static const std::map<std::uint32_t, std::u16string> english{
        {210, u"Anode 0"},      {211, u"Anode 1"},   {212, u"Anode 2"},   {213, u"Anode 3"},
        {305, u"Segment A"},    {306, u"Segment B"}, {307, u"Segment C"}, {308, u"Segment D"},
        {310, u"Segment E"},    {311, u"Segment F"}, {312, u"Segment G"}, {309, u"Segment DP"},
        {261, u"LED7SEG4"},     {315, u"ShowDigit"}, {239, u"Digit"},     {337, u"Value"},
        {237, u"DecimalPoint"}, {260, u"LED7SEG1"},  {227, u"Color"},     {316, u"Size"},
        {298, u"Red"},          {245, u"Green"},     {348, u"Yellow"},    {218, u"Blue"}};
    auto it = english.find(absoluteId);
    if (it == english.end()) return std::nullopt;
    return it->second;
}

} // namespace seg4
