// The host's command language, parsed without side effects: the tokenizer and Parse turn
// one line into a Command or an error text. No I/O and no global state, so it can be
// fuzzed and tested on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/calls.h"

namespace vhost::console {

// A word of a command line. `quoted` is set when any part of it was in double quotes, so
// that a quoted keyword (say "always") is taken as text.
struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words: blanks (space, tab, carriage return) separate words; double
// quotes group blanks into a word, with \" and \\ standing for " and \ inside them; an
// unquoted # starts a comment that runs to the end of the line. Returns false and sets
// `error` for an unterminated quote.
bool Tokenize(std::string_view line, std::vector<Token>& words, std::string& error);

// The longest single `wait`: one virtual day.
inline constexpr double kMaxWaitSeconds = 86400.0;

struct Empty {};  // blank line or comment
struct Help {
    std::string topic;  // empty: list all commands
};
struct Echo {
    std::string text;
};
struct Wait {
    double seconds = 0.0;
};
struct RankRecord {
    int tier = 0;
    int division = 0;
};
struct SetRating {
    int playlist = 0;
    float rating = 0.0f;
    std::optional<RankRecord> rank;
    std::optional<double> after;  // seconds from now; none: at once
};
struct MatchStart {
    int playlist = 0;
    int team = 0;
    bool offline = false;
};
enum class MatchEndKind { Win, Loss, Winner, NoWinner, NoServer, NoController };
struct MatchEnd {
    MatchEndKind kind = MatchEndKind::Win;
    int winner = 0;  // for Winner
};
struct Scoreboard {
    bool open = true;
};
struct Leave {};
struct SetVar {
    std::string name;
    std::string value;
};
struct GetVar {
    std::string name;
};
// `NAME [ARGS...]`: a registered command, or a variable to print or set.
struct ConsoleStyle {
    std::vector<std::string> words;  // words[0] is NAME
};
struct OpenMenu {
    std::string name;
};
struct Frame {};
struct Snapshot {
    std::string file;
};
struct Settings {
    std::string file;  // empty: draw without writing a picture
};
struct Status {};
struct Load {
    std::string path;  // empty: the host's plug-in path
};
struct Unload {};
struct FaultThrow {
    Op operation = Op::HookEvent;
    std::string message;  // empty: the default message
    bool always = false;
    int skip = 0;  // calls that go through before the fault fires (`skip N`)
};
struct FaultClear {};
struct Calls {
    bool reset = false;
};
struct Cvars {};
struct Quit {};
// A local date and time as written in `clock` and --clock: YYYY-MM-DDTHH:MM[:SS].
struct WallTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
// `clock`: print the local time the plug-in reads; `clock WHEN`: from now on that time
// starts at WHEN and follows the virtual clock; `clock next HH:MM[:SS]`: the same, at the
// next moment the local time reads HH:MM (today or tomorrow); `clock tomorrow HH:MM[:SS]`:
// at HH:MM on the next day.
struct Clock {
    enum class Kind { Show, At, Next, Tomorrow } kind = Kind::Show;
    WallTime when;  // for Next and Tomorrow only the time of day counts
};

using Command = std::variant<Empty, Help, Echo, Wait, SetRating, MatchStart, MatchEnd, Scoreboard, Leave, SetVar,
                             GetVar, ConsoleStyle, OpenMenu, Frame, Snapshot, Settings, Status, Load, Unload,
                             FaultThrow, FaultClear, Calls, Cvars, Quit, Clock>;

struct ParseResult {
    Command command;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

ParseResult Parse(std::string_view line);

// The help text: the command list for an empty topic, else that command's usage. Returns
// an empty string for an unknown topic.
std::string HelpText(std::string_view topic);

// Number readers shared with the rest of the host. Each returns false and sets `error` to a
// description of what is wrong with `text` (what = what was expected, used in the message).
bool ParseInt32(const std::string& text, std::string_view what, int& value, std::string& error);
bool ParseRating(const std::string& text, std::string_view what, float& value, std::string& error);
bool ParseSeconds(const std::string& text, std::string_view what, double& value, std::string& error);
// YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS, a real calendar date (years 1970 to 9999).
bool ParseWallTime(std::string_view text, WallTime& value, std::string& error);

}  // namespace vhost::console
