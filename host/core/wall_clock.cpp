#include "core/wall_clock.h"

#include <atomic>
#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "core/console.h"
#include "core/world.h"

namespace vhost {
namespace {

std::atomic<bool> routed{false};
const WallClock* currentClock = nullptr;
const World* currentWorld = nullptr;

bool LocalTime(std::time_t time, std::tm& out) {
#if defined(_WIN32)
    return localtime_s(&out, &time) == 0;
#else
    return localtime_r(&time, &out) != nullptr;
#endif
}

}  // namespace

void WallClock::Follow(std::time_t wall, double virtualNow) {
    following_ = true;
    wall_ = wall;
    virtualBase_ = virtualNow;
}

std::optional<std::time_t> WallClock::At(double virtualNow) const {
    if (!following_) return std::nullopt;
    // Whole seconds since the moment was set; the virtual clock never goes back.
    return wall_ + static_cast<std::time_t>(std::floor(virtualNow - virtualBase_));
}

bool ToTimeT(const console::WallTime& local, std::time_t& out) {
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;  // let the zone decide
    const std::time_t time = std::mktime(&fields);
    if (time == static_cast<std::time_t>(-1)) return false;
    // A time that a daylight-saving change skips comes back moved: refuse it.
    std::tm back{};
    if (!LocalTime(time, back)) return false;
    if (back.tm_year != fields.tm_year || back.tm_mon != local.month - 1 || back.tm_mday != local.day ||
        back.tm_hour != local.hour || back.tm_min != local.minute) {
        return false;
    }
    out = time;
    return true;
}

bool NextTimeOfDay(std::time_t now, const console::WallTime& timeOfDay, int daysAhead, std::time_t& out) {
    std::tm today{};
    if (!LocalTime(now, today)) return false;
    for (int dayAhead = daysAhead; dayAhead < daysAhead + 3; ++dayAhead) {
        std::tm fields = today;
        fields.tm_mday += dayAhead;
        fields.tm_hour = timeOfDay.hour;
        fields.tm_min = timeOfDay.minute;
        fields.tm_sec = timeOfDay.second;
        fields.tm_isdst = -1;
        const std::time_t time = std::mktime(&fields);
        if (time != static_cast<std::time_t>(-1) && time > now) {
            out = time;
            return true;
        }
    }
    return false;
}

std::string FormatLocal(std::time_t time) {
    std::tm fields{};
    if (!LocalTime(time, fields)) return fmt::format("{} s after the epoch", static_cast<long long>(time));
    return fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}", fields.tm_year + 1900, fields.tm_mon + 1,
                       fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec);
}

std::time_t RealTime() {
    // The system clock reads clock_gettime on Linux, never time().
    return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
}

void SetCurrentWallClock(const WallClock* clock, const World* world) {
    currentClock = clock;
    currentWorld = world;
}

std::optional<std::time_t> CurrentWallTime() {
    if (currentClock == nullptr || currentWorld == nullptr) return std::nullopt;
    return currentClock->At(currentWorld->Now());
}

void MarkTimeRouted() { routed = true; }
bool TimeIsRouted() { return routed; }

}  // namespace vhost
