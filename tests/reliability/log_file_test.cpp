// The log file failing in every way the system can make it fail: a working directory nobody
// may write to (not even root), the log's name taken by a directory, a device that is full,
// the file removed while the plug-in has it open. The plug-in must go on tracking and
// drawing as if nothing happened, and nothing may escape.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "core/host.h"
#include "host_output.h"
#include "in_process_host.h"
#include "run_host.h"

namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

// The 2vs2 rating known at start-up; then two matches: a 2vs2 win whose rating moves after
// 2 s and a 1vs1 loss whose rating never moves.
const std::vector<std::string> kStart = {"mmr 11 1000 rank 10 1", "load"};
const std::vector<std::string> kMatches = {
    "match start 11", "mmr 11 1012 after 2", "match end win", "wait 3",
    "match start 10", "match end loss",      "wait 6",        "leave",
};

void ExpectTrackedAndDrawn(const std::string& out, const std::string& err) {
    EXPECT_EQ(vtest::SanitizerReport(err), "");
    EXPECT_TRUE(vtest::Escapes(err).empty()) << err;
    EXPECT_EQ(vtest::LastNumberAfter(out, "escaped exceptions: "), 0u);
    const vtest::FrameTable table = vtest::ParseFrame(out, "@@frame", "@@end");
    ASSERT_EQ(table.error, "") << out;
    ASSERT_EQ(table.rows.size(), 4u) << out;
    EXPECT_EQ(std::make_pair(table.rows[0].wins, table.rows[0].losses), std::make_pair(0, 1));
    EXPECT_EQ(std::make_pair(table.rows[1].wins, table.rows[1].losses), std::make_pair(1, 0));
    EXPECT_EQ(table.rows[1].change, " +12.00");
    EXPECT_EQ(std::make_pair(table.rows[3].wins, table.rows[3].losses), std::make_pair(1, 1));
}

std::string Script(bool withStart) {
    std::string script;
    if (withStart) {
        for (const std::string& line : kStart) script += line + "\n";
    }
    for (const std::string& line : kMatches) script += line + "\n";
    return script + "echo @@frame\nframe\necho @@end\nstatus\n";
}

// Prepares the working directory; returns why the environment cannot ("" when it can).
using Setup = std::function<std::string(const fs::path& workdir)>;

struct LogFailure {
    std::string name;
    Setup setup;
    std::function<void(const fs::path& workdir)> after;  // what the directory holds afterwards
};

void PrintTo(const LogFailure& failure, std::ostream* os) { *os << failure.name; }

class LogFailures : public ::testing::TestWithParam<LogFailure> {};

TEST_P(LogFailures, LeaveTrackingAndDrawingAlone) {
    const LogFailure& c = GetParam();
    vtest::TempDir dir;
    const fs::path workdir = dir.path() / "work";
    fs::create_directories(workdir);
    const std::string cannot = c.setup(workdir);
    if (!cannot.empty()) GTEST_SKIP() << cannot;

    vtest::HostRunOptions options;
    options.load = false;
    // Here, not in RunHost's own directory; the configuration elsewhere, so that the host
    // itself can still save it.
    options.arguments = {"--workdir", workdir.string(), "--config", (dir.path() / "config.cfg").string()};
    const vtest::HostRun run = vtest::RunHost(Script(true), options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ExpectTrackedAndDrawn(run.out, run.err);
    c.after(workdir);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LogFailures,
    ::testing::Values(
        LogFailure{"UnwritableWorkingDirectory", [](const fs::path& workdir) { return vtest::MakeImmutable(workdir); },
                   [](const fs::path& workdir) {
                       vtest::MakeMutable(workdir);
                       EXPECT_FALSE(fs::exists(workdir / "VantrelLog.txt"));
                   }},
        LogFailure{"LogIsADirectory",
                   [](const fs::path& workdir) {
                       fs::create_directory(workdir / "VantrelLog.txt");
                       return std::string();
                   },
                   [](const fs::path& workdir) {
                       EXPECT_TRUE(fs::is_directory(workdir / "VantrelLog.txt"));
                       EXPECT_TRUE(fs::is_empty(workdir / "VantrelLog.txt"));
                   }},
        LogFailure{"LogOnAFullDevice",
                   [](const fs::path& workdir) {
                       if (access("/dev/full", W_OK) != 0) return std::string("no writable /dev/full here");
                       fs::create_symlink("/dev/full", workdir / "VantrelLog.txt");
                       return std::string();
                   },
                   [](const fs::path& workdir) { EXPECT_TRUE(fs::is_symlink(workdir / "VantrelLog.txt")); }}),
    [](const ::testing::TestParamInfo<LogFailure>& row) { return row.param.name; });

// Removed while open: the plug-in goes on writing to the file it holds, reports nothing and
// tracks as before. In-process, so that the file can be removed between two commands.
TEST(LogFile, RemovedWhileOpen) {
    vtest::InProcessHost setup(VANTREL_PLUGIN_PATH);
    ASSERT_TRUE(setup.Start().ok());
    for (const std::string& line : kStart) ASSERT_TRUE(setup.Try(line).ok()) << line;
    const fs::path log = setup.options.workdir / "VantrelLog.txt";
    ASSERT_TRUE(fs::exists(log));
    fs::remove(log);
    std::istringstream script(Script(false));
    EXPECT_EQ(setup.host->RunScript(script, "script"), vhost::kExitOk) << setup.err.str();
    ExpectTrackedAndDrawn(setup.out.str(), setup.err.str());
    EXPECT_FALSE(fs::exists(log));  // never opened again
    setup.host->Finish();
}

}  // namespace
