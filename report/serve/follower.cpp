// The log follower: one open handle on the file, its size and identity checked at each
// look. Identity (device and inode; on Windows volume and file index) tells a replaced
// file from the one already open; a size below what was read tells a truncation.
#include "follower.h"

#include <cerrno>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrel::report::serve {
namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 16;

struct Identity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const Identity&) const = default;
};

}  // namespace

#if defined(_WIN32)

namespace {

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

bool IsMissing(DWORD code) {
    // A file deleted while another handle holds it open is "delete pending": as good as gone.
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_ACCESS_DENIED ||
           code == ERROR_DELETE_PENDING;
}

// Shared reading, writing and deleting: the plug-in appends, anyone may delete or rename.
HANDLE OpenShared(const std::filesystem::path& path) {
    return CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool HandleInfo(HANDLE handle, Identity& id, std::uint64_t& size) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return true;
}

}  // namespace

struct LogFollower::File {
    HANDLE handle = INVALID_HANDLE_VALUE;
    Identity id;
    ~File() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    // Null with `missing` or `error` set when the file cannot be opened.
    static std::unique_ptr<File> Open(const std::filesystem::path& path, bool& missing, std::string& error) {
        auto file = std::make_unique<File>();
        file->handle = OpenShared(path);
        if (file->handle == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            missing = IsMissing(code);
            error = SystemMessage(code);
            return nullptr;
        }
        std::uint64_t size = 0;
        if (!HandleInfo(file->handle, file->id, size)) {
            error = SystemMessage(GetLastError());
            return nullptr;
        }
        return file;
    }
    // What the name refers to now; false with `missing` when nothing.
    static bool PathIdentity(const std::filesystem::path& path, Identity& id, bool& missing) {
        HANDLE handle = OpenShared(path);
        if (handle == INVALID_HANDLE_VALUE) {
            missing = IsMissing(GetLastError());
            return false;
        }
        std::uint64_t size = 0;
        const bool ok = HandleInfo(handle, id, size);
        CloseHandle(handle);
        missing = false;
        return ok;
    }
    bool Size(std::uint64_t& size, std::string& error) {
        LARGE_INTEGER value{};
        if (!GetFileSizeEx(handle, &value)) {
            error = SystemMessage(GetLastError());
            return false;
        }
        size = static_cast<std::uint64_t>(value.QuadPart);
        return true;
    }
    bool Read(std::uint64_t offset, char* data, std::size_t size, std::size_t& got, std::string& error) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (!ReadFile(handle, data, static_cast<DWORD>(size), &read, &at)) {
            const DWORD code = GetLastError();
            if (code == ERROR_HANDLE_EOF) {
                got = 0;
                return true;
            }
            error = SystemMessage(code);
            return false;
        }
        got = read;
        return true;
    }
};

#else

struct LogFollower::File {
    int fd = -1;
    Identity id;
    ~File() {
        if (fd >= 0) ::close(fd);
    }
    static std::unique_ptr<File> Open(const std::filesystem::path& path, bool& missing, std::string& error) {
        auto file = std::make_unique<File>();
        file->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (file->fd < 0 || ::fstat(file->fd, &info) != 0) {
            missing = errno == ENOENT || errno == ENOTDIR;
            error = std::strerror(errno);
            return nullptr;
        }
        if (S_ISDIR(info.st_mode)) {
            missing = false;
            error = std::strerror(EISDIR);
            return nullptr;
        }
        file->id = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
        return file;
    }
    static bool PathIdentity(const std::filesystem::path& path, Identity& id, bool& missing) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            missing = errno == ENOENT || errno == ENOTDIR;
            return false;
        }
        id = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
        missing = false;
        return true;
    }
    bool Size(std::uint64_t& size, std::string& error) {
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            error = std::strerror(errno);
            return false;
        }
        size = static_cast<std::uint64_t>(info.st_size);
        return true;
    }
    bool Read(std::uint64_t offset, char* data, std::size_t size, std::size_t& got, std::string& error) {
        for (;;) {
            const ssize_t n = ::pread(fd, data, size, static_cast<off_t>(offset));
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                return true;
            }
            if (errno != EINTR) {
                error = std::strerror(errno);
                return false;
            }
        }
    }
};

#endif

LogFollower::LogFollower(std::filesystem::path path, Callbacks callbacks)
    : path_(std::move(path)), callbacks_(std::move(callbacks)) {}

LogFollower::~LogFollower() = default;

void LogFollower::Close() { file_.reset(); }

std::uint64_t LogFollower::Poll() {
    if (!file_) {
        bool missing = false;
        std::string error;
        file_ = File::Open(path_, missing, error);
        if (!file_) {
            if (missing) {
                if (!waitingSaid_ && !goneSaid_) callbacks_.note(FollowNote::Waiting, {});
                waitingSaid_ = true;
            } else if (!readFailedSaid_) {
                callbacks_.note(FollowNote::ReadFailed, error);
                readFailedSaid_ = true;
            }
            return 0;
        }
        // A file after none: a new start (after a deleted one, everything read is void).
        if (goneSaid_) {
            callbacks_.note(FollowNote::Replaced, {});
            callbacks_.startOver();
        } else if (waitingSaid_) {
            callbacks_.note(FollowNote::Appeared, {});
        }
        waitingSaid_ = goneSaid_ = readFailedSaid_ = false;
        offset_ = 0;
        return ReadNew();
    }

    Identity now;
    bool missing = false;
    if (!File::PathIdentity(path_, now, missing)) {
        if (missing) {
            // Deleted or renamed away: what was appended before is still read, then the
            // handle is let go (on Windows a held handle would keep the name taken).
            const std::uint64_t read = ReadNew();
            Close();
            callbacks_.note(FollowNote::Gone, {});
            goneSaid_ = true;
            return read;
        }
        return ReadNew();
    }
    if (!(now == file_->id)) {
        Close();
        callbacks_.note(FollowNote::Replaced, {});
        callbacks_.startOver();
        offset_ = 0;
        waitingSaid_ = goneSaid_ = false;
        bool missingAgain = false;
        std::string error;
        file_ = File::Open(path_, missingAgain, error);
        return file_ ? ReadNew() : 0;
    }
    return ReadNew();
}

std::uint64_t LogFollower::ReadNew() {
    std::string error;
    std::uint64_t size = 0;
    if (!file_->Size(size, error)) {
        if (!readFailedSaid_) callbacks_.note(FollowNote::ReadFailed, error);
        readFailedSaid_ = true;
        return 0;
    }
    if (size < offset_) {
        callbacks_.note(FollowNote::Truncated, {});
        callbacks_.startOver();
        offset_ = 0;
    }
    std::vector<char> block(kReadBlock);
    std::uint64_t total = 0;
    while (true) {
        std::size_t got = 0;
        if (!file_->Read(offset_, block.data(), block.size(), got, error)) {
            if (!readFailedSaid_) callbacks_.note(FollowNote::ReadFailed, error);
            readFailedSaid_ = true;
            break;
        }
        readFailedSaid_ = false;
        if (got == 0) break;
        offset_ += got;
        total += got;
        callbacks_.bytes(std::string_view(block.data(), got));
        if (got < block.size() && offset_ >= size) break;
    }
    return total;
}

}  // namespace vantrel::report::serve
