// vantrel-report --serve: follows the log and serves the live page, the overlay, the
// events and the history as JSON until Ctrl-C or SIGTERM.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "routes.h"

namespace vantrel::report::serve {

struct ServeOptions {
    std::filesystem::path log = "VantrelLog.txt";
    std::string address = "127.0.0.1";
    std::uint16_t port = kDefaultPort;
    bool open = false;                             // open the page in the default browser
    std::optional<std::filesystem::path> obsText;  // keep the text files in this folder
};

// Exit status: 0 after Ctrl-C or SIGTERM, 2 when the address cannot be listened on.
int RunServe(const ServeOptions& options);

}  // namespace vantrel::report::serve
