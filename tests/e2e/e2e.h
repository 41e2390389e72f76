// Helpers for end-to-end sessions: log lines with their time stamps checked and cut off,
// and the strings a frame drew.
#pragma once

#include <string>
#include <vector>

#include "run_host.h"

namespace e2e {

// The messages of a log: every line must start with a "YYYY-MM-DD HH:MM:SS - " stamp.
std::vector<std::string> Messages(const std::string& log);

// The texts of the DrawString lines of `frame` output, in order.
std::vector<std::string> DrawnStrings(const std::string& out);

// The lines of a text file.
std::vector<std::string> ReadLines(const std::string& path);

// The whole text of a file of examples/.
std::string Example(const std::string& name);

}  // namespace e2e
