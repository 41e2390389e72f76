// The chat bot's line: the template checked when asked, then filled from the glance.
#include "text_answer.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include <fmt/format.h>

#include "divisions.h"
#include "outputs/json.h"

namespace vantrel::report::serve {
namespace {

constexpr std::string_view kUnknown = "\u2013";

// A finite number such as 1100 or 1012.25 (no sign, no exponent).
std::optional<double> Number(std::string_view text) {
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789.") != std::string_view::npos) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The number of code points of valid UTF-8; none when it is not.
std::optional<std::size_t> Utf8Length(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return std::nullopt;
        std::uint32_t point = length == 1 ? byte : byte & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            point = (point << 6) | (next & 0x3F);
        }
        // No overlong forms, surrogates or points past U+10FFFF.
        constexpr std::uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kLeast[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return std::nullopt;
        i += length;
    }
    return count;
}

// Walks a template: literal text (braces doubled for one) and placeholders. False with
// `why` at the first fault.
template <typename Literal, typename Placeholder>
bool Walk(std::string_view templ, Literal literal, Placeholder placeholder, std::string& why) {
    for (std::size_t i = 0; i < templ.size(); ++i) {
        const char c = templ[i];
        if ((c == '{' || c == '}') && i + 1 < templ.size() && templ[i + 1] == c) {
            literal(c);
            ++i;
        } else if (c == '{') {
            const std::size_t close = templ.find('}', i);
            const std::string_view name = close == std::string_view::npos ? "" : templ.substr(i + 1, close - i - 1);
            if (close == std::string_view::npos || name.find('{') != std::string_view::npos) {
                why = "a { without its } (write {{ for a brace)";
                return false;
            }
            if (!placeholder(name)) {
                why = fmt::format("unknown placeholder {{{}}}", name.substr(0, 40));
                return false;
            }
            i = close;
        } else if (c == '}') {
            why = "a } without its { (write }} for a brace)";
            return false;
        } else {
            literal(c);
        }
    }
    return true;
}

bool Known(std::string_view name) {
    for (const std::string_view known : TextPlaceholders()) {
        if (known == name) return true;
    }
    return false;
}

std::string Fixed(std::optional<double> value) {
    return value && std::isfinite(*value) ? fmt::format("{:.2f}", Hundredths(*value)) : std::string(kUnknown);
}

std::string Signed(double value) { return fmt::format("{:+.2f}", Hundredths(value)); }

}  // namespace

const std::vector<std::string_view>& TextPlaceholders() {
    static const std::vector<std::string_view> names{"mode",   "rating", "rank", "toNext", "next",   "record", "wins",
                                                     "losses", "change", "last", "streak", "goal",   "toGoal"};
    return names;
}

Refusal ParseTextRequest(const Query& query, TextRequest& request) {
    const auto refuse = [](std::string reason) { return Refusal{400, std::move(reason)}; };
    if (!query.ok) return refuse("a malformed % escape in the query");
    if (const std::string* mode = query.Get("mode")) {
        request.mode = ModeNamed(*mode);
        if (!request.mode) return refuse("mode= wants 1v1, 2v2, 3v3 or other");
    }
    if (const std::string* session = query.Get("session")) {
        request.session = ParseStreamSession(*session);
        if (!request.session) return refuse("session= wants load, gap:MINUTES or since:HH:MM");
    }
    if (const std::string* goals = query.Get("goal")) {
        // A number, or the overlay's list "2v2:1100,3v3:900", of which this mode's is taken.
        std::string_view list = *goals;
        bool ok = !list.empty();
        while (ok && !list.empty()) {
            const std::size_t comma = list.find(',');
            const std::string_view item = list.substr(0, comma);
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            const std::size_t colon = item.find(':');
            const auto value = Number(colon == std::string_view::npos ? item : item.substr(colon + 1));
            const auto mode = colon == std::string_view::npos ? request.mode : ModeNamed(item.substr(0, colon));
            ok = value && (colon == std::string_view::npos || mode);
            if (ok && (colon == std::string_view::npos || mode == request.mode)) request.goal = value;
        }
        if (!ok) return refuse("goal= wants a rating such as 1100, or MODE:RATING,... such as 2v2:1100");
    }
    const std::string* templ = query.Get("template");
    request.templ = templ != nullptr ? *templ : std::string(kDefaultTextTemplate);
    const auto length = Utf8Length(request.templ);
    if (!length) return refuse("the template is not UTF-8");
    if (*length > kTextLimit) return refuse(fmt::format("the template is over {} characters", kTextLimit));
    std::string why;
    if (!Walk(request.templ, [](char) {}, Known, why)) return refuse(why);
    return {};
}

Refusal AnswerText(const TextRequest& request, const History& history, const SessionGlance& glance,
                   std::string& answer) {
    std::optional<std::size_t> mode = request.mode;
    if (!mode && glance.last) mode = history.matches[*glance.last].mode;
    if (!mode) return {400, "mode= is needed: no match in this session yet"};
    const std::size_t m = *mode;
    const SessionGlance::Mode& played = glance.modes[m];
    const std::optional<double> current = glance.Current(m);
    DivisionStanding standing;
    if (current) standing = StandingOf(m, *current);
    const auto value = [&](std::string_view name) -> std::string {
        if (name == "mode") return kModeLabels[m];
        if (name == "rating") return Fixed(current);
        if (name == "rank") return standing.current ? standing.current->Label() : std::string(kUnknown);
        if (name == "toNext") return standing.next ? Fixed(standing.toGo) : std::string(kUnknown);
        if (name == "next") return standing.next ? standing.next->Label() : std::string(kUnknown);
        if (name == "record") return fmt::format("{}-{}", played.wins, played.losses);
        if (name == "wins") return std::to_string(played.wins);
        if (name == "losses") return std::to_string(played.losses);
        if (name == "change") return played.knownChanges > 0 ? Signed(played.change) : std::string(kUnknown);
        if (name == "last") {
            if (!glance.last) return std::string(kUnknown);
            const Match& match = history.matches[*glance.last];
            std::string last = fmt::format("{} {}", match.won ? "Won" : "Lost", kModeLabels[match.mode]);
            if (const auto change = match.change()) last += " " + Signed(*change);
            return last;
        }
        if (name == "streak") {
            if (!glance.last) return std::string(kUnknown);
            return fmt::format("{} {}", glance.streak,
                               glance.streakWon ? (glance.streak == 1 ? "win" : "wins")
                                                : (glance.streak == 1 ? "loss" : "losses"));
        }
        if (name == "goal") {
            if (!request.goal) return std::string(kUnknown);
            const double goal = Hundredths(*request.goal);
            return goal == std::floor(goal) ? fmt::format("{:.0f}", goal) : fmt::format("{:.2f}", goal);
        }
        if (name == "toGoal") {
            if (!request.goal || !current) return std::string(kUnknown);
            return Fixed(std::max(0.0, *request.goal - *current));
        }
        return std::string(kUnknown);
    };
    std::string filled;
    std::string why;
    Walk(
        request.templ, [&](char c) { filled += c; },
        [&](std::string_view name) {
            filled += value(name);
            return true;
        },
        why);
    // One line: every control character (C0, C1, the line and paragraph separators) a
    // space; then at most kTextLimit code points. The text is UTF-8: the template was
    // checked, the values are ours.
    answer.clear();
    std::size_t points = 0;
    for (std::size_t i = 0; i < filled.size() && points < kTextLimit; ++points) {
        const auto byte = static_cast<unsigned char>(filled[i]);
        const std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        const std::string_view point = std::string_view(filled).substr(i, length);
        const bool control = byte < 0x20 || byte == 0x7F || (byte == 0xC2 && point.size() == 2 &&
                                                              static_cast<unsigned char>(point[1]) < 0xA0) ||
                             point == "\u2028" || point == "\u2029";
        if (control) {
            answer += ' ';
        } else {
            answer += point;
        }
        i += length;
    }
    return {};
}

}  // namespace vantrel::report::serve
