// vantrel-host's own time(): the plug-in module's calls of the C library's time() bind to
// this definition (the executable exports it, and the executable comes first in the
// dynamic linker's search), so the local time the plug-in logs can follow the virtual
// clock. Until a clock is set it answers the real time, as the C library would, for the
// module and every library of the process alike.
#include <ctime>

#include "core/wall_clock.h"

extern "C" std::time_t time(std::time_t* out) noexcept {
    const std::optional<std::time_t> virtualTime = vhost::CurrentWallTime();
    const std::time_t now = virtualTime ? *virtualTime : vhost::RealTime();
    if (out != nullptr) *out = now;
    return now;
}

namespace {
// Tells the host core that setting the clock has an effect in this program.
[[maybe_unused]] const bool routed = (vhost::MarkTimeRouted(), true);
}  // namespace
