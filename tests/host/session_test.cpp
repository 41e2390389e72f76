// Whole sessions of vantrel-host with the real plug-in: what a person sees from the
// example, the menu command, script errors and injected faults reaching the plug-in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "run_host.h"
#include "text.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using vtest::HostRun;
using vtest::HostRunOptions;
using vtest::RunHost;

std::string ReadExample(const std::string& name) { return vtest::ReadFile(std::string(VANTREL_EXAMPLES_DIR) + "/" + name); }

TEST(Session, TheFirstSessionExampleRunsAsItsCommentsSay) {
    const std::string script = ReadExample("first-session.vsh");
    ASSERT_FALSE(script.empty());
    const HostRun run = RunHost(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out, HasSubstr("DrawString \"2vs2 \" 1.00 1.00 0 0\nSetPosition 51 392\n"
                                   "DrawString \" 1   0\" 1.00 1.00 0 0\nSetPosition 98 392\n"
                                   "DrawString \" +11.75\" 1.00 1.00 0 0\n"));
    EXPECT_THAT(run.out, HasSubstr("vantrel_pos_x = \"10\"\n"));
    EXPECT_THAT(run.out, HasSubstr("clock: 38 s\ngame: in a game, online, playlist 11, team 0\n"));
    EXPECT_THAT(run.out, HasSubstr("escaped exceptions: 0\n"));
    EXPECT_THAT(run.Log(), HasSubstr(" - OnMatchEnd: wonMatch: 1\n"));
    EXPECT_THAT(run.Log(), HasSubstr(" - CheckMMRUpdate: mmr: 1012.25, initialMMR: 1000.50, count: 3\n"));
    EXPECT_THAT(run.Config(), HasSubstr("vantrel_pos_x \"100\"\n"));
}

TEST(Session, TheMenuCommandOpensThePluginsTab) {
    const HostRun run = RunHost("vantrel_show_menu with extra words\nstatus\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("menu \"vantrel\" opened\n"));
    EXPECT_THAT(run.out, HasSubstr("menu: open on tab \"Vantrel\"\n"));
    // The variable of the same name is still there for get and set.
    const HostRun variable = RunHost("get vantrel_show_menu\nset vantrel_show_menu 5\nget vantrel_show_menu\n");
    EXPECT_EQ(variable.out, "vantrel_show_menu = \"0\"\nvantrel_show_menu = \"1\"\n");
}

TEST(Session, AScriptErrorStillLeavesTheLogAndTheSavedSettings) {
    const HostRun run = RunHost("set vantrel_enabled 0\nmatch start 11\nmatch end win\nmatch end sideways\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, HasSubstr("script.vsh:4: error: match end: unknown result 'sideways'"));
    EXPECT_THAT(run.Log(), HasSubstr("OnMatchEnd: wonMatch: 1"));
    EXPECT_THAT(run.Log(), Not(HasSubstr("Match ended")));  // disabled: not counted
    EXPECT_THAT(run.Config(), HasSubstr("vantrel_enabled \"0\"\n"));
}

TEST(Session, AnInjectedFaultReachesThePluginsOwnGuard) {
    HostRunOptions options;
    options.load = false;
    const HostRun run = RunHost("fault GetPlayerMMR throw \"rating service down\"\nload\nstatus\n", options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.Log(), HasSubstr(" - OnLoad Exception: rating service down\n"));
    EXPECT_THAT(run.out, HasSubstr("escaped exceptions: 0\n"));
}

TEST(Session, SavedSettingsAreAppliedWhenThePluginRegistersThem) {
    HostRunOptions options;
    options.config = "vantrel_pos_x \"250\"\nvantrel_pos_y \"-40\"\n";
    const HostRun run = RunHost("frame\n", options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("SetPosition 245 -5\n"));  // x 250, y clamped to 0
    EXPECT_THAT(run.Config(), HasSubstr("vantrel_pos_x \"250\"\nvantrel_pos_y \"0\"\n"));
}

}  // namespace

// The plug-in's calls of time() reach the host's own definition: its log follows the
// virtual clock from the --clock moment, across `clock` jumps; without one it is the real time.
TEST(Session, TheClockSetsTheLocalTimeThePluginLogs) {
    HostRunOptions options;
    options.load = false;
    options.arguments = {"--clock", "2026-12-07T21:00"};
    const HostRun run = RunHost(
        "mmr 10 600\nload\nwait 65.5\nmatch start 11\nmatch end win\nclock next 19:30\nmatch start 11\n"
        "match end loss\nclock next 19:45\nmatch start 11\nmatch end win\nclock tomorrow 00:00\nmatch start 11\nmatch end win\nclock 2026-12-31T23:59:58\nwait 3\nmatch start 13\nmatch end loss\nclock\n",
        options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string log = run.Log();
    EXPECT_THAT(log, HasSubstr("2026-12-07 21:00:00 - CheckMMRUpdate: mmr: 600.00"));
    EXPECT_THAT(log, HasSubstr("2026-12-07 21:01:05 - OnMatchEnd: wonMatch: 1\n"));
    EXPECT_THAT(log, HasSubstr("2026-12-08 19:30:00 - OnMatchEnd: wonMatch: 0\n"));
    EXPECT_THAT(log, HasSubstr("2026-12-08 19:45:00 - OnMatchEnd: wonMatch: 1\n"));  // later the same day
    EXPECT_THAT(log, HasSubstr("2026-12-09 00:00:00 - OnMatchEnd: wonMatch: 1\n"));
    EXPECT_THAT(log, HasSubstr("2027-01-01 00:00:01 - OnMatchEnd: wonMatch: 0\n"));
    EXPECT_THAT(run.out, HasSubstr("clock: 2027-01-01 00:00:01 (following the virtual clock)\n"));

    const auto before = std::time(nullptr);
    const HostRun real = RunHost("mmr 10 600\nload\nclock\n", [] {
        HostRunOptions o;
        o.load = false;
        return o;
    }());
    const auto after = std::time(nullptr);
    ASSERT_EQ(real.exitCode, 0) << real.err;
    std::tm stamp{};
    std::istringstream(real.Log()) >> std::get_time(&stamp, "%Y-%m-%d %H:%M:%S");
    stamp.tm_isdst = -1;
    const auto logged = std::mktime(&stamp);
    EXPECT_GE(logged, before) << real.Log();
    EXPECT_LE(logged, after) << real.Log();
    EXPECT_THAT(real.out, HasSubstr("(the real time)\n"));
}
