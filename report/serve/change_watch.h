// The system's word that the log may have changed, so that a written line is read at once
// rather than at the next look: inotify on the log's folder on Linux, a directory change
// notification (FindFirstChangeNotificationW) on Windows, which Wine maps to inotify. A
// thread of its own waits for the system and calls `changed`, which must be safe to call
// from any thread (Server::Wake is). Where the folder cannot be watched (it is missing, a
// file system that notifies nothing), nothing is called: the follower's regular look
// still finds every change.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

namespace vantrel::report::serve {

class ChangeWatch {
public:
    ChangeWatch(const std::filesystem::path& file, std::function<void()> changed);
    ~ChangeWatch();  // stops and joins the thread
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // Whether the system watches the folder (false: the regular look alone).
    bool watching() const;

private:
    struct Impl;  // per platform (change_watch.cpp)
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantrel::report::serve
