// Writes a long plug-in log for vantrel-report's benchmark: evenings of sessions, each
// opening with its start-up poll's line, then matches of all four modes with their result,
// match and poll lines (one poll in ten gives up), and now and then a match-end error.
//
//   vantrel_report_loggen MATCHES > VantrelLog.txt
#include <cstdio>
#include <cstdlib>
#include <random>

#include <string>

#include "history.h"
#include "log_lines.h"

int main(int argc, char** argv) {
    using namespace vantrel::report;
    const long matches = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1'000'000;
    std::mt19937 random(11);
    vtest::LogText log(ToLocalSeconds({2020, 1, 6, 19, 0, 0}));
    float ratings[kModeCount] = {700.0f, 1000.0f, 850.0f, 0.0f};
    const auto line = [&](const std::string& message) {
        log.Line(message, 0);
        if (log.str().size() > (1 << 20)) {
            const std::string text = log.Take();
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
    };
    long written = 0;
    while (written < matches) {
        // A session: 5 to 15 matches; its start-up poll finds the 1vs1 rating at once.
        line(vtest::Rating(ratings[0], 0, 0));
        int wins[kModeCount] = {}, losses[kModeCount] = {};
        float delta[kModeCount] = {};
        ratings[3] = 0.0f;
        const int length = 5 + static_cast<int>(random() % 11);
        for (int i = 0; i < length && written < matches; ++i, ++written) {
            log.Wait(240 + static_cast<LocalSeconds>(random() % 240));
            if (random() % 3 == 0) line("OnMatchEnd: Server is null");
            const int mode = static_cast<int>(random() % kModeCount);
            const bool won = random() % 2 == 0;
            ++(won ? wins : losses)[mode];
            line(vtest::Won(won));
            line(vtest::Ended(mode, wins[mode], losses[mode], ratings[mode], delta[mode]));
            // The poll's line comes its count of seconds after the match, as the plug-in's
            // timer has it; a poll that gives up, after its fifth retry.
            const auto count = static_cast<int>(1 + random() % 5);
            if (random() % 10 == 0) {
                log.Wait(5);
                line(vtest::kLimit5);
                continue;
            }
            log.Wait(count);
            const float before = ratings[mode];
            const float after = mode == 3 && before == 0.0f ? 500.0f : before + (won ? 1.0f : -1.0f) * static_cast<float>(5 + random() % 10);
            if (before != 0.0f) delta[mode] += after - before;
            ratings[mode] = after;
            line(vtest::Rating(after, before, count));
        }
        // The next session: later that evening, or the next evening.
        log.Wait(random() % 2 == 0 ? 1800 : 20 * 3600);
    }
    std::fwrite(log.str().data(), 1, log.str().size(), stdout);
    return std::ferror(stdout) ? 1 : 0;
}
