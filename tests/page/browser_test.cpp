// The page in a real browser: the week played through vantrel-host, read back and written
// as a page, which headless Chromium opens from the file. Its DOM must hold one chart per
// mode and one row per session, its screenshot the chart lines in their colours, and its
// network log no request made by the page. A page of generated matches must keep its
// insights' pictures and fit a phone's width. Skipped where Chromium is not installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "outputs/html_report.h"
#include "rebuild.h"
#include "chromium.h"
#include "png.h"
#include "program.h"
#include "run_host.h"
#include "temp_dir.h"
#include "text.h"

namespace {

namespace fs = std::filesystem;
using namespace vantrel::report;

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        chromium_ = vtest::FindChromium();
        if (chromium_.empty()) GTEST_SKIP() << "chromium is not installed (scripts/bootstrap.sh installs it)";
    }

    // Runs Chromium headless on a file with a fresh profile and no name resolution, so
    // nothing can reach the network; writes its network log to `netLog`, what it prints to
    // `output`. Its exit status.
    int Chromium(const fs::path& page, const std::vector<std::string>& action, const fs::path& netLog,
                 const fs::path& output) {
        static int run = 0;
        const fs::path profile = dir_ / ("profile" + std::to_string(++run));
        std::vector<std::string> argv{chromium_.string(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                      "--no-first-run", "--disable-background-networking", "--disable-component-update",
                                      "--disable-sync", "--hide-scrollbars", "--force-device-scale-factor=1",
                                      "--host-resolver-rules=MAP * ~NOTFOUND", "--user-data-dir=" + profile.string(),
                                      "--log-net-log=" + netLog.string()};
        argv.insert(argv.end(), action.begin(), action.end());
        argv.push_back("file://" + page.string());
        const vtest::ProgramRun browser = vtest::RunProgram(argv);
        std::ofstream(output, std::ios::binary) << browser.out;
        std::ofstream(dir_ / "chromium.err", std::ios::binary) << browser.err;
        return browser.exitCode;
    }

    // The origins of the requests the page made: every request the network stack started on
    // behalf of a document (the browser's own background requests have no initiator origin).
    static std::set<std::string> PageRequestInitiators(const fs::path& netLog) {
        const std::string log = vtest::ReadFile(netLog);
        std::set<std::string> initiators;
        const std::regex initiator("\"initiator\":\"([^\"]*)\"");
        for (auto it = std::sregex_iterator(log.begin(), log.end(), initiator); it != std::sregex_iterator(); ++it) {
            if ((*it)[1] != "not an origin") initiators.insert((*it)[1]);
        }
        return initiators;
    }

    fs::path chromium_;
    const vtest::TempDir temp_{"vantrel-page"};
    const fs::path dir_ = temp_.path();
};

TEST_F(BrowserTest, TheWeeksPageShowsItsChartsAndSessionsAndLoadsNothing) {
    // The week on a fixed calendar, read back from the plug-in's own log.
    vtest::HostRunOptions options;
    options.arguments = {"--clock", "2026-11-30T19:00"};
    std::ifstream script(std::string(VANTREL_EXAMPLES_DIR) + "/week.vsh");
    std::ostringstream text;
    text << script.rdbuf();
    const vtest::HostRun run = vtest::RunHost(text.str(), options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream log(run.Log());
    const History history = ReadHistory(log);
    ASSERT_GE(history.sessions.size(), 7u);

    const fs::path page = dir_ / "week.html";
    {
        std::ofstream out(page, std::ios::binary);
        HtmlOptions html;
        html.sourceName = "week/<VantrelLog>.txt";
        WriteHtml(out, history, html);
    }
    const std::string source = vtest::ReadFile(page);
    for (const char* outside : {"http:", "https:", "src=", "href=", "url(", "@import"}) {
        EXPECT_THAT(source, ::testing::Not(::testing::HasSubstr(outside))) << outside;
    }

    // The DOM as the browser built it.
    const fs::path dom = dir_ / "dom.html", domNet = dir_ / "dom-net.json";
    ASSERT_EQ(Chromium(page, {"--dump-dom"}, domNet, dom), 0) << vtest::ReadFile(dir_ / "chromium.err");
    const std::string tree = vtest::ReadFile(dom);
    std::set<int> modesWithRatings;
    for (const Match& m : history.matches) {
        if (m.after) modesWithRatings.insert(m.mode);
    }
    EXPECT_EQ(modesWithRatings.size(), 4u);  // the week plays every mode
    EXPECT_EQ(Count(tree, "<svg class=\"chart\""), modesWithRatings.size());
    EXPECT_EQ(Count(tree, "data-points=\"0\""), 0u);
    EXPECT_EQ(Count(tree, "<tr class=\"session\""), history.sessions.size());
    EXPECT_THAT(tree, ::testing::HasSubstr("week/&lt;VantrelLog&gt;.txt"));
    EXPECT_THAT(PageRequestInitiators(domNet), ::testing::IsEmpty());

    // The screenshot: not blank, and each mode's line in its own colour.
    const fs::path shot = dir_ / "week.png";
    ASSERT_EQ(Chromium(page, {"--window-size=1100,4400", "--screenshot=" + shot.string()}, dir_ / "shot-net.json",
                       dir_ / "shot.out"),
              0)
        << vtest::ReadFile(dir_ / "chromium.err");
    const vtest::Png image(shot);
    ASSERT_TRUE(image.ok()) << image.error();
    const int width = image.width(), height = image.height();
    struct Colour {
        const char* mode;
        int r, g, b;
        int found = 0;
    };
    Colour lines[] = {{"1vs1", 0xff, 0x4f, 0x9a}, {"2vs2", 0x36, 0xd6, 0x7a}, {"3vs3", 0xf2, 0xf2, 0xf2},
                      {"Other", 0x8f, 0xa3, 0xff}};
    int background = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const vtest::Rgba p = image.At(x, y);
            if (p.r == 0x0e && p.g == 0x10 && p.b == 0x16) ++background;
            for (Colour& c : lines) {
                if (std::abs(p.r - c.r) <= 3 && std::abs(p.g - c.g) <= 3 && std::abs(p.b - c.b) <= 3) ++c.found;
            }
        }
    }
    EXPECT_LT(background, width * height * 9 / 10) << "the page looks blank";
    EXPECT_GT(image.DistinctColours(4096), 200u) << "too few colours for charts";
    for (const Colour& c : lines) {
        // Only the line and the points have the exact colour; the one "Other" point is small.
        EXPECT_GE(c.found, std::string(c.mode) == "Other" ? 8 : 400) << c.mode << "'s line is not on the screenshot";
    }
    EXPECT_THAT(PageRequestInitiators(dir_ / "shot-net.json"), ::testing::IsEmpty());
}

// The insights on a phone: 300 matches in two modes, the page 375 px wide. Each mode and
// every mode together have their part; each picture holds the data points it announces;
// nothing is wider than the screen.
TEST_F(BrowserTest, TheInsightsShowTheirPicturesAndFitAPhone) {
    History history;
    std::uint32_t seed = 17;
    const auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    float ratings[2] = {1000.0f, 800.0f};
    for (std::uint32_t i = 0; i < 300; ++i) {
        if (i % 12 == 0) history.sessions.push_back(Session{});
        Match match;
        match.time = ToLocalSeconds({2026, 11, 30, 17, 0, 0}) + 86400 * (i / 12) + 480 * (i % 12);
        match.session = static_cast<std::uint32_t>(history.sessions.size() - 1);
        match.mode = static_cast<std::uint8_t>(1 + i % 2);
        match.won = (next() >> 16) % 100 < 55;
        float& rating = ratings[i % 2];
        match.before = rating;
        rating += match.won ? 9.5f : -9.0f;
        match.after = rating;
        history.matches.push_back(match);
        ++history.sessions.back().matchCount;
    }
    std::string page;
    {
        std::ostringstream out;
        WriteHtml(out, history, HtmlOptions{});
        page = out.str();
    }
    const fs::path file = dir_ / "insights.html";
    std::ofstream(file, std::ios::binary) << page;
    const fs::path dom = dir_ / "dom.html";
    ASSERT_EQ(Chromium(file, {"--dump-dom"}, dir_ / "net.json", dom), 0) << vtest::ReadFile(dir_ / "chromium.err");
    const std::string tree = vtest::ReadFile(dom);
    EXPECT_EQ(Count(tree, "<div class=\"ins\">"), 3u);
    EXPECT_THAT(PageRequestInitiators(dir_ / "net.json"), ::testing::IsEmpty());

    // A phone's width: headless windows are at least 500 px wide, so the page is laid out
    // in a frame 375 px wide, whose widths the frame's parent writes into its own DOM.
    std::string inner;
    for (const char c : page) inner += c == '&' ? "&amp;" : c == '"' ? "&quot;" : std::string(1, c);
    const fs::path phone = dir_ / "phone.html";
    std::ofstream(phone, std::ios::binary)
        << "<!DOCTYPE html><html><body style=\"margin:0\"><iframe id=\"f\" style=\"width:375px;height:2000px;border:0\" "
           "srcdoc=\"" << inner << "\"></iframe><script>window.onload = function () { var d = "
           "document.getElementById('f').contentDocument.documentElement; document.body.dataset.width = "
           "d.scrollWidth + 'x' + d.clientWidth; };</script></body></html>";
    ASSERT_EQ(Chromium(phone, {"--dump-dom"}, dir_ / "phone-net.json", dir_ / "phone-dom.html"), 0)
        << vtest::ReadFile(dir_ / "chromium.err");
    EXPECT_THAT(vtest::ReadFile(dir_ / "phone-dom.html"), ::testing::HasSubstr("data-width=\"375x375\""));

    // Every picture: its announced points are in the DOM (bars as groups with a title, the
    // form curve as the points of its line, the road as its range and median).
    const auto attribute = [](const std::string& tag, const std::string& name) {
        const std::size_t at = tag.find(" " + name + "=\"");
        if (at == std::string::npos) return std::string();
        const std::size_t begin = at + name.size() + 3;
        return tag.substr(begin, tag.find('"', begin) - begin);
    };
    std::map<std::string, int> charts;
    for (std::size_t at = tree.find("<svg class=\"pic"); at != std::string::npos; at = tree.find("<svg class=\"pic", at + 1)) {
        const std::string tag = tree.substr(at, tree.find('>', at) - at);
        const std::string inside = tree.substr(at, tree.find("</svg>", at) - at);
        const std::string kind = attribute(tag, "data-chart");
        const std::size_t points = std::stoul(attribute(tag, "data-points"));
        ++charts[kind];
        if (kind == "form") {
            const std::size_t line = inside.find("class=\"line\"");
            ASSERT_NE(line, std::string::npos);
            const std::string polyline = inside.substr(line, inside.find('>', line) - line);
            EXPECT_EQ(Count(attribute(polyline, "points"), ","), points);
        } else if (kind == "road") {
            EXPECT_EQ(Count(inside, "class=\"range\""), 1u);
            EXPECT_EQ(Count(inside, "class=\"med\""), 1u);
        } else {
            EXPECT_EQ(Count(inside, "<g class=\"pt"), points) << kind;
            EXPECT_EQ(Count(inside, "<title>"), points) << kind;
        }
    }
    EXPECT_EQ(charts["form"], 3);
    EXPECT_EQ(charts["hours"], 3);
    EXPECT_EQ(charts["weekdays"], 3);
    EXPECT_EQ(charts["after"], 3);
    EXPECT_GE(charts["road"], 1);
}

// The network check is able to see a request: a page that loads an image from outside is
// caught (the name cannot resolve, but the request is made and logged).
TEST_F(BrowserTest, APageThatLoadsFromOutsideIsCaught) {
    const fs::path page = dir_ / "outside.html";
    std::ofstream(page) << "<!DOCTYPE html><html><body><img src=\"http://example.invalid/a.png\"></body></html>\n";
    const fs::path net = dir_ / "net.json";
    ASSERT_EQ(Chromium(page, {"--dump-dom"}, net, dir_ / "dom.html"), 0) << vtest::ReadFile(dir_ / "chromium.err");
    EXPECT_THAT(PageRequestInitiators(net), ::testing::Not(::testing::IsEmpty()));
}

}  // namespace
