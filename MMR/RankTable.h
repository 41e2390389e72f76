// The rank lookup: a mode's rank record and rating give the rank text, the row colour and
// the rating still missing to the next division, from the built-in tables (RankTiers.h).
#pragma once

#include <string>

#include "RankTiers.h"
#include "host_sdk.h"

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
