// The stream's session chosen from the history's newest matches.
#include "stream_session.h"

#include <charconv>
#include <ctime>

#include <fmt/format.h>

namespace vantrel::report::serve {
namespace {

// Digits only, all of them, within [low, high].
std::optional<int> Number(std::string_view text, int low, int high) {
    int value = 0;
    if (text.empty() || text.size() > 4) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace

std::string StreamSession::Text() const {
    switch (kind) {
        case Kind::Load:
            return "load";
        case Kind::Gap:
            return fmt::format("gap:{}", minutes);
        case Kind::Since:
            return fmt::format("since:{:02}:{:02}", hour, minute);
    }
    return "load";
}

std::optional<StreamSession> ParseStreamSession(std::string_view text) {
    StreamSession session;
    if (text == "load") return session;
    if (text.substr(0, 4) == "gap:") {
        const auto minutes = Number(text.substr(4), 1, 1440);
        if (!minutes) return std::nullopt;
        session.kind = StreamSession::Kind::Gap;
        session.minutes = *minutes;
        return session;
    }
    if (text.substr(0, 6) == "since:") {
        const std::string_view clock = text.substr(6);
        if (clock.size() != 5 || clock[2] != ':') return std::nullopt;
        const auto hour = Number(clock.substr(0, 2), 0, 23);
        const auto minute = Number(clock.substr(3, 2), 0, 59);
        if (!hour || !minute) return std::nullopt;
        session.kind = StreamSession::Kind::Since;
        session.hour = *hour;
        session.minute = *minute;
        return session;
    }
    return std::nullopt;
}

LocalSeconds SinceStart(const StreamSession& session, LocalSeconds now) {
    const LocalSeconds today = StartOfDay(DayOf(now)) + session.hour * 3600 + session.minute * 60;
    return today <= now ? today : today - 86'400;
}

StreamSpan SelectStream(const History& history, const StreamSession& session, LocalSeconds now) {
    StreamSpan span;
    const std::vector<Match>& matches = history.matches;
    span.first = matches.size();
    switch (session.kind) {
        case StreamSession::Kind::Load:
            if (!history.sessions.empty()) {
                span.plugin = history.sessions.size() - 1;
                span.first = std::min<std::size_t>(history.sessions.back().firstMatch, matches.size());
            }
            return span;
        case StreamSession::Kind::Gap: {
            const LocalSeconds longest = LocalSeconds{session.minutes} * 60;
            if (matches.empty() || now - matches.back().time > longest) break;
            span.first = matches.size() - 1;
            while (span.first > 0 && matches[span.first].time - matches[span.first - 1].time <= longest) --span.first;
            break;
        }
        case StreamSession::Kind::Since: {
            const LocalSeconds start = SinceStart(session, now);
            while (span.first > 0 && matches[span.first - 1].time >= start) --span.first;
            break;
        }
    }
    if (span.first < matches.size()) span.plugin = matches.back().session;
    return span;
}

LocalSeconds LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return ToLocalSeconds({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                           local.tm_sec});
}

}  // namespace vantrel::report::serve
