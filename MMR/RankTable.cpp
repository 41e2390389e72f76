#include "RankTable.h"

#include <cstddef>
#include <utility>

RankLookup LookupRank(const RankTable& table, const SkillRank& rank, float rating) {
    const int tiers = static_cast<int>(table.size());
    if (rank.Tier < 0 || rank.Tier >= tiers || rank.Division < 0 || rank.Division > 3) {
        return {"-----", 255, 255, 255, 0.0f};
    }
    const RankEntry& row = table[static_cast<std::size_t>(rank.Tier)];

    int shownDivision;
    float toRankUp;
    if (rank.Division == 3) {
        shownDivision = 4;
        toRankUp = rank.Tier == tiers - 1
                       ? 0.0f
                       : table[static_cast<std::size_t>(rank.Tier) + 1].thresholds[0] - rating;
    } else {
        shownDivision = rank.Division + 1;
        toRankUp = row.thresholds[static_cast<std::size_t>(rank.Division) + 1] - rating;
    }

    // "GC3 D4" at most: fits the string's inline buffer, so no allocation.
    std::string text = row.label;
    text += " D";
    text += static_cast<char>('0' + shownDivision);
    return {std::move(text), static_cast<unsigned char>(row.red), static_cast<unsigned char>(row.green),
            static_cast<unsigned char>(row.blue), toRankUp};
}
