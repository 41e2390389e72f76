// vantrel-report's command line: what the user asked for, parsed apart from the run.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "insights.h"
#include "summary.h"
#include "serve/serve.h"

namespace vantrel::report {

inline constexpr std::string_view kUsage =
    "usage: vantrel-report [PATH] [--html FILE] [--csv FILE] [--mode 1v1|2v2|3v3|other]...\n"
    "                      [--since YYYY-MM-DD] [--last N] [--open] [--help] [--version]\n"
    "                      [--insights] [--json FILE] [--goal MODE:RATING]...\n"
    "       vantrel-report [PATH] --serve [ADDR:PORT] [--obs-text DIR] [--open]\n"
    "                      [--stream-session load|gap:MIN|since:HH:MM] [--goal MODE:RATING]...\n";

inline constexpr std::string_view kHelp =
    "Reads the Vantrel plug-in's log and shows the rating history: the sessions (one each time\n"
    "the plug-in was loaded) and, per mode, the matches, win rate, ratings and streaks.\n"
    "\n"
    "  PATH             the log to read (default: ./VantrelLog.txt)\n"
    "  --html FILE      also write one self-contained HTML page: a chart per mode, the\n"
    "                   sessions and the matches\n"
    "  --csv FILE       also write one row per match as CSV (RFC 4180)\n"
    "  --mode MODE      only this mode: 1v1, 2v2, 3v3 or other (repeat for several)\n"
    "  --since DATE     only matches on or after this day (YYYY-MM-DD, local time)\n"
    "  --last N         only the last N sessions (after the filters above)\n"
    "  --open           open the written HTML page (or the served one) in the default browser\n"
    "  --insights       after the report, what the history says: win rates with their 95%\n"
    "                   intervals, form, hours and weekdays, after a win or a loss, the matches\n"
    "                   to the next division\n"
    "  --json FILE      also write the sessions, the matches and the insights as JSON\n"
    "  --goal MODE:RATING\n"
    "                   also estimate the matches to this rating (e.g. 2v2:1200; one per mode;\n"
    "                   with --serve too)\n"
    "  --serve [ADDR:PORT]\n"
    "                   follow the log as it grows and serve the live page (/), an overlay\n"
    "                   for a stream (/overlay, set up at /setup), events (/events), the\n"
    "                   history as JSON (/api/history.json) and a line for a chat bot\n"
    "                   (/api/text) at http://127.0.0.1:7433/ or the address given, until\n"
    "                   Ctrl-C\n"
    "  --obs-text DIR   with --serve: keep one text file per figure of the session in DIR\n"
    "  --stream-session load|gap:MIN|since:HH:MM\n"
    "                   with --serve: what \"this session\" is for the overlay, the text files\n"
    "                   and /api/text: each load of the plug-in (the default), matches with\n"
    "                   pauses of at most MIN minutes, or the matches since HH:MM (today, or\n"
    "                   yesterday while that time is still ahead)\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "\n"
    "Files are written whole or not at all. Colours only on a terminal, and not when NO_COLOR\n"
    "is set. Exit status: 0 done, 1 an output file could not be written, 2 a bad option or a\n"
    "log that cannot be read (with --serve: an address that cannot be listened on), 3 a file\n"
    "that holds no log line.\n";

struct Options {
    std::filesystem::path log = "VantrelLog.txt";
    std::optional<std::filesystem::path> html;
    std::optional<std::filesystem::path> csv;
    Filter filter;
    bool open = false;
    std::optional<serve::ServeOptions> serve;  // --serve: follow and serve instead of a report
    bool insights = false;                     // --insights: the sentences after the report
    std::optional<std::filesystem::path> json; // --json FILE
    InsightOptions insightOptions;             // --goal MODE:RATING
};

// What the command line asks: a report, the help, the version, or nothing it can do
// (`error` says why, without the usage that follows it).
struct CommandLine {
    enum class Action { Report, Help, Version, Error };
    Action action = Action::Report;
    Options options;  // for Report
    std::string error;
    bool errorAlone = false;  // the error line says it all: no usage after it
};

// Arguments are read in order: the first --help, --version or mistake decides.
CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace vantrel::report
