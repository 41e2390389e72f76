// What the server answers without the network: the Host check that keeps other sites'
// pages out, the fixed paths and methods, the listen address, and the JSON and text files
// made of a history.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <limits>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "outputs/json.h"
#include "rebuild.h"
#include "serve/obs_text.h"
#include "serve/pages.h"
#include "serve/routes.h"
#include "serve/text_answer.h"
#include "temp_dir.h"
#include "text.h"

namespace {

using namespace vantrel::report;
using namespace vantrel::report::serve;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(ServeRoutes, OnlyOurOwnHostNamesWithThePortAreAnswered) {
    const HostCheck loopback("127.0.0.1", 7433);
    for (const char* host : {"127.0.0.1:7433", "localhost:7433", "LocalHost:7433"}) {
        EXPECT_TRUE(loopback.Allows(host)) << host;
    }
    // A name of another site resolving here (DNS rebinding), a wrong port, no port, nothing.
    for (const char* host : {"evil.example:7433", "127.0.0.1:80", "127.0.0.1", "localhost", "", "192.168.1.5:7433",
                             "localhost:7433.evil.example", "127.0.0.1:7433 "}) {
        EXPECT_FALSE(loopback.Allows(host)) << host;
    }
    // Bound to every address: any address literal with the port, still no name.
    const HostCheck any("0.0.0.0", 9000);
    EXPECT_TRUE(any.Allows("192.168.1.5:9000"));
    EXPECT_TRUE(any.Allows("[fe80::1]:9000"));
    EXPECT_FALSE(any.Allows("192.168.1.5:9001"));
    EXPECT_FALSE(any.Allows("media-pc.lan:9000"));
    EXPECT_FALSE(any.Allows("1.2.3.4.5:9000"));
    EXPECT_TRUE(HostCheck("::1", 80).Allows("[::1]:80"));
    const HostCheck anyV6("::", 9000);
    EXPECT_TRUE(anyV6.Allows("[fe80::1]:9000"));
    EXPECT_TRUE(anyV6.Allows("[fe80::9]:9000"));
    EXPECT_FALSE(anyV6.Allows("[fe80::1z]:9000"));
    EXPECT_TRUE(anyV6.Allows("192.168.1.5:9000"));
    EXPECT_FALSE(anyV6.Allows("media-pc.lan:9000"));
}

TEST(ServeRoutes, FixedPathsGetAndHeadOnly) {
    const HostCheck hosts("127.0.0.1", 1);
    const auto route = [&](std::string_view method, std::string_view target) {
        return Decide(method, target, "127.0.0.1:1", hosts);
    };
    EXPECT_EQ(route("GET", "/").route, Route::Page);
    EXPECT_EQ(route("HEAD", "/api/history.json").route, Route::HistoryJson);
    EXPECT_EQ(route("GET", "/api/insights.json").route, Route::InsightsJson);
    const Decision overlay = route("GET", "/overlay?modes=2v2,3v3&theme=light");
    EXPECT_EQ(overlay.route, Route::Overlay);
    EXPECT_EQ(overlay.query, "modes=2v2,3v3&theme=light");
    for (const char* target : {"/../etc/passwd", "/overlay/../api/history.json", "//", "/index.html", "/api/",
                               "/events/", "http://127.0.0.1:1/", "*", "/%2e%2e/"}) {
        EXPECT_EQ(route("GET", target).refusal.status, 404u) << target;
    }
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "get", "CONNECT"}) {
        EXPECT_EQ(route(method, "/").refusal.status, 405u) << method;
    }
    EXPECT_EQ(Decide("GET", "/", "evil.example:1", hosts).refusal.status, 403u);
    EXPECT_EQ(route("GET", "/setup?style=row").route, Route::Setup);
    EXPECT_EQ(route("GET", "/api/text?mode=2v2").route, Route::Text);
    // No other site may frame a page; /setup may frame the overlay, from this origin only.
    EXPECT_THAT(std::string(SecurityPolicy(Route::Page)), HasSubstr("frame-ancestors 'none'"));
    EXPECT_THAT(std::string(SecurityPolicy(Route::Setup)), HasSubstr("frame-ancestors 'none'"));
    EXPECT_THAT(std::string(SecurityPolicy(Route::Setup)), HasSubstr("frame-src 'self'"));
    EXPECT_THAT(std::string(SecurityPolicy(Route::Overlay)), HasSubstr("frame-ancestors 'self'"));
    EXPECT_THAT(std::string(SecurityPolicy(std::nullopt)), Not(HasSubstr("frame-src")));
}

TEST(ServeRoutes, ListenAddresses) {
    std::string address;
    std::uint16_t port = 1;
    EXPECT_TRUE(ParseListenAddress("127.0.0.1:9000", address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, 9000);
    EXPECT_TRUE(ParseListenAddress("localhost:0", address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, 0);
    EXPECT_TRUE(ParseListenAddress("[::1]:80", address, port));
    EXPECT_EQ(address, "::1");
    EXPECT_TRUE(ParseListenAddress("[FE80::F]:80", address, port));
    EXPECT_EQ(address, "FE80::F");
    EXPECT_TRUE(ParseListenAddress("127.0.0.1:65535", address, port));
    EXPECT_EQ(port, 65535);
    for (const char* bad : {"9000", "127.0.0.1", "127.0.0.1:", "127.0.0.1:65536", "256.0.0.1:80", "host.lan:80",
                            "::1:80", "127.0.0.1:-1", ":80", "1..2.3:80", "0255.0.0.1:80", "[::1z]:80"}) {
        EXPECT_FALSE(ParseListenAddress(bad, address, port)) << bad;
    }
    EXPECT_TRUE(IsLoopback("127.0.0.1"));
    EXPECT_TRUE(IsLoopback("::1"));
    EXPECT_FALSE(IsLoopback("0.0.0.0"));
}

const char* const kLog =
    "2026-12-07 21:05:09 - OnMatchEnd: wonMatch: 1\n"
    "2026-12-07 21:05:09 - Match ended: ModeIndex: 1, Wins: 1, Losses: 0, Starting MMR: 1000.10, Delta MMR: +00.00\n"
    "2026-12-07 21:05:12 - CheckMMRUpdate: mmr: 1012.30, initialMMR: 1000.10, count: 3\n"
    "2026-12-07 21:09:00 - OnMatchEnd: wonMatch: 1\n"
    "2026-12-07 21:09:00 - Match ended: ModeIndex: 3, Wins: 1, Losses: 0, Starting MMR: 0.00, Delta MMR: +00.00\n"
    "2026-12-07 21:10:00 - OnMatchEnd: wonMatch: 1\n"
    "2026-12-07 21:10:00 - Match ended: ModeIndex: 1, Wins: 2, Losses: 0, Starting MMR: 1012.30, Delta MMR: +00.00\n";

std::string FileText(const std::vector<std::pair<std::string, std::string>>& texts, const std::string& name) {
    for (const auto& [file, content] : texts) {
        if (file == name) return content;
    }
    return "(none)";
}

TEST(ServeJson, MatchesCarryTheCsvFieldsWithNullForUnknown) {
    std::istringstream in(kLog);
    const History history = ReadHistory(in);
    const auto json = nlohmann::ordered_json::parse(HistoryJson(history));
    ASSERT_EQ(json["matches"].size(), 3u);
    EXPECT_EQ(json["matches"][0].dump(),
              R"({"time":"2026-12-07 21:05:09","session":1,"mode":"2vs2","result":"won","before":1000.1,"after":1012.3,"change":12.2})");
    // A first rating of "Other" (no rating before), and a match whose poll never ended.
    EXPECT_EQ(json["matches"][1]["before"], nullptr);
    EXPECT_EQ(json["matches"][1]["change"], nullptr);
    EXPECT_EQ(json["matches"][2]["after"], nullptr);
    EXPECT_EQ(json["sessions"][0]["matches"], 3);
    // Made a match at a time, the same text; matches read after it began are not in it.
    HistoryJsonPieces pieces(history);
    History grown = history;
    grown.matches.push_back(grown.matches.back());
    std::string pieced;
    while (pieces.Next(grown, pieced, 1)) {
    }
    EXPECT_EQ(pieced, HistoryJson(history));

    // The session at a glance and its text files: 2vs2 2-0 with one known change, a streak of 3.
    const SessionGlance glance = GlanceAtLastSession(history);
    EXPECT_EQ(glance.streak, 3);
    const auto texts = ObsTexts(history, glance);
    const auto text = [&](const std::string& name) { return FileText(texts, name); };
    EXPECT_EQ(text("2vs2-record.txt"), "2-0");
    EXPECT_EQ(text("2vs2-change.txt"), "+12.20");
    EXPECT_EQ(text("2vs2-rating.txt"), "1012.30");
    EXPECT_EQ(text("other-change.txt"), "");
    EXPECT_EQ(text("session-record.txt"), "3-0");
    EXPECT_EQ(text("last-result.txt"), "Won 2vs2");
    EXPECT_EQ(text("streak.txt"), "3 wins");
}

// Matches and sessions are written straight to text: the text must be, byte for byte, what
// nlohmann::json dumps of the same values, for every kind of rating.
TEST(ServeJson, TextsAreTheDumpsOfTheirValues) {
    std::mt19937_64 random(3);
    const float specials[] = {0.0f, -0.0f, 0.004f, -0.005f, 1e20f, -3.4e38f, 1012.3f, 999.995f, 1e-7f,
                              std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    const auto rating = [&]() -> float {
        if (random() % 4 == 0) return specials[random() % std::size(specials)];
        return static_cast<float>(static_cast<double>(random() % 400000) / 100.0 - 500.0);
    };
    History history;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        if (i % 7 == 0) {
            Session session;
            session.start = static_cast<LocalSeconds>(random() % 4'000'000'000u);
            session.end = session.start + 3600;
            session.firstMatch = i;
            session.loadFailed = random() % 2 == 0;
            history.sessions.push_back(session);
        }
        Match match;
        match.time = static_cast<LocalSeconds>(random() % 4'000'000'000u);
        match.session = static_cast<std::uint32_t>(history.sessions.size() - 1);
        match.mode = static_cast<std::uint8_t>(random() % 4);
        match.won = random() % 2 == 0;
        match.before = rating();
        if (random() % 5 != 0) match.after = rating();
        history.matches.push_back(match);
        ++history.sessions.back().matchCount;
    }
    for (std::size_t i = 0; i < history.matches.size(); ++i) {
        ASSERT_EQ(MatchJson(history, i), MatchValue(history, i).dump()) << i;
    }
    for (std::size_t i = 0; i < history.sessions.size(); ++i) {
        ASSERT_EQ(SessionJson(history, i), SessionValue(history, i).dump()) << i;
    }
    const std::string text = HistoryJson(history);
    EXPECT_EQ(nlohmann::ordered_json::parse(text).dump(), text);
}

TEST(ServeJson, TheSessionAtAGlanceHasNoChangeWhereNoneIsKnown) {
    std::istringstream in(std::string(kLog) +
                          "2026-12-07 21:12:00 - OnMatchEnd: wonMatch: 0\n"
                          "2026-12-07 21:12:00 - Match ended: ModeIndex: 2, Wins: 0, Losses: 1, Starting MMR: 850.00, "
                          "Delta MMR: +00.00\n");
    const History history = ReadHistory(in);
    const auto json = nlohmann::ordered_json::parse(SessionGlanceJson(history, GlanceAtLastSession(history)));
    ASSERT_EQ(json["modes"].size(), 3u);
    EXPECT_EQ(json["modes"][0]["change"], 12.2);
    // A mode whose last rating after is unknown: no change, and the rating it started from.
    EXPECT_EQ(json["modes"][1]["mode"], "3vs3");
    EXPECT_EQ(json["modes"][1]["change"], nullptr);
    EXPECT_EQ(json["modes"][1]["rating"], 850.0);
    EXPECT_EQ(json["modes"][2]["mode"], "Other");
    EXPECT_EQ(json["modes"][2]["change"], nullptr);
    // No session yet (an empty log): nothing to show, not a first session.
    const auto none = nlohmann::ordered_json::parse(SessionGlanceJson(History{}, GlanceAtLastSession(History{})));
    EXPECT_EQ(none["session"], nullptr);
    EXPECT_EQ(none["last"], nullptr);
}

// The live page is the report's page with its script inside the body.
TEST(ServePages, TheLiveScriptGoesInsideTheBody) {
    const std::string live = LivePage("<html><body><p>page</p></body></html>");
    const std::size_t script = live.find("<script");
    ASSERT_NE(script, std::string::npos);
    EXPECT_GT(script, live.find("<p>page</p>"));
    EXPECT_LT(script, live.find("</body>"));
    EXPECT_EQ(live.substr(live.size() - 14), "</body></html>");
}

// A text file is replaced by a rename, never written over (a reader holding the old one
// keeps it), and only when its text changed.
TEST(ServeObsText, FilesAreReplacedWholeAndOnlyWhenTheirTextChanged) {
    vtest::TempDir dir;
    ObsTextFiles files(dir.path());
    std::istringstream in(kLog);
    History history = ReadHistory(in);
    std::string error;
    ASSERT_TRUE(files.Update(history, GlanceAtLastSession(history), error)) << error;
    const auto stat = [&](const char* name) {
        struct stat about {};
        EXPECT_EQ(::stat((dir.path() / name).c_str(), &about), 0) << name;
        return about;
    };
    const struct stat unchanged = stat("2vs2-rating.txt");
    std::filesystem::create_hard_link(dir.path() / "streak.txt", dir.path() / "held.txt");

    history.matches.push_back(history.matches.back());
    history.matches.back().won = false;
    history.sessions.back().matchCount++;
    ASSERT_TRUE(files.Update(history, GlanceAtLastSession(history), error)) << error;
    EXPECT_EQ(vtest::ReadFile(dir.path() / "streak.txt"), "1 loss");
    EXPECT_EQ(vtest::ReadFile(dir.path() / "held.txt"), "3 wins");
    const struct stat after = stat("2vs2-rating.txt");
    EXPECT_EQ(after.st_ino, unchanged.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, unchanged.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, unchanged.st_mtim.tv_nsec);
}

// A chat bot's line, at the routes' level: the query read, the template filled from the
// glance of kLog's session (2vs2 won 1000.10 -> 1012.30, Other won, 2vs2 won, rating pending).
TEST(ServeText, TemplatesFilledAndRefusedWithOneLine) {
    std::istringstream in(kLog);
    const History history = ReadHistory(in);
    const SessionGlance glance = GlanceAtLastSession(history);
    const auto answer = [&](const std::string& query) {
        TextRequest request;
        Refusal refusal = ParseTextRequest(ParseQuery(query), request);
        std::string text;
        if (refusal.status == 0) refusal = AnswerText(request, history, glance, text);
        return refusal.status == 0 ? text : std::to_string(refusal.status) + " " + refusal.reason;
    };
    EXPECT_EQ(answer("mode=2v2"), "2vs2 1012.30 (D3 D2) \u00b7 this session 2-0 +12.20 \u00b7 15.70 to D3 D3");
    EXPECT_EQ(answer("mode=2vs2&goal=3v3:900,2v2:1100&template="
                     "%7Bmode%7D+%7Brating%7D+%7Brank%7D+%7BtoNext%7D+%7Bnext%7D+%7Brecord%7D+%7Bwins%7D+%7Blosses%7D"
                     "+%7Bchange%7D+%7Blast%7D+%7Bstreak%7D+%7Bgoal%7D+%7BtoGoal%7D+%7B%7Bx%7D%7D"),
              "2vs2 1012.30 D3 D2 15.70 D3 D3 2-0 2 0 +12.20 Won 2vs2 3 wins 1100 87.70 {x}");
    // Not played: the last known rating (none here), an empty record, unknowns as a dash.
    EXPECT_EQ(answer("mode=1v1&template=%7Brating%7D+%7Brank%7D+%7Brecord%7D+%7Bchange%7D+%7Bgoal%7D"),
              "\u2013 \u2013 0-0 \u2013 \u2013");
    EXPECT_EQ(answer("template=%7Bmode%7D"), "2vs2");  // no mode: the last match's
    EXPECT_EQ(answer("mode=2v2&template=a%0D%0Ab%09c%C2%85d"), "a  b c d");  // one line
    const std::string longest(kTextLimit, 'x');
    EXPECT_EQ(answer("mode=2v2&template=" + longest), longest);
    // Filled past the limit: cut at it, on a character.
    std::string many;
    for (int i = 0; i < 50; ++i) many += "%7Blast%7D%E2%80%93";
    const std::string cut = answer("mode=2v2&template=" + many);
    EXPECT_EQ(cut.substr(0, 11), "Won 2vs2\u2013");
    EXPECT_LE(cut.size(), kTextLimit * 3);
    std::size_t points = 0;
    for (const char c : cut) points += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_EQ(points, kTextLimit);

    for (const char* refused : {"mode=4v4", "mode=2v2&template=%7Bfoo%7D", "mode=2v2&template=%7Brank",
                                "mode=2v2&template=rank%7D", "mode=2v2&template=%FF", "mode=2v2&template=%zz",
                                "mode=2v2&session=gap:0", "mode=2v2&goal=lots", "mode=2v2&goal=2v2:"}) {
        EXPECT_EQ(answer(refused).substr(0, 4), "400 ") << refused;
        EXPECT_EQ(answer(refused).find('\n'), std::string::npos) << refused;
    }
    EXPECT_EQ(answer("mode=2v2&template=" + longest + "x").substr(0, 4), "400 ");
    const History empty;
    TextRequest request;
    std::string text;
    EXPECT_EQ(AnswerText(request, empty, GlanceAtLastSession(empty), text).status, 400u);
}

// A new session: the rating, rank and next files keep the mode's last known rating
// until it is played again; the record starts again.
TEST(ServeJson, TextFilesKeepTheLastKnownRatingAcrossANewSession) {
    const std::string log = std::string(kLog) +
                            "2026-12-07 23:00:00 - CheckMMRUpdate: mmr: 700.00, initialMMR: 0.00, count: 0\n";
    std::istringstream in(log);
    const History history = ReadHistory(in);
    ASSERT_EQ(history.sessions.size(), 2u);
    const auto texts = ObsTexts(history, GlanceAtLastSession(history));
    const auto text = [&](const std::string& name) { return FileText(texts, name); };
    EXPECT_EQ(text("2vs2-record.txt"), "0-0");
    EXPECT_EQ(text("2vs2-rating.txt"), "1012.30");
    EXPECT_EQ(text("2vs2-rank.txt"), "D3 D2");
    EXPECT_EQ(text("2vs2-next.txt"), "15.70 to D3 D3");
    EXPECT_EQ(text("other-rating.txt"), "");  // its one match found no rating
    EXPECT_EQ(text("other-rank.txt"), "");    // no rank table
    EXPECT_EQ(text("1vs1-rating.txt"), "");
}

}  // namespace
