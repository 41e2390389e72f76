// The page in a real browser: the week played through vantrel-host, read back and written
// as a page, which headless Chromium opens from the file. Its DOM must hold one chart per
// mode and one row per session, its screenshot the chart lines in their colours, and its
// network log no request made by the page. Skipped where Chromium is not installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    ASSERT_EQ(Chromium(page, {"--window-size=1100,2600", "--screenshot=" + shot.string()}, dir_ / "shot-net.json",
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
