// The log follower on a real file: what it hands on as the file is appended to in pieces,
// cut short, replaced, deleted, or created late; and the live history fed by it against
// the batch report of the same bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "serve/follower.h"
#include <nlohmann/json.hpp>

#include "log_lines.h"
#include "outputs/insights_json.h"
#include "serve/live_history.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace vantrel::report;
using namespace vantrel::report::serve;
using ::testing::ElementsAre;

class FollowerTest : public ::testing::Test {
protected:
    void Append(const std::string& bytes) {
        std::ofstream(path_, std::ios::binary | std::ios::app) << bytes;
    }
    // Everything the follower said and handed on, in order: "+bytes", "restart", notes by name.
    LogFollower::Callbacks Record() {
        return {[this](std::string_view bytes) { said_.push_back("+" + std::string(bytes)); },
                [this] { said_.push_back("restart"); },
                [this](FollowNote note, const std::string&) {
                    static const char* names[] = {"waiting", "appeared", "gone", "replaced", "truncated", "failed"};
                    said_.push_back(names[static_cast<int>(note)]);
                }};
    }

    const vtest::TempDir temp_{"vantrel-follow"};
    const fs::path dir_ = temp_.path();
    const fs::path path_ = dir_ / "VantrelLog.txt";
    std::vector<std::string> said_;
};

TEST_F(FollowerTest, ReadsOnlyWhatIsAppendedAndWaitsForALateFile) {
    LogFollower follower(path_, Record());
    follower.Poll();
    follower.Poll();  // "waiting" is said once
    Append("line one\nline t");
    follower.Poll();
    follower.Poll();  // nothing new: nothing handed on
    Append("wo\r");
    follower.Poll();
    Append("\n");
    follower.Poll();
    EXPECT_THAT(said_, ElementsAre("waiting", "appeared", "+line one\nline t", "+wo\r", "+\n"));
    EXPECT_EQ(follower.offset(), 19u);
}

TEST_F(FollowerTest, StartsOverWhenTheFileIsCutShortReplacedOrDeleted) {
    Append("first file\n");
    LogFollower follower(path_, Record());
    follower.Poll();

    fs::resize_file(path_, 0);  // truncated, then written again
    Append("again\n");
    follower.Poll();

    const fs::path other = dir_ / "new.txt";  // replaced by a renamed file
    std::ofstream(other, std::ios::binary) << "second file\n";
    fs::rename(other, path_);
    follower.Poll();

    Append("more\n");  // appended, then deleted before the next look: still read
    fs::remove(path_);
    follower.Poll();
    follower.Poll();  // still gone: nothing more said
    Append("third file\n");
    follower.Poll();
    EXPECT_THAT(said_, ElementsAre("+first file\n", "truncated", "restart", "+again\n", "replaced", "restart",
                                   "+second file\n", "+more\n", "gone", "replaced", "restart", "+third file\n"));
}

// The log's folder taken away and a file put in its place: the log is gone too.
TEST_F(FollowerTest, AFolderReplacedByAFileTakesTheLogWithIt) {
    const fs::path folder = dir_ / "game";
    fs::create_directory(folder);
    std::ofstream(folder / "VantrelLog.txt", std::ios::binary) << "line\n";
    LogFollower follower(folder / "VantrelLog.txt", Record());
    follower.Poll();
    fs::remove_all(folder);
    std::ofstream(folder, std::ios::binary) << "not a folder\n";
    follower.Poll();
    EXPECT_THAT(said_, ElementsAre("+line\n", "gone"));
}

// The live history fed through the follower, a few bytes at a time, ends as the batch
// report of the whole file, and its events say each session and match once, in order.
TEST_F(FollowerTest, LiveHistoryFedInPiecesIsTheBatchOneWithOneEventEach) {
    const std::string log =
        "2026-12-07 21:00:00 - CheckMMRUpdate: mmr: 748.00, initialMMR: 0.00, count: 2\r\n"
        "2026-12-07 21:05:09 - OnMatchEnd: wonMatch: 1\r\n"
        "2026-12-07 21:05:09 - Match ended: ModeIndex: 1, Wins: 1, Losses: 0, Starting MMR: 1000.50, Delta MMR: +00.00\r\n"
        "2026-12-07 21:05:12 - CheckMMRUpdate: mmr: 1010.00, initialMMR: 1000.50, count: 3\r\n"
        "2026-12-07 21:09:00 - OnMatchEnd: wonMatch: 0\r\n"
        "2026-12-07 21:09:00 - Match ended: ModeIndex: 2, Wins: 0, Losses: 1, Starting MMR: 900.00, Delta MMR: +00.00\r\n"
        "2026-12-07 22:00:00 - CheckMMRUpdate: mmr: 750.00, initialMMR: 0.00, count: 1\r\n"
        "2026-12-07 22:05:09 - OnMatchEnd: wonMatch: 1\r\n"
        "2026-12-07 22:05:09 - Match ended: ModeIndex: 1, Wins: 1, Losses: 0, Starting MMR: 1010.00, Delta MMR: +00.00\r\n";
    LiveHistory live;
    LogFollower follower(path_, {[&](std::string_view bytes) { live.Feed(bytes); }, [&] { live.StartOver("x"); },
                                 [](FollowNote, const std::string&) {}});
    std::vector<std::string> events;
    for (std::size_t at = 0; at < log.size(); at += 7) {
        Append(log.substr(at, 7));
        follower.Poll();
        for (const LiveEvent& event : live.TakeEvents()) {
            events.push_back(event.text.substr(event.text.find("event: ") + 7, event.text.find("\ndata") - event.text.find("event: ") - 7));
            EXPECT_EQ(event.id, events.size());
        }
    }
    std::istringstream whole(log);
    const History batch = ReadHistory(whole);
    EXPECT_EQ(HistoryJson(live.history()), HistoryJson(batch));
    EXPECT_THAT(events, ElementsAre("session", "match", "rating", "match", "session", "match"));

    // The insights: the batch ones with the goals given, made once per version of the
    // history, shown on the page too.
    InsightOptions goals;
    goals.goals[1] = 1100;
    live.SetInsightOptions(goals);
    const LiveHistory::Text insights = live.InsightsJsonText();
    EXPECT_EQ(*insights, "{\"insights\":" + InsightsJson(ComputeInsights(batch, goals)) + "}");
    EXPECT_THAT(*insights, ::testing::HasSubstr("\"goal\":{\"basis\":1}"));
    EXPECT_EQ(live.InsightsJsonText(), insights);
    EXPECT_THAT(*live.PageText(), ::testing::HasSubstr("<div class=\"ins\">"));
    Append("2026-12-07 22:05:11 - CheckMMRUpdate: mmr: 1019.00, initialMMR: 1010.00, count: 2\r\n");
    follower.Poll();
    live.TakeEvents();
    EXPECT_THAT(*live.InsightsJsonText(), ::testing::HasSubstr("\"goal\":{\"basis\":2}"));
}

// The texts served are made again when anything they show changed: a rating that arrives
// alone, in a later look, too.
TEST(LiveHistoryVersion, ARatingAloneMakesTheTextsAgain) {
    LiveHistory live;
    vtest::LogText log;
    live.Feed(log.Line(vtest::Won(true), 0).Line(vtest::Ended(1, 1, 0, 1000), 3).Take());
    live.TakeEvents();
    const std::uint64_t before = live.version();
    EXPECT_EQ(nlohmann::json::parse(*live.HistoryJsonText(1000))["matches"][0]["after"], nullptr);
    live.Feed(log.Line(vtest::Rating(1010, 1000, 3)).Take());
    ASSERT_EQ(live.TakeEvents().size(), 1u);
    EXPECT_GT(live.version(), before);
    EXPECT_EQ(nlohmann::json::parse(*live.HistoryJsonText(1000))["matches"][0]["after"], 1010.0);
}

}  // namespace
