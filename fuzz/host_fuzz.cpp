// libFuzzer target: random command sequences against a vantrel-host with the real plug-in
// loaded, in-process. Each input is a script, one command a line, run by a fresh Host in a
// scratch working directory. Lines that would write files elsewhere or load other modules
// (`snapshot`, `settings`, `load PATH`) are left out, and waits are capped so that an input
// stays quick. Whatever the script does, the process must not crash, leak or trip a
// sanitizer; an exception that escapes the plug-in is the host's to report and is allowed
// here (the fault sweep checks which paths are guarded).
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>

#include "core/host.h"

namespace {

constexpr double kMaxWaitedSeconds = 10.0;  // per input: 600 frames at most
constexpr std::size_t kMaxLines = 200;

std::filesystem::path scratch;

// Whether the harness lets this line run; `waited` adds up the waits.
bool Allowed(std::string_view line, double& waited) {
    using namespace vhost::console;
    const ParseResult parsed = Parse(line);
    if (!parsed.ok()) return true;  // the host reports it; that is part of what is fuzzed
    const Command& command = parsed.command;
    if (std::holds_alternative<Snapshot>(command) || std::holds_alternative<Settings>(command)) return false;
    if (const auto* load = std::get_if<Load>(&command)) return load->path.empty();
    if (const auto* wait = std::get_if<Wait>(&command)) {
        if (waited + wait->seconds > kMaxWaitedSeconds) return false;
        waited += wait->seconds;
    }
    return true;
}

// The plug-in writes its log to the working directory: each input runs in the scratch
// directory, and libFuzzer (which writes corpus files and findings relative to where it
// was started) gets its own directory back when the input is done.
class InScratch {
public:
    InScratch() : back_(open(".", O_RDONLY | O_DIRECTORY)) {
        if (back_ < 0 || chdir(scratch.c_str()) != 0) std::abort();
    }
    ~InScratch() {
        if (fchdir(back_) != 0) std::abort();
        close(back_);
    }
    InScratch(const InScratch&) = delete;
    InScratch& operator=(const InScratch&) = delete;

private:
    int back_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The plug-in's coverage counters are registered with libFuzzer when the module comes
    // in; unmapped with the first Host they would be written after it. Held here, the
    // module stays mapped for the whole run (each Host still opens and closes it).
    if (dlopen(VANTREL_FUZZ_PLUGIN, RTLD_NOW | RTLD_NODELETE) == nullptr) std::abort();
    char pattern[] = "/tmp/vantrel-host-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    scratch = pattern;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(scratch, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const InScratch inScratch;
    std::error_code ec;
    std::filesystem::remove(scratch / "VantrelLog.txt", ec);  // one input's log at a time

    std::ostringstream out;
    std::ostringstream err;
    vhost::HostOptions options;
    options.pluginPath = VANTREL_FUZZ_PLUGIN;
    options.configPath = scratch / "config.cfg";  // read if there, never written (no Finish)
    options.out = &out;
    options.err = &err;
    vhost::Host host(options);
    if (!host.Start().ok()) std::abort();  // the plug-in itself must always load

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    double waited = 0.0;
    std::size_t lines = 0;
    for (std::size_t start = 0; start < input.size() && lines < kMaxLines; ++lines) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(start, end - start);
        start = end + 1;
        if (!Allowed(line, waited)) continue;
        if (host.Execute(line).outcome == vhost::Outcome::Quit) break;
        if (out.tellp() > (1 << 20)) out.str("");
    }
    return 0;  // ~Host unloads without saving
}
