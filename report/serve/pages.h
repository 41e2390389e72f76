// The pages the server makes: the history page made live, the overlay for a streaming
// program's browser source (overlay_page.cpp) and the page that sets it up
// (setup_page.h). None loads anything but from the server itself, and none carries
// anything of a request: their scripts read the query and set text with textContent.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::report::serve {

// The --html page with a small script that listens on /events and redraws the page from
// the server on every change, without a reload.
std::string LivePage(std::string_view page);

// The overlay: transparent around a card sized to its content; the query (modes, theme,
// scale, style, fields, goal, warn, motion, session) is read by the page's script.
const std::string& OverlayPage();

// The script both live pages share: vantrelFollow(refresh, waiting) follows /events,
// reconnecting with a back-off of up to 30 s, and calls refresh() on every event and
// every (re)opened stream.
extern const std::string_view kFollowScript;

}  // namespace vantrel::report::serve
