// Temporary directories for tests, and the immutable flag that makes a directory refuse
// new files even to root (for tests of write failures).
#pragma once

#include <filesystem>
#include <string>

namespace vtest {

// A fresh directory under $TMPDIR (or /tmp) named PREFIX-XXXXXX; throws when it cannot be made.
std::filesystem::path MakeTempDirectory(const std::string& prefix = "vantrel-test");
// Whether test directories are to be kept for a look after the run (the environment
// variable VANTREL_KEEP_TEST_DIRS is set).
bool KeepTestDirectories();

// A fresh temporary directory, removed with all it holds (after lifting any immutable
// flag) on destruction, unless KeepTestDirectories().
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "vantrel-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Makes `dir` immutable (chattr +i), which even root cannot create files in. Returns ""
// when it worked, else why not (file system or privileges do not allow it).
std::string MakeImmutable(const std::filesystem::path& dir);
// Lifts the immutable flag again (nothing if it was not set).
void MakeMutable(const std::filesystem::path& dir);

}  // namespace vtest
