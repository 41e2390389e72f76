#include "core/world.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vhost {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Times are kept to the nanosecond, so that sums such as ten waits of 0.1 s meet a
// timer due at 1 s exactly.
double Quantize(double seconds) {
    if (!std::isfinite(seconds) || std::abs(seconds) > 1e9) return seconds;
    return std::round(seconds * 1e9) / 1e9;
}

// Frame k is due at k/60 s, on the same nanosecond grid as the events.
double FrameTime(std::uint64_t index) {
    return Quantize(static_cast<double>(index) / static_cast<double>(World::kFramesPerSecond));
}

// The last frame slot whose time is at or before `limit` (strictly before when `strict`).
std::uint64_t LastFrameUpTo(double limit, bool strict) {
    if (limit <= 0.0) return 0;
    auto index = static_cast<std::uint64_t>(std::floor(limit * World::kFramesPerSecond));
    const auto fits = [&](std::uint64_t k) { return strict ? FrameTime(k) < limit : FrameTime(k) <= limit; };
    while (index > 0 && !fits(index)) --index;
    while (fits(index + 1)) ++index;
    return index;
}

}  // namespace

void World::Schedule(double delaySeconds, EventKind kind, std::function<void()> run) {
    if (std::isnan(delaySeconds) || delaySeconds < 0.0) delaySeconds = 0.0;
    const double due = std::isinf(delaySeconds) ? kInfinity : Quantize(now_ + delaySeconds);
    queue_.emplace(Key{due, nextSequence_++}, Event{kind, std::move(run)});
}

void World::Advance(double seconds, FrameDrawer& drawer) {
    if (std::isnan(seconds) || seconds < 0.0) seconds = 0.0;
    const double end = Quantize(now_ + seconds);
    for (;;) {
        const double nextEvent = queue_.empty() ? kInfinity : queue_.begin()->first.first;
        const double nextFrame = FrameTime(frameIndex_ + 1);
        if (nextEvent <= end && nextEvent <= nextFrame) {
            auto node = queue_.extract(queue_.begin());
            if (nextEvent > now_) now_ = nextEvent;
            // The event leaves the queue before it runs: it may queue others, even for now.
            node.mapped().run();
            continue;
        }
        if (nextFrame > end) break;
        if (!drawer.WantsFrames()) {
            // Nothing to draw: count the frames up to the next event (or the end) at once.
            const std::uint64_t last =
                std::max(frameIndex_ + 1,
                         nextEvent <= end ? LastFrameUpTo(nextEvent, /*strict=*/true) : LastFrameUpTo(end, false));
            framesDrawn_ += last - frameIndex_;
            frameIndex_ = last;
            now_ = FrameTime(last);
            continue;
        }
        ++frameIndex_;
        now_ = nextFrame;
        ++framesDrawn_;
        drawer.DrawFrame();
    }
    now_ = end;
}

std::size_t World::PendingEvents(EventKind kind) const {
    std::size_t count = 0;
    for (const auto& entry : queue_) count += entry.second.kind == kind ? 1 : 0;
    return count;
}

std::optional<double> World::NextDue() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.begin()->first.first;
}

void World::SetRating(int playlist, float mmr, const std::optional<SkillRank>& rank) {
    RatingRecord& record = ratings_[playlist];
    record.mmr = mmr;
    if (rank) record.rank = *rank;
}

RatingRecord World::Rating(int playlist) const {
    const auto found = ratings_.find(playlist);
    return found == ratings_.end() ? RatingRecord{} : found->second;
}

}  // namespace vhost
