// Readers for what a vantrel-host run leaves behind: the statistics table of a `frame`
// trace, the exceptions the host caught, the `calls` and `status` reports, and sanitizer
// reports on standard error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtest {

// One row of the drawn table: its four texts and the colour set before it.
struct TableRow {
    std::string name;        // "1vs1 ", "2vs2 ", "3vs3 " or "Total"
    std::string winLoss;     // e.g. " 3  12"
    std::string change;      // e.g. " +07.50"
    std::string rankColumn;  // e.g. "G2 D3     18.00"
    int wins = -1;
    int losses = -1;
    std::string color;  // the SetColor arguments, e.g. "255 255 255 255"
};

// The table of one `frame` trace (the lines between two markers of the output).
struct FrameTable {
    bool drawn = false;            // false for "(nothing drawn)"
    std::vector<std::string> texts;  // every DrawString text, unescaped, in call order
    std::vector<TableRow> rows;      // the four rows (three modes and the total), when drawn
    std::string error;               // why the trace is not a well-formed table ("" if it is)
};

// Parses the frame trace found in `out` between a line `begin` and a line `end`.
FrameTable ParseFrame(const std::string& out, std::string_view begin, std::string_view end);
// Parses frame trace lines.
FrameTable ParseFrameLines(const std::vector<std::string>& lines);

// An exception the host caught: "vantrel-host: exception escaped from KIND: WHAT".
struct Escape {
    std::string kind;
    std::string what;
};
std::vector<Escape> Escapes(const std::string& err);

// The first line of a sanitizer report in `err` ("" when there is none).
std::string SanitizerReport(const std::string& err);

// The counts printed by `calls` after a line `marker`, up to the next line that is not a
// count or that starts a marker ("@@").
std::map<std::string, std::uint64_t> ParseCalls(const std::string& out, std::string_view marker);

// The number after "PREFIX" on the last line of `out` starting with it (e.g. "escaped
// exceptions: "); nothing if there is no such line.
std::optional<std::uint64_t> LastNumberAfter(const std::string& out, std::string_view prefix);

// Quotes a word for the host's command language when it holds a blank.
std::string QuoteWord(const std::string& word);

}  // namespace vtest
