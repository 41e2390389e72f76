// Hands a page to the desktop's default browser: the written --html file, or the served
// page's URL with --serve --open.
#pragma once

#include <filesystem>
#include <string>

namespace vantrel::report {

// False when the browser could not be started (a warning for the caller, not an error).
bool OpenFileInBrowser(const std::filesystem::path& page);
bool OpenUrlInBrowser(const std::string& url);

}  // namespace vantrel::report
