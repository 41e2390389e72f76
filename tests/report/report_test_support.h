// Building logs for the report's tests: messages with time stamps in front.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "history.h"
#include "text.h"

namespace vtest {

// A log written line by line, the clock advancing as asked.
class LogText {
public:
    explicit LogText(vantrel::report::LocalSeconds start = vantrel::report::ToLocalSeconds({2024, 3, 5, 21, 0, 0}))
        : time_(start) {}

    // One line stamped at the current time, then the clock moves on by `advance` seconds.
    LogText& Line(const std::string& message, vantrel::report::LocalSeconds advance = 1) {
        text_ += vantrel::report::FormatLocalTime(time_) + " - " + message + eol_;
        time_ += advance;
        return *this;
    }
    LogText& Raw(const std::string& bytes) {
        text_ += bytes;
        return *this;
    }
    LogText& Wait(vantrel::report::LocalSeconds seconds) {
        time_ += seconds;
        return *this;
    }
    LogText& Crlf() {
        eol_ = "\r\n";
        return *this;
    }
    const std::string& str() const { return text_; }

private:
    vantrel::report::LocalSeconds time_;
    std::string eol_ = "\n";
    std::string text_;
};

inline vantrel::report::History Read(const std::string& text) {
    std::istringstream in(text);
    return vantrel::report::ReadHistory(in);
}

}  // namespace vtest
