// The CSV export: one row per match, for a spreadsheet.
#include <ostream>

#include <fmt/format.h>

#include "csv.h"

namespace vantrel::report {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

void WriteCsv(std::ostream& out, const History& history) {
    fmt::memory_buffer buffer;
    const auto flush = [&] {
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        buffer.clear();
    };
    fmt::format_to(std::back_inserter(buffer), "time,session,mode,result,rating before,rating after,change\r\n");
    for (const Match& match : history.matches) {
        const CivilTime t = ToCivilTime(match.time);
        fmt::format_to(std::back_inserter(buffer), "{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d},{},{},{},{:.2f},", t.year,
                       t.month, t.day, t.hour, t.minute, t.second, match.session + 1, CsvField(kModeLabels[match.mode]),
                       match.won ? "win" : "loss", match.before);
        if (match.after) fmt::format_to(std::back_inserter(buffer), "{:.2f}", *match.after);
        buffer.push_back(',');
        if (const auto change = match.change()) fmt::format_to(std::back_inserter(buffer), "{:+.2f}", *change);
        buffer.append(std::string_view("\r\n"));
        if (buffer.size() > 60000) flush();
    }
    flush();
}

}  // namespace vantrel::report
