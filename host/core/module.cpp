#include "core/module.h"

#include <system_error>

#include <fmt/format.h>

namespace vhost {

std::filesystem::path DefaultPluginPath() {
    return ExecutableDirectory() / "plugins" / (std::string("Vantrel") + kModuleSuffix);
}

std::string CheckPluginInfo(const PluginInfo& info) {
    if (info.interfaceRevisionHigh != 0) {
        return fmt::format("its plug-in record has interface revision {:#x}; the upper four bytes must be 0",
                           (static_cast<std::uint64_t>(info.interfaceRevisionHigh) << 32) | info.interfaceRevision);
    }
    if (info.interfaceRevision != kPluginInterfaceRevision) {
        return fmt::format("its plug-in record has interface revision {}; this host speaks revision {}",
                           info.interfaceRevision, kPluginInterfaceRevision);
    }
    if (info.pluginType != kPluginTypeNormal) {
        return fmt::format("its plug-in record has plug-in type {}; this host loads only type {} (an ordinary plug-in)",
                           info.pluginType, kPluginTypeNormal);
    }
    if (info.className == nullptr || info.className[0] == '\0') return "its plug-in record has no class name";
    if (info.getPlugin == nullptr) return "its plug-in record has no getPlugin address";
    if (info.deleteMe == nullptr) return "its plug-in record has no deleteMe address";
    return {};
}

bool ModuleCache::OpenPlugin(const std::filesystem::path& path, PluginModule& result, std::string& error) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    if (ec || absolute.empty()) absolute = std::filesystem::absolute(path, ec);
    const auto prefix = [&] { return "cannot load plug-in " + path.string() + ": "; };

    std::shared_ptr<Module> module;
    bool fresh = false;
    if (auto found = modules_.find(absolute); found != modules_.end()) {
        module = found->second;
    } else {
        if (!std::filesystem::exists(absolute, ec)) {
            error = prefix() + "no such file";
            return false;
        }
        std::string reason;
        module = Module::Open(absolute, reason);
        if (!module) {
            error = prefix() + "cannot open the module: " + reason;
            return false;
        }
        fresh = true;
    }

    const auto* info = static_cast<const PluginInfo*>(module->Symbol("exports"));
    std::string problem = info == nullptr ? "it exports no plug-in record `exports`" : CheckPluginInfo(*info);
    if (!problem.empty()) {
        error = prefix() + problem;
        return false;  // a fresh module is closed here, as nothing of it was used
    }
    if (fresh) modules_.emplace(absolute, module);
    result.module = std::move(module);
    result.info = info;
    result.path = absolute;
    return true;
}

}  // namespace vhost
