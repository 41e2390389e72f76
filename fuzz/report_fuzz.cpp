// libFuzzer target: vantrel-report's log reader. Any bytes must read without crashing or
// reading out of bounds, and the history built from them must hang together: every line
// accounted for once, sessions covering the matches in order, every output formattable.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "log_reader.h"
#include "outputs/csv.h"
#include "outputs/terminal.h"
#include "rebuild.h"
#include "summary.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "report fuzz: %s\n", what);
    std::abort();
}

void Check(const vantrel::report::History& history) {
    using namespace vantrel::report;
    const ReadStats& stats = history.stats;
    if (stats.logLines + stats.continuationLines + stats.unreadable != stats.lines) Broken("lines lost or counted twice");
    if ((stats.unreadable == 0) != (stats.firstUnreadableLine == 0)) Broken("first unreadable line");
    std::uint32_t next = 0;
    for (std::size_t s = 0; s < history.sessions.size(); ++s) {
        const Session& session = history.sessions[s];
        if (session.firstMatch != next) Broken("sessions do not cover the matches in order");
        next += session.matchCount;
        for (std::uint32_t i = session.firstMatch; i < next && i < history.matches.size(); ++i) {
            if (history.matches[i].session != s) Broken("a match names another session");
        }
        if (session.lastLine < session.firstLine) Broken("a session ends before it begins");
    }
    if (next != history.matches.size()) Broken("matches outside every session");
    for (const Match& match : history.matches) {
        if (match.mode >= kModeCount) Broken("mode out of range");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel::report;
    // The first byte picks the reader's block size, so that lines fall across blocks
    // anywhere; the same bytes read in one block must give the same history.
    if (size == 0) return 0;
    const std::size_t blockSize = 1 + data[0] % 64;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::istringstream in(text);
    History history = ReadHistory(in, blockSize);
    std::istringstream whole(text);
    const History reference = ReadHistory(whole, text.size() + 1);
    if (reference.matches.size() != history.matches.size() || reference.sessions.size() != history.sessions.size() ||
        reference.stats.lines != history.stats.lines || reference.stats.unreadable != history.stats.unreadable) {
        Broken("the block size changed the history");
    }
    Check(history);
    Filter filter;
    filter.modes = {true, false, true, true};
    filter.lastSessions = 2;
    (void)FormatTerminal(history, true);
    std::ostringstream csv;
    WriteCsv(csv, history);
    ApplyFilter(history, filter);
    Check(history);
    return 0;
}
