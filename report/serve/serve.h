// vantrel-report --serve: follows the log and serves the live page, the overlay, the
// events and the history as JSON until Ctrl-C or SIGTERM.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "insights.h"
#include "routes.h"
#include "stream_session.h"

namespace vantrel::report::serve {

struct ServeOptions {
    std::filesystem::path log = "VantrelLog.txt";
    std::string address = "127.0.0.1";
    std::uint16_t port = kDefaultPort;
    bool open = false;                             // open the page in the default browser
    std::optional<std::filesystem::path> obsText;  // keep the text files in this folder
    InsightOptions insights;                       // --goal: the live insights' goals
    StreamSession stream;                          // --stream-session: the default "this session"
};

// Exit status: 0 after Ctrl-C or SIGTERM, 2 when the address cannot be listened on.
// With `open`, `openUrl` is handed the page's URL once the server listens (false: it
// could not be opened, a warning).
int RunServe(const ServeOptions& options, const std::function<bool(const std::string& url)>& openUrl = {});

}  // namespace vantrel::report::serve
