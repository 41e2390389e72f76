#include "host_output.h"

#include <sstream>

#include "text.h"

namespace vtest {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

FrameTable ParseFrameLines(const std::vector<std::string>& lines) {
    FrameTable table;
    if (lines.size() == 1 && lines[0] == "(nothing drawn)") return table;
    table.drawn = true;
    std::string color;
    std::vector<std::string> colors;  // the colour in force at each text
    for (const std::string& line : lines) {
        if (StartsWith(line, "SetColor ")) {
            color = line.substr(9);
        } else if (std::optional<std::string> text = DrawnText(line)) {
            table.texts.push_back(*text);
            colors.push_back(color);
        } else if (StartsWith(line, "DrawString")) {
            table.error = "unreadable trace line: " + line;
            return table;
        }
    }
    // A header, then four texts per row: name, wins and losses, change, rank column.
    if (table.texts.size() != 17) {
        table.error = "expected 17 texts (a header and four rows), got " + std::to_string(table.texts.size());
        return table;
    }
    for (std::size_t r = 0; r < 4; ++r) {
        const std::size_t first = 1 + 4 * r;
        TableRow row{table.texts[first], table.texts[first + 1], table.texts[first + 2], table.texts[first + 3],
                     -1, -1, colors[first]};
        std::istringstream counts(row.winLoss);
        if (!(counts >> row.wins >> row.losses)) {
            table.error = "unreadable wins and losses: '" + row.winLoss + "'";
            return table;
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

FrameTable ParseFrame(const std::string& out, std::string_view begin, std::string_view end) {
    std::vector<std::string> block;
    bool inside = false;
    bool closed = false;
    for (std::string& line : Lines(out)) {
        if (!inside) {
            inside = line == begin;
            continue;
        }
        if (line == end) {
            closed = true;
            break;
        }
        block.push_back(std::move(line));
    }
    if (!closed) {
        FrameTable table;
        table.error = "no frame between '" + std::string(begin) + "' and '" + std::string(end) + "'";
        return table;
    }
    return ParseFrameLines(block);
}

std::vector<Escape> Escapes(const std::string& err) {
    constexpr std::string_view kPrefix = "vantrel-host: exception escaped from ";
    std::vector<Escape> escapes;
    for (const std::string& line : Lines(err)) {
        if (!StartsWith(line, kPrefix)) continue;
        const std::string rest = line.substr(kPrefix.size());
        const std::size_t colon = rest.find(": ");
        escapes.push_back(colon == std::string::npos ? Escape{rest, ""}
                                                     : Escape{rest.substr(0, colon), rest.substr(colon + 2)});
    }
    return escapes;
}

std::string SanitizerReport(const std::string& err) {
    for (const std::string& line : Lines(err)) {
        for (std::string_view mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                                      "ERROR: UndefinedBehaviorSanitizer"}) {
            if (line.find(mark) != std::string::npos) return line;
        }
    }
    return {};
}

std::map<std::string, std::uint64_t> ParseCalls(const std::string& out, std::string_view marker) {
    std::map<std::string, std::uint64_t> counts;
    bool inside = false;
    for (const std::string& line : Lines(out)) {
        if (!inside) {
            inside = line == marker;
            continue;
        }
        const std::size_t space = line.rfind(' ');
        if (StartsWith(line, "@@") || space == std::string::npos || space + 1 >= line.size() ||
            line.find_first_not_of("0123456789", space + 1) != std::string::npos) {
            break;
        }
        counts[line.substr(0, space)] = std::stoull(line.substr(space + 1));
    }
    return counts;
}

std::optional<std::uint64_t> LastNumberAfter(const std::string& out, std::string_view prefix) {
    std::optional<std::uint64_t> number;
    for (const std::string& line : Lines(out)) {
        if (StartsWith(line, prefix)) number = std::stoull(line.substr(prefix.size()));
    }
    return number;
}

std::string QuoteWord(const std::string& word) {
    return word.find(' ') == std::string::npos ? word : "\"" + word + "\"";
}

}  // namespace vtest
