// --serve's cost per appended match on a long history: the live history fed one match's
// lines (result, match, rating), its events made, and the overlay's glance answered, with
// 10,000 and 1,000,000 matches already read.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
