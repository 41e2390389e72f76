// The --csv output: one row per match, for a spreadsheet.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "history.h"

namespace vantrel::report {

// RFC 4180: CRLF record ends, a header row, one row per match.
void WriteCsv(std::ostream& out, const History& history);

// One CSV field, quoted when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view text);

}  // namespace vantrel::report
