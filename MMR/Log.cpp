// The log file: one time-stamped line per message, appended to VantrelLog.txt in the
// working directory and flushed at once. A stream that failed to open or to write stays
// failed and silently drops lines; nothing here throws.
#include <ctime>
#include <iomanip>

#include "Vantrel.h"

void Vantrel::Log(const std::string& message) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    logFile << std::put_time(&local, "%Y-%m-%d %H:%M:%S") << " - " << message << std::endl;
}
