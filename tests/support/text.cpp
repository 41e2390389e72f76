#include "text.h"

#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

namespace vtest {
namespace {

bool IsStamped(const std::string& line) {
    static const std::string pattern = "dddd-dd-dd dd:dd:dd - ";
    if (line.size() < pattern.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (pattern[i] == 'd' ? !digit : line[i] != pattern[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> DrawnText(std::string_view line) {
    constexpr std::string_view kPrefix = "DrawString \"";
    if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    std::string text;
    for (std::size_t i = kPrefix.size(); i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') return text;
        if (c != '\\' || i + 1 >= line.size()) {
            text += c;
            continue;
        }
        const char e = line[++i];
        switch (e) {
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            case 't': text += '\t'; break;
            case 'x':
                if (i + 2 < line.size()) {
                    text += static_cast<char>(std::stoi(std::string(line.substr(i + 1, 2)), nullptr, 16));
                    i += 2;
                }
                break;
            default: text += e; break;
        }
    }
    return std::nullopt;
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) { return Lines(ReadFile(path)); }

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> LinesWith(const std::string& text, std::string_view needle) {
    std::vector<std::string> found;
    for (std::string& line : Lines(text)) {
        if (line.find(needle) != std::string::npos) found.push_back(std::move(line));
    }
    return found;
}

std::vector<std::string> LogMessages(const std::string& log) {
    std::vector<std::string> messages;
    for (const std::string& line : Lines(log)) {
        const bool stamped = IsStamped(line);
        EXPECT_TRUE(stamped) << "not a stamped log line: " << line;
        messages.push_back(stamped ? line.substr(22) : line);
    }
    return messages;
}

std::vector<std::string> DrawnStrings(const std::vector<std::string>& trace) {
    std::vector<std::string> strings;
    for (const std::string& line : trace) {
        if (line.rfind("DrawString \"", 0) != 0) continue;
        std::optional<std::string> text = DrawnText(line);
        EXPECT_TRUE(text.has_value()) << "unreadable trace line: " << line;
        if (text) strings.push_back(std::move(*text));
    }
    return strings;
}

}  // namespace vtest
