#include "core/console.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace vhost::console {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Quote(std::string_view text) {
    std::string out = "'";
    out += text;
    out += "'";
    return out;
}

// Reads the words of one command after its keyword(s), keeping track of position.
class Words {
public:
    explicit Words(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}
    bool Done() const { return next_ >= tokens_.size(); }
    std::size_t Left() const { return tokens_.size() - next_; }
    const Token& Peek() const { return tokens_[next_]; }
    Token Take() { return tokens_[next_++]; }
    // True (and consumed) when the next word is the unquoted keyword.
    bool TakeKeyword(std::string_view keyword) {
        if (Done() || tokens_[next_].quoted || tokens_[next_].text != keyword) return false;
        ++next_;
        return true;
    }
    std::vector<Token>& All() { return tokens_; }

private:
    std::vector<Token> tokens_;
    std::size_t next_ = 0;
};

struct Usage {
    std::string_view name;
    std::string_view usage;
    std::string_view summary;
};

// One entry per command; `help` shows the usage and summary, errors quote the usage.
constexpr Usage kUsages[] = {
    {"help", "help [COMMAND]", "lists the commands, or explains one"},
    {"echo", "echo TEXT...", "prints the text"},
    {"wait", "wait SECONDS", "moves the clock forward, firing due timers and world changes and drawing 60 frames a second"},
    {"mmr", "mmr PLAYLIST RATING [rank TIER DIVISION] [after SECONDS]",
     "sets the rating (and rank record) the rating service answers for PLAYLIST, at once or SECONDS later"},
    {"match", "match start PLAYLIST [team N] [offline] | match end win|loss|winner N|nowinner|noserver|nocontroller",
     "starts a game, or ends the current match, firing the match events"},
    {"scoreboard", "scoreboard open|close", "fires the scoreboard opened / closed events"},
    {"leave", "leave", "goes back to the menus"},
    {"set", "set NAME VALUE", "sets a console variable (limits applied)"},
    {"get", "get NAME", "prints NAME = \"VALUE\""},
    {"openmenu", "openmenu NAME", "opens the settings window on the plug-in's tab"},
    {"frame", "frame", "draws one frame and prints the canvas calls"},
    {"snapshot", "snapshot FILE.png", "draws one frame onto a 1920x1080 game screen and writes it as a PNG"},
    {"settings", "settings [FILE.png]", "draws the settings window once; with a file, writes it as a PNG"},
    {"status", "status", "prints the clock, game state, pending timers, frames drawn, plug-ins and escaped exceptions"},
    {"load", "load [PATH]", "loads a plug-in module (default: the host's plug-in)"},
    {"unload", "unload", "unloads every loaded plug-in (onUnload, deleteMe); pending timers stay"},
    {"fault", "fault OPERATION throw [MESSAGE] [always] [skip N] | fault clear",
     "makes the next (or every) call of an SDK operation throw std::runtime_error"},
    {"calls", "calls [reset]", "prints how often each SDK operation was called (NAME COUNT, sorted), or zeroes the counts"},
    {"cvars", "cvars", "lists the console variables and commands"},
    {"quit", "quit", "ends the session as the end of input does"},
    {"clock", "clock [YYYY-MM-DDTHH:MM[:SS] | next HH:MM[:SS] | tomorrow HH:MM[:SS]]",
     "prints the local time the plug-in reads, or sets it: from then on it follows the virtual clock"},
};

std::string_view UsageOf(std::string_view name) {
    for (const Usage& usage : kUsages) {
        if (usage.name == name) return usage.usage;
    }
    return {};
}

std::string UsageError(std::string_view name, std::string_view what) {
    std::string message(what);
    message += " (usage: ";
    message += UsageOf(name);
    message += ")";
    return message;
}

ParseResult Fail(std::string message) { return ParseResult{Empty{}, std::move(message)}; }

// Fails when words are left over.
bool NoMore(Words& words, std::string_view name, std::string& error) {
    if (words.Done()) return true;
    error = UsageError(name, std::string(name) + ": unexpected " + Quote(words.Peek().text));
    return false;
}

bool TakeValue(Words& words, std::string_view name, std::string_view what, std::string& out, std::string& error) {
    if (words.Done()) {
        error = UsageError(name, std::string(name) + ": missing " + std::string(what));
        return false;
    }
    out = words.Take().text;
    return true;
}

ParseResult ParseMmr(Words& words) {
    SetRating command;
    std::string text, error;
    if (!TakeValue(words, "mmr", "PLAYLIST", text, error)) return Fail(error);
    if (!ParseInt32(text, "mmr: PLAYLIST", command.playlist, error)) return Fail(error);
    if (!TakeValue(words, "mmr", "RATING", text, error)) return Fail(error);
    if (!ParseRating(text, "mmr: RATING", command.rating, error)) return Fail(error);
    while (!words.Done()) {
        if (words.TakeKeyword("rank")) {
            if (command.rank) return Fail(UsageError("mmr", "mmr: 'rank' given twice"));
            RankRecord rank;
            if (!TakeValue(words, "mmr", "TIER after 'rank'", text, error)) return Fail(error);
            if (!ParseInt32(text, "mmr: TIER", rank.tier, error)) return Fail(error);
            if (!TakeValue(words, "mmr", "DIVISION after the tier", text, error)) return Fail(error);
            if (!ParseInt32(text, "mmr: DIVISION", rank.division, error)) return Fail(error);
            command.rank = rank;
        } else if (words.TakeKeyword("after")) {
            if (command.after) return Fail(UsageError("mmr", "mmr: 'after' given twice"));
            double seconds = 0.0;
            if (!TakeValue(words, "mmr", "SECONDS after 'after'", text, error)) return Fail(error);
            if (!ParseSeconds(text, "mmr: SECONDS", seconds, error)) return Fail(error);
            command.after = seconds;
        } else {
            return Fail(UsageError("mmr", "mmr: unexpected " + Quote(words.Peek().text)));
        }
    }
    return {command, {}};
}

ParseResult ParseMatch(Words& words) {
    std::string text, error;
    if (words.TakeKeyword("start")) {
        MatchStart command;
        if (!TakeValue(words, "match", "PLAYLIST", text, error)) return Fail(error);
        if (!ParseInt32(text, "match start: PLAYLIST", command.playlist, error)) return Fail(error);
        bool teamGiven = false;
        while (!words.Done()) {
            if (words.TakeKeyword("team")) {
                if (teamGiven) return Fail(UsageError("match", "match start: 'team' given twice"));
                teamGiven = true;
                if (!TakeValue(words, "match", "N after 'team'", text, error)) return Fail(error);
                if (!ParseInt32(text, "match start: team N", command.team, error)) return Fail(error);
            } else if (words.TakeKeyword("offline")) {
                if (command.offline) return Fail(UsageError("match", "match start: 'offline' given twice"));
                command.offline = true;
            } else {
                return Fail(UsageError("match", "match start: unexpected " + Quote(words.Peek().text)));
            }
        }
        return {command, {}};
    }
    if (words.TakeKeyword("end")) {
        MatchEnd command;
        if (words.TakeKeyword("win")) {
            command.kind = MatchEndKind::Win;
        } else if (words.TakeKeyword("loss")) {
            command.kind = MatchEndKind::Loss;
        } else if (words.TakeKeyword("winner")) {
            command.kind = MatchEndKind::Winner;
            if (!TakeValue(words, "match", "N after 'winner'", text, error)) return Fail(error);
            if (!ParseInt32(text, "match end: winner N", command.winner, error)) return Fail(error);
        } else if (words.TakeKeyword("nowinner")) {
            command.kind = MatchEndKind::NoWinner;
        } else if (words.TakeKeyword("noserver")) {
            command.kind = MatchEndKind::NoServer;
        } else if (words.TakeKeyword("nocontroller")) {
            command.kind = MatchEndKind::NoController;
        } else if (words.Done()) {
            return Fail(UsageError("match", "match end: missing the result"));
        } else {
            return Fail(UsageError("match", "match end: unknown result " + Quote(words.Peek().text)));
        }
        if (!NoMore(words, "match", error)) return Fail(error);
        return {command, {}};
    }
    if (words.Done()) return Fail(UsageError("match", "match: expected 'start' or 'end'"));
    return Fail(UsageError("match", "match: expected 'start' or 'end', not " + Quote(words.Peek().text)));
}

ParseResult ParseFault(Words& words) {
    std::string error;
    if (words.TakeKeyword("clear")) {
        if (!NoMore(words, "fault", error)) return Fail(error);
        return {FaultClear{}, {}};
    }
    if (words.Done()) return Fail(UsageError("fault", "fault: missing OPERATION"));
    const std::string name = words.Take().text;
    const std::optional<Op> op = FindOp(name);
    if (!op) return Fail("fault: unknown operation " + Quote(name) + " (see 'help fault' for the list)");
    if (!words.TakeKeyword("throw")) {
        if (words.Done()) return Fail(UsageError("fault", "fault: missing 'throw'"));
        return Fail(UsageError("fault", "fault: expected 'throw', not " + Quote(words.Peek().text)));
    }
    FaultThrow command;
    command.operation = *op;
    const auto keyword = [&] { return !words.Peek().quoted && (words.Peek().text == "always" || words.Peek().text == "skip"); };
    if (!words.Done() && !keyword()) {
        command.message = words.Take().text;
        if (command.message.empty()) {
            return Fail("fault: MESSAGE is empty (leave it out for the default message)");
        }
    }
    if (words.TakeKeyword("always")) command.always = true;
    if (words.TakeKeyword("skip")) {
        std::string text;
        if (!TakeValue(words, "fault", "N after 'skip'", text, error)) return Fail(error);
        if (!ParseInt32(text, "fault: N after 'skip'", command.skip, error)) return Fail(error);
        if (command.skip < 0) return Fail("fault: N after 'skip' must not be negative");
    }
    if (!NoMore(words, "fault", error)) return Fail(error);
    return {command, {}};
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `digits` decimal digits at text[at], within [low, high].
bool TakeField(std::string_view text, std::size_t& at, std::size_t digits, int low, int high, int& value) {
    if (at + digits > text.size()) return false;
    int v = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (!IsDigit(text[i])) return false;
        v = v * 10 + (text[i] - '0');
    }
    if (v < low || v > high) return false;
    at += digits;
    value = v;
    return true;
}

bool TakeChar(std::string_view text, std::size_t& at, char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
}

// HH:MM or HH:MM:SS from text[at] to its end.
bool TakeTimeOfDay(std::string_view text, std::size_t at, WallTime& value) {
    if (!TakeField(text, at, 2, 0, 23, value.hour) || !TakeChar(text, at, ':') ||
        !TakeField(text, at, 2, 0, 59, value.minute)) {
        return false;
    }
    value.second = 0;
    if (at < text.size() && (!TakeChar(text, at, ':') || !TakeField(text, at, 2, 0, 59, value.second))) return false;
    return at == text.size();
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

ParseResult ParseClock(Words& words) {
    Clock command;
    std::string error;
    if (words.Done()) return {command, {}};
    const bool next = words.TakeKeyword("next");
    if (next || words.TakeKeyword("tomorrow")) {
        const std::string keyword = next ? "next" : "tomorrow";
        command.kind = next ? Clock::Kind::Next : Clock::Kind::Tomorrow;
        std::string text;
        if (!TakeValue(words, "clock", "HH:MM after '" + keyword + "'", text, error)) return Fail(error);
        if (!TakeTimeOfDay(text, 0, command.when)) {
            return Fail(UsageError("clock", "clock " + keyword + ": " + Quote(text) +
                                                " is not a time of day (HH:MM or HH:MM:SS)"));
        }
    } else {
        command.kind = Clock::Kind::At;
        if (!ParseWallTime(words.Take().text, command.when, error)) return Fail(UsageError("clock", "clock: " + error));
    }
    if (!NoMore(words, "clock", error)) return Fail(error);
    return {command, {}};
}

}  // namespace

bool ParseWallTime(std::string_view text, WallTime& value, std::string& error) {
    std::size_t at = 0;
    WallTime parsed;
    if (!TakeField(text, at, 4, 1970, 9999, parsed.year) || !TakeChar(text, at, '-') ||
        !TakeField(text, at, 2, 1, 12, parsed.month) || !TakeChar(text, at, '-') ||
        !TakeField(text, at, 2, 1, 31, parsed.day) || !TakeChar(text, at, 'T') || !TakeTimeOfDay(text, at, parsed)) {
        error = Quote(text) + " is not a local time YYYY-MM-DDTHH:MM[:SS]";
        return false;
    }
    if (parsed.day > DaysInMonth(parsed.year, parsed.month)) {
        error = Quote(text) + " is not a date of the calendar";
        return false;
    }
    value = parsed;
    return true;
}

bool Tokenize(std::string_view line, std::vector<Token>& words, std::string& error) {
    words.clear();
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n || line[i] == '#') break;
        Token token;
        while (i < n && !IsBlank(line[i]) && line[i] != '#') {
            if (line[i] != '"') {
                token.text += line[i++];
                continue;
            }
            token.quoted = true;
            ++i;  // opening quote
            bool closed = false;
            while (i < n) {
                const char c = line[i];
                if (c == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == '\\' && i + 1 < n && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    token.text += line[i + 1];
                    i += 2;
                    continue;
                }
                token.text += c;
                ++i;
            }
            if (!closed) {
                error = "unterminated quoted word (a \" is missing)";
                return false;
            }
        }
        words.push_back(std::move(token));
    }
    return true;
}

bool ParseInt32(const std::string& text, std::string_view what, int& value, std::string& error) {
    // An optional sign, then decimal digits only.
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool digits = i < text.size();
    for (std::size_t j = i; j < text.size(); ++j) digits = digits && IsDigit(text[j]);
    if (!digits) {
        error = std::string(what) + ": " + Quote(text) + " is not an integer";
        return false;
    }
    std::uint64_t magnitude = 0;
    const auto result = std::from_chars(text.data() + i, text.data() + text.size(), magnitude);
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    if (result.ec != std::errc{} || magnitude > limit) {
        error = std::string(what) + ": " + Quote(text) + " is out of range (a 32-bit integer)";
        return false;
    }
    value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude)) : static_cast<int>(magnitude);
    return true;
}

bool ParseRating(const std::string& text, std::string_view what, float& value, std::string& error) {
    // strtof's own reading: decimal, hexadecimal, inf and nan. The whole word must be used
    // (an embedded NUL ends strtof early and is caught here too).
    if (text.empty() || IsBlank(text[0])) {
        error = std::string(what) + ": " + Quote(text) + " is not a number";
        return false;
    }
    char* end = nullptr;
    const float parsed = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size()) {
        error = std::string(what) + ": " + Quote(text) + " is not a number";
        return false;
    }
    value = parsed;
    return true;
}

bool ParseSeconds(const std::string& text, std::string_view what, double& value, std::string& error) {
    // Plain decimals only: digits, optionally a point and more digits.
    std::size_t i = 0, intDigits = 0, fracDigits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++intDigits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++fracDigits;
    }
    if (i != text.size() || intDigits + fracDigits == 0) {
        if (!text.empty() && text[0] == '-') {
            error = std::string(what) + ": " + Quote(text) + " is negative (times are non-negative seconds)";
        } else {
            error = std::string(what) + ": " + Quote(text) + " is not a time in seconds (a non-negative decimal)";
        }
        return false;
    }
    const double parsed = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(parsed)) {
        error = std::string(what) + ": " + Quote(text) + " is too large";
        return false;
    }
    value = parsed;
    return true;
}

ParseResult Parse(std::string_view line) {
    std::vector<Token> tokens;
    std::string error;
    if (!Tokenize(line, tokens, error)) return Fail(error);
    if (tokens.empty()) return {Empty{}, {}};

    const Token head = tokens.front();
    Words words(std::move(tokens));
    words.Take();
    const std::string& name = head.text;
    std::string text;

    if (head.quoted) {
        // A quoted first word is always a console name, never a keyword.
    } else if (name == "help") {
        Help command;
        if (!words.Done()) command.topic = words.Take().text;
        if (!NoMore(words, "help", error)) return Fail(error);
        if (!command.topic.empty() && HelpText(command.topic).empty()) {
            return Fail("help: no command " + Quote(command.topic));
        }
        return {command, {}};
    } else if (name == "echo") {
        Echo command;
        for (std::size_t i = 1; i < words.All().size(); ++i) {
            if (i > 1) command.text += ' ';
            command.text += words.All()[i].text;
        }
        return {command, {}};
    } else if (name == "wait") {
        Wait command;
        if (!TakeValue(words, "wait", "SECONDS", text, error)) return Fail(error);
        if (!ParseSeconds(text, "wait: SECONDS", command.seconds, error)) return Fail(error);
        if (command.seconds > kMaxWaitSeconds) {
            return Fail("wait: " + Quote(text) + " is too long (at most 86400 seconds at a time)");
        }
        if (!NoMore(words, "wait", error)) return Fail(error);
        return {command, {}};
    } else if (name == "mmr") {
        return ParseMmr(words);
    } else if (name == "match") {
        return ParseMatch(words);
    } else if (name == "scoreboard") {
        Scoreboard command;
        if (words.TakeKeyword("open")) {
            command.open = true;
        } else if (words.TakeKeyword("close")) {
            command.open = false;
        } else {
            return Fail(UsageError("scoreboard", "scoreboard: expected 'open' or 'close'"));
        }
        if (!NoMore(words, "scoreboard", error)) return Fail(error);
        return {command, {}};
    } else if (name == "set") {
        SetVar command;
        if (!TakeValue(words, "set", "NAME", command.name, error)) return Fail(error);
        if (!TakeValue(words, "set", "VALUE", command.value, error)) return Fail(error);
        if (!NoMore(words, "set", error)) return Fail(error + "; quote a value that holds blanks");
        return {command, {}};
    } else if (name == "get") {
        GetVar command;
        if (!TakeValue(words, "get", "NAME", command.name, error)) return Fail(error);
        if (!NoMore(words, "get", error)) return Fail(error);
        return {command, {}};
    } else if (name == "openmenu") {
        OpenMenu command;
        if (!TakeValue(words, "openmenu", "NAME", command.name, error)) return Fail(error);
        if (!NoMore(words, "openmenu", error)) return Fail(error);
        return {command, {}};
    } else if (name == "snapshot") {
        Snapshot command;
        if (!TakeValue(words, "snapshot", "FILE", command.file, error)) return Fail(error);
        if (command.file.empty()) return Fail(UsageError("snapshot", "snapshot: FILE is empty"));
        if (!NoMore(words, "snapshot", error)) return Fail(error);
        return {command, {}};
    } else if (name == "settings") {
        Settings command;
        if (!words.Done()) {
            command.file = words.Take().text;
            if (command.file.empty()) return Fail(UsageError("settings", "settings: FILE is empty"));
        }
        if (!NoMore(words, "settings", error)) return Fail(error);
        return {command, {}};
    } else if (name == "load") {
        Load command;
        if (!words.Done()) {
            command.path = words.Take().text;
            if (command.path.empty()) return Fail(UsageError("load", "load: PATH is empty"));
        }
        if (!NoMore(words, "load", error)) return Fail(error);
        return {command, {}};
    } else if (name == "fault") {
        return ParseFault(words);
    } else if (name == "clock") {
        return ParseClock(words);
    } else if (name == "calls") {
        Calls command;
        command.reset = words.TakeKeyword("reset");
        if (!NoMore(words, "calls", error)) return Fail(error);
        return {command, {}};
    } else if (name == "leave" || name == "frame" || name == "status" || name == "unload" || name == "cvars" ||
               name == "quit") {
        if (!NoMore(words, name, error)) return Fail(error);
        if (name == "leave") return {Leave{}, {}};
        if (name == "frame") return {Frame{}, {}};
        if (name == "status") return {Status{}, {}};
        if (name == "unload") return {Unload{}, {}};
        if (name == "cvars") return {Cvars{}, {}};
        return {Quit{}, {}};
    }

    if (name.empty()) return Fail("empty command name");
    ConsoleStyle command;
    for (Token& token : words.All()) command.words.push_back(std::move(token.text));
    return {command, {}};
}

std::string HelpText(std::string_view topic) {
    std::string text;
    if (topic.empty()) {
        text += "Commands (help COMMAND for one):\n";
        for (const Usage& usage : kUsages) {
            text += "  ";
            text += usage.usage;
            text += "\n      ";
            text += usage.summary;
            text += "\n";
        }
        text += "  NAME [ARGS...]\n      runs a registered console command, or prints (no argument) or sets (one "
                "argument) a console variable\n";
        text += "Words are separated by blanks; \"double quotes\" keep blanks (\\\" and \\\\ inside); # starts a "
                "comment.\n";
        return text;
    }
    for (const Usage& usage : kUsages) {
        if (usage.name != topic) continue;
        text += "usage: ";
        text += usage.usage;
        text += "\n  ";
        text += usage.summary;
        text += "\n";
        if (topic == "fault") {
            text += "  OPERATION is one of (quote the names with blanks):\n";
            for (std::size_t i = 0; i < kOpCount; ++i) {
                text += "    ";
                text += OpName(static_cast<Op>(i));
                text += "\n";
            }
            text += "  MESSAGE defaults to \"injected fault in OPERATION\"; without 'always' only the next call "
                    "throws.\n";
            text += "  skip N lets the next N calls through first: the fault hits call N+1 from now (with 'always',\n"
                    "  every call from then on). Quote a MESSAGE that reads 'always' or 'skip'.\n";
        } else if (topic == "match") {
            text += "  win: the player's team wins; loss: the other team ((team + 1) mod 2); winner N: team N;\n"
                    "  nowinner / noserver / nocontroller: the event carries no valid winning team / server /\n"
                    "  player controller.\n";
        } else if (topic == "clock") {
            text += "  Without a clock, the plug-in reads the real local time. 'clock WHEN' makes it read WHEN now\n"
                    "  and, from then on, WHEN plus the virtual seconds that pass; 'clock next 19:30' jumps to\n"
                    "  the next 19:30 of that local time (later today, or tomorrow) and 'clock tomorrow 19:30'\n"
                    "  to 19:30 on the next day, so a script skips a night without waiting through it.\n"
                    "  vantrel-host --clock WHEN sets it before the plug-in loads. Not on Windows, where the\n"
                    "  plug-in reads the system clock itself.\n";
        } else if (topic == "wait") {
            text += "  SECONDS is a non-negative decimal, at most 86400. Timers and 'mmr ... after' changes due\n"
                    "  at or before the end run in due order (equal times: in the order they were set).\n";
        }
        return text;
    }
    return text;
}

}  // namespace vhost::console
