// Following the plug-in's log while the game writes it: what the file holds first, then
// only what is appended. Poll() looks once (the caller calls it every 100 ms or so); it
// notices a file that appears late, one that is truncated, replaced or deleted, and a read
// that fails. On Windows the file is opened for shared reading, writing and deleting, so
// the plug-in can go on appending (and the file can be deleted) while it is followed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel::report::serve {

enum class FollowNote {
    Waiting,     // the file does not exist (yet): said once until it appears
    Appeared,    // a file that was missing now exists and is read
    Gone,        // the followed file was deleted (or renamed away); waiting for a new one
    Replaced,    // another file now has the name: start over with it
    Truncated,   // the file became shorter than what was read: start over from its start
    ReadFailed,  // a read failed; retried at the next look
};

class LogFollower {
public:
    struct Callbacks {
        // Bytes appended to the file, in order, cut anywhere.
        std::function<void(std::string_view)> bytes;
        // Everything read so far no longer holds: the next bytes are a new file's start.
        std::function<void()> startOver;
        // What happened, for the terminal; `detail` is a system message or empty.
        std::function<void(FollowNote, const std::string& detail)> note;
    };

    LogFollower(std::filesystem::path path, Callbacks callbacks);
    ~LogFollower();
    LogFollower(const LogFollower&) = delete;
    LogFollower& operator=(const LogFollower&) = delete;

    // Looks at the file once and hands on whatever is new (all of it, in blocks). Returns
    // the number of bytes read.
    std::uint64_t Poll();

    const std::filesystem::path& path() const { return path_; }
    std::uint64_t offset() const { return offset_; }

private:
    struct File;  // the open file, per platform (follower.cpp)

    void Close();
    std::uint64_t ReadNew();

    std::filesystem::path path_;
    Callbacks callbacks_;
    std::unique_ptr<File> file_;
    std::uint64_t offset_ = 0;
    bool waitingSaid_ = false;  // "does not exist" was said and the file has not appeared since
    bool goneSaid_ = false;     // the open file's name was found gone
    bool readFailedSaid_ = false;
};

}  // namespace vantrel::report::serve
