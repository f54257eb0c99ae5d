// Values printed as the runtime prints them: doubles, singles, currency, dates and Booleans.
#include "automation/conversions.h"
#include "automation/errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace seg4 {
namespace {

TEST(DoubleText, FifteenDigitsInTheShortestForm) {
    const std::pair<double, const char16_t*> rows[] = {
        {1e20, u"1E+20"},
        {0.1, u"0.1"},
        {-1.5e-7, u"-1.5E-07"},
        {1e15, u"1E+15"},
        {1e14, u"100000000000000"},
        {1234567890123456.0, u"1.23456789012346E+15"},
        {0.0001, u"0.0001"},
        {0.00001, u"1E-05"},
        {1e100, u"1E+100"},
        {1e-100, u"1E-100"},
        {std::numeric_limits<double>::max(), u"1.79769313486232E+308"},
        {std::numeric_limits<double>::denorm_min(), u"4.94065645841247E-324"},
        {-0.0, u"0"},
        {0.30000000000000004, u"0.3"},
        {999999999999999.9, u"1E+15"},
        {12345.678901234567, u"12345.6789012346"},
        {1000000000000005.0, u"1.00000000000001E+15"}, // an exact tie rounds away from zero
        {-32768.0, u"-32768"},
        {INFINITY, u"INF"},
        {-INFINITY, u"-INF"},
        {NAN, u"NAN"},
    };
    for (auto [value, text] : rows) {
        SCOPED_TRACE(value);
        EXPECT_EQ(toString(Variant::r8(value)), text);
        EXPECT_EQ(changeType(Variant::r8(value), VarType::String).asString(), text);
    }
}

TEST(SingleText, SevenDigitsWithTiesAwayFromZero) {
    const std::pair<float, const char16_t*> rows[] = {
        {0.1f, u"0.1"},
        {1e20f, u"1E+20"},
        {16777216.0f, u"1.677722E+07"},
        {3.14159265f, u"3.141593"},
        {69983.125f, u"69983.13"},
        {8386600.5f, u"8386601"},
        {-468749.25f, u"-468749.3"},
    };
    for (auto [value, text] : rows) EXPECT_EQ(toString(Variant::r4(value)), text) << value;
}

TEST(CurrencyText, UpToFourDecimals) {
    const std::pair<std::int64_t, const char16_t*> rows[] = {
        {15000, u"1.5"},
        {1, u"0.0001"},
        {-1, u"-0.0001"},
        {0, u"0"},
        {123456789, u"12345.6789"},
        {std::numeric_limits<std::int64_t>::max(), u"922337203685477.5807"},
        {std::numeric_limits<std::int64_t>::min(), u"-922337203685477.5808"},
    };
    for (auto [scaled, text] : rows) EXPECT_EQ(toString(Variant::currency(scaled)), text) << scaled;
}

TEST(DateText, DateTimeOrBothToTheSecond) {
    const std::pair<double, const char16_t*> rows[] = {
        {0.0, u"12:00:00 AM"},
        {36526.0, u"1/1/2000"},
        {36526.5, u"1/1/2000 12:00:00 PM"},
        {0.75, u"6:00:00 PM"},
        {-1.0, u"12/29/1899"},
        {-1.5, u"12/29/1899 12:00:00 PM"},
        {1.25, u"12/31/1899 6:00:00 AM"},
        {2958465.0, u"12/31/9999"},
        {2958465.9999, u"12/31/9999 11:59:51 PM"},
        {-657434.0, u"1/1/100"},
        {36526.0000057, u"1/1/2000 12:00:00 AM"},
        {36526.99999999, u"1/2/2000 12:00:00 AM"}, // rounds into the next day
        {60.0, u"2/28/1900"},
        {61.0, u"3/1/1900"}, // no 29 February 1900
        {36585.0, u"2/29/2000"},
    };
    for (auto [day, text] : rows) EXPECT_EQ(toString(Variant::date(day)), text) << day;
    for (double bad : {2958466.0, -657435.0, 1e300, double(NAN)})
        EXPECT_THROW(toString(Variant::date(bad)), ComError) << bad;
}

TEST(OtherText, BooleansIntegersAndStrings) {
    EXPECT_EQ(toString(Variant::boolean(true)), u"True");
    EXPECT_EQ(toString(Variant::boolean(false)), u"False");
    EXPECT_EQ(toString(Variant::i8(-9223372036854775807LL)), u"-9223372036854775807");
    EXPECT_EQ(toString(Variant::ui8(18446744073709551615ULL)), u"18446744073709551615");
    EXPECT_EQ(toString(Variant::string(u"as is \u00E9")), u"as is \u00E9");
}

TEST(Utf8, RoundTripsAndReplacesInvalidSequences) {
    const std::u16string text = u"A\u00E9\u20AC\U0001F600";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    const std::pair<std::string, std::u16string> bad[] = {
        {"\xC0\xAF", u"\uFFFD\uFFFD"},           // overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate
        {"a\xE2\x82", u"a\uFFFD\uFFFD"},         // cut short
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    };
    for (const auto& [bytes, expected] : bad) EXPECT_EQ(fromUtf8(bytes), expected);
    EXPECT_EQ(toUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

} // namespace
} // namespace seg4
