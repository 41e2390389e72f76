// The one calendar of vantrel-report: the log's local time stamps as seconds, split into
// their calendar fields and formatted, on std::chrono's civil calendar (proleptic
// Gregorian). No time zone anywhere: the log records local time and names none.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::report {

// A time stamp of the log as written: seconds from 1970-01-01 00:00:00 on the same
// calendar, with no time zone. File order, not these values, orders events: a clock or
// daylight-saving change can make them go back.
using LocalSeconds = std::int64_t;

// A local time split into its calendar fields.
struct CivilTime {
    int year = 1970;
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};
LocalSeconds ToLocalSeconds(const CivilTime& time);
CivilTime ToCivilTime(LocalSeconds seconds);

// The day a time falls on, and its first second.
std::chrono::sys_days DayOf(LocalSeconds seconds);
LocalSeconds StartOfDay(std::chrono::sys_days day);

// The date of a year, month and day given as numbers; none unless it exists (a 29
// February only in a leap year).
std::optional<std::chrono::sys_days> DateOf(int year, int month, int day);

// "YYYY-MM-DD HH:MM:SS", as the log writes it.
std::string FormatLocalTime(LocalSeconds seconds);
// "YYYY-MM-DD".
std::string FormatDate(LocalSeconds seconds);
// "HH:MM".
std::string FormatClock(LocalSeconds seconds);
// "Tue 5 Mar": a short day for a chart's axis.
std::string FormatShortDay(LocalSeconds seconds);
// "Sun" to "Sat".
std::string_view WeekdayName(std::chrono::weekday day);

}  // namespace vantrel::report
