// What the window's console shows: the lines the host prints (also passed on to the
// process's own standard output and error, so a session in the window prints what it
// prints headless), the commands entered, and the plug-in's new log lines.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace vhost {

struct ConsoleLine {
    enum class Kind { Out, Err, Command, Log, Note };
    Kind kind;
    std::string text;
};

class ConsoleBuffer {
public:
    explicit ConsoleBuffer(std::size_t maxLines = 20000) : maxLines_(maxLines) {}
    void Add(ConsoleLine::Kind kind, std::string text);
    const std::deque<ConsoleLine>& Lines() const { return lines_; }
    // Counts every line ever added: changes whenever something was added.
    std::uint64_t Added() const { return added_; }

private:
    std::size_t maxLines_;
    std::deque<ConsoleLine> lines_;
    std::uint64_t added_ = 0;
};

// A stream buffer that hands each complete line to the console and passes all text on to
// another stream buffer as it comes.
class ConsoleTee final : public std::streambuf {
public:
    ConsoleTee(ConsoleBuffer& console, ConsoleLine::Kind kind, std::streambuf* passOn)
        : console_(console), kind_(kind), passOn_(passOn) {}
    ~ConsoleTee() override;

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void Take(const char* text, std::size_t count);

    ConsoleBuffer& console_;
    ConsoleLine::Kind kind_;
    std::streambuf* passOn_;
    std::string partial_;
};

// Follows a growing text file (the plug-in's log): Poll returns the complete lines written
// since the last call. Starts at the file's end as it is at construction; a file that got
// shorter (replaced or truncated) is read again from its start.
class FileTail {
public:
    explicit FileTail(std::filesystem::path path);
    std::vector<std::string> Poll();

private:
    std::filesystem::path path_;
    std::uintmax_t offset_ = 0;
    std::string partial_;
};

}  // namespace vhost
