// The log's folder watched by the system, on a thread that does nothing else.
#include "change_watch.h"

#include <cstdint>
#include <thread>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#endif

namespace vantrel::report::serve {
namespace {

// The folder to watch: a bare file name is in the current one.
std::filesystem::path FolderOf(const std::filesystem::path& file) {
    const std::filesystem::path parent = file.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

}  // namespace

#if defined(_WIN32)

// A change notification for the folder's file names, sizes and write times: it does not
// name the file, so any change in the folder wakes the follower, which looks and finds
// nothing new when it was another file. (NTFS may report an open file's growth late; the
// regular look covers that.)
struct ChangeWatch::Impl {
    HANDLE change = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr;
    std::thread thread;

    Impl(const std::filesystem::path& file, std::function<void()> changed) {
        change = FindFirstChangeNotificationW(
            FolderOf(file).wstring().c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
        if (change == INVALID_HANDLE_VALUE) return;
        stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (stop == nullptr) {
            FindCloseChangeNotification(change);
            change = INVALID_HANDLE_VALUE;
            return;
        }
        thread = std::thread([this, changed = std::move(changed)] {
            const HANDLE handles[2] = {stop, change};
            while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
                changed();
                if (!FindNextChangeNotification(change)) break;
            }
        });
    }
    ~Impl() {
        if (thread.joinable()) {
            SetEvent(stop);
            thread.join();
        }
        if (stop != nullptr) CloseHandle(stop);
        if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
    }
    bool watching() const { return thread.joinable(); }
};

#else

// inotify on the folder (the file may not exist yet, be replaced by a rename or deleted):
// the events that name the log wake the follower.
struct ChangeWatch::Impl {
    int notify = -1;
    int stop = -1;
    std::thread thread;

    Impl(const std::filesystem::path& file, std::function<void()> changed) {
        notify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        stop = eventfd(0, EFD_CLOEXEC);
        if (notify < 0 || stop < 0) return;
        constexpr std::uint32_t kEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_DELETE |
                                          IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
        if (inotify_add_watch(notify, FolderOf(file).c_str(), kEvents | IN_ONLYDIR) < 0) return;
        thread = std::thread([this, name = file.filename().string(), changed = std::move(changed)] {
            alignas(inotify_event) char buffer[16 * 1024];
            pollfd waits[2] = {{notify, POLLIN, 0}, {stop, POLLIN, 0}};
            while (true) {
                if (::poll(waits, 2, -1) < 0) {
                    if (errno == EINTR) continue;
                    return;
                }
                if (waits[1].revents != 0) return;
                bool ours = false;
                ssize_t got = 0;
                while ((got = ::read(notify, buffer, sizeof buffer)) > 0) {
                    for (ssize_t at = 0; at < got;) {
                        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                        // The folder itself (gone, moved, overflowed) or the log by name.
                        if (event->len == 0 || (event->mask & IN_Q_OVERFLOW) != 0 || name == event->name) ours = true;
                        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    }
                }
                if (got < 0 && errno != EAGAIN && errno != EINTR) return;
                if (ours) changed();
            }
        });
    }
    ~Impl() {
        if (thread.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(stop, &one, sizeof one);
            thread.join();
        }
        if (notify >= 0) ::close(notify);
        if (stop >= 0) ::close(stop);
    }
    bool watching() const { return thread.joinable(); }
};

#endif

ChangeWatch::ChangeWatch(const std::filesystem::path& file, std::function<void()> changed)
    : impl_(std::make_unique<Impl>(file, std::move(changed))) {}

ChangeWatch::~ChangeWatch() = default;

bool ChangeWatch::watching() const { return impl_->watching(); }

}  // namespace vantrel::report::serve
