// vantrel-report: the player's rating history from the plug-in's log, as a terminal
// summary, a CSV file and an HTML page.
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

#include "history.h"
#include "html_report.h"
#include "log_reader.h"
#include "outputs.h"
#include "serve/serve.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <spawn.h>
#include <unistd.h>
extern char** environ;
#endif

#ifndef VANTREL_VERSION
#define VANTREL_VERSION "0"
#endif

namespace {

using namespace vantrel::report;
namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: vantrel-report [PATH] [--html FILE] [--csv FILE] [--mode 1v1|2v2|3v3|other]...\n"
    "                      [--since YYYY-MM-DD] [--last N] [--open] [--help] [--version]\n"
    "       vantrel-report [PATH] --serve [ADDR:PORT] [--obs-text DIR] [--open]\n";

constexpr std::string_view kHelp =
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
    "  --serve [ADDR:PORT]  follow the log as it grows and serve the live page (/), an overlay\n"
    "                   for a stream (/overlay), events (/events) and the history as JSON\n"
    "                   (/api/history.json) at http://127.0.0.1:7433/ or the address given;\n"
    "                   Ctrl-C ends it\n"
    "  --obs-text DIR   with --serve: keep one text file per figure of the session in DIR\n"
    "  --help           this text\n"
    "  --version        the program's version\n"
    "\n"
    "Files are written whole or not at all. Colours only on a terminal, and not when NO_COLOR\n"
    "is set. Exit status: 0 done, 1 an output file could not be written, 2 a bad option or a\n"
    "log that cannot be read, 3 a file that holds no log line.\n";

struct Options {
    fs::path log = "VantrelLog.txt";
    std::optional<fs::path> html;
    std::optional<fs::path> csv;
    Filter filter;
    bool filtered = false;
    bool open = false;
    std::optional<serve::ServeOptions> serve;
    std::optional<fs::path> obsText;
};

struct UsageError {
    std::string message;
    bool brief = false;  // the one line alone, without the usage
};

// An argument meant as an address: "HOST:PORT" with no path separator in it.
bool LooksLikeAddress(std::string_view text) {
    const auto colon = text.rfind(':');
    if (text.empty() || text.front() == '-' || colon == std::string_view::npos || colon + 1 == text.size()) return false;
    if (text.find_first_of("/\\") != std::string_view::npos) return false;
    for (const char c : text.substr(colon + 1)) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int ParseMode(std::string_view text) {
    std::string lower;
    for (const char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "1v1" || lower == "1vs1") return 0;
    if (lower == "2v2" || lower == "2vs2") return 1;
    if (lower == "3v3" || lower == "3vs3") return 2;
    if (lower == "other") return 3;
    return -1;
}

std::optional<LocalSeconds> ParseDate(std::string_view text) {
    LocalSeconds seconds = 0;
    if (text.size() != 10 || !ParseTimestamp(std::string(text) + " 00:00:00", seconds)) return std::nullopt;
    return seconds;
}

// Returns nothing when the program should stop at once with exit status 0.
std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    bool pathGiven = false;
    bool modeGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string_view> value;
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            if (const auto equals = arg.find('='); equals != std::string_view::npos) {
                value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
            }
        }
        const auto needValue = [&]() -> std::string_view {
            if (value) return *value;
            if (i + 1 >= argc) throw UsageError{fmt::format("{} needs a value", arg)};
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage.data(), stdout);
            std::fputs("\n", stdout);
            std::fputs(kHelp.data(), stdout);
            return std::nullopt;
        } else if (arg == "--version") {
            std::fputs("vantrel-report " VANTREL_VERSION "\n", stdout);
            return std::nullopt;
        } else if (arg == "--html") {
            options.html = fs::path(needValue());
        } else if (arg == "--csv") {
            options.csv = fs::path(needValue());
        } else if (arg == "--mode") {
            const std::string_view text = needValue();
            const int mode = ParseMode(text);
            if (mode < 0) throw UsageError{fmt::format("unknown mode \"{}\" (1v1, 2v2, 3v3 or other)", text)};
            if (!modeGiven) options.filter.modes.fill(false);
            modeGiven = true;
            options.filter.modes[static_cast<std::size_t>(mode)] = true;
            options.filtered = true;
        } else if (arg == "--since") {
            const std::string_view text = needValue();
            options.filter.since = ParseDate(text);
            if (!options.filter.since) throw UsageError{fmt::format("--since wants a date YYYY-MM-DD, not \"{}\"", text)};
            options.filtered = true;
        } else if (arg == "--last") {
            const std::string_view text = needValue();
            std::size_t n = 0;
            std::size_t used = 0;
            for (const char c : text) {
                if (c < '0' || c > '9' || n > 1'000'000'000) break;
                n = n * 10 + static_cast<std::size_t>(c - '0');
                ++used;
            }
            if (text.empty() || used != text.size() || n == 0) {
                throw UsageError{fmt::format("--last wants a number of sessions, 1 or more, not \"{}\"", text)};
            }
            options.filter.lastSessions = n;
            options.filtered = true;
        } else if (arg == "--serve") {
            options.serve.emplace();
            // The address is optional: the next argument is taken when it is one.
            std::optional<std::string_view> given = value;
            if (!given && i + 1 < argc && LooksLikeAddress(argv[i + 1])) given = argv[++i];
            if (given) {
                std::string address;
                std::uint16_t port = 0;
                if (!serve::ParseListenAddress(*given, address, port)) {
                    throw UsageError{fmt::format("--serve wants an IP address and port such as 127.0.0.1:{}, not \"{}\"",
                                                 serve::kDefaultPort, *given),
                                     true};
                }
                options.serve->address = address;
                options.serve->port = port;
            }
        } else if (arg == "--obs-text") {
            options.obsText = fs::path(needValue());
        } else if (arg == "--open") {
            if (value) throw UsageError{"--open takes no value"};
            options.open = true;
        } else if (arg == "-" || arg.empty() || arg.front() != '-') {
            if (pathGiven) throw UsageError{fmt::format("one log at a time (\"{}\" is a second)", arg)};
            pathGiven = true;
            options.log = fs::path(std::string(arg));
        } else {
            throw UsageError{fmt::format("unknown option {}", arg)};
        }
    }
    if (options.serve) {
        if (options.html || options.csv || options.filtered) {
            throw UsageError{"--serve shows the whole history live: not with --html, --csv, --mode, --since or --last"};
        }
        options.serve->log = options.log;
        options.serve->open = options.open;
        options.serve->obsText = options.obsText;
    } else if (options.obsText) {
        throw UsageError{"--obs-text needs --serve"};
    }
    if (options.open && !options.html && !options.serve) throw UsageError{"--open needs --html FILE or --serve"};
    return options;
}

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

// Hands the page to the desktop's default browser; false when that could not be started.
bool OpenInBrowser(const fs::path& page) {
#if defined(_WIN32)
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", fs::absolute(page).wstring().c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
#else
    // No shell: the file name reaches xdg-open as one argument, whatever it holds.
    std::string file = page.string();
    std::string program = "xdg-open";
    char* args[] = {program.data(), file.data(), nullptr};
    pid_t child = 0;
    return posix_spawnp(&child, "xdg-open", nullptr, nullptr, args, environ) == 0;
#endif
}

int Run(int argc, char** argv) {
    std::optional<Options> parsed;
    try {
        parsed = ParseOptions(argc, argv);
    } catch (const UsageError& error) {
        fmt::print(stderr, "vantrel-report: {}\n{}", error.message, error.brief ? "" : kUsage);
        return 2;
    }
    if (!parsed) return 0;
    const Options& options = *parsed;
    if (options.serve) return serve::RunServe(*options.serve);
    const std::string logName = options.log.string();

    std::error_code ec;
    if (fs::is_directory(options.log, ec)) {
        fmt::print(stderr, "vantrel-report: cannot open {}: {}\n", logName, std::strerror(EISDIR));
        return 2;
    }
    std::ifstream in(options.log, std::ios::binary);
    if (!in) {
        fmt::print(stderr, "vantrel-report: cannot open {}: {}\n", logName, std::strerror(errno));
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

    WriteTerminal(history, ColourWanted(),
                  [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
    std::fflush(stdout);

    int status = 0;
    const auto writeFile = [&](const fs::path& path, const std::function<void(std::ostream&)>& write) {
        std::string error;
        if (WriteFileAtomically(path, write, error)) return true;
        fmt::print(stderr, "vantrel-report: cannot write {}: {}\n", path.string(), error);
        status = 1;
        return false;
    };
    if (options.csv) writeFile(*options.csv, [&](std::ostream& out) { WriteCsv(out, history); });
    if (options.html) {
        HtmlOptions html;
        html.sourceName = logName;
        const bool written = writeFile(*options.html, [&](std::ostream& out) { WriteHtml(out, history, html); });
        if (written && options.open && !OpenInBrowser(*options.html)) {
            fmt::print(stderr, "vantrel-report: warning: could not open {} in a browser\n", options.html->string());
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        fmt::print(stderr, "vantrel-report: {}\n", e.what());
        return 1;
    }
}
