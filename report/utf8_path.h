// File names as UTF-8 on every system: paths are built from UTF-8 texts (arguments,
// after app/utf8_arguments.h) and named in UTF-8 in messages and pages. On Windows a path
// is UTF-16 inside; elsewhere a path's bytes pass through unchanged.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vantrel::report {

// A path from a UTF-8 text such as an argument.
std::filesystem::path PathFromUtf8(std::string_view text);

// A path's name in UTF-8, for messages and the page; never throws.
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace vantrel::report
