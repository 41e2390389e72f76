// The terminal summary: the session table, then the modes.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "outputs.h"

namespace vantrel::report {

std::size_t FormatFixed2(char (&out)[kFixed2Size], float value, bool plus) {
    // A float times 100 is exact in a double (24 + 7 bits), and so is its distance to the
    // nearest integer: unless it lies exactly halfway, that integer is the correctly rounded
    // number of hundredths. Halfway, huge and non-finite values take fmt's general path.
    const double scaled = static_cast<double>(value) * 100.0;
    if (std::fabs(scaled) < 1e15) {
        const double rounded = std::nearbyint(scaled);
        if (std::fabs(scaled - rounded) != 0.5) {
            auto hundredths = static_cast<std::uint64_t>(std::fabs(rounded));
            char* p = out;
            if (std::signbit(value)) {
                *p++ = '-';  // as fmt writes it: also for -0.0 and what rounds to zero
            } else if (plus) {
                *p++ = '+';
            }
            p = std::to_chars(p, out + kFixed2Size, hundredths / 100).ptr;
            hundredths %= 100;
            *p++ = '.';
            *p++ = static_cast<char>('0' + hundredths / 10);
            *p++ = static_cast<char>('0' + hundredths % 10);
            return static_cast<std::size_t>(p - out);
        }
    }
    const auto result = plus ? fmt::format_to_n(out, kFixed2Size, FMT_COMPILE("{:+.2f}"), value)
                             : fmt::format_to_n(out, kFixed2Size, FMT_COMPILE("{:.2f}"), value);
    return std::min(result.size, kFixed2Size);
}

namespace {

constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kGreen = "\x1b[32m";
constexpr std::string_view kRed = "\x1b[31m";
constexpr std::string_view kDim = "\x1b[2m";
constexpr std::string_view kReset = "\x1b[0m";

// Right-aligns `text` in `width` columns of `out`.
void AppendRight(fmt::memory_buffer& out, std::string_view text, std::size_t width) {
    static constexpr std::string_view kSpaces = "                                ";
    for (std::size_t pad = width > text.size() ? width - text.size() : 0; pad > 0;) {
        const std::size_t n = std::min(pad, kSpaces.size());
        out.append(kSpaces.substr(0, n));
        pad -= n;
    }
    out.append(text);
}

void AppendRight(fmt::memory_buffer& out, std::uint64_t value, std::size_t width) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    AppendRight(out, std::string_view(digits, static_cast<std::size_t>(end - digits)), width);
}

// Two digits of `value` (0 to 99).
void AppendTwo(fmt::memory_buffer& out, int value) {
    const char digits[2] = {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
    out.append(digits, digits + 2);
}

// Collects the text and hands it on in pieces (a long history has a long session table).
class Out {
public:
    Out(bool colour, const std::function<void(std::string_view)>& sink) : colour_(colour), sink_(sink) {}
    ~Out() { Flush(); }
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    fmt::memory_buffer& Text() { return text_; }
    void Flush() {
        if (text_.size() > 0) sink_(std::string_view(text_.data(), text_.size()));
        text_.clear();
    }
    void EndLine() {
        text_.push_back('\n');
        if (text_.size() > 60000) Flush();
    }

    template <typename... Args>
    void Print(fmt::format_string<Args...> format, Args&&... args) {
        fmt::format_to(fmt::appender(text_), format, std::forward<Args>(args)...);
    }
    // `text` in a colour (padding included, so that columns stay aligned).
    void Styled(std::string_view style, std::string_view text) {
        if (colour_ && !text.empty()) text_.append(style);
        text_.append(text);
        if (colour_ && !text.empty()) text_.append(kReset);
    }
    // A signed change right-aligned in `width`, green when up and red when down; a dim
    // dash when none is known.
    void Change(std::optional<float> change, std::size_t width) {
        fmt::memory_buffer cell;
        if (!change) {
            AppendRight(cell, "-", width);
            Styled(kDim, std::string_view(cell.data(), cell.size()));
            return;
        }
        char text[kFixed2Size];
        AppendRight(cell, std::string_view(text, FormatFixed2(text, *change, true)), width);
        Styled(*change > 0.0f ? kGreen : *change < 0.0f ? kRed : std::string_view(),
               std::string_view(cell.data(), cell.size()));
    }
    // A rating right-aligned in `width`, or a dash.
    void Rating(std::optional<float> rating, std::size_t width) {
        if (!rating) {
            AppendRight(text_, "-", width);
            return;
        }
        char text[kFixed2Size];
        AppendRight(text_, std::string_view(text, FormatFixed2(text, *rating, false)), width);
    }

private:
    bool colour_;
    const std::function<void(std::string_view)>& sink_;
    fmt::memory_buffer text_;
};

std::string Rating(std::optional<float> rating, int width) {
    return rating ? fmt::format("{:>{}.2f}", *rating, width) : fmt::format("{:>{}}", "-", width);
}

// "    N  YYYY-MM-DD  HH:MM-HH:MM  MATCHES": the start of a session's row.
void SessionColumns(fmt::memory_buffer& out, std::size_t number, const Session& session) {
    const CivilTime start = ToCivilTime(session.start);
    const CivilTime end = ToCivilTime(session.end);
    AppendRight(out, number, 5);
    out.append(std::string_view("  "));
    if (start.year >= 0 && start.year <= 9999) {
        AppendTwo(out, start.year / 100);
        AppendTwo(out, start.year % 100);
    } else {
        fmt::format_to(fmt::appender(out), FMT_COMPILE("{:04d}"), start.year);
    }
    out.push_back('-');
    AppendTwo(out, start.month);
    out.push_back('-');
    AppendTwo(out, start.day);
    out.append(std::string_view("  "));
    AppendTwo(out, start.hour);
    out.push_back(':');
    AppendTwo(out, start.minute);
    out.push_back('-');
    AppendTwo(out, end.hour);
    out.push_back(':');
    AppendTwo(out, end.minute);
    out.append(std::string_view("  "));
    AppendRight(out, session.matchCount, 7);
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
    fmt::memory_buffer& text = out.Text();
    for (std::size_t s = 0; s < history.sessions.size(); ++s) {
        SessionColumns(text, s + 1, history.sessions[s]);
        for (int m = 0; m < kModeCount; ++m) {
            if (!shown[m]) continue;
            const ModeTally& tally = sessions[s].modes[m];
            text.append(std::string_view("  "));
            if (tally.wins + tally.losses == 0) {
                AppendRight(text, "", 25);
                continue;
            }
            char winLoss[48];
            char* end = std::to_chars(winLoss, winLoss + 20, tally.wins).ptr;
            *end++ = '-';
            end = std::to_chars(end, winLoss + sizeof winLoss, tally.losses).ptr;
            AppendRight(text, std::string_view(winLoss, static_cast<std::size_t>(end - winLoss)), 7);
            text.append(std::string_view("  "));
            out.Change(tally.knownChanges > 0 ? std::optional<float>(tally.change) : std::nullopt, 7);
            text.push_back(' ');
            out.Rating(tally.lastRating, 8);
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
