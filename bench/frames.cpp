// Fixed work for callgrind: sets up the full table as the benchmarks do, then runs one
// kind of work N times inside vantrel_run, the one function callgrind collects in:
//
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect=vantrel_run
//            build/release/vantrel_frames render 1000
//
//   render    frames of the plug-in's table (the host backend's DrawFrame)
//   floor     the floor frame: the same canvas calls with ready-made strings
//   changing  frames whose statistics change before each one
//   log       log lines (user-space instructions only: the write itself is the kernel's)
//   poll      retries of the rating poll that find no change
//
// Prints "WHAT N": the instruction count divided by N is the cost of one.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "floor.h"
#include "session.h"

namespace {

class NoFrames final : public vhost::FrameDrawer {
public:
    bool WantsFrames() override { return false; }
    void DrawFrame() override {}
};

struct Work {
    virtual ~Work() = default;
    virtual void Once() = 0;
};

}  // namespace

// Not inlined, and under a plain name, so that callgrind can be told to collect in it alone.
extern "C" __attribute__((noinline)) void vantrel_run(Work& work, long count) {
    for (long i = 0; i < count; ++i) work.Once();
}

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "render";
    const long count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: vantrel_frames [render|floor|changing|log|poll] [COUNT]\n");
        return 2;
    }
    try {
        const bool table = what == "render" || what == "floor" || what == "changing";
        bench::Session session;
        if (table) bench::PlayFullTable(session);
        vhost::HostBackend& backend = session.host().backend();
        bench::DiscardCanvas canvas;
        vhost::TraceCanvas recorded(true);
        backend.DrawFrame(recorded);
        Vantrel& plugin = session.Plugin();

        struct Render final : Work {
            vhost::HostBackend& backend;
            bench::DiscardCanvas& canvas;
            Render(vhost::HostBackend& b, bench::DiscardCanvas& c) : backend(b), canvas(c) {}
            void Once() override { backend.DrawFrame(canvas); }
        };
        struct Floor final : Work {
            bench::FloorFrame frame;
            bench::DiscardCanvas& canvas;
            Floor(bench::FloorFrame f, bench::DiscardCanvas& c) : frame(std::move(f)), canvas(c) {}
            void Once() override { frame.Draw(CanvasWrapper(&canvas)); }
        };
        struct Changing final : Work {
            Render render;
            Vantrel& plugin;
            float change = 0.0f;
            int wins = 0;
            Changing(Render r, Vantrel& p) : render(r), plugin(p) {}
            void Once() override {
                change += 0.25f;
                if (change > 150.0f) change = -150.0f;
                plugin.deltaMMR[0] = change;
                plugin.deltaMMR[1] = -change;
                plugin.wins[2] = ++wins & 127;
                render.Once();
            }
        };
        struct LogLine final : Work {
            Vantrel& plugin;
            const std::string message = "CheckMMRUpdate: mmr: 1195.50, initialMMR: 1186.00, count: 0";
            explicit LogLine(Vantrel& p) : plugin(p) {}
            void Once() override { plugin.Log(message); }
        };
        struct Poll final : Work {
            bench::Session& session;
            NoFrames frames;
            int left = 119;
            explicit Poll(bench::Session& s) : session(s) {}
            void Once() override {
                if (left == 0) {  // counted too: once in 119 retries (see Poll in vantrel_bench.cpp)
                    session.host().world().ClearEvents();
                    session.Run("unload");
                    session.Run("load");
                    left = 119;
                }
                session.host().world().Advance(1.0, frames);
                --left;
            }
        };

        std::unique_ptr<Work> work;
        if (what == "render") {
            work = std::make_unique<Render>(backend, canvas);
        } else if (what == "floor") {
            work = std::make_unique<Floor>(bench::FloorFrame::From(recorded.Lines(), *plugin.posX, *plugin.posY), canvas);
        } else if (what == "changing") {
            work = std::make_unique<Changing>(Render(backend, canvas), plugin);
        } else if (what == "log") {
            work = std::make_unique<LogLine>(plugin);
        } else if (what == "poll") {
            if (count > 119) {
                std::fprintf(stderr, "vantrel_frames: poll runs at most 119 retries per load\n");
                return 2;
            }
            work = std::make_unique<Poll>(session);
        } else {
            std::fprintf(stderr, "vantrel_frames: unknown work '%s'\n", what.c_str());
            return 2;
        }
        vantrel_run(*work, count);
        std::printf("%s %ld\n", what.c_str(), count);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vantrel_frames: %s\n", e.what());
        return 1;
    }
    return 0;
}
