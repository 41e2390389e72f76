// Checks that the plug-in's texts (Format.cpp, format strings parsed at compile time) are
// byte for byte those of the same format strings parsed at run time, over floats that
// cover every branch and the rounding cases:
//
//   every 997th float bit pattern (all exponents, both signs, NaNs, infinities);
//   every multiple of 1/8 in [-5000, 5000] (the two-decimal ties a float can hold);
//   the floats next to every two-decimal tie x.xx5 in [-2000, 2000];
//   the boundaries of the change column's ranges and their neighbours;
//   win and loss counts in [-120, 1200] and the int extremes.
//
// `vantrel_format_check --all` walks every one of the 2^32 float bit patterns instead of
// every 997th (about three hours on one core). Exit status 0 when every text matched.
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Format.h"

namespace reference {

float PositiveZero(float value) { return value + 0.0f; }

std::string FormatChange(float m) {
    if (m <= -100.0f) return fmt::format("-{:4.2f}", -m);
    if (m <= -10.0f) return fmt::format(" {:+04.2f}", m);
    if (m < 0.0f) return fmt::format(" -0{:4.2f}", -m);
    if (m < 10.0f) return fmt::format(" +0{:4.2f}", PositiveZero(m));
    if (m < 100.0f) return fmt::format(" {:+04.2f}", m);
    if (m >= 100.0f) return fmt::format("+{:4.2f}", m);
    return fmt::format(" {:+.2f}", m);
}

std::string FormatWinLoss(int wins, int losses) {
    return fmt::format("{}{}  {}{}", wins < 10 ? " " : "", wins, losses < 10 ? " " : "", losses);
}

std::string FormatRankColumn(const std::string& rankText, float toRankUp) {
    if (toRankUp == 0.0f) return fmt::format("{}     -----", rankText);
    return fmt::format("{}     {:05.2f}", rankText, toRankUp);
}

std::string MatchEndedMessage(int mode, int wins, int losses, float startingMmr, float deltaMmr) {
    return fmt::format("Match ended: ModeIndex: {:d}, Wins: {:d}, Losses: {:d}, Starting MMR: {:.2f}, "
                       "Delta MMR: {:+06.2f}",
                       mode, wins, losses, startingMmr, deltaMmr);
}

std::string RatingChangedMessage(float newMmr, float initialMmr, int count) {
    return fmt::format("CheckMMRUpdate: mmr: {:.2f}, initialMMR: {:.2f}, count: {:d}", newMmr, initialMmr, count);
}

}  // namespace reference

namespace {

std::uint64_t checked = 0;
std::uint64_t failures = 0;

void Expect(const std::string& got, const std::string& want, const char* what, float value) {
    ++checked;
    if (got == want) return;
    if (++failures <= 20) {
        std::fprintf(stderr, "%s(%a): \"%s\", expected \"%s\"\n", what, static_cast<double>(value), got.c_str(),
                     want.c_str());
    }
}

const std::string kRankTexts[] = {"UNR D1", "B1 D4", "GC3 D2", "-----"};

void CheckFloat(float v) {
    Expect(FormatChange(v), reference::FormatChange(v), "FormatChange", v);
    Expect(FormatRankColumn(kRankTexts[checked % 4], v), reference::FormatRankColumn(kRankTexts[checked % 4], v),
           "FormatRankColumn", v);
    Expect(MatchEndedMessage(1, 4, 1, v, v), reference::MatchEndedMessage(1, 4, 1, v, v), "MatchEndedMessage", v);
    Expect(RatingChangedMessage(v, -v, 3), reference::RatingChangedMessage(v, -v, 3), "RatingChangedMessage", v);
}

void CheckAround(float v) {
    CheckFloat(v);
    CheckFloat(std::nextafter(v, INFINITY));
    CheckFloat(std::nextafter(v, -INFINITY));
}

}  // namespace

int main(int argc, char** argv) {
    const bool all = argc > 1 && std::strcmp(argv[1], "--all") == 0;
    const std::uint64_t stride = all ? 1 : 997;
    for (std::uint64_t bits = 0; bits <= 0xffffffffu; bits += stride) {
        CheckFloat(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
    }
    for (int k = -40000; k <= 40000; ++k) CheckFloat(static_cast<float>(k) / 8.0f);
    for (int k = -400000; k < 400000; ++k) CheckAround(static_cast<float>((static_cast<double>(k) + 0.5) / 200.0));
    for (float edge : {0.0f, -0.0f, 10.0f, -10.0f, 100.0f, -100.0f, 9.995f, 9.996f, -9.995f, 99.995f, -99.995f,
                       0.005f, -0.005f, INFINITY, -INFINITY, NAN, -NAN, FLT_MAX, -FLT_MAX, FLT_MIN, -FLT_MIN})
        CheckAround(edge);
    for (int w = -120; w <= 1200; ++w) {
        for (int l : {-120, -10, -1, 0, 1, 9, 10, 11, 99, 100, 1000, 1200}) {
            Expect(FormatWinLoss(w, l), reference::FormatWinLoss(w, l), "FormatWinLoss", static_cast<float>(w));
            Expect(FormatWinLoss(l, w), reference::FormatWinLoss(l, w), "FormatWinLoss", static_cast<float>(l));
        }
    }
    for (int a : {INT_MIN, INT_MIN + 1, -1, 0, 9, 10, INT_MAX})
        for (int b : {INT_MIN, -1, 0, 9, 10, INT_MAX})
            Expect(FormatWinLoss(a, b), reference::FormatWinLoss(a, b), "FormatWinLoss", static_cast<float>(a));

    std::printf("format check: %llu texts compared, %llu differ%s\n", static_cast<unsigned long long>(checked),
                static_cast<unsigned long long>(failures), all ? " (every float)" : "");
    return failures == 0 ? 0 : 1;
}
