// The plug-in's lifecycle abused: unloaded with rating polls still pending, loaded and
// unloaded a hundred times, unloaded in the middle of a match.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "host.h"
#include "in_process_host.h"
#include "reliability_support.h"
#include "run_host.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using vtest::HostRun;

HostRun RunWithoutLoad(const std::string& script) {
    vtest::HostRunOptions options;
    options.load = false;
    return vtest::RunHost(script, options);
}

void ExpectNothingEscaped(const HostRun& run) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(vrel::SanitizerReport(run.err), "");
    EXPECT_TRUE(vrel::Escapes(run.err).empty()) << run.err;
    EXPECT_EQ(vrel::LastNumberAfter(run.out, "escaped exceptions: "), 0u);
}

// The start-up poll (rating unknown: up to 120 retries) and a match's poll are pending when
// the plug-in goes; their retries come due with the object destroyed and must do nothing.
TEST(Lifecycle, UnloadWithPollsPendingThenTheirRetriesComeDue) {
    const HostRun run = RunWithoutLoad(
        "load\nmatch start 11\nmatch end win\nwait 0.5\nunload\nstatus\necho @@before\ncalls\n"
        "wait 130\necho @@after\ncalls\nstatus\n");
    ExpectNothingEscaped(run);
    EXPECT_THAT(run.out, HasSubstr("pending: 2 timers"));
    EXPECT_THAT(run.out, HasSubstr("pending: 0 timers"));
    const auto before = vrel::ParseCalls(run.out, "@@before");
    const auto after = vrel::ParseCalls(run.out, "@@after");
    EXPECT_EQ(before, after);  // not one SDK call from the retries
    // The log ends with the match: no retry wrote a limit message for a plug-in that is gone.
    const std::vector<std::string> log = vrel::Lines(run.Log());
    ASSERT_FALSE(log.empty());
    EXPECT_THAT(log.back(), HasSubstr("Match ended: ModeIndex: 1, Wins: 1, Losses: 0"));
    EXPECT_THAT(run.Log(), Not(HasSubstr("maxRetries")));
}

// A hundred sessions in one process: each starts from zero, and at exit LeakSanitizer finds
// nothing left behind.
TEST(Lifecycle, LoadAndUnloadAHundredTimes) {
    std::string script;
    for (int i = 0; i < 100; ++i) script += "load\nmatch start 11\nmatch end win\nunload\n";
    const HostRun run = RunWithoutLoad(script + "leave\nload\necho @@frame\nframe\necho @@end\nstatus\n");
    ExpectNothingEscaped(run);
    EXPECT_EQ(vrel::LinesWith(run.Log(), "Match ended: ModeIndex: 1, Wins: 1, Losses: 0,").size(), 100u);
    const vrel::FrameTable table = vrel::ParseFrame(run.out, "@@frame", "@@end");
    ASSERT_EQ(table.error, "");
    EXPECT_EQ(table.rows.at(3).wins, 0);  // the hundred-and-first session is fresh
}

// The same in-process, where this process's file descriptors and heap can be counted: after
// a first load has brought the module in, a hundred more cycles hold nothing more.
TEST(Lifecycle, LoadUnloadCyclesHoldNoFilesOrMemory) {
    vtest::InProcessHost setup(VANTREL_PLUGIN_PATH);
    std::ostringstream& out = setup.out;
    std::ostringstream& err = setup.err;
    vhost::HostOptions& options = setup.options;
    {
        vhost::Host host(options);
        ASSERT_TRUE(host.Start().ok());
        const auto cycle = [&] {
            for (const char* line : {"load", "match start 11", "match end win", "wait 6", "unload"}) {
                ASSERT_TRUE(host.Execute(line).ok()) << line << ": " << err.str();
            }
            out.str("");
        };
        cycle();
        const std::size_t files = vrel::OpenFileDescriptors();
        const std::uint64_t heap = vrel::HeapBytesInUse();
        for (int i = 0; i < 100; ++i) cycle();
        EXPECT_EQ(vrel::OpenFileDescriptors(), files);
        // A leak of 100 bytes a cycle would show; the host's own bookkeeping may vary a little.
        EXPECT_LE(vrel::HeapBytesInUse(), heap + 10'000) << "heap was " << heap;
        EXPECT_EQ(host.EscapedExceptions(), 0u) << err.str();
        host.Finish();
    }
}

// Unloaded during a match: the hooks go with the plug-in, so the match's end and the
// scoreboard reach nobody; a new load starts from zero.
TEST(Lifecycle, UnloadDuringAMatch) {
    const HostRun run = RunWithoutLoad(
        "load\nmatch start 10\nunload\necho @@calls\ncalls\nmatch end win\nscoreboard open\n"
        "echo @@gone\nframe\necho @@end\nstatus\necho @@after\ncalls\n"
        "load\nmatch start 10\necho @@fresh\nframe\necho @@end\nmatch end loss\nleave\necho @@frame\nframe\necho @@end\n");
    ExpectNothingEscaped(run);
    EXPECT_EQ(vrel::ParseCalls(run.out, "@@calls"), vrel::ParseCalls(run.out, "@@after"));
    EXPECT_FALSE(vrel::ParseFrame(run.out, "@@gone", "@@end").drawn);
    EXPECT_THAT(run.out, HasSubstr("plug-in: none loaded"));
    EXPECT_THAT(run.Log(), Not(HasSubstr("wonMatch: 1")));
    // In the new match the table hides until it ends; then it shows the one loss.
    EXPECT_FALSE(vrel::ParseFrame(run.out, "@@fresh", "@@end").drawn);
    const vrel::FrameTable table = vrel::ParseFrame(run.out, "@@frame", "@@end");
    ASSERT_EQ(table.error, "");
    EXPECT_EQ(std::make_pair(table.rows[0].wins, table.rows[0].losses), std::make_pair(0, 1));
}

}  // namespace
