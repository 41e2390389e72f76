#include "divisions.h"

#include <array>
#include <cmath>
#include <limits>

namespace vantrel::report {

std::string RankBand::Label() const {
    std::string label = entry != nullptr ? entry->label : std::string("?");
    label += " D";
    label += static_cast<char>('1' + division);
    return label;
}

std::vector<RankBand> RankBands(const RankTable& table) {
    std::vector<RankBand> bands;
    for (std::size_t tier = 1; tier < table.size(); ++tier) {
        for (std::size_t d = 0; d < 4; ++d) {
            RankBand band;
            band.tier = static_cast<int>(tier);
            band.division = static_cast<int>(d);
            band.entry = &table[tier];
            band.start = table[tier].thresholds[d];
            if (d < 3) {
                band.end = table[tier].thresholds[d + 1];
            } else if (tier + 1 < table.size()) {
                band.end = table[tier + 1].thresholds[0];
            } else {
                band.end = std::numeric_limits<double>::infinity();
            }
            if (band.end > band.start) bands.push_back(band);
        }
    }
    return bands;
}

std::optional<RankBand> BandOf(const std::vector<RankBand>& bands, double rating) {
    if (!std::isfinite(rating)) return std::nullopt;
    for (const RankBand& band : bands) {
        if (rating >= band.start && rating < band.end) return band;
    }
    return std::nullopt;
}

const std::vector<RankBand>& ModeDivisions(std::size_t mode) {
    // The bands point into the tables: both live as long as the program.
    static const std::vector<RankTable> tables = BuildRankTables();
    static const std::array<std::vector<RankBand>, 4> bands = [] {
        std::array<std::vector<RankBand>, 4> all;
        for (std::size_t m = 0; m < tables.size() && m < all.size(); ++m) all[m] = RankBands(tables[m]);
        return all;
    }();
    static const std::vector<RankBand> none;
    return mode < bands.size() ? bands[mode] : none;
}

DivisionStanding StandingOf(std::size_t mode, double rating) {
    DivisionStanding standing;
    if (!std::isfinite(rating)) return standing;
    const std::vector<RankBand>& bands = ModeDivisions(mode);
    for (const RankBand& band : bands) {
        if (rating >= band.start && rating < band.end) {
            standing.current = band;
        } else if (rating < band.start) {
            standing.next = band;
            standing.toGo = band.start - rating;
            break;
        }
    }
    return standing;
}

}  // namespace vantrel::report
