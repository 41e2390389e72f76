#include "in_process_host.h"

#include <gtest/gtest.h>

#if defined(VTEST_HAVE_FACES)
#include "app/standard_faces.h"
#endif

namespace vtest {

InProcessHost::InProcessHost(const std::filesystem::path& plugin) {
    options.pluginPath = plugin;
    options.workdir = dir.path() / "work";
    options.configPath = dir.path() / "config.cfg";
    options.loadPlugin = false;
    options.out = &out;
    options.err = &err;
#if defined(VTEST_HAVE_FACES)
    options.faces = vhost::StandardFaces();
#endif
}

InProcessHost::~InProcessHost() {
    host.reset();
    std::error_code ec;
    std::filesystem::current_path(previous, ec);
}

vhost::CommandResult InProcessHost::Start() {
    host.reset();
    host = std::make_unique<vhost::Host>(options);
    return host->Start();
}

std::string InProcessHost::Run(const std::string& line) {
    const vhost::CommandResult result = Try(line);
    EXPECT_TRUE(result.ok()) << line << ": " << result.message;
    return out.str();
}

vhost::CommandResult InProcessHost::Try(const std::string& line) {
    out.str("");
    return host->Execute(line);
}

}  // namespace vtest
