// What the report's tests share beyond the support library: the examples' logs, and
// histories read, described and compared.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "log_lines.h"
#include "rebuild.h"
#include "text.h"

namespace vtest {

// "session mode result before>after" per match, with "?" for an unknown rating after.
inline std::vector<std::string> Describe(const vantrel::report::History& history) {
    std::vector<std::string> out;
    for (const vantrel::report::Match& m : history.matches) {
        out.push_back(fmt::format("{} {} {} {:.2f}>{}", m.session + 1, vantrel::report::kModeLabels[m.mode],
                                  m.won ? "W" : "L", m.before, m.after ? fmt::format("{:.2f}", *m.after) : "?"));
    }
    return out;
}

// Each match's session, counted from 1.
inline std::vector<std::uint32_t> SessionOfEach(const vantrel::report::History& history) {
    std::vector<std::uint32_t> sessions;
    for (const vantrel::report::Match& m : history.matches) sessions.push_back(m.session + 1);
    return sessions;
}

inline vantrel::report::History Read(const std::string& text) {
    std::istringstream in(text);
    return vantrel::report::ReadHistory(in);
}

// An example's messages (examples/NAME.messages) stamped as the plug-in writes them: a line
// every 7 seconds from 2024-03-05 21:00:00, except that a match poll's line comes its count
// of seconds after its match (5 for one that gave up), as the poll's timer has it.
inline std::string ExampleLog(const std::string& name) {
    using vantrel::report::LocalSeconds;
    const LocalSeconds start = vantrel::report::ToLocalSeconds({2024, 3, 5, 21, 0, 0});
    std::string text;
    LocalSeconds lastMatch = -1;
    const std::vector<std::string> lines = ReadLines(std::string(VANTREL_EXAMPLES_DIR) + "/" + name + ".messages");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& message = lines[i];
        LocalSeconds time = start + 7 * static_cast<LocalSeconds>(i);
        const std::size_t count = message.rfind(", count: ");
        if (lastMatch >= 0 && message.rfind("CheckMMRUpdate: ", 0) == 0 && count != std::string::npos) {
            const int c = std::stoi(message.substr(count + 9));
            const bool rightAfterMatch = lines[i - 1].rfind("Match ended: ", 0) == 0;
            if (c <= 5 && (c > 0 || rightAfterMatch)) time = lastMatch + c;
        } else if (lastMatch >= 0 && message == "Check MMR Update: maxRetries reached the limit (5)") {
            time = lastMatch + 5;
        }
        if (message.rfind("Match ended: ", 0) == 0) lastMatch = time;
        text += vantrel::report::FormatLocalTime(time) + " - " + message + "\n";
    }
    return text;
}

// Every field of two histories alike (a failure names the first field that differs).
inline void ExpectSameHistory(const vantrel::report::History& a, const vantrel::report::History& b) {
    ASSERT_EQ(a.matches.size(), b.matches.size());
    ASSERT_EQ(a.sessions.size(), b.sessions.size());
    for (std::size_t i = 0; i < a.matches.size(); ++i) {
        const vantrel::report::Match& x = a.matches[i];
        const vantrel::report::Match& y = b.matches[i];
        ASSERT_TRUE(x.time == y.time && x.line == y.line && x.session == y.session && x.before == y.before &&
                    x.after == y.after && x.mode == y.mode && x.won == y.won)
            << "match " << i;
    }
    for (std::size_t i = 0; i < a.sessions.size(); ++i) {
        const vantrel::report::Session& x = a.sessions[i];
        const vantrel::report::Session& y = b.sessions[i];
        ASSERT_TRUE(x.start == y.start && x.end == y.end && x.firstLine == y.firstLine && x.lastLine == y.lastLine &&
                    x.firstMatch == y.firstMatch && x.matchCount == y.matchCount && x.loadSeen == y.loadSeen &&
                    x.loadFailed == y.loadFailed)
            << "session " << i;
    }
    const vantrel::report::ReadStats& s = a.stats;
    const vantrel::report::ReadStats& t = b.stats;
    EXPECT_TRUE(s.lines == t.lines && s.logLines == t.logLines && s.continuationLines == t.continuationLines &&
                s.unpairedPollLines == t.unpairedPollLines && s.unreadable == t.unreadable &&
                s.firstUnreadableLine == t.firstUnreadableLine);
}

}  // namespace vtest
