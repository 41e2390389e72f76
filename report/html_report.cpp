// Placeholder page until the charts land: the tables only.
#include "html_report.h"

#include <ostream>

namespace vantrel::report {

void WriteHtml(std::ostream& out, const History& history, const HtmlOptions& options) {
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" << options.title
        << "</title></head><body><p>" << history.matches.size() << " matches in "
        << history.sessions.size() << " sessions</p></body></html>\n";
}

}  // namespace vantrel::report
