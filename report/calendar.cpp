// Conversions between the log's seconds and calendar fields, through std::chrono's
// sys_days and year_month_day.
#include "calendar.h"

#include <array>

#include <fmt/compile.h>
#include <fmt/format.h>

namespace vantrel::report {
namespace {

constexpr LocalSeconds kSecondsPerDay = 86400;

constexpr std::array<std::string_view, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::chrono::sys_days DayOf(LocalSeconds seconds) {
    return std::chrono::floor<std::chrono::days>(std::chrono::sys_seconds{std::chrono::seconds{seconds}});
}

LocalSeconds StartOfDay(std::chrono::sys_days day) {
    return std::int64_t{day.time_since_epoch().count()} * kSecondsPerDay;
}

std::optional<std::chrono::sys_days> DateOf(int year, int month, int day) {
    using namespace std::chrono;
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok()) return std::nullopt;
    return sys_days{date};
}

LocalSeconds ToLocalSeconds(const CivilTime& t) {
    using namespace std::chrono;
    // A day past the month's end counts on into the next month, as the fields add up.
    const sys_days first{std::chrono::year{t.year} / std::chrono::month{static_cast<unsigned>(t.month)} / 1};
    return StartOfDay(first + days{t.day - 1}) + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime ToCivilTime(LocalSeconds seconds) {
    const std::chrono::sys_days day = DayOf(seconds);
    const std::chrono::year_month_day date{day};
    const LocalSeconds rest = seconds - StartOfDay(day);
    CivilTime t;
    t.year = static_cast<int>(date.year());
    t.month = static_cast<int>(static_cast<unsigned>(date.month()));
    t.day = static_cast<int>(static_cast<unsigned>(date.day()));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

std::string FormatLocalTime(LocalSeconds seconds) {
    const CivilTime t = ToCivilTime(seconds);
    return fmt::format(FMT_COMPILE("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}"), t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

std::string FormatDate(LocalSeconds seconds) {
    const CivilTime t = ToCivilTime(seconds);
    return fmt::format(FMT_COMPILE("{:04d}-{:02d}-{:02d}"), t.year, t.month, t.day);
}

std::string FormatClock(LocalSeconds seconds) {
    const CivilTime t = ToCivilTime(seconds);
    return fmt::format(FMT_COMPILE("{:02d}:{:02d}"), t.hour, t.minute);
}

std::string FormatShortDay(LocalSeconds seconds) {
    const CivilTime t = ToCivilTime(seconds);
    return fmt::format("{} {} {}", WeekdayName(std::chrono::weekday{DayOf(seconds)}), t.day, kMonths[t.month - 1]);
}

std::string_view WeekdayName(std::chrono::weekday day) { return kWeekdays[day.c_encoding()]; }

}  // namespace vantrel::report
