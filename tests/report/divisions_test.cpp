// The rank divisions of the plug-in's tables, as the page, the overlay and the road to the
// next division name and measure them.
#include <gtest/gtest.h>

#include <cmath>

#include "divisions.h"

namespace vantrel::report {
namespace {

TEST(RankBands, FollowThePluginsTablesWithoutGapsOrOverlaps) {
    const std::vector<RankTable> tables = BuildRankTables();
    ASSERT_EQ(tables.size(), 3u);
    for (const RankTable& table : tables) {
        const std::vector<RankBand> bands = RankBands(table);
        ASSERT_FALSE(bands.empty());
        EXPECT_EQ(bands.front().Label(), "B1 D1");
        EXPECT_EQ(bands.back().Label(), "GC3 D4");
        EXPECT_TRUE(std::isinf(bands.back().end));
        for (std::size_t i = 1; i < bands.size(); ++i) EXPECT_EQ(bands[i].start, bands[i - 1].end) << i;
    }
    const std::vector<RankBand> doubles = RankBands(tables[1]);
    EXPECT_EQ(BandOf(doubles, 1075.0)->Label(), "CH1 D1");  // a band begins at its threshold
    EXPECT_EQ(BandOf(doubles, 1074.99)->Label(), "D3 D4");
    EXPECT_EQ(BandOf(doubles, 5000.0)->Label(), "GC3 D4");
    EXPECT_FALSE(BandOf(doubles, -100.5));  // below the lowest division
    EXPECT_FALSE(BandOf(doubles, std::nan("")));
}

TEST(RankBands, StandingNamesTheNextDivisionAndTheRatingMissing) {
    const DivisionStanding middle = StandingOf(1, 1012.25);  // 2vs2: D3 D3 [1004, 1028)
    ASSERT_TRUE(middle.current && middle.next);
    EXPECT_EQ(middle.current->Label(), "D3 D2");
    EXPECT_EQ(middle.next->Label(), "D3 D3");
    EXPECT_DOUBLE_EQ(middle.toGo, 1028.0 - 1012.25);
    const DivisionStanding below = StandingOf(1, -150.0);  // below 2vs2's lowest division
    EXPECT_FALSE(below.current);
    ASSERT_TRUE(below.next);
    EXPECT_EQ(below.next->Label(), "B1 D1");
    EXPECT_DOUBLE_EQ(below.toGo, 50.0);
    const DivisionStanding top = StandingOf(0, 2000.0);
    EXPECT_EQ(top.current->Label(), "GC3 D4");
    EXPECT_FALSE(top.next);
    EXPECT_FALSE(StandingOf(3, 1000.0).current);  // "Other" has no table
    EXPECT_FALSE(StandingOf(2, std::nan("")).next);
}

}  // namespace
}  // namespace vantrel::report
