// The benchmarks' floor frame (bench/floor.cpp) copies the overlay's drawing without its
// formatting. It is only a floor while it makes the overlay's very calls: checked here,
// call for call with GetPosition included, for tables and positions that take the
// overlay's different paths.
#include <limits>

#include "floor.h"
#include "plugin_fixture.h"
#include "core/trace_canvas.h"

namespace {

using Floor = PluginTest;

// The plug-in's frame, and the floor's drawn from it.
void ExpectFloorMatches(vtest::FakeHost& host, const Vantrel& plugin) {
    vhost::TraceCanvas overlay(true);
    host.DrawFrame(overlay);
    const bench::FloorFrame floor = bench::FloorFrame::From(overlay.Lines(), *plugin.posX, *plugin.posY);
    vhost::TraceCanvas copy(true);
    floor.Draw(CanvasWrapper(&copy));
    EXPECT_EQ(copy.Lines(), overlay.Lines()) << "at " << *plugin.posX << ", " << *plugin.posY;
}

TEST_F(Floor, MakesTheOverlaysCallsCallForCall) {
    host.rating = {{10, 150.0f}, {11, 850.0f}, {13, 1800.0f}};
    host.rank = {{10, {1, 3, 0}}, {11, {13, 1, 0}}, {13, {21, 2, 0}}};
    Vantrel& plugin = host.Load();
    ExpectFloorMatches(host, plugin);  // the fresh table at the default place

    plugin.wins = {3, 12, 0, 5};
    plugin.losses = {12, 3, 1, 5};
    plugin.deltaMMR = {-25.5f, 123.456f, 9.996f, 40.0f};
    for (const auto& [x, y] : {std::pair{123.75f, 40.3f}, std::pair{-7.1f, 1e-3f}, std::pair{1919.99f, 1079.99f},
                               std::pair{16777215.0f, -0.7f}, std::pair{3e38f, -3e38f},
                               std::pair{std::numeric_limits<float>::quiet_NaN(), 2.5f}}) {
        *plugin.posX = x;
        *plugin.posY = y;
        ExpectFloorMatches(host, plugin);
    }
}

}  // namespace
