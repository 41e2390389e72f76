// The terminal summary: the session table, then the modes.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

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

// One row of the session table, written in place: appending its many short pieces to the
// output buffer one by one costs more than the row itself. Room for the widest row: a
// number of 20 digits and four modes of long numbers and colour codes.
class Row {
public:
    std::string_view Text() const { return std::string_view(text_, static_cast<std::size_t>(end_ - text_)); }

    void Put(std::string_view text) {
        std::memcpy(end_, text.data(), text.size());
        end_ += text.size();
    }
    void Put(char c) { *end_++ = c; }
    // `text` right-aligned in `width` columns.
    void Right(std::string_view text, std::size_t width) {
        if (width > text.size()) {
            std::memset(end_, ' ', width - text.size());
            end_ += width - text.size();
        }
        Put(text);
    }
    void Right(std::uint64_t value, std::size_t width) {
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        Right(std::string_view(digits, static_cast<std::size_t>(end - digits)), width);
    }
    // Two digits of `value` (0 to 99).
    void Two(int value) {
        Put(static_cast<char>('0' + value / 10));
        Put(static_cast<char>('0' + value % 10));
    }
    // A signed change right-aligned in `width`, green when up and red when down (with
    // `colour`); a dim dash when none is known.
    void Change(std::optional<float> change, std::size_t width, bool colour) {
        if (!change) return Styled(colour, kDim, "-", width);
        char text[kFixed2Size];
        Styled(colour, *change > 0.0f ? kGreen : *change < 0.0f ? kRed : std::string_view(),
               std::string_view(text, FormatFixed2(text, *change, true)), width);
    }
    // A rating right-aligned in `width`, or a dash.
    void Rating(std::optional<float> rating, std::size_t width) {
        if (!rating) return Right("-", width);
        char text[kFixed2Size];
        Right(std::string_view(text, FormatFixed2(text, *rating, false)), width);
    }

private:
    // Padding inside the style, so that columns stay aligned.
    void Styled(bool colour, std::string_view style, std::string_view text, std::size_t width) {
        if (colour) Put(style);
        Right(text, width);
        if (colour) Put(kReset);
    }

    char text_[1024];
    char* end_ = text_;
};

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
    void Line(const Row& row) {
        text_.append(row.Text());
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

private:
    bool colour_;
    const std::function<void(std::string_view)>& sink_;
    fmt::memory_buffer text_;
};

std::string Rating(std::optional<float> rating, int width) {
    return rating ? fmt::format("{:>{}.2f}", *rating, width) : fmt::format("{:>{}}", "-", width);
}

// "    N  YYYY-MM-DD  HH:MM-HH:MM  MATCHES": the start of a session's row.
void SessionColumns(Row& row, std::size_t number, const Session& session) {
    const CivilTime start = ToCivilTime(session.start);
    const CivilTime end = ToCivilTime(session.end);
    row.Right(number, 5);
    row.Put("  ");
    if (start.year >= 0 && start.year <= 9999) {
        row.Two(start.year / 100);
        row.Two(start.year % 100);
    } else {
        char year[16];
        const auto written = fmt::format_to_n(year, sizeof year, FMT_COMPILE("{:04d}"), start.year);
        row.Put(std::string_view(year, std::min(written.size, sizeof year)));
    }
    row.Put('-');
    row.Two(start.month);
    row.Put('-');
    row.Two(start.day);
    row.Put("  ");
    row.Two(start.hour);
    row.Put(':');
    row.Two(start.minute);
    row.Put('-');
    row.Two(end.hour);
    row.Put(':');
    row.Two(end.minute);
    row.Put("  ");
    row.Right(session.matchCount, 7);
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
        Row row;
        SessionColumns(row, s + 1, history.sessions[s]);
        for (int m = 0; m < kModeCount; ++m) {
            if (!shown[m]) continue;
            const ModeTally& tally = sessions[s].modes[m];
            row.Put("  ");
            if (tally.wins + tally.losses == 0) {
                row.Right("", 25);
                continue;
            }
            char winLoss[48];
            char* end = std::to_chars(winLoss, winLoss + 20, tally.wins).ptr;
            *end++ = '-';
            end = std::to_chars(end, winLoss + sizeof winLoss, tally.losses).ptr;
            row.Right(std::string_view(winLoss, static_cast<std::size_t>(end - winLoss)), 7);
            row.Put("  ");
            row.Change(tally.knownChanges > 0 ? std::optional<float>(tally.change) : std::nullopt, 7, colour);
            row.Put(' ');
            row.Rating(tally.lastRating, 8);
        }
        out.Line(row);
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
