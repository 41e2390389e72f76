// The plug-in's log as it writes it, for the tests and the benchmarks: its messages, and a
// log written line by line with time stamps in front. One generator for C++; its Python
// twin (tests/support/vtest.py) is checked against it (tests/report/log_lines_test.cpp).
//
//   vtest::LogText log;
//   log.Line(vtest::Rating(700, 0, 0)).Line(vtest::Won(true)).Line(vtest::Ended(1, 1, 0, 1000), 3);
//   log.Line(vtest::Rating(1010, 1000, 3));
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "calendar.h"

namespace vtest {

// "Match ended: ..." with the counts of the mode and the rating the match started from.
inline std::string Ended(int mode, int wins, int losses, double start, double delta = 0.0) {
    return fmt::format("Match ended: ModeIndex: {}, Wins: {}, Losses: {}, Starting MMR: {:.2f}, Delta MMR: {:+06.2f}",
                       mode, wins, losses, start, delta);
}
// The result line written right before a match's line.
inline std::string Won(bool won) { return fmt::format("OnMatchEnd: wonMatch: {:d}", won); }
// A poll's reading: the rating now, the one it started from (0.00: the start-up poll's),
// and its count of retries.
inline std::string Rating(double mmr, double initial, int count) {
    return fmt::format("CheckMMRUpdate: mmr: {:.2f}, initialMMR: {:.2f}, count: {}", mmr, initial, count);
}
// A poll that gave up after `retries` (5: a match's, 120: the start-up's).
inline std::string Limit(int retries) { return fmt::format("Check MMR Update: maxRetries reached the limit ({})", retries); }
inline const std::string kLimit5 = Limit(5);
inline const std::string kLimit120 = Limit(120);

// A log written line by line, the clock advancing as asked.
class LogText {
public:
    explicit LogText(vantrel::report::LocalSeconds start = vantrel::report::ToLocalSeconds({2024, 3, 5, 21, 0, 0}))
        : time_(start) {}

    // One line stamped at the current time, then the clock moves on by `advance` seconds.
    LogText& Line(std::string_view message, vantrel::report::LocalSeconds advance = 1) {
        text_ += vantrel::report::FormatLocalTime(time_);
        text_ += " - ";
        text_ += message;
        text_ += eol_;
        time_ += advance;
        return *this;
    }
    LogText& Raw(std::string_view bytes) {
        text_ += bytes;
        return *this;
    }
    LogText& Wait(vantrel::report::LocalSeconds seconds) {
        time_ += seconds;
        return *this;
    }
    // Lines end in CR LF from here on, as the Windows build writes them.
    LogText& Crlf() {
        eol_ = "\r\n";
        return *this;
    }
    vantrel::report::LocalSeconds time() const { return time_; }
    const std::string& str() const { return text_; }
    // Hands the text written so far over, and starts empty (for a log written in parts).
    std::string Take() { return std::exchange(text_, std::string()); }

private:
    vantrel::report::LocalSeconds time_;
    std::string eol_ = "\n";
    std::string text_;
};

}  // namespace vtest
