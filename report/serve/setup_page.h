// /setup: a form that builds the overlay's URL (modes, style, theme, scale, fields, goals,
// session, warning, motion) with a live preview of the overlay beside it, and the URL of
// /api/text with its current answer. The server keeps no state of it: the form lives in
// the page's own URL, and the page is the same for every request.
#pragma once

#include <string>

namespace vantrel::report::serve {

const std::string& SetupPage();

}  // namespace vantrel::report::serve
