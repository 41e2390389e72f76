// The built-in rank tables: labels, colours and division start ratings per mode.
#include "RankTiers.h"

#include <cstddef>

namespace {

struct TierStyle {
    const char* label;
    int red, green, blue;
};

constexpr std::array<TierStyle, 22> kTiers{{
    {"UNR", 255, 255, 255},
    {"B1", 255, 128, 0},    {"B2", 255, 128, 0},    {"B3", 255, 128, 0},
    {"S1", 190, 190, 190},  {"S2", 190, 190, 190},  {"S3", 190, 190, 190},
    {"G1", 237, 233, 17},   {"G2", 237, 233, 17},   {"G3", 237, 233, 17},
    {"P1", 106, 242, 247},  {"P2", 106, 242, 247},  {"P3", 106, 242, 247},
    {"D1", 2, 188, 255},    {"D2", 2, 188, 255},    {"D3", 2, 188, 255},
    {"CH1", 202, 137, 255}, {"CH2", 202, 137, 255}, {"CH3", 202, 137, 255},
    {"GC1", 255, 50, 50},   {"GC2", 255, 50, 50},   {"GC3", 255, 50, 50},
}};

using Thresholds = std::array<std::array<float, 4>, 22>;

// Division start ratings per tier. The irregular values (B1 starting at 13, -100 and -51;
// the single-point differences between 2vs2 and 3vs3) are the game's and are kept as they are.
constexpr Thresholds kSolo{{
    {0, 0, 0, 0},             {13, 115, 131, 142},      {155, 164, 178, 197},     {208, 220, 238, 257},
    {275, 279, 298, 317},     {335, 339, 358, 377},     {395, 399, 418, 437},     {455, 459, 478, 497},
    {515, 519, 538, 557},     {575, 579, 598, 617},     {635, 639, 658, 677},     {695, 699, 718, 737},
    {755, 759, 778, 797},     {815, 819, 838, 857},     {875, 879, 898, 917},     {935, 939, 958, 977},
    {995, 999, 1018, 1037},   {1055, 1059, 1078, 1097}, {1115, 1120, 1138, 1157}, {1175, 1180, 1198, 1217},
    {1226, 1240, 1258, 1277}, {1287, 1300, 1318, 1337},
}};

constexpr Thresholds kDoubles{{
    {0, 0, 0, 0},             {-100, 123, 156, 157},    {170, 181, 199, 217},     {227, 240, 258, 277},
    {288, 299, 318, 337},     {354, 359, 378, 397},     {414, 419, 438, 457},     {473, 479, 498, 517},
    {533, 539, 558, 577},     {594, 599, 618, 637},     {655, 659, 678, 697},     {713, 719, 738, 757},
    {773, 779, 798, 817},     {835, 844, 868, 892},     {915, 924, 948, 972},     {995, 1004, 1028, 1052},
    {1075, 1095, 1128, 1162}, {1195, 1214, 1248, 1282}, {1315, 1335, 1368, 1402}, {1435, 1462, 1498, 1537},
    {1575, 1600, 1646, 1677}, {1715, 1745, 1788, 1832},
}};

constexpr Thresholds kStandard{{
    {0, 0, 0, 0},             {-51, 121, 152, 157},     {170, 184, 200, 217},     {228, 239, 258, 277},
    {295, 299, 318, 337},     {355, 359, 378, 397},     {415, 419, 438, 457},     {475, 479, 498, 517},
    {535, 539, 558, 577},     {595, 599, 618, 637},     {655, 659, 678, 697},     {715, 719, 738, 757},
    {775, 779, 798, 817},     {835, 844, 868, 892},     {915, 924, 948, 972},     {995, 1004, 1028, 1052},
    {1075, 1094, 1128, 1162}, {1195, 1215, 1248, 1282}, {1315, 1334, 1368, 1402}, {1435, 1460, 1498, 1537},
    {1576, 1600, 1647, 1677}, {1707, 1744, 1789, 1832},
}};

RankTable MakeTable(const Thresholds& thresholds) {
    RankTable table;
    table.reserve(kTiers.size());
    for (std::size_t tier = 0; tier < kTiers.size(); ++tier) {
        const TierStyle& style = kTiers[tier];
        table.push_back({style.label, style.red, style.green, style.blue, thresholds[tier]});
    }
    return table;
}

}  // namespace

std::vector<RankTable> BuildRankTables() {
    std::vector<RankTable> tables;
    tables.reserve(3);
    tables.push_back(MakeTable(kSolo));
    tables.push_back(MakeTable(kDoubles));
    tables.push_back(MakeTable(kStandard));
    return tables;
}
