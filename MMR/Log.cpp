// The log file: one time-stamped line per message, appended to VantrelLog.txt in the
// working directory and flushed at once. A stream that failed to open or to write stays
// failed and silently drops lines; nothing here throws.
#include <ctime>
#include <iomanip>
#include <new>
#include <sstream>

#include "Vantrel.h"

namespace {
// The time stamp of the second the last line was written in, and the line being written.
// Lines come in bursts (a match end writes several), and turning a time into local-time
// text costs several times the write itself: the stamp is made by put_time in the log
// stream's locale, but only once a second. The line is put together in a buffer that
// keeps its capacity and goes to the file in one write, straight through the stream's
// buffer. Entry points run one at a time on the game thread.
struct LogState {
    bool stampValid = false;
    std::time_t stampSecond = 0;
    std::string stamp;
    std::string line;
};
LogState state;

const std::string& StampFor(std::time_t now, const std::ostream& stream) {
    if (state.stampValid && state.stampSecond == now) return state.stamp;
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    std::ostringstream text;
    text.imbue(stream.getloc());
    text << std::put_time(&local, "%Y-%m-%d %H:%M:%S");
    state.stampValid = false;  // stays invalid if the assignment throws
    state.stamp = std::move(text).str();
    state.stampSecond = now;
    state.stampValid = true;
    return state.stamp;
}
}  // namespace

void Vantrel::Log(const std::string& message) {
    if (!logFile.good()) {  // as the stream's own output does: a failed stream writes nothing
        logFile.setstate(std::ios::failbit);
        return;
    }
    try {
        std::string& line = state.line;
        line.assign(StampFor(std::time(nullptr), logFile));
        line.append(" - ").append(message).push_back('\n');
        // What write and flush do on a good stream with no tie, without the sentries.
        std::streambuf& file = *logFile.rdbuf();
        const auto size = static_cast<std::streamsize>(line.size());
        if (file.sputn(line.data(), size) != size || file.pubsync() == -1) logFile.setstate(std::ios::badbit);
    } catch (const std::bad_alloc&) {
        // Only making the text can throw (out of memory): the line is dropped.
    }
}
