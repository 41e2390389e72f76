// A Host driven in-process with the probe plug-in: lifecycle, events and handles, the
// exception guard, faults and call counts, console commands, repeated loading.
#include "core/host.h"
#include "in_process_host.h"
#include "text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace vhost {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::size_t OpenFileDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartHost();
        loadTrace_ = Trace();
    }
    void TearDown() override {
        setup_.Stop();
        unsetenv("PROBE_ONLOAD");
    }

    void StartHost(bool load = true) {
        setup_.options.loadPlugin = load;
        const CommandResult started = setup_.Start();
        ASSERT_TRUE(started.ok()) << started.message;
    }

    // Runs a line that must succeed; returns what it printed.
    std::string Run(const std::string& line) { return setup_.Run(line); }
    CommandResult Try(const std::string& line) { return setup_.Try(line); }
    // What the probe recorded since the last call.
    std::string Trace() {
        ConsoleVariable* trace = host_->cvars().Find("probe_trace");
        if (trace == nullptr) return "<no probe_trace>";
        std::string value = trace->value;
        std::string ignored;
        host_->cvars().Set(*trace, "", ignored);
        return value;
    }

    vtest::InProcessHost setup_{PROBE_PLUGIN};
    const std::filesystem::path& dir_ = setup_.dir.path();
    std::string loadTrace_;  // what the probe recorded while loading
    std::ostringstream& out_ = setup_.out;
    std::ostringstream& err_ = setup_.err;
    std::unique_ptr<Host>& host_ = setup_.host;
};

TEST_F(HostTest, UnloadDropsHooksDrawablesAndCommandsButTimersStayPending) {
    EXPECT_EQ(loadTrace_, "load");
    Run("probe_timer 2 late");
    Run("probe_draw on");
    Run("unload");
    EXPECT_EQ(Trace(), "unload");
    EXPECT_EQ(host_->LoadedPlugins(), 0u);
    EXPECT_EQ(Run("frame"), "(nothing drawn)\n");
    Run("scoreboard open");
    EXPECT_EQ(Trace(), "");
    EXPECT_EQ(Try("probe_draw on").outcome, Outcome::Error);
    // The timer stays pending and still fires: the module stays mapped.
    Run("wait 3");
    EXPECT_EQ(Trace(), "late");
    // Variables stay, with their values, and a new load finds them.
    Run("set probe_value 8");
    Run("load");
    EXPECT_EQ(Trace(), "load");
    Run("probe_values");
    EXPECT_EQ(Trace(), "value=8.000000 flag=0");
    EXPECT_EQ(err_.str(), "");
}

TEST_F(HostTest, MatchEventsCarryTheHandlesEachEndingAsks) {
    Run("match start 11 team 1");
    EXPECT_EQ(Trace(), "started:valid");
    const struct {
        const char* line;
        const char* seen;
    } endings[] = {
        {"match end win", "ended:server=valid,winner=valid/1,playlist=11,controller=valid/1"},
        {"match end loss", "ended:server=valid,winner=valid/0,playlist=11,controller=valid/1"},
        {"match end winner 300", "ended:server=valid,winner=valid/44,playlist=11,controller=valid/1"},
        {"match end nowinner", "ended:server=valid,winner=invalid,playlist=11,controller=valid/1"},
        {"match end nocontroller", "ended:server=valid,winner=valid/1,playlist=11,controller=invalid"},
        {"match end win", "ended:server=valid,winner=valid/1,playlist=11,controller=valid/1"},
        {"match end noserver", "ended:server=invalid,controller=valid/1"},
    };
    for (const auto& ending : endings) {
        Run(ending.line);
        EXPECT_EQ(Trace(), ending.seen) << ending.line;
    }
    Run("match start 13 team -1");
    Run("match end loss");  // the other team of -1 is (−1 + 1) mod 2 = 0
    EXPECT_EQ(Trace(), "started:valid ended:server=valid,winner=valid/0,playlist=13,controller=valid/255");
    EXPECT_EQ(Try("leave").outcome, Outcome::Ok);
    const CommandResult result = Try("match end win");
    EXPECT_EQ(result.outcome, Outcome::Error);
    EXPECT_THAT(result.message, HasSubstr("no game is running"));
}

TEST_F(HostTest, GameStateAndRatingServiceAnswerTheWorld) {
    Run("probe_state");
    EXPECT_EQ(Trace(), "ingame=0 online=0");
    Run("match start 11");
    Run("probe_state");
    Run("match start 11 offline");
    Run("probe_state");
    Run("leave");
    Run("probe_state");
    EXPECT_EQ(Trace(), "started:valid ingame=0 online=1 started:valid ingame=1 online=0 ingame=0 online=0");

    Run("mmr 11 1000.5 rank 10 2 after 2");
    Run("probe_mmr 11");
    Run("wait 1.5");
    Run("probe_mmr 11");
    Run("wait 0.5");
    Run("probe_mmr 11");
    Run("mmr 11 990");
    Run("probe_mmr 11");
    EXPECT_EQ(Trace(), "mmr=0.000000/0/0/0 mmr=0.000000/0/0/0 mmr=1000.500000/10/2/0 mmr=990.000000/10/2/0");
}

TEST_F(HostTest, TimersAndWorldChangesShareOneQueue) {
    Run("probe_timer 1 first 0.5");
    Run("mmr 10 7 after 1.5");
    Run("probe_timer 1.5 second");
    Run("wait 1");
    EXPECT_EQ(Trace(), "first");
    Run("wait 0.5");  // due at 1.5, in the order set: the change, second, then first.child (set at 1.0)
    Run("probe_mmr 10");
    EXPECT_EQ(Trace(), "second first.child mmr=7.000000/0/0/0");
}

TEST_F(HostTest, ExceptionsEscapingPluginCodeAreReportedCountedAndSurvived) {
    Run("probe_throw");
    Run("probe_throw other");
    Run("probe_draw throw");
    Run("frame");
    Run("probe_draw off");
    Run("probe_timer 1 never-recorded");
    Run("fault getCvar throw");  // the timer's first SDK call
    Run("wait 1");
    EXPECT_EQ(err_.str(),
              "vantrel-host: exception escaped from command \"probe_throw\": probe command failure\n"
              "vantrel-host: exception escaped from command \"probe_throw\": an exception not derived from "
              "std::exception\n"
              "vantrel-host: exception escaped from drawable: probe drawable failure\n"
              "vantrel-host: exception escaped from timer: injected fault in getCvar\n");
    EXPECT_EQ(host_->EscapedExceptions(), 4u);
    EXPECT_THAT(Run("status"), HasSubstr("escaped exceptions: 4\n"));
}

TEST_F(HostTest, AnExceptionFromOnLoadIsCaughtAndTheHostGoesOn) {
    host_.reset();
    setenv("PROBE_ONLOAD", "throw", 1);
    err_.str("");
    StartHost();
    EXPECT_EQ(err_.str(), "vantrel-host: exception escaped from onLoad: probe onLoad failure\n");
    EXPECT_EQ(host_->LoadedPlugins(), 1u);
    Run("unload");
    EXPECT_EQ(host_->EscapedExceptions(), 1u);
}

TEST_F(HostTest, FaultsThrowOnceOrAlwaysAndCallsCountEveryOperation) {
    Run("calls reset");
    Run("fault GetPlayerMMR throw \"no rating today\"");
    Run("probe_mmr 11");
    Run("probe_mmr 11");
    EXPECT_EQ(err_.str(), "vantrel-host: exception escaped from command \"probe_mmr\": no rating today\n");
    Run("fault GetPlayerRank throw always");
    Run("probe_mmr 11");
    Run("probe_mmr 11");
    Run("fault clear");
    Run("probe_mmr 11");
    EXPECT_THAT(err_.str(), HasSubstr("injected fault in GetPlayerRank\nvantrel-host"));
    EXPECT_EQ(host_->EscapedExceptions(), 3u);

    const std::string calls = Run("calls");
    EXPECT_THAT(calls, HasSubstr("\nGetPlayerMMR 5\n"));  // every call counts, the failing ones too
    EXPECT_THAT(calls, HasSubstr("\nGetPlayerRank 4\n"));
    EXPECT_THAT(calls, HasSubstr("\nSetTimeout 0\n"));
    // One line per operation, sorted by name.
    std::vector<std::string> names;
    for (const std::string& line : vtest::Lines(calls)) names.push_back(line.substr(0, line.rfind(' ')));
    EXPECT_EQ(names.size(), kOpCount);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST_F(HostTest, FramesWhileWaitingGoThroughTheDrawablesAndFramePrintsOne) {
    Run("probe_draw on");
    Run("calls reset");
    Run("wait 1");
    Run("probe_frames");
    EXPECT_EQ(Trace(), "frames=60");
    EXPECT_EQ(host_->calls().Count(Op::DrawString), 60u);
    EXPECT_EQ(Run("frame"),
              "SetColor 1 2 3 4\n"
              "SetPosition 1.00 -2.50\n"
              "SetPosition 11 -2\n"
              "FillBox 5 6\n"
              "DrawLine 1 2 3 4\n"
              "DrawString \"say \\\"hi\\\" \\\\ back\" 1.50 2.00 1 0\n");
    Run("probe_draw off");
    EXPECT_EQ(Run("frame"), "(nothing drawn)\n");
    EXPECT_THAT(Run("status"), HasSubstr("frames drawn: 60 while waiting, 2 on request\n"));
}

TEST_F(HostTest, ConsoleStyleRunsCommandsFirstThenPrintsOrSetsVariables) {
    EXPECT_EQ(Run("probe_value"), "probe_value = \"5\"\n");
    Run("probe_value 12");
    EXPECT_EQ(Run("get probe_value"), "probe_value = \"10\"\n");
    Run("probe_values");
    EXPECT_EQ(Trace(), "value=10.000000 flag=0");
    EXPECT_THAT(Try("probe_value 1 2").message, HasSubstr("takes one value"));
    EXPECT_THAT(Try("probe_value many").message, HasSubstr("\"many\" is not a number"));
    EXPECT_EQ(Run("get probe_value"), "probe_value = \"10\"\n");
    EXPECT_THAT(Try("nosuch").message, HasSubstr("unknown command or console variable 'nosuch'"));
    EXPECT_THAT(Try("set nosuch 1").message, HasSubstr("no console variable 'nosuch'"));

    // A variable with a command's name: the command wins in console style; get reads the variable.
    host_->backend().registerCvar(0, {"probe_frames", "3", "", true, false, 0.0f, false, 0.0f, false});
    Run("probe_frames");
    EXPECT_EQ(Trace(), "frames=0");
    EXPECT_EQ(Run("get probe_frames"), "probe_frames = \"3\"\n");
}

TEST_F(HostTest, PluginsRunConsoleLinesButCannotDriveTheWorldFromACallback) {
    Run("probe_exec \"set probe_flag 1\"");
    Run("probe_values");
    EXPECT_EQ(Trace(), "value=5.000000 flag=1");
    Run("probe_exec \"wait 5\"");
    Run("probe_exec unload");
    EXPECT_EQ(host_->world().Now(), 0.0);
    EXPECT_EQ(host_->LoadedPlugins(), 1u);
    EXPECT_THAT(err_.str(), HasSubstr("executeCommand \"wait 5\" (owner 1): error: wait: cannot run from inside a "
                                      "plug-in callback"));
    EXPECT_THAT(err_.str(), HasSubstr("executeCommand \"unload\" (owner 1): error: unload: cannot run"));
    // A command that runs itself ends at the nesting limit instead of overflowing the stack.
    err_.str("");
    HostBackend& backend = host_->backend();
    backend.AddOwner(99);
    backend.registerNotifier(
        99, "loop", [&backend](std::vector<std::string>) { backend.executeCommand(99, "loop", false); }, "", 0);
    Run("loop");
    EXPECT_THAT(err_.str(), HasSubstr("executeCommand \"loop\" (owner 99): error: commands nested too deeply"));
}

TEST_F(HostTest, OpenMenuNamesALoadedPlugin) {
    EXPECT_EQ(Run("openmenu probe"), "menu \"probe\" opened\n");
    EXPECT_THAT(Run("status"), HasSubstr("menu: open on tab \"Probe\"\n"));
    const CommandResult unknown = Try("openmenu vantrel");
    EXPECT_EQ(unknown.outcome, Outcome::Error);
    EXPECT_THAT(unknown.message, HasSubstr("no loaded plug-in is called 'vantrel'"));
}

TEST_F(HostTest, StatusShowsClockGameTimersPluginAndCounts) {
    Run("match start 11 team 1");
    Run("probe_timer 2 t");
    Run("mmr 11 1 after 5");
    Run("wait 0.5");
    const std::string status = Run("status");
    EXPECT_THAT(status, StartsWith("clock: 0.5 s\ngame: in a game, online, playlist 11, team 1\n"
                                   "pending: 1 timer, 1 world change (next due at 2 s)\n"));
    EXPECT_THAT(status, HasSubstr("plug-in: Probe (Probe Plugin 0.1) loaded from "));
    EXPECT_THAT(status, HasSubstr("4 hooks, 1 drawables"));
    EXPECT_THAT(status, HasSubstr("invalid handle uses: 0"));
    Run("unload");
    EXPECT_THAT(Run("status"), HasSubstr("plug-in: none loaded\n"));
}

// This test program keeps the C library's time(): the clock reads the real time and
// cannot be set, rather than pretending to move a time the plug-in would never see.
TEST_F(HostTest, TheClockCannotBeSetWhereTimeIsNotRouted) {
    EXPECT_THAT(Run("clock"), HasSubstr("(the real time)\n"));
    const CommandResult set = Try("clock 2026-12-07T19:00");
    EXPECT_EQ(set.outcome, Outcome::Error);
    EXPECT_THAT(set.message, HasSubstr("cannot be set"));
}

TEST_F(HostTest, ARefusedLoadCommandSaysWhyAndKeepsTheSession) {
    const CommandResult result = Try(std::string("load ") + HOST_TEST_MODULE_DIR + "/bad_type1.so");
    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_THAT(result.message, HasSubstr("bad_type1.so: its plug-in record has plug-in type 1"));
    EXPECT_EQ(Try("load").outcome, Outcome::Error);  // the probe is loaded already
    EXPECT_EQ(host_->LoadedPlugins(), 1u);
}

TEST_F(HostTest, LoadingAndUnloadingAHundredTimesLeavesNothingBehind) {
    Run("unload");
    Run("load");
    Run("unload");
    const std::size_t descriptors = OpenFileDescriptors();
    for (int i = 0; i < 100; ++i) {
        Run("load");
        Run("probe_timer 0.5 t");
        Run("unload");
    }
    EXPECT_EQ(OpenFileDescriptors(), descriptors);
    Run("load");
    // Old bindings went with their plug-in objects: only the live object's remain.
    EXPECT_EQ(host_->cvars().Find("probe_value")->floatBindings.size(), 1u);
    EXPECT_EQ(host_->cvars().Find("probe_flag")->boolBindings.size(), 1u);
    EXPECT_EQ(host_->world().PendingEvents(World::EventKind::Timer), 100u);
    Run("wait 1");
    EXPECT_EQ(host_->world().PendingEvents(World::EventKind::Timer), 0u);
}

TEST_F(HostTest, SavedValuesComeBackInTheNextSession) {
    Run("set probe_value 7");
    Run("set probe_trace \"not saved\"");
    ASSERT_TRUE(host_->Finish());
    EXPECT_EQ(vtest::ReadFile(dir_ / "config.cfg"), "probe_flag \"0\"\nprobe_value \"7\"\n");

    StartHost();
    EXPECT_EQ(Run("get probe_value"), "probe_value = \"7\"\n");
    Run("probe_values");
    EXPECT_THAT(Trace(), EndsWith("value=7.000000 flag=0"));
}

TEST_F(HostTest, RunScriptStopsAtTheFirstBadLineAndNamesIt) {
    std::istringstream script("echo one\n\n# comment\nwait -1\necho never\n");
    EXPECT_EQ(host_->RunScript(script, "demo.vsh"), kExitError);
    EXPECT_EQ(out_.str(), "one\n");
    EXPECT_THAT(err_.str(), StartsWith("demo.vsh:4: error: wait: SECONDS: '-1' is negative"));
    std::istringstream quitting("echo a\nquit\necho b\n");
    out_.str("");
    EXPECT_EQ(host_->RunScript(quitting, "q.vsh"), kExitOk);
    EXPECT_EQ(out_.str(), "a\n");
}

TEST_F(HostTest, InteractiveSessionsReportErrorsAndGoOn) {
    std::istringstream typed("echo one\nbogus\necho two\n");
    EXPECT_EQ(host_->RunInteractive(typed), kExitOk);
    EXPECT_EQ(out_.str(), "vantrel> one\nvantrel> vantrel> two\nvantrel> \n");
    EXPECT_THAT(err_.str(), HasSubstr("error: unknown command or console variable 'bogus'"));
}

TEST_F(HostTest, SurvivesThousandsOfRandomLines) {
    // Well-formed commands with odd values, mixed with junk: whatever a line means, the host
    // answers it and stays sound (the sanitizers watch for the rest).
    const std::vector<std::string> templates = {
        "wait T", "match start I team I", "match start I offline", "match end E", "match end winner I",
        "mmr I R rank I I after T", "mmr I R", "scoreboard open", "scoreboard close", "leave", "set probe_value R",
        "probe_value R", "get probe_flag", "probe_timer R label T", "probe_timer T label", "probe_draw M",
        "probe_mmr I", "probe_state", "probe_values", "probe_throw", "probe_exec \"probe_timer T nested\"",
        "probe_exec frame", "frame", "status", "calls", "calls reset", "fault O throw", "fault O throw always",
        "fault clear", "fault clear", "unload", "load", "openmenu probe", "cvars", "J J", "J J J J",
    };
    const std::map<char, std::vector<std::string>> values = {
        {'T', {"0", "0.1", "0.5", "1", "2.5"}},
        {'I', {"0", "1", "11", "-1", "300", "2147483647"}},
        {'R', {"5", "nan", "inf", "-3", "1e9", "abc", "0.25"}},
        {'E', {"win", "loss", "nowinner", "noserver", "nocontroller"}},
        {'M', {"on", "off", "throw"}},
        {'J', {"\"", "#", "\\", "\"\"", "wait", "-", "match", "fault", "1", "\"x y\"", "probe_exec"}},
    };
    std::uint32_t state = 12345;
    const auto next = [&state](std::size_t bound) {
        state = state * 1664525u + 1013904223u;
        return static_cast<std::size_t>(state >> 8) % bound;
    };
    int succeeded = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        for (const char c : templates[next(templates.size())]) {
            if (c == 'O') {
                line += "\"" + std::string(OpName(static_cast<Op>(next(kOpCount)))) + "\"";
            } else if (const auto found = values.find(c); found != values.end()) {
                line += found->second[next(found->second.size())];
            } else {
                line += c;
            }
        }
        const CommandResult result = host_->Execute(line);
        ASSERT_NE(result.outcome, Outcome::Quit) << line;
        if (result.ok()) {
            ++succeeded;
        } else {
            EXPECT_FALSE(result.message.empty()) << line;
        }
    }
    EXPECT_GT(succeeded, 1500);  // most lines did something
    EXPECT_GT(host_->world().Now(), 0.0);
    EXPECT_TRUE(host_->Finish());
}

TEST(HostInstances, OnlyOneHostAtATime) {
    std::ostringstream sink;
    HostOptions options;
    options.out = options.err = &sink;
    Host first(options);
    EXPECT_THROW(Host second(options), std::logic_error);
}

}  // namespace
}  // namespace vhost
