// The world's clock and its one event queue: timers and world changes in due order, frames
// drawn in time order with them.
#include "core/world.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace vhost {
namespace {

using ::testing::ElementsAre;

// Records frames (with the clock at each) and can be told to draw or not.
class RecordingDrawer : public FrameDrawer {
public:
    explicit RecordingDrawer(World& world, bool wants = true) : world_(world), wants_(wants) {}
    bool WantsFrames() override { return wants_; }
    void DrawFrame() override { times.push_back(world_.Now()); }
    std::vector<double> times;

private:
    World& world_;
    bool wants_;
};

class WorldTest : public ::testing::Test {
protected:
    // Queues an event that records its name and the clock when it runs.
    void Record(double delay, const std::string& name, World::EventKind kind = World::EventKind::Timer) {
        world.Schedule(delay, kind, [this, name] { log.push_back(name + "@" + Time(world.Now())); });
    }
    static std::string Time(double t) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", t);
        return text;
    }

    World world;
    RecordingDrawer noFrames{world, false};
    std::vector<std::string> log;
};

TEST_F(WorldTest, EqualDueTimesRunInTheOrderTheyWereSet) {
    Record(2.0, "timer-a");
    Record(2.0, "change", World::EventKind::WorldChange);
    Record(1.0, "early");
    Record(2.0, "timer-b");
    world.Advance(5.0, noFrames);
    EXPECT_THAT(log, ElementsAre("early@1", "timer-a@2", "change@2", "timer-b@2"));
    EXPECT_EQ(world.Now(), 5.0);
}

TEST_F(WorldTest, ATimerSetInsideATimerIsDueFromThatTimersTime) {
    world.Schedule(1.5, World::EventKind::Timer, [this] {
        log.push_back("outer@" + Time(world.Now()));
        Record(1.0, "inner");
        Record(0.0, "now");
    });
    Record(2.5, "set-before");
    world.Advance(2.0, noFrames);
    EXPECT_THAT(log, ElementsAre("outer@1.5", "now@1.5"));
    world.Advance(1.0, noFrames);
    // Equal due time 2.5: the one set first (before the outer timer ran) goes first.
    EXPECT_THAT(log, ElementsAre("outer@1.5", "now@1.5", "set-before@2.5", "inner@2.5"));
}

TEST_F(WorldTest, AnEventDueExactlyAtTheEndOfAWaitRunsWithinIt) {
    Record(3.0, "edge");
    world.Advance(2.9, noFrames);
    EXPECT_TRUE(log.empty());
    world.Advance(0.1, noFrames);
    EXPECT_THAT(log, ElementsAre("edge@3"));
}

TEST_F(WorldTest, ManySmallWaitsMeetATimerExactly) {
    Record(1.0, "one-second");
    for (int i = 0; i < 10; ++i) world.Advance(0.1, noFrames);
    EXPECT_THAT(log, ElementsAre("one-second@1"));
    EXPECT_EQ(world.Now(), 1.0);
}

TEST_F(WorldTest, ZeroNegativeAndNanDelaysAreDueNowAndRunAtTheNextWait) {
    Record(0.0, "zero");
    Record(-4.0, "negative");
    Record(std::nan(""), "nan");
    EXPECT_TRUE(log.empty());
    world.Advance(0.0, noFrames);
    EXPECT_THAT(log, ElementsAre("zero@0", "negative@0", "nan@0"));
}

TEST_F(WorldTest, AnInfiniteDelayStaysPendingWithoutStallingTheClock) {
    Record(std::numeric_limits<double>::infinity(), "never");
    Record(1.0, "soon");
    world.Advance(10.0, noFrames);
    EXPECT_THAT(log, ElementsAre("soon@1"));
    EXPECT_EQ(world.PendingEvents(World::EventKind::Timer), 1u);
    EXPECT_TRUE(std::isinf(*world.NextDue()));
    world.ClearEvents();
    EXPECT_EQ(world.PendingEvents(World::EventKind::Timer), 0u);
}

TEST_F(WorldTest, SixtyFramesASecondWhateverTheWaitSizes) {
    RecordingDrawer drawer(world);
    world.Advance(1.0, drawer);
    EXPECT_EQ(drawer.times.size(), 60u);
    EXPECT_NEAR(drawer.times.front(), 1.0 / 60.0, 1e-9);
    EXPECT_EQ(drawer.times.back(), 1.0);
    for (int i = 0; i < 4; ++i) world.Advance(0.25, drawer);
    EXPECT_EQ(drawer.times.size(), 120u);
    world.Advance(0.001, drawer);  // shorter than a frame
    EXPECT_EQ(drawer.times.size(), 120u);
    EXPECT_EQ(world.FramesDrawn(), 120u);
}

TEST_F(WorldTest, FramesAndEventsInterleaveInTimeOrderEventsFirstAtEqualTimes) {
    std::vector<std::string> order;
    class Drawer : public FrameDrawer {
    public:
        explicit Drawer(std::vector<std::string>& out) : out_(out) {}
        bool WantsFrames() override { return true; }
        void DrawFrame() override { out_.push_back("frame"); }

    private:
        std::vector<std::string>& out_;
    } drawer(order);
    world.Schedule(1.0 / 60.0, World::EventKind::WorldChange, [&] { order.push_back("change"); });
    world.Schedule(0.02, World::EventKind::Timer, [&] { order.push_back("timer"); });
    world.Advance(2.0 / 60.0, drawer);
    EXPECT_THAT(order, ElementsAre("change", "frame", "timer", "frame"));
}

TEST_F(WorldTest, FramesAreCountedEvenWhenNothingDraws) {
    Record(0.5, "half");
    world.Advance(2.0, noFrames);
    EXPECT_EQ(world.FramesDrawn(), 120u);
    EXPECT_THAT(log, ElementsAre("half@0.5"));
}

TEST_F(WorldTest, TheRatingServiceAnswersWhatWasSetAndZeroOtherwise) {
    EXPECT_EQ(world.Rating(11).mmr, 0.0f);
    EXPECT_EQ(world.Rating(11).rank.Tier, 0);
    world.SetRating(11, 1000.5f, SkillRank{10, 2, 0});
    world.SetRating(11, 990.0f, std::nullopt);  // without a rank: the rank record stays
    EXPECT_EQ(world.Rating(11).mmr, 990.0f);
    EXPECT_EQ(world.Rating(11).rank.Tier, 10);
    EXPECT_EQ(world.Rating(11).rank.Division, 2);
    EXPECT_EQ(world.Rating(13).mmr, 0.0f);
}

}  // namespace
}  // namespace vhost
