// Options for an in-process vantrel-host with this build's plug-in (not loaded at start),
// in a fresh temporary directory, with its output captured. The host makes its working
// directory the process's current one; the previous one is restored when this goes, after
// the Host made from it (declare this first).
#pragma once

#include <filesystem>
#include <sstream>

#include "host.h"
#include "reliability_support.h"

namespace vrel {

struct InProcessHost {
    InProcessHost() {
        options.pluginPath = VANTREL_PLUGIN_PATH;
        options.workdir = dir.path() / "work";
        options.configPath = dir.path() / "config.cfg";
        options.loadPlugin = false;
        options.out = &out;
        options.err = &err;
    }
    ~InProcessHost() { std::filesystem::current_path(previous); }
    InProcessHost(const InProcessHost&) = delete;
    InProcessHost& operator=(const InProcessHost&) = delete;

    const std::filesystem::path previous = std::filesystem::current_path();
    TempDir dir;
    std::ostringstream out;
    std::ostringstream err;
    vhost::HostOptions options;
};

}  // namespace vrel
