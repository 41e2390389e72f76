// The last session at a glance: what the overlay, /api/session.json and the text files
// show of the session being played.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "history.h"

namespace vantrel::report::serve {

// The last session at a glance, for the overlay and the text files: per mode played its
// wins, losses, summed known change and current rating; the last match; the streak.
struct SessionGlance {
    struct Mode {
        int wins = 0;
        int losses = 0;
        double change = 0.0;
        int knownChanges = 0;
        std::optional<double> rating;
    };
    std::size_t session = 0;     // 1-based; 0 when there is none
    std::array<Mode, kModeCount> modes;
    std::array<bool, kModeCount> played{};
    std::optional<std::size_t> last;  // index of the session's last match
    int streak = 0;                   // consecutive results equal to the last match's
    bool streakWon = false;
};
SessionGlance GlanceAtLastSession(const History& history);
std::string SessionGlanceJson(const History& history, const SessionGlance& glance);

}  // namespace vantrel::report::serve
