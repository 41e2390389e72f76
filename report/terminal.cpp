// The terminal summary: the session table, then the modes.
#include <fmt/format.h>

#include "outputs.h"

namespace vantrel::report {
namespace {

constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kDim = "\x1b[2m";
constexpr std::string_view kReset = "\x1b[0m";

class Out {
public:
    explicit Out(bool colour) : colour_(colour) {}

    template <typename... Args>
    void Print(fmt::format_string<Args...> format, Args&&... args) {
        fmt::format_to(std::back_inserter(text_), format, std::forward<Args>(args)...);
    }
    // `text` in a colour (padding included, so that columns stay aligned).
    void Styled(std::string_view style, std::string_view text) {
        if (colour_ && !text.empty()) text_ += style;
        text_ += text;
        if (colour_ && !text.empty()) text_ += kReset;
    }
    // A signed change, green when up and red when down.
    void Change(std::optional<float> change, int width) {
        if (!change) {
            Styled(kDim, fmt::format("{:>{}}", "-", width));
            return;
        }
        const std::string text = fmt::format("{:>+{}.2f}", *change, width);
        Styled(*change > 0.0f ? kGreen : *change < 0.0f ? kRed : std::string_view(), text);
    }
    std::string Take() { return std::move(text_); }

private:
    bool colour_;
    std::string text_;
};

std::string Rating(std::optional<float> rating, int width) {
    return rating ? fmt::format("{:>{}.2f}", *rating, width) : fmt::format("{:>{}}", "-", width);
}

}  // namespace

std::string FormatTerminal(const History& history, bool colour) {
    Out out(colour);
    const std::vector<SessionSummary> sessions = SummariseSessions(history);
    const std::array<ModeSummary, kModeCount> modes = SummariseModes(history);

    std::array<bool, kModeCount> shown{};
    for (int m = 0; m < kModeCount; ++m) shown[m] = modes[m].matches > 0;

    // Sessions: per mode wins-losses, the change and the rating at the session's end.
    out.Styled(kBold, fmt::format("{:>5}  {:<10}  {:<11}  {:>7}", "#", "Date", "Time", "Matches"));
    for (int m = 0; m < kModeCount; ++m) {
        if (shown[m]) out.Styled(kBold, fmt::format("  {:<25}", fmt::format("{} W-L change rating", kModeLabels[m])));
    }
    out.Print("\n");
    for (std::size_t s = 0; s < history.sessions.size(); ++s) {
        const Session& session = history.sessions[s];
        const CivilTime start = ToCivilTime(session.start);
        const CivilTime end = ToCivilTime(session.end);
        out.Print("{:>5}  {:04d}-{:02d}-{:02d}  {:02d}:{:02d}-{:02d}:{:02d}  {:>7}", s + 1, start.year, start.month,
                  start.day, start.hour, start.minute, end.hour, end.minute, session.matchCount);
        for (int m = 0; m < kModeCount; ++m) {
            if (!shown[m]) continue;
            const ModeTally& tally = sessions[s].modes[m];
            if (tally.wins + tally.losses == 0) {
                out.Print("  {:<25}", "");
                continue;
            }
            out.Print("  {:>7}  ", fmt::format("{}-{}", tally.wins, tally.losses));
            out.Change(tally.knownChanges > 0 ? std::optional<float>(tally.change) : std::nullopt, 7);
            out.Print(" {}", Rating(tally.lastRating, 8));
        }
        out.Print("\n");
    }
    if (history.sessions.empty()) out.Print("(no sessions)\n");

    // Modes over the whole history.
    out.Print("\n");
    out.Styled(kBold, fmt::format("{:<6}  {:>7}  {:>8}  {:>8}  {:>8}  {:>8}  {:>11}  {:>12}\n", "Mode", "Matches",
                                  "Win rate", "First", "Last", "Peak", "Best streak", "Worst streak"));
    for (int m = 0; m < kModeCount; ++m) {
        if (!shown[m]) continue;
        const ModeSummary& mode = modes[m];
        out.Print("{:<6}  {:>7}  {:>7.1f}%  {}  {}  {}  {:>11}  {:>12}\n", kModeLabels[m], mode.matches,
                  100.0 * mode.wins / mode.matches, Rating(mode.firstRating, 8), Rating(mode.lastRating, 8),
                  Rating(mode.peakRating, 8), fmt::format("{} won", mode.longestWinStreak),
                  fmt::format("{} lost", mode.longestLossStreak));
    }
    return out.Take();
}

}  // namespace vantrel::report
