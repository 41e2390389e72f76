// Small helpers shared by the files of vhost::Host (host.cpp, host_commands.cpp,
// host_views.cpp).
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "core/host.h"

namespace vhost::detail {

inline CommandResult Error(std::string message) { return {Outcome::Error, std::move(message)}; }

inline constexpr const char* kClockUnavailable =
#if defined(_WIN32)
    "the clock cannot be set on Windows: the plug-in reads the system clock itself";
#else
    "the clock cannot be set in this program: only vantrel-host routes the plug-in's time()";
#endif

inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Seconds as a person reads them: to the millisecond, without trailing zeros (a clock moved
// by a window's frames is no round number).
inline std::string Seconds(double seconds) { return fmt::format("{} s", std::round(seconds * 1000.0) / 1000.0); }

}  // namespace vhost::detail
