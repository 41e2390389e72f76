// The local time the plug-in reads. By default it is the real time. Told a moment (by
// --clock or the `clock` command) it reads that moment and follows the virtual clock from
// there, so a script of several evenings writes a log of several days.
//
// The plug-in reads the time through the C library's time(). On Linux vantrel-host defines
// time() itself (time_override.cpp) and exports it, so the module's calls bind to it; that
// definition asks CurrentWallTime(). Programs that only link the host core (the tests) keep
// the C library's time(): there TimeIsRouted() is false and the clock cannot be set.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace vhost {

namespace console {
struct WallTime;
}
class World;

class WallClock {
public:
    // From virtual second `virtualNow` on, the local time reads `wall` plus the virtual
    // seconds that pass.
    void Follow(std::time_t wall, double virtualNow);
    bool Following() const { return following_; }
    // What time() returns at virtual second `virtualNow`; none: the real time.
    std::optional<std::time_t> At(double virtualNow) const;

private:
    bool following_ = false;
    std::time_t wall_ = 0;
    double virtualBase_ = 0.0;
};

// A local date and time as seconds since the epoch, as mktime reads it in this process's
// time zone; false for a time the zone skips or cannot represent.
bool ToTimeT(const console::WallTime& local, std::time_t& out);
// The next moment after `now` whose local time of day is that of `timeOfDay`, on the day
// of `now` or later (daysAhead 0), or on a day at least `daysAhead` days later.
bool NextTimeOfDay(std::time_t now, const console::WallTime& timeOfDay, int daysAhead, std::time_t& out);
// "YYYY-MM-DD HH:MM:SS" in local time, as the plug-in's log writes it.
std::string FormatLocal(std::time_t time);
// The real time, read without time() (which may be ours).
std::time_t RealTime();

// The clock that time() follows: the live Host's, or none. Only the game thread sets it.
void SetCurrentWallClock(const WallClock* clock, const World* world);
// What time() returns now: the virtual local time, or none for the real time.
std::optional<std::time_t> CurrentWallTime();

// Called once by a program whose time() asks CurrentWallTime().
void MarkTimeRouted();
bool TimeIsRouted();

}  // namespace vhost
