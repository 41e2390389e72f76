// The terminal summary: the session table, then the modes.
#include "terminal.h"

#include <optional>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "calendar.h"
#include "summary.h"

namespace vantrel::report {

namespace {

constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kDim = "\x1b[2m";
constexpr std::string_view kReset = "\x1b[0m";

// Collects the text and hands it on in pieces (a long history has a long session table).
class Out {
public:
    Out(bool colour, const std::function<void(std::string_view)>& sink) : colour_(colour), sink_(sink) {}
    ~Out() { Flush(); }
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    void Flush() {
        if (text_.size() > 0) sink_(std::string_view(text_.data(), text_.size()));
        text_.clear();
    }
    // Ends a line; the text gathered so far goes on once it is long enough.
    void EndLine() {
        text_.push_back('\n');
        if (text_.size() > 60000) Flush();
    }

    template <typename... Args>
    void Print(fmt::format_string<Args...> format, Args&&... args) {
        fmt::format_to(fmt::appender(text_), format, std::forward<Args>(args)...);
    }
    // The same with a format compiled by FMT_COMPILE, for the table's many rows.
    template <typename Format, typename... Args>
    void PrintCompiled(const Format& format, Args&&... args) {
        fmt::format_to(fmt::appender(text_), format, std::forward<Args>(args)...);
    }
    // `text` in a colour (padding included, so that columns stay aligned).
    void Styled(std::string_view style, std::string_view text) {
        if (colour_ && !text.empty()) text_.append(style);
        text_.append(text);
        if (colour_ && !text.empty()) text_.append(kReset);
    }
    // A session's change right-aligned in 7 columns, green when up and red when down;
    // a dim dash when none is known. With colour every change is wrapped in its style and
    // a reset, the padding inside.
    void Change(std::optional<float> change) {
        if (colour_) text_.append(!change ? kDim : *change > 0.0f ? kGreen : *change < 0.0f ? kRed : std::string_view());
        if (change) {
            PrintCompiled(FMT_COMPILE("{:>+7.2f}"), *change);
        } else {
            text_.append(std::string_view("      -"));
        }
        if (colour_) text_.append(kReset);
    }

private:
    bool colour_;
    const std::function<void(std::string_view)>& sink_;
    fmt::memory_buffer text_;
};

std::string Rating(std::optional<float> rating, int width) {
    return rating ? fmt::format("{:>{}.2f}", *rating, width) : fmt::format("{:>{}}", "-", width);
}

}  // namespace

void WriteTerminal(const History& history, bool colour, const std::function<void(std::string_view)>& sink) {
    Out out(colour, sink);
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
        out.PrintCompiled(FMT_COMPILE("{:>5}  {}  {}-{}  {:>7}"), s + 1, FormatDate(session.start),
                          FormatClock(session.start), FormatClock(session.end), session.matchCount);
        for (int m = 0; m < kModeCount; ++m) {
            if (!shown[m]) continue;
            const ModeTally& tally = sessions[s].modes[m];
            if (tally.wins + tally.losses == 0) {
                out.PrintCompiled(FMT_COMPILE("  {:25}"), "");
                continue;
            }
            out.PrintCompiled(FMT_COMPILE("  {:>7}  "), fmt::format(FMT_COMPILE("{}-{}"), tally.wins, tally.losses));
            out.Change(tally.knownChanges > 0 ? std::optional<float>(tally.change) : std::nullopt);
            if (tally.lastRating) {
                out.PrintCompiled(FMT_COMPILE(" {:>8.2f}"), *tally.lastRating);
            } else {
                out.PrintCompiled(FMT_COMPILE(" {:>8}"), "-");
            }
        }
        out.EndLine();
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
}

std::string FormatTerminal(const History& history, bool colour) {
    std::string text;
    WriteTerminal(history, colour, [&](std::string_view piece) { text += piece; });
    return text;
}

}  // namespace vantrel::report
