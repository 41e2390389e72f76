// The terminal summary and the CSV export of vantrel-report, and the atomic file write
// that every output file goes through.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>

#include "history.h"

namespace vantrel::report {

// The session table, then one line per mode. `colour`: ANSI colours (bold headings,
// gains green, losses red).
// WriteTerminal hands the text to `sink` in pieces as it goes.
std::string FormatTerminal(const History& history, bool colour);
void WriteTerminal(const History& history, bool colour, const std::function<void(std::string_view)>& sink);

// `value` as "{:.2f}" writes it (with "{:+.2f}" when `plus`), without fmt's general float
// path in the common case; returns the length written to `out`.
inline constexpr std::size_t kFixed2Size = 64;
std::size_t FormatFixed2(char (&out)[kFixed2Size], float value, bool plus);

// RFC 4180: CRLF record ends, a header row, one row per match.
void WriteCsv(std::ostream& out, const History& history);

// One CSV field, quoted when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view text);

// Writes `path` through a temporary file in the same directory that is renamed into
// place once `write` has succeeded: a reader never sees half a file, and a failure leaves
// neither a half file nor the temporary one. A link to a plain file is followed (the link
// stays); a device, a pipe or a link to one is written to directly. False with `error` set
// on failure.
bool WriteFileAtomically(const std::filesystem::path& path, const std::function<void(std::ostream&)>& write,
                         std::string& error);

}  // namespace vantrel::report
