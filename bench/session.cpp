#include "session.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include <fmt/format.h>


namespace bench {
Session::Session(bool load) {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    dir_ = pattern;
    host_ = std::make_unique<vhost::Host>(vhost::HostOptions{
        .pluginPath = {}, .workdir = dir_, .configPath = {}, .loadPlugin = load, .out = &out_, .err = &err_});
    const vhost::CommandResult started = host_->Start();
    if (!started.ok()) throw std::runtime_error("host start: " + started.message);
}

Session::~Session() {
    host_.reset();
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(dir_, ec);
}

void Session::Run(std::string_view line) {
    const vhost::CommandResult result = host_->Execute(line);
    if (!result.ok()) throw std::runtime_error(fmt::format("'{}': {}", line, result.message));
}

Vantrel& Session::Plugin() {
    const std::string path = vhost::DefaultPluginPath().string();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) throw std::runtime_error("the plug-in module is not loaded: " + path);
    const auto* info = static_cast<const PluginInfo*>(dlsym(module, "exports"));
    dlclose(module);  // the host keeps its own handle
    if (info == nullptr) throw std::runtime_error("the plug-in module has no record");
    // getPlugin answers the module's shared owner; while it holds an object, no new one is made.
    const auto* owner = reinterpret_cast<const std::shared_ptr<Vantrel>*>(info->getPlugin());
    if (owner == nullptr || !*owner) throw std::runtime_error("no plug-in object");
    return **owner;
}

void PlayFullTable(Session& session) {
    // Ratings and ranks as the game reports them before the first match.
    session.Run("mmr 10 712.25 rank 11 1");
    session.Run("mmr 11 1176.5 rank 16 3");
    session.Run("mmr 13 840.0 rank 13 0");
    session.Run("unload");
    session.Run("load");

    // Matches: the rating service answers the new rating, with the rank that goes with
    // it, by the time the match ends, so each poll finds its change at once.
    struct Match {
        int playlist;
        bool win;
        float rating;
        int tier;
        int division;
    };
    const Match matches[] = {
        {10, true, 721.5f, 11, 2},   {10, false, 712.0f, 11, 1},  {10, true, 720.75f, 11, 2},
        {11, true, 1185.0f, 16, 3},  {11, true, 1194.25f, 16, 3}, {11, false, 1186.0f, 16, 3},
        {11, true, 1195.5f, 17, 0},  {13, false, 831.0f, 12, 3},  {13, true, 841.5f, 13, 0},
        {13, true, 850.25f, 13, 1},  {13, true, 859.0f, 13, 1},   {13, false, 849.5f, 13, 1},
    };
    for (const Match& m : matches) {
        session.Run(fmt::format("match start {}", m.playlist));
        session.Run(fmt::format("mmr {} {} rank {} {}", m.playlist, m.rating, m.tier, m.division));
        session.Run(m.win ? "match end win" : "match end loss");
        session.Run("wait 1");
    }
    session.Run("leave");
}

}  // namespace bench
