#include "temp_dir.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace vtest {

std::filesystem::path MakeTempDirectory(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory " + pattern + ": " + std::strerror(errno));
    }
    return pattern;
}

bool KeepTestDirectories() { return std::getenv("VANTREL_KEEP_TEST_DIRS") != nullptr; }

TempDir::TempDir(const std::string& prefix) : path_(MakeTempDirectory(prefix)) {}

TempDir::~TempDir() {
    if (KeepTestDirectories()) return;
    std::error_code ec;
    MakeMutable(path_);
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) MakeMutable(it->path());
    }
    std::filesystem::remove_all(path_, ec);
}

namespace {
bool SetImmutable(const std::filesystem::path& dir, bool on, std::string& error) {
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok && ((flags & FS_IMMUTABLE_FL) != 0) != on) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!ok) error = std::strerror(errno);
    close(fd);
    return ok;
}
}  // namespace

std::string MakeImmutable(const std::filesystem::path& dir) {
    std::string error;
    if (!SetImmutable(dir, true, error)) return "cannot set the immutable flag on " + dir.string() + ": " + error;
    // Check that it took: a file must not be creatable, not even by root.
    const std::filesystem::path probe = dir / "probe";
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
        close(fd);
        MakeMutable(dir);
        std::filesystem::remove(probe);
        return "the immutable flag did not keep files out of " + dir.string();
    }
    return {};
}

void MakeMutable(const std::filesystem::path& dir) {
    std::string error;
    SetImmutable(dir, false, error);
}

}  // namespace vtest
