// Soak: ten virtual hours of play in one session, in-process, with every frame drawn at the
// host's 60 a second (2.16 million frames). 2,000 scripted matches in the three ranked
// modes and "Other", won and lost, with ratings that move (at once, after 0.5 to 3.5 s, or
// never) and ranks that follow them. At the end the table must show exactly the counts and
// rating changes played, the log must hold every match and every poll's end, and the
// process must not have grown: the heap and the resident size after the first 200 matches
// (when every cache and the sanitizer's quarantine have filled) are compared with the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include <fmt/format.h>

#include "core/host.h"
#include "host_output.h"
#include "in_process_host.h"
#include "process.h"
#include "text.h"

#if defined(__SANITIZE_ADDRESS__)
// A small quarantine for freed memory, so that the resident size says what the process
// keeps rather than how much freed memory AddressSanitizer holds back (256 MB by default).
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
#endif

namespace {

constexpr int kMatches = 2000;
constexpr int kWarmUpMatches = 200;
constexpr double kSecondsPerMatch = 18.0;  // 2,000 matches: 36,000 s, ten hours

// Growth allowed from the end of the warm-up to the end of the run. The plug-in keeps a
// fixed set of statistics and the host a bounded world (handles of the current match
// only, timers that run out), so nothing should grow at all; the bounds leave room for
// allocator noise only. A leak of 150 bytes a match, or of one byte every ten frames,
// breaks the heap bound.
constexpr std::uint64_t kHeapGrowthBound = 256 * 1024;  // bytes
constexpr std::uint64_t kRssGrowthBound = 8 * 1024;     // kB

// A small deterministic generator, so that every run plays the same evening.
class Dice {
public:
    int Roll(int sides) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state_ >> 33) % static_cast<std::uint64_t>(sides));
    }

private:
    std::uint64_t state_ = 20240305;
};

struct Expected {
    std::array<int, 4> wins{};
    std::array<int, 4> losses{};
    std::array<float, 4> change{};  // whole numbers only, so the sums are exact in floats
    int limits = 0;                 // polls that gave up (the rating never moved)
    int found = 0;                  // rating changes found by a match's poll
};

float ParseChange(std::string text) {
    // " +07.50", "-123.00", " -12.25": blanks and the sign, then a number.
    text.erase(0, text.find_first_not_of(' '));
    return std::stof(text);
}

TEST(Soak, TenVirtualHoursOfMatches) {
    vtest::InProcessHost setup(VANTREL_PLUGIN_PATH);
    ASSERT_TRUE(setup.Start().ok());
    vhost::Host& host = *setup.host;
    std::ostringstream& out = setup.out;
    const auto run = [&](const std::string& line) {
        const vhost::CommandResult result = host.Execute(line);
        ASSERT_TRUE(result.ok()) << line << ": " << result.message;
    };

    std::array<int, 4> rating = {1000, 1000, 1000, 600};  // playlists 10, 11, 13 and 12
    const std::array<int, 4> playlists = {10, 11, 13, 12};
    for (std::size_t m = 0; m < 4; ++m) run(fmt::format("mmr {} {} rank 12 1", playlists[m], rating[m]));
    run("load");
    // One "Other" match first: the plug-in seeds no "Other" rating at start-up, so this
    // match's poll finds the rating at once and records it as the starting point.
    run("match start 12");
    run("match end win");
    run("leave");

    Dice dice;
    Expected expected;
    std::uint64_t heapAtWarmUp = 0;
    std::uint64_t rssAtWarmUp = 0;
    std::size_t filesAtWarmUp = 0;
    for (int match = 0; match < kMatches; ++match) {
        const std::size_t m = static_cast<std::size_t>(dice.Roll(8) < 7 ? dice.Roll(3) : 3);
        const int playlist = playlists[m];
        const bool win = dice.Roll(2) == 0;
        const int roll = dice.Roll(6);  // 0: moved before the end; 1 to 4: after 0.5 to 3.5 s; 5: never
        const int step = (win ? 1 : -1) * (1 + dice.Roll(15));
        const int newRating = rating[m] + step;
        const std::string rank = fmt::format(" rank {} {}", std::clamp(newRating / 80, 0, 21), (newRating / 20) % 4);

        run(fmt::format("match start {}{}", playlist, match % 10 == 9 ? " offline" : ""));
        run("wait 8");  // in the match: the table hidden
        run("scoreboard open");
        run("wait 1");
        run("scoreboard close");
        if (roll == 0) run(fmt::format("mmr {} {}{}", playlist, newRating, rank));
        run(win ? "match end win" : "match end loss");
        if (roll >= 1 && roll <= 4) run(fmt::format("mmr {} {}{} after {}", playlist, newRating, rank, roll - 0.5));
        run("wait 6");  // the poll ends within 5 s
        run("leave");
        run("wait 3");  // in the menus: the whole table

        (win ? expected.wins : expected.losses)[m] += 1;
        if (roll == 5) {
            ++expected.limits;
        } else {
            ++expected.found;
            expected.change[m] += static_cast<float>(step);
            rating[m] = newRating;
        }
        out.str("");
        if (match + 1 == kWarmUpMatches) {
            heapAtWarmUp = vtest::HeapBytesInUse();
            rssAtWarmUp = vtest::StatusKilobytes("VmRSS");
            filesAtWarmUp = vtest::OpenFileDescriptors();
        }
        if (HasFatalFailure()) return;
    }
    const std::uint64_t heapAtEnd = vtest::HeapBytesInUse();
    const std::uint64_t rssAtEnd = vtest::StatusKilobytes("VmRSS");
    // Counted while the plug-in is still loaded, as at the warm-up: its log is one of them.
    const std::size_t filesAtEnd = vtest::OpenFileDescriptors();

    run("echo @@frame");
    run("frame");
    run("echo @@end");
    run("status");
    const vtest::FrameTable table = vtest::ParseFrame(out.str(), "@@frame", "@@end");
    ASSERT_EQ(table.error, "") << out.str();
    float totalChange = 0.0f;
    for (std::size_t m = 0; m < 3; ++m) {
        const vtest::TableRow& row = table.rows[m];
        EXPECT_EQ(row.wins, expected.wins[m]) << row.name;
        EXPECT_EQ(row.losses, expected.losses[m]) << row.name;
        EXPECT_EQ(ParseChange(row.change), expected.change[m]) << row.name << ": " << row.change;
        totalChange += expected.change[m];
    }
    EXPECT_EQ(table.rows[3].wins, expected.wins[0] + expected.wins[1] + expected.wins[2]);
    EXPECT_EQ(table.rows[3].losses, expected.losses[0] + expected.losses[1] + expected.losses[2]);
    EXPECT_EQ(ParseChange(table.rows[3].change), totalChange) << table.rows[3].change;
    EXPECT_EQ(host.world().Now(), kMatches * kSecondsPerMatch);
    EXPECT_EQ(host.world().FramesDrawn(), static_cast<std::uint64_t>(kMatches * kSecondsPerMatch * 60));
    EXPECT_EQ(host.EscapedExceptions(), 0u) << setup.err.str();

    ASSERT_TRUE(host.Finish());
    const std::string log = vtest::ReadFile(setup.options.workdir / "VantrelLog.txt");
    EXPECT_EQ(vtest::LinesWith(log, " - Match ended: ").size(), static_cast<std::size_t>(kMatches + 1));
    EXPECT_EQ(vtest::LinesWith(log, "maxRetries reached the limit (5)").size(),
              static_cast<std::size_t>(expected.limits));
    // The start-up poll, the first "Other" match's and every poll that found its change.
    EXPECT_EQ(vtest::LinesWith(log, " - CheckMMRUpdate: ").size(), static_cast<std::size_t>(expected.found + 2));

    std::cout << "[ soak     ] " << kMatches << " matches, " << host.world().FramesDrawn() << " frames, "
              << host.world().Now() << " virtual s; heap " << heapAtWarmUp << " -> " << heapAtEnd << " bytes, VmRSS "
              << rssAtWarmUp << " -> " << rssAtEnd << " kB, VmHWM " << vtest::StatusKilobytes("VmHWM") << " kB\n";
    EXPECT_LE(heapAtEnd, heapAtWarmUp + kHeapGrowthBound);
    EXPECT_LE(rssAtEnd, rssAtWarmUp + kRssGrowthBound);
    EXPECT_EQ(filesAtEnd, filesAtWarmUp);
}

}  // namespace
