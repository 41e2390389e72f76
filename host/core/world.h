// The simulated game: the virtual clock, the one event queue for timers and world changes,
// the frames drawn while the clock moves, the rating service and the game state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

#include <pluginsdk/types.h>

namespace vhost {

// Draws the frames that fall inside a wait.
class FrameDrawer {
public:
    virtual ~FrameDrawer() = default;
    // False when nothing would be drawn: the frames are then only counted.
    virtual bool WantsFrames() = 0;
    virtual void DrawFrame() = 0;
};

struct RatingRecord {
    float mmr = 0.0f;
    SkillRank rank{};
};

struct GameState {
    bool inGame = false;
    bool online = true;
    int playlist = 0;
    int team = 0;
};

class World {
public:
    static constexpr int kFramesPerSecond = 60;

    enum class EventKind { Timer, WorldChange };

    // The clock in seconds. While an event runs it reads the event's due time; while a
    // frame is drawn, the frame's time.
    double Now() const { return now_; }

    // Queues `run` to happen `delaySeconds` from now. A negative or NaN delay counts as 0;
    // an infinite one never comes due (the event stays pending). Events due at the same
    // time run in the order they were queued.
    void Schedule(double delaySeconds, EventKind kind, std::function<void()> run);

    // Moves the clock forward by `seconds`, running every event due up to and including
    // the end, and drawing the frames (60 a second) in time order with them; at equal
    // times events run before the frame.
    void Advance(double seconds, FrameDrawer& drawer);

    std::size_t PendingEvents(EventKind kind) const;
    // Due time of the earliest pending event; infinity for one that never comes due.
    std::optional<double> NextDue() const;
    // Drops every pending event (and so every callable it holds).
    void ClearEvents() { queue_.clear(); }

    std::uint64_t FramesDrawn() const { return framesDrawn_; }

    // The rating service.
    void SetRating(int playlist, float mmr, const std::optional<SkillRank>& rank);
    RatingRecord Rating(int playlist) const;

    GameState& Game() { return game_; }
    const GameState& Game() const { return game_; }

private:
    struct Event {
        EventKind kind;
        std::function<void()> run;
    };
    using Key = std::pair<double, std::uint64_t>;  // due time, queue order

    double now_ = 0.0;
    std::uint64_t nextSequence_ = 0;
    std::map<Key, Event> queue_;
    std::uint64_t frameIndex_ = 0;  // the last frame slot passed: frame k is due at k/60 s
    std::uint64_t framesDrawn_ = 0;
    std::unordered_map<int, RatingRecord> ratings_;
    GameState game_;
};

}  // namespace vhost
