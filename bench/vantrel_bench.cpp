// Google Benchmarks of the plug-in's recurring costs, each next to its floor:
//
//   Render       one frame of the full table, drawn as the host draws it (the registered
//                drawable, through the host backend's DrawFrame) onto a discarding canvas;
//   RenderFloor  the same canvas calls with ready-made strings;
//   Log          one log line; LogFloor: write(2) of the same bytes to a file;
//   Poll         one retry of the rating poll that finds no change (the host's timer fires,
//                the plug-in asks the rating service, sets the next retry); PollFloor: a
//                minimal retrying callback making the same host calls;
//   Load         load (getPlugin, handles, onLoad) with the unload outside the timing;
//   LoadUnload   a whole load and unload cycle through the host's commands.
//
// Frame benchmarks report heap allocations per frame (allocs) and how many of the drawn
// strings are longer than the small-string buffer (long_strings): each of those must
// allocate once when copied into DrawString's by-value parameter, nothing else need.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <sstream>

#include <benchmark/benchmark.h>

#include "alloc_counter.h"
#include "floor.h"
#include "session.h"

namespace {

// Sets a counter to the allocations made per iteration since `before`.
void ReportAllocations(benchmark::State& state, std::size_t before) {
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(bench::Allocations() - before),
                                                  benchmark::Counter::kAvgIterations);
}

// A frame of the full table, recorded; the benchmark stops with an error unless the floor
// makes exactly the same calls.
struct TableFixture {
    bench::Session session;
    vhost::TraceCanvas recorded{true};  // GetPosition included
    bench::FloorFrame floor;

    TableFixture() {
        bench::PlayFullTable(session);
        session.host().backend().DrawFrame(recorded);
        floor = bench::FloorFrame::From(recorded.Lines(), *session.Plugin().posX, *session.Plugin().posY);
    }
    bool FloorMatches() {
        vhost::TraceCanvas replay{true};
        floor.Draw(CanvasWrapper(&replay));
        return replay.Lines() == recorded.Lines();
    }
};

void Render(benchmark::State& state) {
    TableFixture table;
    if (!table.FloorMatches()) return state.SkipWithError("the floor frame differs from the plug-in's");
    vhost::HostBackend& backend = table.session.host().backend();
    bench::DiscardCanvas canvas;
    const std::size_t before = bench::Allocations();
    for (auto _ : state) {
        backend.DrawFrame(canvas);
        benchmark::ClobberMemory();
    }
    ReportAllocations(state, before);
    state.counters["long_strings"] = static_cast<double>(bench::LongStrings(table.recorded.Lines()));
}
BENCHMARK(Render);

void RenderFloor(benchmark::State& state) {
    TableFixture table;
    if (!table.FloorMatches()) return state.SkipWithError("the floor frame differs from the plug-in's");
    bench::DiscardCanvas canvas;
    const std::size_t before = bench::Allocations();
    for (auto _ : state) {
        table.floor.Draw(CanvasWrapper(&canvas));
        benchmark::ClobberMemory();
    }
    ReportAllocations(state, before);
    state.counters["long_strings"] = static_cast<double>(bench::LongStrings(table.recorded.Lines()));
}
BENCHMARK(RenderFloor);

// The worst case: the statistics change before every frame (in play they change once a
// match), so no text of the changed rows can be the one drawn before.
void RenderChanging(benchmark::State& state) {
    TableFixture table;
    Vantrel& plugin = table.session.Plugin();
    vhost::HostBackend& backend = table.session.host().backend();
    bench::DiscardCanvas canvas;
    const std::size_t before = bench::Allocations();
    float change = 0.0f;
    int wins = 0;
    for (auto _ : state) {
        change += 0.25f;
        if (change > 150.0f) change = -150.0f;
        plugin.deltaMMR[0] = change;
        plugin.deltaMMR[1] = -change;
        plugin.wins[2] = ++wins & 127;
        backend.DrawFrame(canvas);
        benchmark::ClobberMemory();
    }
    ReportAllocations(state, before);
}
BENCHMARK(RenderChanging);

// --- the log ------------------------------------------------------------------------------

// A typical line: the rating poll's report of a change.
const std::string kMessage = "CheckMMRUpdate: mmr: 1195.50, initialMMR: 1186.00, count: 0";

void Log(benchmark::State& state) {
    bench::Session session;
    Vantrel& plugin = session.Plugin();
    const std::size_t before = bench::Allocations();
    for (auto _ : state) plugin.Log(kMessage);
    ReportAllocations(state, before);

    // The lines must be the plug-in's: time stamp, " - ", the message.
    std::ifstream in(session.dir() / "VantrelLog.txt");
    std::string line, last;
    while (std::getline(in, line)) last = line;
    if (last.size() != 22 + kMessage.size() || last.compare(19, std::string::npos, " - " + kMessage) != 0)
        state.SkipWithError("the log's last line is not the message");
}
// A fixed count keeps the file small (some 25 MB); the floor writes as many lines.
constexpr benchmark::IterationCount kLogLines = 300000;
BENCHMARK(Log)->Iterations(kLogLines);

void LogFloor(benchmark::State& state) {
    bench::Session session(/*load=*/false);
    const int fd = open("floor.txt", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return state.SkipWithError("cannot open floor.txt");
    // The same bytes as a log line: a time stamp of now, " - ", the message, a line feed.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::ostringstream text;
    text << std::put_time(&local, "%Y-%m-%d %H:%M:%S") << " - " << kMessage << '\n';
    const std::string bytes = text.str();
    for (auto _ : state) {
        if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            state.SkipWithError("write failed");
            break;
        }
    }
    close(fd);
}
BENCHMARK(LogFloor)->Iterations(kLogLines);

// --- the rating poll ----------------------------------------------------------------------

class NoFrames final : public vhost::FrameDrawer {
public:
    bool WantsFrames() override { return false; }
    void DrawFrame() override {}
};

// The plug-in's own poll: onLoad asks for the 1vs1 rating, which the rating service does
// not know (0.0), and retries once a second, at most 120 times. Each iteration moves the
// clock one second: the retry due then runs. The 120th retry would log that it gives up,
// so after 119 the plug-in is loaded afresh, outside the timing.
void Poll(benchmark::State& state) {
    bench::Session session;
    vhost::World& world = session.host().world();
    NoFrames frames;
    int left = 119;
    std::size_t reloading = 0;  // allocations of the reloads, not counted
    const std::size_t before = bench::Allocations();
    for (auto _ : state) {
        if (left == 0) {
            state.PauseTiming();
            const std::size_t start = bench::Allocations();
            world.ClearEvents();
            session.Run("unload");
            session.Run("load");
            left = 119;
            reloading += bench::Allocations() - start;
            state.ResumeTiming();
        }
        world.Advance(1.0, frames);
        --left;
    }
    ReportAllocations(state, before + reloading);
    if (world.PendingEvents(vhost::World::EventKind::Timer) != 1) state.SkipWithError("the poll stopped retrying");
}
BENCHMARK(Poll);

// What any safe retrying check must do in this host: the timer fires, the callback checks
// that its object still lives (weak reference), asks for the rating service, the player's
// id and the rating, and sets the next retry with a callable of the same size.
struct FloorRetry {
    std::weak_ptr<int> self;
    int playlist;
    float initial;
    int maxRetries;
    int count;

    void operator()(GameWrapper* game) const {
        const std::shared_ptr<int> alive = self.lock();
        if (!alive) return;
        MMRWrapper ratings = game->GetMMRWrapper();
        UniqueIDWrapper player = game->GetUniqueID();
        if (ratings.GetPlayerMMR(player, playlist) == initial) {
            game->SetTimeout(FloorRetry{self, playlist, initial, maxRetries, count + 1}, 1.0f);
        }
    }
};

void PollFloor(benchmark::State& state) {
    bench::Session session(/*load=*/false);
    vhost::World& world = session.host().world();
    NoFrames frames;
    const auto self = std::make_shared<int>(0);
    GameWrapper game(1);
    game.SetTimeout(FloorRetry{self, 10, 0.0f, 120, 0}, 1.0f);
    const std::size_t before = bench::Allocations();
    for (auto _ : state) world.Advance(1.0, frames);
    ReportAllocations(state, before);
    world.ClearEvents();
}
BENCHMARK(PollFloor);

// --- start-up -----------------------------------------------------------------------------

// The host's `load`: the module (already open) looked up, getPlugin (the object built, its
// rank tables included), the handles, and onLoad: the log opened, one rating check that
// finds the rating and logs it, the ratings and ranks read, four console variables and a
// command registered, four hooks and the drawable. The `unload` after it is not timed.
void Load(benchmark::State& state) {
    bench::Session session(/*load=*/false);
    session.Run("mmr 10 712.25 rank 11 1");
    session.Run("mmr 11 1176.5 rank 16 3");
    session.Run("mmr 13 840.0 rank 13 0");
    for (auto _ : state) {
        session.Run("load");
        state.PauseTiming();
        session.Run("unload");
        state.ResumeTiming();
    }
}
BENCHMARK(Load);

// `load` and `unload` (onUnload, the registrations dropped, deleteMe, the object destroyed).
void LoadUnload(benchmark::State& state) {
    bench::Session session(/*load=*/false);
    session.Run("mmr 10 712.25 rank 11 1");
    session.Run("mmr 11 1176.5 rank 16 3");
    session.Run("mmr 13 840.0 rank 13 0");
    const std::size_t before = bench::Allocations();
    for (auto _ : state) {
        session.Run("load");
        session.Run("unload");
    }
    ReportAllocations(state, before);
}
BENCHMARK(LoadUnload);

}  // namespace

BENCHMARK_MAIN();
