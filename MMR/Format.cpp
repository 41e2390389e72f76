#include "Format.h"

#include <fmt/compile.h>
#include <fmt/format.h>

// The format strings are parsed at compile time (FMT_COMPILE): the texts are those of the
// same strings parsed at run time, without the parsing, which cost more than the numbers.

namespace {
// For the log's lines: formats into a buffer on the stack and makes the string once, at
// its final size, so a line costs one allocation however long it is. (A cell of the table
// is formatted straight into its string: it fits the small-string buffer or needs one
// allocation as it is.)
template <class CompiledFormat, class... Args>
std::string FormatLine(const CompiledFormat& format, const Args&... args) {
    fmt::memory_buffer buffer;
    fmt::format_to(fmt::appender(buffer), format, args...);
    return std::string(buffer.data(), buffer.size());
}

// -0.0 would print as "-0.00" inside a field whose sign is written separately.
float PositiveZero(float value) { return value + 0.0f; }
}  // namespace

std::string FormatChange(float m) {
    if (m <= -100.0f) return fmt::format(FMT_COMPILE("-{:4.2f}"), -m);
    if (m <= -10.0f) return fmt::format(FMT_COMPILE(" {:+04.2f}"), m);
    if (m < 0.0f) return fmt::format(FMT_COMPILE(" -0{:4.2f}"), -m);
    if (m < 10.0f) return fmt::format(FMT_COMPILE(" +0{:4.2f}"), PositiveZero(m));
    if (m < 100.0f) return fmt::format(FMT_COMPILE(" {:+04.2f}"), m);
    if (m >= 100.0f) return fmt::format(FMT_COMPILE("+{:4.2f}"), m);
    return fmt::format(FMT_COMPILE(" {:+.2f}"), m);  // NaN falls through every range
}

std::string FormatWinLoss(int wins, int losses) {
    return fmt::format(FMT_COMPILE("{}{}  {}{}"), wins < 10 ? " " : "", wins, losses < 10 ? " " : "", losses);
}

std::string FormatRankColumn(const std::string& rankText, float toRankUp) {
    if (toRankUp == 0.0f) return fmt::format(FMT_COMPILE("{}     -----"), rankText);
    return fmt::format(FMT_COMPILE("{}     {:05.2f}"), rankText, toRankUp);
}

std::string MatchEndedMessage(int mode, int wins, int losses, float startingMmr, float deltaMmr) {
    return FormatLine(FMT_COMPILE("Match ended: ModeIndex: {:d}, Wins: {:d}, Losses: {:d}, Starting MMR: {:.2f}, "
                                  "Delta MMR: {:+06.2f}"),
                      mode, wins, losses, startingMmr, deltaMmr);
}

std::string RatingChangedMessage(float newMmr, float initialMmr, int count) {
    return FormatLine(FMT_COMPILE("CheckMMRUpdate: mmr: {:.2f}, initialMMR: {:.2f}, count: {:d}"), newMmr,
                      initialMmr, count);
}
