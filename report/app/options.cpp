// Parsing vantrel-report's arguments: "--name value" and "--name=value", one log path.
#include "options.h"

#include <charconv>
#include <cmath>

#include <fmt/format.h>

#include "utf8_path.h"

namespace vantrel::report {
namespace {

int ParseMode(std::string_view text) {
    const std::optional<std::size_t> mode = ModeNamed(text);
    return mode ? static_cast<int>(*mode) : -1;
}

std::optional<LocalSeconds> ParseDate(std::string_view text) {
    LocalSeconds seconds = 0;
    if (text.size() != 10 || !ParseTimestamp(std::string(text) + " 00:00:00", seconds)) return std::nullopt;
    return seconds;
}

// A whole number of 1 or more, with no sign.
std::optional<std::size_t> ParseCount(std::string_view text) {
    std::size_t n = 0;
    std::size_t used = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || n > 1'000'000'000) break;
        n = n * 10 + static_cast<std::size_t>(c - '0');
        ++used;
    }
    if (text.empty() || used != text.size() || n == 0) return std::nullopt;
    return n;
}

// "2v2:1200" or "3vs3:1187.5": a mode as --mode takes it and a finite rating, at least 0.
std::optional<std::pair<int, double>> ParseGoal(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const int mode = ParseMode(text.substr(0, colon));
    const std::string_view number = text.substr(colon + 1);
    double rating = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), rating);
    if (mode < 0 || number.empty() || error != std::errc() || end != number.data() + number.size() ||
        !std::isfinite(rating) || rating < 0) {
        return std::nullopt;
    }
    return std::pair{mode, rating};
}

CommandLine Failed(std::string message) {
    CommandLine result;
    result.action = CommandLine::Action::Error;
    result.error = std::move(message);
    return result;
}

// An argument meant as the address of --serve: "HOST:PORT" with no path separator.
bool LooksLikeAddress(std::string_view text) {
    const auto colon = text.rfind(':');
    if (text.empty() || text.front() == '-' || colon == std::string_view::npos || colon + 1 == text.size()) return false;
    if (text.find_first_of("/\\") != std::string_view::npos) return false;
    for (const char c : text.substr(colon + 1)) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine result;
    Options& options = result.options;
    bool pathGiven = false;
    bool modeGiven = false;
    bool filtered = false;
    std::optional<std::filesystem::path> obsText;
    std::optional<serve::StreamSession> stream;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string_view> value;
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            if (const auto equals = arg.find('='); equals != std::string_view::npos) {
                value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
            }
        }
        // The option's value: after "=", or the next argument.
        const auto takeValue = [&]() -> std::optional<std::string_view> {
            if (value) return value;
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        const bool takesValue = arg == "--html" || arg == "--csv" || arg == "--mode" || arg == "--since" || arg == "--last" ||
                                arg == "--obs-text" || arg == "--json" || arg == "--goal" || arg == "--stream-session";
        std::string_view text;
        if (takesValue) {
            const std::optional<std::string_view> taken = takeValue();
            if (!taken) return Failed(fmt::format("{} needs a value", arg));
            text = *taken;
        }
        if (arg == "--help" || arg == "-h") {
            result.action = CommandLine::Action::Help;
            return result;
        } else if (arg == "--version") {
            result.action = CommandLine::Action::Version;
            return result;
        } else if (arg == "--html") {
            options.html = PathFromUtf8(text);
        } else if (arg == "--csv") {
            options.csv = PathFromUtf8(text);
        } else if (arg == "--mode") {
            const int mode = ParseMode(text);
            if (mode < 0) return Failed(fmt::format("unknown mode \"{}\" (1v1, 2v2, 3v3 or other)", text));
            if (!modeGiven) options.filter.modes.fill(false);
            modeGiven = true;
            options.filter.modes[static_cast<std::size_t>(mode)] = true;
            filtered = true;
        } else if (arg == "--since") {
            options.filter.since = ParseDate(text);
            if (!options.filter.since) return Failed(fmt::format("--since wants a date YYYY-MM-DD, not \"{}\"", text));
            filtered = true;
        } else if (arg == "--last") {
            options.filter.lastSessions = ParseCount(text);
            if (!options.filter.lastSessions) {
                return Failed(fmt::format("--last wants a number of sessions, 1 or more, not \"{}\"", text));
            }
            filtered = true;
        } else if (arg == "--serve") {
            options.serve.emplace();
            // The address is optional: the next argument is taken when it looks like one.
            std::optional<std::string_view> given = value;
            if (!given && i + 1 < argc && LooksLikeAddress(argv[i + 1])) given = argv[++i];
            if (given && !serve::ParseListenAddress(*given, options.serve->address, options.serve->port)) {
                CommandLine failed = Failed(fmt::format(
                    "--serve wants an IP address and port such as 127.0.0.1:{}, not \"{}\"", serve::kDefaultPort, *given));
                failed.errorAlone = true;
                return failed;
            }
        } else if (arg == "--obs-text") {
            obsText = PathFromUtf8(text);
        } else if (arg == "--insights") {
            if (value) return Failed("--insights takes no value");
            options.insights = true;
        } else if (arg == "--json") {
            options.json = PathFromUtf8(text);
        } else if (arg == "--goal") {
            const auto goal = ParseGoal(text);
            CommandLine failed;
            if (!goal) {
                failed = Failed(fmt::format("--goal wants MODE:RATING such as 2v2:1200, not \"{}\"", text));
            } else if (options.insightOptions.goals[static_cast<std::size_t>(goal->first)]) {
                failed = Failed(fmt::format("--goal: one goal per mode ({} is given twice)", kModeLabels[goal->first]));
            } else {
                options.insightOptions.goals[static_cast<std::size_t>(goal->first)] = goal->second;
                continue;
            }
            failed.errorAlone = true;
            return failed;
        } else if (arg == "--stream-session") {
            stream = serve::ParseStreamSession(text);
            if (!stream) {
                return Failed(fmt::format("--stream-session wants load, gap:MINUTES or since:HH:MM, not \"{}\"", text));
            }
        } else if (arg == "--open") {
            if (value) return Failed("--open takes no value");
            options.open = true;
        } else if (arg == "-" || arg.empty() || arg.front() != '-') {
            if (pathGiven) return Failed(fmt::format("one log at a time (\"{}\" is a second)", arg));
            pathGiven = true;
            options.log = PathFromUtf8(arg);
        } else {
            return Failed(fmt::format("unknown option {}", arg));
        }
    }
    if (options.serve && (options.insights || options.json)) {
        return Failed("--insights and --json are for a report; with --serve, /api/insights.json has the insights");
    }
    if (options.serve) {
        if (options.html || options.csv || filtered) {
            return Failed("--serve shows the whole history live: not with --html, --csv, --mode, --since or --last");
        }
        options.serve->log = options.log;
        options.serve->open = options.open;
        options.serve->obsText = obsText;
        options.serve->insights = options.insightOptions;
        if (stream) options.serve->stream = *stream;
    } else if (obsText) {
        return Failed("--obs-text needs --serve");
    } else if (stream) {
        return Failed("--stream-session needs --serve");
    }
    if (options.open && !options.html && !options.serve) return Failed("--open needs --html FILE or --serve");
    return result;
}

}  // namespace vantrel::report
