// The three rank tables against an independent listing, and the rank lookup.
#include <climits>
#include <sstream>

#include <gtest/gtest.h>

#include "RankTable.h"

namespace {

// tier label R G B | 1vs1 D1-D4 | 2vs2 D1-D4 | 3vs3 D1-D4
constexpr const char* kListing = R"(
0  UNR 255 255 255    0    0    0    0      0    0    0    0      0    0    0    0
1  B1  255 128   0   13  115  131  142   -100  123  156  157    -51  121  152  157
2  B2  255 128   0  155  164  178  197    170  181  199  217    170  184  200  217
3  B3  255 128   0  208  220  238  257    227  240  258  277    228  239  258  277
4  S1  190 190 190  275  279  298  317    288  299  318  337    295  299  318  337
5  S2  190 190 190  335  339  358  377    354  359  378  397    355  359  378  397
6  S3  190 190 190  395  399  418  437    414  419  438  457    415  419  438  457
7  G1  237 233  17  455  459  478  497    473  479  498  517    475  479  498  517
8  G2  237 233  17  515  519  538  557    533  539  558  577    535  539  558  577
9  G3  237 233  17  575  579  598  617    594  599  618  637    595  599  618  637
10 P1  106 242 247  635  639  658  677    655  659  678  697    655  659  678  697
11 P2  106 242 247  695  699  718  737    713  719  738  757    715  719  738  757
12 P3  106 242 247  755  759  778  797    773  779  798  817    775  779  798  817
13 D1    2 188 255  815  819  838  857    835  844  868  892    835  844  868  892
14 D2    2 188 255  875  879  898  917    915  924  948  972    915  924  948  972
15 D3    2 188 255  935  939  958  977    995 1004 1028 1052    995 1004 1028 1052
16 CH1 202 137 255  995  999 1018 1037   1075 1095 1128 1162   1075 1094 1128 1162
17 CH2 202 137 255 1055 1059 1078 1097   1195 1214 1248 1282   1195 1215 1248 1282
18 CH3 202 137 255 1115 1120 1138 1157   1315 1335 1368 1402   1315 1334 1368 1402
19 GC1 255  50  50 1175 1180 1198 1217   1435 1462 1498 1537   1435 1460 1498 1537
20 GC2 255  50  50 1226 1240 1258 1277   1575 1600 1646 1677   1576 1600 1647 1677
21 GC3 255  50  50 1287 1300 1318 1337   1715 1745 1788 1832   1707 1744 1789 1832
)";

TEST(RankTables, MatchTheListingInEveryValue) {
    const auto tables = BuildRankTables();
    ASSERT_EQ(tables.size(), 3u);
    for (const auto& table : tables) ASSERT_EQ(table.size(), 22u);

    std::istringstream in(kListing);
    int compared = 0;
    for (int tier = 0; tier < 22; ++tier) {
        int index, red, green, blue;
        std::string label;
        ASSERT_TRUE(in >> index >> label >> red >> green >> blue);
        ASSERT_EQ(index, tier);
        for (std::size_t mode = 0; mode < 3; ++mode) {
            const RankEntry& row = tables[mode][static_cast<std::size_t>(tier)];
            EXPECT_EQ(row.label, label);
            EXPECT_EQ(row.red, red);
            EXPECT_EQ(row.green, green);
            EXPECT_EQ(row.blue, blue);
            for (std::size_t d = 0; d < 4; ++d) {
                float threshold;
                ASSERT_TRUE(in >> threshold);
                EXPECT_EQ(row.thresholds[d], threshold) << "mode " << mode << " tier " << tier << " D" << d + 1;
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 264);
}

struct LookupCase {
    int mode, tier, division;
    float rating;
    const char* text;
    float toRankUp;
    unsigned char red, green, blue;
};

TEST(RankLookup, DistanceToTheNextDivision) {
    const auto tables = BuildRankTables();
    const LookupCase cases[] = {
        {0, 0, 0, 0.0f, "UNR D1", 0.0f, 255, 255, 255},        // fresh object
        {0, 1, 3, 150.0f, "B1 D4", 5.0f, 255, 128, 0},         // last division: next tier's D1
        {1, 13, 1, 850.0f, "D1 D2", 18.0f, 2, 188, 255},
        {2, 21, 3, 1234.0f, "GC3 D4", 0.0f, 255, 50, 50},      // top of the table
        {2, 21, 2, 1800.0f, "GC3 D3", 32.0f, 255, 50, 50},
        {1, 0, 3, 0.0f, "UNR D4", -100.0f, 255, 255, 255},     // 2vs2 B1 starts below zero
        {1, 0, 0, 500.0f, "UNR D1", -500.0f, 255, 255, 255},
        {0, 7, 0, 459.0f, "G1 D1", 0.0f, 237, 233, 17},        // exactly on the threshold
        {0, 7, 0, 470.0f, "G1 D1", -11.0f, 237, 233, 17},      // rank record lagging the rating
        {0, 8, 2, 540.0f, "G2 D3", 17.0f, 237, 233, 17},
        {2, 16, 0, 1080.0f, "CH1 D1", 14.0f, 202, 137, 255},   // 3vs3 CH1 D2 is 1094
        {1, 16, 0, 1080.0f, "CH1 D1", 15.0f, 202, 137, 255},   // 2vs2 CH1 D2 is 1095
    };
    for (const auto& c : cases) {
        const RankLookup r = LookupRank(tables[static_cast<std::size_t>(c.mode)], {c.tier, c.division, 0}, c.rating);
        EXPECT_EQ(r.text, c.text) << c.mode << "/" << c.tier << "/" << c.division;
        EXPECT_EQ(r.toRankUp, c.toRankUp) << c.text;
        EXPECT_EQ(r.red, c.red) << c.text;
        EXPECT_EQ(r.green, c.green) << c.text;
        EXPECT_EQ(r.blue, c.blue) << c.text;
    }
}

TEST(RankLookup, RecordOutsideTheTableShowsDashesInWhite) {
    const auto tables = BuildRankTables();
    const SkillRank outside[] = {{-1, 0, 0}, {22, 0, 0}, {INT_MAX, 0, 0}, {INT_MIN, 3, 0},
                                 {5, -1, 0}, {5, 4, 0},  {21, INT_MAX, 0}};
    for (const SkillRank& rank : outside) {
        const RankLookup r = LookupRank(tables[0], rank, 700.0f);
        EXPECT_EQ(r.text, "-----") << rank.Tier << "/" << rank.Division;
        EXPECT_EQ(r.toRankUp, 0.0f);
        EXPECT_EQ(r.red + r.green + r.blue, 3 * 255);
    }
}

}  // namespace
