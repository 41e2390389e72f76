// vantrel-report: the player's rating history from the plug-in's log, as a terminal
// summary (with its insights), a CSV file, JSON and an HTML page, or served live. The
// command line is parsed in options.cpp; this runs what it asks.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "console_start.h"
#include "open_in_browser.h"
#include "options.h"
#include "outputs/atomic_file.h"
#include "outputs/csv.h"
#include "outputs/html_report.h"
#include "outputs/insights_json.h"
#include "outputs/insights_text.h"
#include "outputs/terminal.h"
#include "rebuild.h"
#include "serve/serve.h"
#include "summary.h"
#include "utf8_arguments.h"
#include "utf8_path.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifndef VANTREL_VERSION
#define VANTREL_VERSION "0"
#endif

namespace {

using namespace vantrel::report;
namespace fs = std::filesystem;

bool ColourWanted() {
    const char* noColour = std::getenv("NO_COLOR");
    if (noColour != nullptr && *noColour != '\0') return false;
#if defined(_WIN32)
    if (!_isatty(_fileno(stdout))) return false;
    // Consoles understand ANSI colours once asked to.
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) != 0 &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

int Run(int argc, char** argv) {
    const CommandLine command = ParseCommandLine(argc, argv);
    switch (command.action) {
    case CommandLine::Action::Error:
        fmt::print(stderr, "vantrel-report: {}\n{}", command.error, command.errorAlone ? "" : kUsage);
        return 2;
    case CommandLine::Action::Help:
        fmt::print("{}\n{}", kUsage, kHelp);
        return 0;
    case CommandLine::Action::Version:
        std::fputs("vantrel-report " VANTREL_VERSION "\n", stdout);
        return 0;
    case CommandLine::Action::Report:
        break;
    }
    const Options& options = command.options;
    if (options.serve) return serve::RunServe(*options.serve, OpenUrlInBrowser);
    const std::string logName = PathToUtf8(options.log);

    std::error_code ec;
    if (fs::is_directory(options.log, ec)) {
        fmt::print(stderr, "vantrel-report: cannot open {}: {}\n", logName, std::strerror(EISDIR));
        return 2;
    }
    std::ifstream in(options.log, std::ios::binary);
    if (!in) {
        const int error = errno;
        // Started without a log (double-clicked in a folder without one): say where it
        // looked and how to name the log.
        if (options.log == Options{}.log && !fs::exists(options.log, ec)) {
            fmt::print(stderr, "{}", NoLogInFolderMessage(fs::current_path(ec), logName));
            return 2;
        }
        fmt::print(stderr, "vantrel-report: cannot open {}: {}\n", logName, std::strerror(error));
        return 2;
    }
    History history = ReadHistory(in);
    if (in.bad()) {
        fmt::print(stderr, "vantrel-report: cannot open {}: read error\n", logName);
        return 2;
    }
    if (history.stats.logLines == 0) {
        fmt::print(stderr, "vantrel-report: {} holds no log line ({} lines, none a time-stamped message of the plug-in)\n",
                   logName, history.stats.lines);
        return 3;
    }
    if (history.stats.unreadable > 0) {
        fmt::print(stderr, "vantrel-report: warning: {} unreadable line{} skipped in {} (the first is line {})\n",
                   history.stats.unreadable, history.stats.unreadable == 1 ? "" : "s", logName,
                   history.stats.firstUnreadableLine);
    }
    ApplyFilter(history, options.filter);

    const bool colour = ColourWanted();
    const auto print = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); };
    WriteTerminal(history, colour, print);
    // The insights, once, for whichever output shows them.
    std::optional<Insights> insights;
    if (options.insights || options.json || options.html) insights = ComputeInsights(history, options.insightOptions);
    if (options.insights) WriteInsightsText(*insights, colour, print);
    std::fflush(stdout);

    int status = 0;
    const auto writeFile = [&](const fs::path& path, const std::function<void(std::ostream&)>& write) {
        std::string error;
        if (WriteFileAtomically(path, write, error)) return true;
        fmt::print(stderr, "vantrel-report: cannot write {}: {}\n", PathToUtf8(path), error);
        status = 1;
        return false;
    };
    if (options.csv) writeFile(*options.csv, [&](std::ostream& out) { WriteCsv(out, history); });
    if (options.json) writeFile(*options.json, [&](std::ostream& out) { WriteJsonFile(out, history, *insights); });
    if (options.html) {
        HtmlOptions html;
        html.sourceName = logName;
        html.insights = &*insights;
        const bool written = writeFile(*options.html, [&](std::ostream& out) { WriteHtml(out, history, html); });
        if (written && options.open && !OpenFileInBrowser(*options.html)) {
            fmt::print(stderr, "vantrel-report: warning: could not open {} in a browser\n", PathToUtf8(*options.html));
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    int status = 1;
    {
        const Utf8Console console;
        try {
            Utf8Arguments arguments(argc, argv);
            status = Run(arguments.argc(), arguments.argv());
        } catch (const std::exception& e) {
            fmt::print(stderr, "vantrel-report: {}\n", e.what());
        }
        std::fflush(stdout);
        std::fflush(stderr);
    }
    // Started from the file manager, the window would close with the program, unread.
    HoldWindowIfOwnConsole();
    return status;
}
