// An in-process vantrel-host for tests: options that point into a fresh temporary
// directory (working directory work/, configuration config.cfg) with the output captured,
// and a Host made from them on demand.
//
//   vtest::InProcessHost setup(PLUGIN_MODULE);
//   ASSERT_TRUE(setup.Start().ok());
//   EXPECT_EQ(setup.Run("get vantrel_pos_x"), "vantrel_pos_x = \"10\"\n");
//
// Change `options` before Start(); `host` is then the Host for everything the command
// language does not reach (its clock, settings window, counters). The host makes its
// working directory the process's current one: the previous one is restored, after the
// Host is gone, when this goes.
#pragma once

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "core/host.h"
#include "temp_dir.h"

namespace vtest {

class InProcessHost {
public:
    // `plugin`: the module the host loads; not at start unless options.loadPlugin is set.
    explicit InProcessHost(const std::filesystem::path& plugin);
    ~InProcessHost();
    InProcessHost(const InProcessHost&) = delete;
    InProcessHost& operator=(const InProcessHost&) = delete;

    // Makes `host` from `options`, after dropping the one made before, and starts it.
    vhost::CommandResult Start();
    // Drops `host` (unloading as the host's destructor does).
    void Stop() { host.reset(); }
    // Runs a line that must succeed (else the test fails); returns what it printed.
    std::string Run(const std::string& line);
    // Runs a line with `out` cleared first; its result.
    vhost::CommandResult Try(const std::string& line);

    const std::filesystem::path previous = std::filesystem::current_path();
    TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    vhost::HostOptions options;
    std::unique_ptr<vhost::Host> host;
};

}  // namespace vtest
