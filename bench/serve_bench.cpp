// --serve's cost per appended match on a long history: the live history fed one match's
// lines (result, match, rating), its events made, and the overlay's glance answered, with
// 10,000 and 1,000,000 matches already read. Then what a request costs right after a new
// match: /api/insights.json (the insights made afresh, their roads simulated) and the live
// page with its insights, on 10,000 matches of every ranked mode at an even form, the
// roads' slowest case (most runs go the full 1,000 matches).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "log_lines.h"
#include "serve/live_history.h"

namespace {

using namespace vantrel::report;
using namespace vantrel::report::serve;

// Sessions of 20 matches, one after another, each match three lines.
class LogWriter {
public:
    LogWriter() { log_.Crlf(); }
    std::string Matches(long count) {
        for (long i = 0; i < count; ++i) {
            if (n_ % 20 == 0) {
                wins_ = 0;
                log_.Line(vtest::Rating(1000, 0, 2), 0);
            }
            ++n_;
            ++wins_;
            log_.Line(vtest::Won(true), 0).Line(vtest::Ended(1, wins_, 0, rating_), 3);
            log_.Line(vtest::Rating(rating_ + 10, rating_, 3), 300);
            rating_ = rating_ > 2000 ? 1000 : rating_ + 10;
        }
        return log_.Take();
    }

private:
    vtest::LogText log_{1'700'000'000};
    long n_ = 0;
    int wins_ = 0;
    double rating_ = 1000;
};

void BM_AppendOneMatch(benchmark::State& state) {
    LogWriter writer;
    LiveHistory live;
    for (long done = 0; done < state.range(0); done += 10'000) live.Feed(writer.Matches(10'000));
    live.Settle();
    for (auto _ : state) {
        state.PauseTiming();
        const std::string match = writer.Matches(1);
        state.ResumeTiming();
        live.Feed(match);
        std::vector<LiveEvent> events = live.TakeEvents();
        benchmark::DoNotOptimize(events);
        benchmark::DoNotOptimize(live.GlanceJsonText());
    }
}
BENCHMARK(BM_AppendOneMatch)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// Sessions of 10 matches, the three ranked modes in turn, won or lost at even chances by
// 8 to 12 points; each mode a goal 300 points up.
class EvenFormLog {
public:
    EvenFormLog() { log_.Crlf(); }
    std::string Matches(long count) {
        for (long i = 0; i < count; ++i, ++n_) {
            if (n_ % 10 == 0) {
                for (int m = 0; m < 3; ++m) wins_[m] = losses_[m] = 0;
                log_.Line(vtest::Rating(rating_[0], 0, 0), 0);
            }
            const int mode = static_cast<int>(n_ % 3);
            const bool won = random_() % 2 == 0;
            const double change = (won ? 1 : -1) * (8 + static_cast<double>(random_() % 17) / 4);
            ++(won ? wins_ : losses_)[mode];
            log_.Line(vtest::Won(won), 0).Line(vtest::Ended(mode, wins_[mode], losses_[mode], rating_[mode]), 0);
            log_.Line(vtest::Rating(rating_[mode] + change, rating_[mode], 0), 300);
            rating_[mode] += change;
        }
        return log_.Take();
    }

private:
    vtest::LogText log_{1'700'000'000};
    std::mt19937 random_{5};
    long n_ = 0;
    int wins_[3] = {};
    int losses_[3] = {};
    double rating_[3] = {1000, 1000, 1000};
};

template <typename Ask>
void AskAfterEachMatch(benchmark::State& state, Ask ask) {
    EvenFormLog writer;
    LiveHistory live;
    InsightOptions goals;
    for (std::size_t m = 0; m < 3; ++m) goals.goals[m] = 1300.0;
    live.SetInsightOptions(goals);
    live.Feed(writer.Matches(state.range(0)));
    live.Settle();
    for (auto _ : state) {
        state.PauseTiming();
        live.Feed(writer.Matches(1));
        benchmark::DoNotOptimize(live.TakeEvents());
        state.ResumeTiming();
        benchmark::DoNotOptimize(ask(live));
    }
}
void BM_InsightsJsonAfterAMatch(benchmark::State& state) {
    AskAfterEachMatch(state, [](LiveHistory& live) { return live.InsightsJsonText(); });
}
void BM_PageAfterAMatch(benchmark::State& state) {
    AskAfterEachMatch(state, [](LiveHistory& live) { return live.PageText(); });
}
BENCHMARK(BM_InsightsJsonAfterAMatch)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_PageAfterAMatch)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
