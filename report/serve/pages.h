// The pages the server makes: the history page made live, and the overlay for a streaming
// program's browser source. Neither loads anything but from the server itself.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::report::serve {

// The --html page with a small script that listens on /events and redraws the page from
// the server on every change, without a reload.
std::string LivePage(std::string_view page);

// The overlay: transparent around a small card; the query (modes, theme, scale) is read
// by the page's script, never written into the page by the server.
const std::string& OverlayPage();

}  // namespace vantrel::report::serve
