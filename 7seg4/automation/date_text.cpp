// Automation dates as text, in the runtime's English (United States) format.
#include "automation/date_text.h"

#include "automation/errors.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace seg4::datetext {

namespace {

struct CivilDate {
    std::int64_t year;
    unsigned month, day;
};

// Day 0 is 30 December 1899 in the proleptic Gregorian calendar, which automation dates use.
CivilDate civilFromDayNumber(std::int64_t dayNumber) {
    // Days counted from 1 March of year 0, so that the leap day ends each 4-year cycle.
    const std::int64_t z = dayNumber + 693899; // 693899 days from 0000-03-01 to 1899-12-30
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

std::string twoDigits(unsigned v) { return (v < 10 ? "0" : "") + std::to_string(v); }

} // namespace

std::u16string formatDate(double date) {
    if (!(date > kFirstDay - 1.0 && date < kLastDay + 1.0)) raise(hr::InvalidArgument);
    // The day is the whole part towards zero; the time of day is the fraction's size, so that
    // -1.5 is noon of 29 December 1899.
    const double wholeDay = std::trunc(date);
    auto dayNumber = static_cast<std::int64_t>(wholeDay);
    const double fraction = std::fabs(date - wholeDay);
    const double seconds = fraction * 86400.0;
    auto second = static_cast<std::int64_t>(std::floor(seconds));
    if (seconds - static_cast<double>(second) > 0.5) ++second;
    if (second >= 86400) {
        second -= 86400;
        ++dayNumber;
    }

    const bool timeOnly = std::fabs(date) < 1.0;
    const bool dateOnly = !timeOnly && fraction == 0.0;
    std::string out;
    if (!timeOnly) {
        const CivilDate c = civilFromDayNumber(dayNumber);
        out = std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + std::to_string(c.year);
    }
    if (!dateOnly) {
        const auto hour = static_cast<unsigned>(second / 3600);
        const auto minute = static_cast<unsigned>(second / 60 % 60);
        const auto sec = static_cast<unsigned>(second % 60);
        const unsigned hour12 = hour % 12 == 0 ? 12 : hour % 12;
        if (!out.empty()) out += ' ';
        out += std::to_string(hour12) + ":" + twoDigits(minute) + ":" + twoDigits(sec) +
               (hour < 12 ? " AM" : " PM");
    }
    return std::u16string(out.begin(), out.end());
}

} // namespace seg4::datetext
