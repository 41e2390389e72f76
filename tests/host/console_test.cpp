// The command parser: what each good line means, and a clear error for each kind of bad one.
#include "core/console.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <type_traits>

namespace vhost::console {
namespace {

using ::testing::HasSubstr;

std::string Num(double value) {
    if (std::isnan(value)) return "nan";
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text;
}

// A canonical one-line description of a parsed command, for compact tables.
std::string Describe(const Command& command) {
    return std::visit(
        [](const auto& c) -> std::string {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, Empty>) return "empty";
            else if constexpr (std::is_same_v<T, Help>) return "help [" + c.topic + "]";
            else if constexpr (std::is_same_v<T, Echo>) return "echo [" + c.text + "]";
            else if constexpr (std::is_same_v<T, Wait>) return "wait " + Num(c.seconds);
            else if constexpr (std::is_same_v<T, SetRating>) {
                std::string text = "mmr " + std::to_string(c.playlist) + " " + Num(c.rating);
                if (c.rank) text += " rank " + std::to_string(c.rank->tier) + "/" + std::to_string(c.rank->division);
                if (c.after) text += " after " + Num(*c.after);
                return text;
            } else if constexpr (std::is_same_v<T, MatchStart>) {
                return "start " + std::to_string(c.playlist) + " team " + std::to_string(c.team) +
                       (c.offline ? " offline" : " online");
            } else if constexpr (std::is_same_v<T, MatchEnd>) {
                const char* kinds[] = {"win", "loss", "winner", "nowinner", "noserver", "nocontroller"};
                std::string text = std::string("end ") + kinds[static_cast<int>(c.kind)];
                if (c.kind == MatchEndKind::Winner) text += " " + std::to_string(c.winner);
                return text;
            } else if constexpr (std::is_same_v<T, Scoreboard>) return c.open ? "scoreboard open" : "scoreboard close";
            else if constexpr (std::is_same_v<T, Leave>) return "leave";
            else if constexpr (std::is_same_v<T, SetVar>) return "set [" + c.name + "] [" + c.value + "]";
            else if constexpr (std::is_same_v<T, GetVar>) return "get [" + c.name + "]";
            else if constexpr (std::is_same_v<T, ConsoleStyle>) {
                std::string text = "console";
                for (const auto& word : c.words) text += " [" + word + "]";
                return text;
            } else if constexpr (std::is_same_v<T, OpenMenu>) return "openmenu [" + c.name + "]";
            else if constexpr (std::is_same_v<T, Frame>) return "frame";
            else if constexpr (std::is_same_v<T, Snapshot>) return "snapshot [" + c.file + "]";
            else if constexpr (std::is_same_v<T, Settings>) return "settings [" + c.file + "]";
            else if constexpr (std::is_same_v<T, Status>) return "status";
            else if constexpr (std::is_same_v<T, Load>) return "load [" + c.path + "]";
            else if constexpr (std::is_same_v<T, Unload>) return "unload";
            else if constexpr (std::is_same_v<T, FaultThrow>) {
                return "fault [" + std::string(OpName(c.operation)) + "] [" + c.message + "]" + (c.always ? " always" : "");
            } else if constexpr (std::is_same_v<T, FaultClear>) return "fault clear";
            else if constexpr (std::is_same_v<T, Calls>) return c.reset ? "calls reset" : "calls";
            else if constexpr (std::is_same_v<T, Cvars>) return "cvars";
            else if constexpr (std::is_same_v<T, Quit>) return "quit";
            else if constexpr (std::is_same_v<T, Clock>) {
                if (c.kind == Clock::Kind::Show) return "clock";
                const WallTime& w = c.when;
                char text[48];
                std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", w.year, w.month, w.day, w.hour,
                              w.minute, w.second);
                if (c.kind == Clock::Kind::At) return "clock " + std::string(text);
                return (c.kind == Clock::Kind::Next ? "clock next " : "clock tomorrow ") + std::string(text + 11);
            }
        },
        command);
}

struct Good {
    const char* line;
    const char* meaning;
};

class GoodLine : public ::testing::TestWithParam<Good> {};

TEST_P(GoodLine, ParsesToItsMeaning) {
    const ParseResult result = Parse(GetParam().line);
    ASSERT_TRUE(result.ok()) << GetParam().line << ": " << result.error;
    EXPECT_EQ(Describe(result.command), GetParam().meaning) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, GoodLine,
    ::testing::Values(
        Good{"", "empty"}, Good{"   \t ", "empty"}, Good{"# a comment", "empty"}, Good{"  # indented", "empty"},
        Good{"help", "help []"}, Good{"help fault", "help [fault]"},
        Good{"echo", "echo []"}, Good{"echo  hello   world ", "echo [hello world]"},
        Good{"echo \"two  blanks\" # not this", "echo [two  blanks]"},
        Good{"echo \"say \\\"hi\\\" \\\\ back\"", "echo [say \"hi\" \\ back]"},
        Good{"echo \"\\n stays\"", "echo [\\n stays]"}, Good{"echo a\"b c\"d", "echo [ab cd]"},
        Good{"echo a#b", "echo [a]"}, Good{"echo \"a#b\"", "echo [a#b]"},
        Good{"wait 0", "wait 0"}, Good{"wait 2.5", "wait 2.5"}, Good{"wait .25", "wait 0.25"},
        Good{"wait 3.", "wait 3"}, Good{"wait 86400", "wait 86400"}, Good{"wait 1\r", "wait 1"},
        Good{"mmr 11 1000.5", "mmr 11 1000.5"}, Good{"mmr -1 -3", "mmr -1 -3"},
        Good{"mmr 2147483647 1", "mmr 2147483647 1"}, Good{"mmr -2147483648 1", "mmr -2147483648 1"},
        Good{"mmr +7 1e3", "mmr 7 1000"}, Good{"mmr 10 0x10", "mmr 10 16"},
        Good{"mmr 10 nan", "mmr 10 nan"}, Good{"mmr 10 inf", "mmr 10 inf"}, Good{"mmr 10 -infinity", "mmr 10 -inf"},
        Good{"mmr 11 1000 rank 10 2", "mmr 11 1000 rank 10/2"},
        Good{"mmr 11 1000 after 3", "mmr 11 1000 after 3"},
        Good{"mmr 11 1000 rank 10 2 after 3", "mmr 11 1000 rank 10/2 after 3"},
        Good{"mmr 11 1000 after 3 rank 10 2", "mmr 11 1000 rank 10/2 after 3"},
        Good{"match start 11", "start 11 team 0 online"},
        Good{"match start 13 team 1 offline", "start 13 team 1 offline"},
        Good{"match start 13 offline team -5", "start 13 team -5 offline"},
        Good{"match end win", "end win"}, Good{"match end loss", "end loss"},
        Good{"match end winner 1", "end winner 1"}, Good{"match end winner 300", "end winner 300"},
        Good{"match end nowinner", "end nowinner"}, Good{"match end noserver", "end noserver"},
        Good{"match end nocontroller", "end nocontroller"},
        Good{"scoreboard open", "scoreboard open"}, Good{"scoreboard close", "scoreboard close"},
        Good{"leave", "leave"},
        Good{"set vantrel_pos_x 100", "set [vantrel_pos_x] [100]"},
        Good{"set name \"two words\"", "set [name] [two words]"}, Good{"set name \"\"", "set [name] []"},
        Good{"get vantrel_enabled", "get [vantrel_enabled]"},
        Good{"vantrel_show_menu", "console [vantrel_show_menu]"},
        Good{"vantrel_pos_x 5 extra", "console [vantrel_pos_x] [5] [extra]"},
        Good{"\"help\" me", "console [help] [me]"},
        Good{"openmenu vantrel", "openmenu [vantrel]"}, Good{"frame", "frame"},
        Good{"snapshot out.png", "snapshot [out.png]"}, Good{"settings", "settings []"},
        Good{"settings panel.png", "settings [panel.png]"}, Good{"status", "status"},
        Good{"load", "load []"}, Good{"load plugins/Other.so", "load [plugins/Other.so]"}, Good{"unload", "unload"},
        Good{"fault GetPlayerMMR throw", "fault [GetPlayerMMR] []"},
        Good{"fault registerCvar throw boom", "fault [registerCvar] [boom]"},
        Good{"fault SetTimeout throw \"timer broke\" always", "fault [SetTimeout] [timer broke] always"},
        Good{"fault DrawString throw always", "fault [DrawString] [] always"},
        Good{"fault DrawString throw \"always\"", "fault [DrawString] [always]"},
        Good{"fault \"operator bool\" throw", "fault [operator bool] []"},
        Good{"fault clear", "fault clear"}, Good{"calls", "calls"}, Good{"calls reset", "calls reset"},
        Good{"cvars", "cvars"}, Good{"quit", "quit"}, Good{"clock", "clock"},
        Good{"clock 2026-12-07T19:30", "clock 2026-12-07 19:30:00"},
        Good{"clock 2028-02-29T23:59:59", "clock 2028-02-29 23:59:59"},
        Good{"clock next 07:05", "clock next 07:05:00"}, Good{"clock tomorrow 00:00:30", "clock tomorrow 00:00:30"}));

struct Bad {
    const char* line;
    const char* error;  // a part of the message
};

class BadLine : public ::testing::TestWithParam<Bad> {};

TEST_P(BadLine, IsRefusedWithAClearMessage) {
    const ParseResult result = Parse(GetParam().line);
    ASSERT_FALSE(result.ok()) << GetParam().line << " parsed as " << Describe(result.command);
    EXPECT_THAT(result.error, HasSubstr(GetParam().error)) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BadLine,
    ::testing::Values(
        // Words
        Bad{"echo \"open", "unterminated quoted word"}, Bad{"set x \"a\\\"", "unterminated"},
        // Times
        Bad{"wait", "wait: missing SECONDS"}, Bad{"wait -1", "negative"}, Bad{"wait abc", "not a time"},
        Bad{"wait nan", "not a time"}, Bad{"wait inf", "not a time"}, Bad{"wait 1e3", "not a time"},
        Bad{"wait 0x10", "not a time"}, Bad{"wait .", "not a time"}, Bad{"wait 1 2", "unexpected '2'"},
        Bad{"wait 86400.5", "too long"}, Bad{"mmr 11 1 after -2", "negative"},
        Bad{"mmr 11 1 after", "missing SECONDS"},
        Bad{"wait 999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
            "999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
            "999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
            "99999999999999999999999999999999999999999999999999999999999999999",
            "too large"},
        // Integers
        Bad{"mmr", "missing PLAYLIST"}, Bad{"mmr 11", "missing RATING"}, Bad{"mmr eleven 1", "not an integer"},
        Bad{"mmr 2147483648 1", "out of range"}, Bad{"mmr -2147483649 1", "out of range"},
        Bad{"mmr 99999999999999999999999 1", "out of range"}, Bad{"mmr 1.5 1", "not an integer"},
        Bad{"mmr +-1 1", "not an integer"}, Bad{"mmr - 1", "not an integer"}, Bad{"mmr \"\" 1", "not an integer"},
        Bad{"mmr 11 1 rank 3", "missing DIVISION"}, Bad{"mmr 11 1 rank x 1", "TIER"},
        Bad{"mmr 11 1 rank 1 2 rank 1 2", "given twice"}, Bad{"mmr 11 1 later", "unexpected 'later'"},
        Bad{"match start 11 team 4294967296", "out of range"}, Bad{"match end winner", "missing N"},
        // Ratings
        Bad{"mmr 11 abc", "not a number"}, Bad{"mmr 11 12abc", "not a number"}, Bad{"mmr 11 \"\"", "not a number"},
        Bad{"mmr 11 \" 5\"", "not a number"},
        // Keywords
        Bad{"match", "expected 'start' or 'end'"}, Bad{"match begin 11", "not 'begin'"},
        Bad{"match start", "missing PLAYLIST"}, Bad{"match start 11 team", "missing N"},
        Bad{"match start 11 online", "unexpected 'online'"}, Bad{"match start 11 offline offline", "given twice"},
        Bad{"match end", "missing the result"}, Bad{"match end draw", "unknown result 'draw'"},
        Bad{"match end win now", "unexpected 'now'"}, Bad{"scoreboard", "expected 'open' or 'close'"},
        Bad{"scoreboard toggle", "expected 'open' or 'close'"}, Bad{"leave now", "unexpected"},
        Bad{"set x", "missing VALUE"}, Bad{"set x two words", "quote a value"}, Bad{"get", "missing NAME"},
        Bad{"get a b", "unexpected 'b'"}, Bad{"openmenu", "missing NAME"}, Bad{"frame 2", "unexpected"},
        Bad{"snapshot", "missing FILE"}, Bad{"snapshot \"\"", "FILE is empty"}, Bad{"status now", "unexpected"},
        Bad{"load a b", "unexpected 'b'"}, Bad{"unload x", "unexpected"}, Bad{"help nosuch", "no command 'nosuch'"},
        Bad{"\"\"", "empty command name"},
        // Faults
        Bad{"fault", "missing OPERATION"}, Bad{"fault Nonsense throw", "unknown operation 'Nonsense'"},
        Bad{"fault operator bool throw", "unknown operation 'operator'"}, Bad{"fault GetPlayerMMR", "missing 'throw'"},
        Bad{"fault GetPlayerMMR raise", "expected 'throw'"}, Bad{"fault GetPlayerMMR throw a b", "unexpected 'b'"},
        Bad{"fault GetPlayerMMR throw \"\"", "MESSAGE is empty"}, Bad{"fault clear all", "unexpected"},
        Bad{"calls everything", "unexpected"},
        // Clock
        Bad{"clock 2026-12-07 19:30", "YYYY-MM-DDTHH:MM"},
        Bad{"clock 2026-13-01T10:00", "not a local time"}, Bad{"clock 2027-02-29T10:00", "not a date"},
        Bad{"clock 2026-12-07T24:00", "not a local time"}, Bad{"clock 2026-12-07T19:30:", "not a local time"},
        Bad{"clock 1969-12-31T23:59", "not a local time"}, Bad{"clock next", "missing HH:MM"},
        Bad{"clock next 7:05", "not a time of day"}, Bad{"clock next 19:30 tomorrow", "unexpected"}));

TEST(Tokenize, KeepsQuotedWordsAndMarksThem) {
    std::vector<Token> words;
    std::string error;
    ASSERT_TRUE(Tokenize("a \"b c\" \"\" d\"e\"", words, error));
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[0].text, "a");
    EXPECT_FALSE(words[0].quoted);
    EXPECT_EQ(words[1].text, "b c");
    EXPECT_TRUE(words[1].quoted);
    EXPECT_EQ(words[2].text, "");
    EXPECT_TRUE(words[2].quoted);
    EXPECT_EQ(words[3].text, "de");
}

TEST(Tokenize, SurvivesArbitraryBytes) {
    // The parser will be fuzzed: odd bytes are ordinary characters, never a crash.
    const std::string line("echo \x01\xff\x00z \"\x00\"", 13);
    const ParseResult result = Parse(line);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(std::get<Echo>(result.command).text, std::string("\x01\xff\x00z \x00", 6));
    EXPECT_FALSE(Parse(std::string("mmr 11 5\x00" "7", 10)).ok());
}

TEST(Help, ListsEveryOperationForFault) {
    const std::string text = HelpText("fault");
    for (std::size_t i = 0; i < kOpCount; ++i) {
        EXPECT_THAT(text, HasSubstr(std::string(OpName(static_cast<Op>(i))))) << i;
    }
    EXPECT_THAT(HelpText(""), HasSubstr("openmenu NAME"));
    EXPECT_EQ(HelpText("nosuch"), "");
}

TEST(Operations, NamesAreUniqueAndFoundAgain) {
    for (std::size_t i = 0; i < kOpCount; ++i) {
        const Op op = static_cast<Op>(i);
        ASSERT_EQ(FindOp(OpName(op)), op) << OpName(op);
    }
    EXPECT_EQ(FindOp("IsValid"), std::nullopt);
}

}  // namespace
}  // namespace vhost::console
