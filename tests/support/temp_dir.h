// Temporary directories for tests, and the immutable flag that makes a directory refuse
// new files even to root (for tests of write failures).
#pragma once

#include <filesystem>
#include <string>

namespace vtest {

// A fresh temporary directory, removed with all it holds (after lifting any immutable
// flag) on destruction.
class TempDir {
public:
    TempDir();
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
