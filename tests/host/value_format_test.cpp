// Answers print on one line in the script's literal style, so they can be pasted back.
#include "views/value_format.h"

#include <gtest/gtest.h>

namespace qhost {
namespace {

using seg4::Variant;
using seg4::VarType;

TEST(ValueFormat, ScalarsCarryTheirTypeInTheirSpelling) {
    struct Row {
        Variant value;
        const char* text;
    };
    const Row rows[] = {
        {Variant(), "Empty"},
        {Variant::null(), "Null"},
        {Variant::i4(-12), "-12"},
        {Variant::i2(0), "0%"},
        {Variant::ui1(7), "CByte(7)"},
        {Variant::boolean(true), "True"},
        {Variant::r8(2.0), "2#"},
        {Variant::r8(1.5), "1.5"},
        {Variant::string(u"Anode 3"), "\"Anode 3\""},
        {Variant::string(u"say \"hi\""), "\"say \"\"hi\"\"\""},
        {Variant::string(u""), "\"\""},
        {Variant::string(u"//Error\r\n"), "\"//Error\" & vbCrLf"},
        {Variant::string(u"\ta\nb\x01"), "vbTab & \"a\" & vbLf & \"b\" & Chr(1)"},
    };
    for (const Row& r : rows) EXPECT_EQ(formatValue(r.value), r.text);
}

TEST(ValueFormat, ArraysShowElementTypeBoundsAndEveryElement) {
    EXPECT_EQ(
        formatValue(Variant::array(VarType::Bool, 0, {Variant::boolean(true), Variant::boolean(false)})),
        "Boolean(0 To 1) {-1, 0}");
    EXPECT_EQ(formatValue(Variant::array(VarType::UI1, 0, {Variant::ui1(0)})), "Byte(0 To 0) {0}");
    EXPECT_EQ(formatValue(Variant::emptyArray(VarType::Variant)), "Variant(0 To -1) {}");
    EXPECT_EQ(formatValue(Variant::noArray(VarType::I4)), "Long() (no array)");
    EXPECT_EQ(formatValue(Variant::array(VarType::Variant, 1, {Variant::i2(1), Variant::string(u"x")})),
              "Variant(1 To 2) {1%, \"x\"}");
}

} // namespace
} // namespace qhost
