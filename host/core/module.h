// Plug-in modules: opening a shared library and finding its symbols (one implementation per
// platform behind the Module interface: module_posix.cpp uses dlopen; a Windows build adds
// its LoadLibrary one beside it), and reading and checking a module's plug-in record.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <pluginsdk/plugin.h>

namespace vhost {

// An open shared library; destroying it closes the library.
class Module {
public:
    virtual ~Module() = default;
    // The address of an exported symbol, or nullptr.
    virtual void* Symbol(const char* name) const = 0;

    // Opens the library at `path`. On failure returns nullptr and sets `error` to the
    // system's reason.
    static std::unique_ptr<Module> Open(const std::filesystem::path& path, std::string& error);
};

// File name suffix of plug-in modules on this platform (".so", ".dll").
extern const char* const kModuleSuffix;
// The directory of the running executable (empty if it cannot be found).
std::filesystem::path ExecutableDirectory();
// Where the build puts the plug-in: plugins/Vantrel.so (.dll) next to the executable.
std::filesystem::path DefaultPluginPath();

// What is wrong with a plug-in record, or an empty string when the host accepts it:
// interface revision 95 (upper four bytes 0), plug-in type 0, a non-empty class name, and
// both function addresses.
std::string CheckPluginInfo(const PluginInfo& info);

// A module whose plug-in record passed the checks.
struct PluginModule {
    std::shared_ptr<Module> module;
    const PluginInfo* info = nullptr;
    std::filesystem::path path;  // as opened (absolute)
};

// Keeps one open handle per module path for the life of the host: a plug-in's code and
// objects (callables held in timers, shared values held by bindings) may outlive its
// unload, so a module is closed only when the host is done with everything (CloseAll).
// Loading the same path again reuses the handle, so repeated loads do not pile up.
class ModuleCache {
public:
    // Opens (or reuses) the module and checks its record. On failure returns false and sets
    // `error` to a message that names the module and what is wrong; a refused module is
    // closed again at once.
    bool OpenPlugin(const std::filesystem::path& path, PluginModule& result, std::string& error);
    void CloseAll() { modules_.clear(); }
    std::size_t OpenCount() const { return modules_.size(); }

private:
    std::map<std::filesystem::path, std::shared_ptr<Module>> modules_;
};

}  // namespace vhost
