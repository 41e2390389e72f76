// The built-in rank tables (one per ranked mode, 22 tiers each) and the rank lookup:
// a mode's rank record and rating give the rank text, the row colour and the rating
// still missing to the next division.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "host_sdk.h"

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

struct RankLookup {
    std::string text;  // e.g. "G2 D3", or "-----" for a record outside the table
    unsigned char red;
    unsigned char green;
    unsigned char blue;
    float toRankUp;  // 0.0 means: nothing to show
};

// Looks the host's rank record up in one mode's table. The tier picks the row, the
// division (0 to 3) the threshold; the rating is only subtracted. A record outside the
// table shows "-----" in white with no distance instead of reading past the table.
RankLookup LookupRank(const RankTable& table, const SkillRank& rank, float rating);
