// The built-in rank tables, one per ranked mode, 22 tiers each: a label, a colour and the
// ratings at which the tier's four divisions begin. Plain data with no SDK types, so that
// tools reading the log (the report's charts) draw the same divisions as the overlay.
#pragma once

#include <array>
#include <string>
#include <vector>

struct RankEntry {
    std::string label;
    int red;
    int green;
    int blue;
    std::array<float, 4> thresholds;  // element k: the rating at which division k+1 begins
};

using RankTable = std::vector<RankEntry>;

// The tables of modes 0 ("1vs1"), 1 ("2vs2") and 2 ("3vs3"), tiers 0 to 21 each.
std::vector<RankTable> BuildRankTables();
