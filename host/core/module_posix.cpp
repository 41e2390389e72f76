// dlopen implementation of Module.
#include "core/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>

namespace vhost {
namespace {

class PosixModule final : public Module {
public:
    explicit PosixModule(void* handle) : handle_(handle) {}
    ~PosixModule() override { dlclose(handle_); }
    PosixModule(const PosixModule&) = delete;
    PosixModule& operator=(const PosixModule&) = delete;

    void* Symbol(const char* name) const override {
        dlerror();
        return dlsym(handle_, name);
    }

private:
    void* handle_;
};

}  // namespace

const char* const kModuleSuffix = ".so";

std::unique_ptr<Module> Module::Open(const std::filesystem::path& path, std::string& error) {
    dlerror();
    // A path with a slash is opened as that file, never searched for.
    std::string name = path.string();
    if (name.find('/') == std::string::npos) name = "./" + name;
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown error";
        return nullptr;
    }
    return std::make_unique<PosixModule>(handle);
}

std::filesystem::path ExecutableDirectory() {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return std::filesystem::path(std::string(buffer.data(), static_cast<std::size_t>(length))).parent_path();
}

}  // namespace vhost
