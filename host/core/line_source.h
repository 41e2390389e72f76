// Where an interactive session reads its lines (Host::RunInteractive). The core reads a plain
// stream after a printed prompt; a face may bring line editing and a history (the program
// wires host/prompt's when standard input is a terminal).
#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace vhost {

class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line typed after `prompt`, without its end; nothing at the end of input or
    // when a stop was requested (Ctrl-C, SIGTERM) while waiting.
    virtual std::optional<std::string> Next(std::string_view prompt) = 0;
};

// Lines read from a stream, each after the prompt written to `out`. A stop request
// interrupts the read (the signal handler does not restart it): that line is not read.
class StreamLineSource final : public LineSource {
public:
    StreamLineSource(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
    std::optional<std::string> Next(std::string_view prompt) override;

private:
    std::istream& in_;
    std::ostream& out_;
};

}  // namespace vhost
