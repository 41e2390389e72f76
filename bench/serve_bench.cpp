// --serve's cost per appended match on a long history: the live history fed one match's
// lines (result, match, rating), its events made, and the overlay's glance answered, with
// 10,000 and 1,000,000 matches already read.
#include <benchmark/benchmark.h>

#include <string>

#include <fmt/format.h>

#include "calendar.h"
#include "serve/live_history.h"

namespace {

using namespace vantrel::report;
using namespace vantrel::report::serve;

// One session of `perSession` matches after another, each match three lines.
class LogWriter {
public:
    std::string Matches(long count) {
        std::string out;
        for (long i = 0; i < count; ++i) {
            if (n_ % 20 == 0) {
                wins_ = 0;
                Line(out, "CheckMMRUpdate: mmr: 1000.00, initialMMR: 0.00, count: 2");
            }
            ++n_;
            ++wins_;
            Line(out, "OnMatchEnd: wonMatch: 1");
            Line(out, fmt::format("Match ended: ModeIndex: 1, Wins: {}, Losses: 0, Starting MMR: {:.2f}, Delta MMR: +00.00",
                                  wins_, rating_));
            seconds_ += 3;
            Line(out, fmt::format("CheckMMRUpdate: mmr: {:.2f}, initialMMR: {:.2f}, count: 3", rating_ + 10, rating_));
            rating_ = rating_ > 2000 ? 1000 : rating_ + 10;
            seconds_ += 300;
        }
        return out;
    }

private:
    void Line(std::string& out, std::string_view message) {
        out += FormatLocalTime(seconds_);
        out += " - ";
        out += message;
        out += "\r\n";
    }
    long n_ = 0;
    int wins_ = 0;
    double rating_ = 1000;
    LocalSeconds seconds_ = 1'700'000'000;
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

}  // namespace

BENCHMARK_MAIN();
