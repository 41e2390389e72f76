#include "chromium.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace vtest {

std::filesystem::path FindChromium() {
    if (const char* given = std::getenv("VANTREL_CHROMIUM"); given != nullptr && *given != '\0') return given;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        for (const char* name : {"chromium", "chromium-browser"}) {
            const std::filesystem::path candidate = std::filesystem::path(dir) / name;
            if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
    }
    return {};
}

}  // namespace vtest
