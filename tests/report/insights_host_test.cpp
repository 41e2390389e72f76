// Insights of a log the real plug-in wrote: evenings played through vantrel-host --clock,
// 2vs2 with a planted drop after a loss and a planted good hour, 3vs3 with neither. The
// report's --json must find both where they are planted and neither where they are not.
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "calendar.h"
#include "run_host.h"

namespace {

using vantrel::report::LocalSeconds;

double Uniform01(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * 0x1.0p-53; }

std::string ClockCommand(LocalSeconds time) {
    const vantrel::report::CivilTime t = vantrel::report::ToCivilTime(time);
    return fmt::format("clock {:04d}-{:02d}-{:02d}T{:02d}:{:02d}:{:02d}\n", t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

// Sessions of 5 to 15 matches of one mode, begun between 08:00 and 23:59 on a day every
// one to three days, a match every 8 minutes. Each match's rating is set before it ends,
// so its poll finds it at the first reading; the clock only jumps, so no frame is drawn.
std::string Evenings(std::mt19937_64& random, int playlist, int matches, double afterLossDrop, int goodHour) {
    std::string script;
    LocalSeconds day = vantrel::report::ToLocalSeconds({2025, 1, 6, 0, 0, 0});
    double rating = 1500;
    for (int played = 0; played < matches;) {
        day += 86400 * static_cast<LocalSeconds>(1 + random() % 3);
        LocalSeconds time = day + static_cast<LocalSeconds>(8 + random() % 16) * 3600 + static_cast<LocalSeconds>(random() % 3600);
        script += ClockCommand(time) + "load\n";
        const int length = 5 + static_cast<int>(random() % 11);
        bool lostLast = false;
        for (int k = 0; k < length && played < matches; ++k, ++played) {
            double chance = 0.55;
            if (k > 0 && lostLast) chance -= afterLossDrop;
            if (vantrel::report::ToCivilTime(time).hour == goodHour) chance += 0.25;
            const bool won = Uniform01(random) < chance;
            rating = std::max(100.0, rating + (won ? 9.5 : -9.25));
            script += fmt::format("match start {}\nmmr {} {:.2f}\nmatch end {}\n", playlist, playlist, rating,
                                  won ? "win" : "loss");
            lostLast = !won;
            time += 8 * 60;
            script += ClockCommand(time);
        }
        script += "unload\n";
    }
    return script;
}

TEST(ReportInsightsThroughTheHost, PlantedEffectsAreFoundWhereTheyArePlantedOnly) {
    std::mt19937_64 random(2101);
    std::string script = "mmr 10 800\nmmr 11 1500\nmmr 13 1500\n";
    script += Evenings(random, 11, 3000, 0.15, 21);
    script += Evenings(random, 13, 1000, 0.0, -1);
    vtest::HostRunOptions options;
    options.load = false;
    options.arguments = {"--clock", "2025-01-05T12:00"};
    options.timeout = std::chrono::seconds(300);
    const vtest::HostRun run = vtest::RunHost(script, options);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::string json = (run.root / "history.json").string();
    const std::string out = (run.root / "out.txt").string();
    const std::string command = fmt::format("'{}' '{}' --insights --json '{}' > '{}'", VANTREL_REPORT_EXECUTABLE,
                                            (run.workdir / "VantrelLog.txt").string(), json, out);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream file(json, std::ios::binary);
    const auto history = nlohmann::json::parse(std::string(std::istreambuf_iterator<char>(file), {}));
    ASSERT_EQ(history["matches"].size(), 4000u);
    const auto& doubles = history["insights"]["modes"]["2vs2"];
    const auto& triples = history["insights"]["modes"]["3vs3"];
    ASSERT_EQ(doubles["winRate"]["matches"], 3000);

    // 15 points lower after a loss: found, and its size within the sampling error.
    EXPECT_EQ(doubles["tilt"]["beyondChance"], true) << doubles["tilt"];
    EXPECT_NEAR(doubles["tilt"]["difference"].get<double>(), 0.15, 0.06);
    EXPECT_EQ(doubles["standoutHour"]["hour"], 21) << doubles["standoutHour"];
    EXPECT_GT(doubles["byHour"][21]["rate"].get<double>(), doubles["winRate"]["rate"].get<double>());
    // Every 2vs2 match but the first of its session follows a win or a loss (sessions here
    // hold one mode each).
    int firsts = 0;
    for (std::size_t i = 0; i < history["matches"].size(); ++i) {
        const auto& match = history["matches"][i];
        if (match["mode"] == "2vs2" && (i == 0 || history["matches"][i - 1]["session"] != match["session"])) ++firsts;
    }
    EXPECT_EQ(doubles["afterWin"]["matches"].get<int>() + doubles["afterLoss"]["matches"].get<int>(), 3000 - firsts);
    // Nothing planted in 3vs3.
    EXPECT_EQ(triples["tilt"]["beyondChance"], false) << triples["tilt"];
    EXPECT_TRUE(triples["standoutHour"].is_null()) << triples["standoutHour"];

    std::ifstream text(out);
    const std::string said(std::istreambuf_iterator<char>(text), {});
    EXPECT_THAT(said, ::testing::HasSubstr("you win more at 21:00-22:00"));
    EXPECT_THAT(said, ::testing::HasSubstr("a difference beyond chance"));
}

}  // namespace
