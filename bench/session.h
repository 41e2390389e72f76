// What the benchmarks and the frame driver share: a vhost::Host running in-process in a
// fresh temporary working directory with the real plug-in module (plugins/Vantrel.so)
// loaded; a session that fills the statistics table as a player's evening would; the
// canvas the frames are drawn on. Frames are recorded on the host's trace canvas with
// GetPosition included (vhost::TraceCanvas(true)); the floor frame is in floor.h.
#pragma once

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include <host.h>
#include <trace_canvas.h>

#include "Vantrel.h"

namespace bench {

// A Host in its own temporary directory. Only one may exist at a time (the SDK has one
// backend slot). The destructor destroys the host, goes back to the directory the process
// was in and removes the temporary one.
class Session {
public:
    // `load`: load the plug-in at start (otherwise `load` later).
    explicit Session(bool load = true);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    vhost::Host& host() { return *host_; }
    const std::filesystem::path& dir() const { return dir_; }

    // Runs one command line; throws std::runtime_error when it fails.
    void Run(std::string_view line);

    // The loaded plug-in object, reached as the host reaches it: through the module's
    // exported record and getPlugin. Only virtual functions and data members of it may be
    // used (the module exports nothing else).
    Vantrel& Plugin();

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::unique_ptr<vhost::Host> host_;
};

// Ratings known at start, then matches in every ranked mode with rating changes, then
// back to the menus: every row has wins, losses, a change and a real rank, and the table
// shows (it is visible in the menus).
//   1vs1  P2 D3  2-1  +08.50    2vs2  CH2 D1  3-1  +19.00    3vs3  D1 D2  3-2  +09.50
void PlayFullTable(Session& session);

// Draws nothing; keeps the pen so that GetPosition answers what was set.
using DiscardCanvas = vhost::DiscardCanvas;

}  // namespace bench
