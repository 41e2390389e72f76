// The command line and the console in UTF-8 on every system.
//
// Windows hands a narrow main() its arguments converted to the system's code page, and
// every character outside it is lost ("Łukasz" arrives as "Lukasz", "Ж" as "?"): a log
// dropped from such a folder could not be opened. Utf8Arguments re-reads the command line
// in UTF-16 there and converts it to UTF-8 (paths are then made with PathFromUtf8).
// Elsewhere arguments are bytes, passed through unchanged.
#pragma once

#include <string>
#include <vector>

namespace vantrel::report {

class Utf8Arguments {
public:
    Utf8Arguments(int argc, char** argv);
    Utf8Arguments(const Utf8Arguments&) = delete;
    Utf8Arguments& operator=(const Utf8Arguments&) = delete;

    int argc() const { return static_cast<int>(texts_.size()); }
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;  // into texts_, then a null pointer, as main's argv
};

// While it lives, a Windows console shows the program's UTF-8 output as UTF-8; the
// console's code page is given back at the end, since a shell that shares the console
// keeps it. Nothing elsewhere, or when the output is no console.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    [[maybe_unused]] unsigned previous_ = 0;  // the console's code page before; 0: unchanged
};

}  // namespace vantrel::report
