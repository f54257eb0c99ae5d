// Values printed as the runtime prints them: doubles, singles, currency, dates and Booleans. The
// Wine stage compares them with the platform on generated values; these are the edges it does
// not generate.
#include "automation/conversions.h"
#include "automation/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace seg4 {
namespace {

TEST(NumberText, FifteenDigitsForDoublesSevenForSinglesFourDecimalsForCurrency) {
    const std::pair<Variant, const char16_t*> rows[] = {
        {Variant::r8(1e100), u"1E+100"},
        {Variant::r8(std::numeric_limits<double>::max()), u"1.79769313486232E+308"},
        {Variant::r8(std::numeric_limits<double>::denorm_min()), u"4.94065645841247E-324"},
        {Variant::r8(-0.0), u"0"},
        {Variant::r8(0.30000000000000004), u"0.3"},
        {Variant::r8(999999999999999.9), u"1E+15"},
        {Variant::r8(1000000000000005.0), u"1.00000000000001E+15"}, // an exact tie rounds away from zero
        {Variant::r8(-INFINITY), u"-INF"},
        {Variant::r8(NAN), u"NAN"},
        {Variant::r4(16777216.0f), u"1.677722E+07"},
        {Variant::r4(69983.125f), u"69983.13"},
        {Variant::currency(std::numeric_limits<std::int64_t>::min()), u"-922337203685477.5808"},
        {Variant::boolean(true), u"True"},
        {Variant::boolean(false), u"False"},
        {Variant::ui8(18446744073709551615ULL), u"18446744073709551615"},
    };
    for (const auto& [value, text] : rows) {
        EXPECT_EQ(toString(value), text) << toUtf8(text);
        EXPECT_EQ(changeType(value, VarType::String, kChangeAlphaBool).asString(), text) << toUtf8(text);
    }
}

TEST(DateText, DateTimeOrBothToTheSecond) {
    const std::pair<double, const char16_t*> rows[] = {
        {0.0, u"12:00:00 AM"},
        {36526.0, u"1/1/2000"},
        {-1.5, u"12/29/1899 12:00:00 PM"},
        {2958465.9999, u"12/31/9999 11:59:51 PM"},
        {36526.99999999, u"1/2/2000 12:00:00 AM"}, // rounds into the next day
        {60.0, u"2/28/1900"},
        {61.0, u"3/1/1900"}, // no 29 February 1900
    };
    for (auto [day, text] : rows) EXPECT_EQ(toString(Variant::date(day)), text) << day;
    for (double bad : {2958466.0, -657435.0, double(NAN)})
        EXPECT_THROW(toString(Variant::date(bad)), ComError) << bad;
}

} // namespace
} // namespace seg4
