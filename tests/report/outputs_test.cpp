// vantrel-report as a user runs it: exit codes, messages, the CSV and the files it leaves.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "outputs/atomic_file.h"
#include "outputs/csv.h"
#include "outputs/json.h"
#include "outputs/terminal.h"
#include "program.h"
#include "report_test_support.h"
#include "summary.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace vantrel::report;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using vtest::ReadFile;
using vtest::ProgramRun;

class ReportProgram : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_ / "out"); }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }

    // Runs the program in the test's directory with these arguments (split at blanks) and
    // environment variables (NAME=VALUE).
    ProgramRun Report(const std::string& arguments, const std::string& environment = "") {
        std::vector<std::string> argv{VANTREL_REPORT_EXECUTABLE};
        std::istringstream words(arguments);
        for (std::string word; words >> word;) argv.push_back(word);
        vtest::ProgramOptions options;
        options.dir = dir_;
        if (!environment.empty()) options.environment = {environment};
        return vtest::RunProgram(argv, options);
    }

    // Files of out/, by name.
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_ / "out")) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string Evening() { return vtest::ExampleLog("evening"); }

    const vtest::TempDir temp_{"vantrel-report-test"};
    const fs::path dir_ = temp_.path();
};

TEST_F(ReportProgram, ReadsTheDefaultLogAndWritesCsvAndHtml) {
    Write("VantrelLog.txt", Evening());
    const ProgramRun run = Report("--csv out/matches.csv --html out/page.html");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out, HasSubstr("2024-03-05  21:00-21:02"));
    EXPECT_THAT(run.out, Not(HasSubstr("\x1b[")));  // not a terminal: no colours
    EXPECT_THAT(OutFiles(), ::testing::ElementsAre("matches.csv", "page.html"));

    const std::string csv = ReadFile(dir_ / "out/matches.csv");
    EXPECT_THAT(csv, StartsWith("time,session,mode,result,rating before,rating after,change\r\n"
                                "2024-03-05 21:00:14,1,2vs2,win,1000.50,1012.25,+11.75\r\n"));
    EXPECT_THAT(csv, HasSubstr("\r\n2024-03-05 21:01:38,1,1vs1,loss,757.00,,\r\n"));       // poll gave up
    EXPECT_THAT(csv, HasSubstr("\r\n2024-03-05 21:01:59,1,Other,win,0.00,540.00,\r\n"));  // a first rating
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 7);
    EXPECT_EQ(CsvField("a,\"b\"\r\nc"), "\"a,\"\"b\"\"\r\nc\"");
    EXPECT_EQ(CsvField("\r"), "\"\r\"");
    EXPECT_EQ(CsvField("\n"), "\"\n\"");

    // Filters: one mode, the last session.
    const ProgramRun filtered = Report("VantrelLog.txt --mode 3v3 --mode=other --last 1 --csv out/matches.csv");
    ASSERT_EQ(filtered.exitCode, 0) << filtered.err;
    const std::string rows = ReadFile(dir_ / "out/matches.csv");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4);
    EXPECT_THAT(filtered.out, Not(HasSubstr("2vs2")));
}

TEST_F(ReportProgram, ErrorsSayWhatAndExitWithTheirCodes) {
    ProgramRun run = Report("missing.txt");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "vantrel-report: cannot open missing.txt: No such file or directory\n");
    EXPECT_EQ(run.out, "");

    // No log named and none in the folder (double-clicked there): where it looked.
    run = Report("");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, StartsWith("vantrel-report: no VantrelLog.txt in " + dir_.string() + " (the current folder).\n"));

    run = Report("out");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, StartsWith("vantrel-report: cannot open out: "));

    Write("empty.txt", "");
    Write("notes.txt", "shopping list\r\nmilk\n\x01\x02\n");
    for (const char* name : {"empty.txt", "notes.txt"}) {
        run = Report(name);
        EXPECT_EQ(run.exitCode, 3) << name;
        EXPECT_THAT(run.err, StartsWith(std::string("vantrel-report: ") + name + " holds no log line"));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }

    // Unreadable lines: one warning, and the rest is read.
    Write("damaged.txt", "junk\n" + Evening() + "more junk\n\n");
    run = Report("damaged.txt");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "vantrel-report: warning: 3 unreadable lines skipped in damaged.txt (the first is line 1)\n");

    for (const char* bad : {"--bogus", "--mode 4v4", "--since 2024-02-30", "--last 0", "--csv", "a.txt b.txt",
                            "--open"}) {
        run = Report(bad);
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_THAT(run.err, HasSubstr("usage: vantrel-report")) << bad;
    }
    run = Report("--help");
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option : {"--html", "--csv", "--mode", "--since", "--last", "--open", "--version", "NO_COLOR"}) {
        EXPECT_THAT(run.out, HasSubstr(option));
    }
}

TEST_F(ReportProgram, OutputFilesAppearWholeOrNotAtAll) {
    Write("VantrelLog.txt", Evening());
    Write("out/matches.csv", "old");
    // The page cannot be written (its name is a directory): no half file, no temporary.
    fs::create_directories(dir_ / "out/page.html");
    ProgramRun run = Report("--csv out/matches.csv --html out/page.html");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err, StartsWith("vantrel-report: cannot write out/page.html: "));
    EXPECT_THAT(OutFiles(), ::testing::ElementsAre("matches.csv", "page.html"));
    EXPECT_THAT(ReadFile(dir_ / "out/matches.csv"), StartsWith("time,"));  // replaced whole

    run = Report("--csv no/such/dir/matches.csv");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir_ / "no"));

    // A browser that cannot be started is a warning; the page is there.
    fs::remove(dir_ / "out/page.html");
    run = Report("--html out/page.html --open", "PATH=/nonexistent");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("warning: could not open out/page.html"));
    EXPECT_TRUE(fs::is_regular_file(dir_ / "out/page.html"));
}

TEST_F(ReportProgram, SinceAndLastChooseByDayAndBySessionsWithMatches) {
    const auto stamp = [](const char* text) {
        LocalSeconds time = 0;
        EXPECT_TRUE(ParseTimestamp(text, time)) << text;
        return time;
    };
    const auto match = [](int mode, double start) { return vtest::Ended(mode, 1, 0, start); };
    const std::string load = vtest::Rating(700, 0, 0);
    // Four loads: a match on the last second of 28 February, one on the first of the 29th,
    // a session without a match, and a match on 1 March.
    std::string log;
    const auto line = [&](const char* time, const std::string& message) {
        log += FormatLocalTime(stamp(time)) + " - " + message + "\n";
    };
    line("2024-02-28 23:00:00", load);
    line("2024-02-28 23:59:59", match(1, 1000));
    line("2024-02-29 00:00:00", load);
    line("2024-02-29 00:00:00", match(1, 1010));
    line("2024-02-29 12:00:00", load);
    line("2024-03-01 00:00:05", load);
    line("2024-03-01 00:00:09", match(2, 800));
    Write("VantrelLog.txt", log);

    const auto rows = [&](const std::string& arguments) {
        const ProgramRun run = Report(arguments + " --csv out/rows.csv");
        EXPECT_EQ(run.exitCode, 0) << arguments << run.err;
        std::vector<std::string> times;
        std::istringstream csv(ReadFile(dir_ / "out/rows.csv"));
        std::string row;
        std::getline(csv, row);
        while (std::getline(csv, row)) times.push_back(row.substr(0, row.find(',', 20)));
        return times;
    };
    using ::testing::ElementsAre;
    EXPECT_THAT(rows("--since 2024-02-29"), ElementsAre("2024-02-29 00:00:00,1", "2024-03-01 00:00:09,2"));
    EXPECT_THAT(rows("--since 2024-03-01"), ElementsAre("2024-03-01 00:00:09,1"));
    // Without a filter the session without a match counts; with one, it is gone first.
    EXPECT_THAT(rows("--last 2"), ElementsAre("2024-03-01 00:00:09,2"));
    EXPECT_THAT(rows("--mode 2v2 --mode 3v3 --last 2"), ElementsAre("2024-02-29 00:00:00,1", "2024-03-01 00:00:09,2"));
    EXPECT_EQ(Report("--since 2100-02-29").exitCode, 2);  // not a leap year
}

TEST_F(ReportProgram, InsightsAndJsonSayWhatTheFilteredHistoryHolds) {
    Write("VantrelLog.txt", Evening());
    ProgramRun run = Report("--insights --json out/history.json --goal 2v2:1100 --mode 2v2");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("\nInsights\n  2vs2: "));
    EXPECT_THAT(run.out, HasSubstr("your goal 1100.00 is "));
    // The file's sessions and matches are /api/history.json's text of the same history.
    std::istringstream log(Evening());
    History history = ReadHistory(log);
    Filter filter;
    filter.modes = {false, true, false, false};
    ApplyFilter(history, filter);
    std::string served = HistoryJson(history);
    served.pop_back();
    const std::string file = ReadFile(dir_ / "out/history.json");
    EXPECT_EQ(file.substr(0, served.size() + 12), served + ",\"insights\":");
    const auto json = nlohmann::json::parse(file);
    EXPECT_EQ(json["insights"]["modes"].size(), 1u);
    EXPECT_EQ(json["insights"]["modes"]["2vs2"]["goal"]["basis"], 2);

    for (const char* bad : {"--goal 2v2", "--goal 4v4:1000", "--goal 2v2:abc", "--goal=2v2:nan", "--goal 2v2:-5",
                            "--goal 2v2:1000 --goal 2vs2:1200"}) {
        run = Report(bad);
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_THAT(run.err, StartsWith("vantrel-report: --goal")) << bad;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << bad;
    }
    EXPECT_EQ(Report("--serve --insights").exitCode, 2);
}

TEST(AtomicFile, AFailedWriteLeavesTheFolderAsItWas) {
    const vtest::TempDir temp("vantrel-atomic");
    const fs::path& dir = temp.path();
    std::ofstream(dir / "kept.csv") << "old";
    std::string error;
    // The temporary file exists and holds part of the text when the writing fails.
    EXPECT_FALSE(WriteFileAtomically(dir / "kept.csv", [](std::ostream& out) {
        out << "half";
        out.setstate(std::ios::badbit);
    }, error));
    EXPECT_FALSE(WriteFileAtomically(dir / "kept.csv", [](std::ostream& out) {
        out << "half";
        throw std::runtime_error("disk gone");
    }, error));
    EXPECT_EQ(error, "disk gone");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    EXPECT_THAT(names, ::testing::ElementsAre("kept.csv"));
    EXPECT_EQ(ReadFile(dir / "kept.csv"), "old");
}

TEST_F(ReportProgram, OutputThroughLinksAndDevicesKeepsThem) {
    Write("VantrelLog.txt", Evening());
    // A link to a device (as /dev/stdout is) is written through, not replaced by a file.
    fs::create_symlink("/dev/null", dir_ / "out/null.csv");
    ProgramRun run = Report("--csv out/null.csv");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(dir_ / "out/null.csv"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // A link to a plain file keeps pointing at it; the file gets the new content whole.
    Write("out/real.csv", "old");
    fs::create_symlink("real.csv", dir_ / "out/link.csv");
    run = Report("--csv out/link.csv");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(dir_ / "out/link.csv"));
    EXPECT_THAT(ReadFile(dir_ / "out/real.csv"), StartsWith("time,"));
    EXPECT_THAT(OutFiles(), ::testing::ElementsAre("link.csv", "null.csv", "real.csv"));
}

// A mode whose matches in a session have no known change shows the dash of unknown, not
// a change of +0.00.
TEST(TerminalFormat, SessionWithoutAKnownChangeShowsADash) {
    History history;
    history.sessions.push_back(Session{});
    history.sessions[0].matchCount = 2;
    Match unknown;
    unknown.before = 1000.0f;  // its poll never found the rating after
    Match first;
    first.mode = 1;
    first.after = 700.0f;  // from 0.0: a first rating, not a change
    history.matches = {unknown, first};
    const std::string text = FormatTerminal(history, false);
    EXPECT_THAT(text, Not(HasSubstr("+0.00")));
    EXPECT_THAT(text, HasSubstr("0-1        -  1000.00"));
    EXPECT_THAT(text, HasSubstr("0-1        -   700.00"));
}

// The win rate of a known record, and the session table's columns where a session did not
// play a mode that is shown.
TEST(TerminalFormat, WinRateAndColumnsOfModesNotPlayed) {
    History history;
    history.sessions.resize(2);
    history.sessions[0].matchCount = 3;
    history.sessions[1].firstMatch = 3;
    history.sessions[1].matchCount = 1;
    for (const bool won : {true, false, true}) {
        Match match;
        match.before = 1000.0f;
        match.after = won ? 1010.0f : 990.0f;
        match.won = won;
        history.matches.push_back(match);
    }
    Match other;
    other.session = 1;
    other.mode = 2;
    history.matches.push_back(other);
    const std::vector<std::string> lines = vtest::Lines(FormatTerminal(history, false));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_THAT(lines[0], HasSubstr("1vs1 W-L change rating"));
    EXPECT_EQ(lines[1].size(), lines[0].size()) << lines[1];
    EXPECT_EQ(lines[2].size(), lines[0].size()) << lines[2];  // no 1vs1 in the second session
    EXPECT_THAT(FormatTerminal(history, false), HasSubstr("1vs1          3     66.7%"));
}

}  // namespace
