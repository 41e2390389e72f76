// Reading what the plug-in and the host write: files as lines, the log's messages with
// their time stamps checked, and the texts a frame trace drew.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtest {

// The lines of a text file (none when it cannot be read).
std::vector<std::string> ReadLines(const std::filesystem::path& path);
// The whole of a file ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);

// The lines of a text.
std::vector<std::string> Lines(const std::string& text);
// The lines of `text` that contain `needle`.
std::vector<std::string> LinesWith(const std::string& text, std::string_view needle);

// The messages of a log: every line must start with a "YYYY-MM-DD HH:MM:SS - " stamp (a
// test failure names each that does not), which is cut off.
std::vector<std::string> LogMessages(const std::string& log);

// The text of one DrawString line of a frame trace, the trace's escapes undone; nothing
// for another line or one without its closing quote.
std::optional<std::string> DrawnText(std::string_view line);
// The texts of the DrawString lines of a frame trace, in order, with the trace's escapes
// undone. A DrawString line without its closing quote fails the test.
std::vector<std::string> DrawnStrings(const std::vector<std::string>& trace);

}  // namespace vtest
