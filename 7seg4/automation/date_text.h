// Automation dates as text, in the runtime's English (United States) format.
#pragma once

#include <string>

namespace seg4::datetext {

/// The first and last day an automation date may hold: 1 January 100 and 31 December 9999.
inline constexpr double kFirstDay = -657434.0;
inline constexpr double kLastDay = 2958465.0;

/// `date` (days since 30 December 1899, fraction = time of day) as "M/d/yyyy h:mm:ss AM": the
/// date alone for a whole day, the time alone within a day of day zero, both otherwise. Times
/// are rounded to the second. Dates outside kFirstDay..kLastDay (and NaN) fail with
/// ComError(hr::InvalidArgument).
std::u16string formatDate(double date);

} // namespace seg4::datetext
