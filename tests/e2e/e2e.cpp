#include "e2e.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace e2e {

namespace {
bool IsStamp(const std::string& line) {
    static const std::string pattern = "dddd-dd-dd dd:dd:dd - ";
    if (line.size() < pattern.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (pattern[i] == 'd' ? !digit : line[i] != pattern[i]) return false;
    }
    return true;
}
}  // namespace

std::vector<std::string> Messages(const std::string& log) {
    std::vector<std::string> messages;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(IsStamp(line)) << "not a stamped log line: " << line;
        messages.push_back(IsStamp(line) ? line.substr(22) : line);
    }
    return messages;
}

std::vector<std::string> DrawnStrings(const std::string& out) {
    std::vector<std::string> strings;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("DrawString \"", 0) != 0) continue;
        const std::size_t end = line.rfind('"');
        strings.push_back(line.substr(12, end - 12));
    }
    return strings;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Example(const std::string& name) {
    std::ifstream in(std::string(VANTREL_EXAMPLES_DIR) + "/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace e2e
