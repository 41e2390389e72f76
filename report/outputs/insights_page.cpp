// The insights' pictures and sentences as markup. Every picture says how many data points
// it draws (data-points) and each point carries a hover title with its figures.
#include "insights_page.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <span>
#include <vector>

#include <fmt/format.h>

#include "chart.h"
#include "html_report.h"
#include "insights_text.h"

namespace vantrel::report {
namespace {

using Out = std::back_insert_iterator<std::string>;

// The small pictures: 320 x 150 user units, so that on a phone (about 300 px across) their
// text keeps its size.
constexpr double kPicWidth = 320, kPicHeight = 150;
constexpr double kPicLeft = 34, kPicRight = 6, kPicTop = 10, kPicBottom = 24;
constexpr double kPicPlotWidth = kPicWidth - kPicLeft - kPicRight, kPicPlotHeight = kPicHeight - kPicTop - kPicBottom;
// The form curve: as wide as the page allows.
constexpr double kFormWidth = 640, kFormHeight = 170;
constexpr double kFormLeft = 58, kFormRight = 10, kFormTop = 12, kFormBottom = 26;
constexpr double kFormPlotWidth = kFormWidth - kFormLeft - kFormRight, kFormPlotHeight = kFormHeight - kFormTop - kFormBottom;
constexpr std::size_t kFormPoints = 400;

constexpr std::string_view kStyle = R"css(
.ins{margin:12px 0 4px;border-top:1px solid #232835;padding-top:8px}
.ins h3{font-size:14px;margin:0 0 6px;color:#b6bdca}
.pics{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(100%,250px),1fr));gap:10px;margin:8px 0}
.ins figure{margin:0;background:#161922;border:1px solid #252a36;border-radius:8px;padding:6px 8px;min-width:0}
.ins figcaption{color:#8f98a9;font-size:12px}
svg.pic{display:block;width:100%;height:auto}
.pic text{fill:#8f98a9;font-size:11px}
.pic .bar{fill:var(--c);fill-opacity:.7}
.pic .few .bar{fill-opacity:.2}
.pic .wh{stroke:#e4e7ee;stroke-width:1.2;fill:none}
.pic .few .wh{stroke-opacity:.3}
.pic .few text{fill-opacity:.5}
.pic .mid{stroke:#6b7385;stroke-dasharray:3 4}
.pic .band{fill:var(--c);fill-opacity:.2}
.pic .line{fill:none;stroke:var(--c);stroke-opacity:.85;stroke-width:2;stroke-linejoin:round}
.pic .range{fill:var(--c);fill-opacity:.35}
.pic .med{stroke:#e4e7ee;stroke-width:2.5}
.says{margin:6px 0 4px;padding-left:18px;color:#b6bdca}
.says li{margin:2px 0}
@media (max-width:600px){svg.form text{font-size:22px}}
)css";

std::string Percent(double share) { return fmt::format("{}%", std::lround(100.0 * share)); }

// Bars of won shares with their 95% whiskers, one per bucket, labelled every `labelEvery`.
void WriteBars(std::string& page, std::string_view name, std::span<const Rate> rates,
               std::span<const std::string> labels, std::size_t labelEvery) {
    Out out(page);
    const double slot = kPicPlotWidth / static_cast<double>(rates.size());
    const double barWidth = std::min(slot * 0.7, 40.0);
    const auto Y = [](double share) { return kPicTop + kPicPlotHeight * (1 - share); };
    fmt::format_to(out, "<svg class=\"pic\" viewBox=\"0 0 {} {}\" role=\"img\" data-chart=\"{}\" data-points=\"{}\">",
                   kPicWidth, kPicHeight, name, rates.size());
    for (const double share : {0.0, 0.5, 1.0}) {
        fmt::format_to(out, "<text x=\"{}\" y=\"{:.1f}\" text-anchor=\"end\">{}</text>", kPicLeft - 4, Y(share) + 4,
                       Percent(share));
    }
    fmt::format_to(out, "<line class=\"mid\" x1=\"{}\" x2=\"{}\" y1=\"{:.1f}\" y2=\"{:.1f}\"/>", kPicLeft,
                   kPicLeft + kPicPlotWidth, Y(0.5), Y(0.5));
    for (std::size_t i = 0; i < rates.size(); ++i) {
        const Rate& rate = rates[i];
        const double centre = kPicLeft + slot * (static_cast<double>(i) + 0.5);
        fmt::format_to(out, "<g class=\"pt{}\"><title>", rate.matches < kFewMatches ? " few" : "");
        EscapeHtml(page, labels[i]);
        fmt::format_to(out, ": {}</title>", RateText(rate));
        if (rate.matches > 0) {
            const Interval bounds = *rate.Bounds();
            const double top = Y(*rate.Share());
            fmt::format_to(out, "<rect class=\"bar\" x=\"{:.1f}\" y=\"{:.1f}\" width=\"{:.1f}\" height=\"{:.1f}\"/>",
                           centre - barWidth / 2, top, barWidth, Y(0) - top);
            const double cap = std::min(barWidth / 2, 5.0);
            fmt::format_to(out, "<path class=\"wh\" d=\"M{0:.1f} {1:.1f}V{2:.1f}M{3:.1f} {1:.1f}H{4:.1f}M{3:.1f} {2:.1f}H{4:.1f}\"/>",
                           centre, Y(bounds.high), Y(bounds.low), centre - cap, centre + cap);
        }
        if (i % labelEvery == 0) {
            fmt::format_to(out, "<text x=\"{:.1f}\" y=\"{}\" text-anchor=\"middle\">", centre, kPicHeight - 8);
            EscapeHtml(page, labels[i]);
            page += "</text>";
        }
        page += "</g>";
    }
    page += "</svg>";
}

// The rolling share of the last 20 matches won, with its 95% band.
void WriteFormCurve(std::string& page, const ModeInsights& m) {
    Out out(page);
    const std::size_t n = m.formCurve.size();
    std::vector<float> shares(n);
    for (std::size_t i = 0; i < n; ++i) shares[i] = static_cast<float>(m.formCurve[i]) / kFormMatches;
    const std::vector<std::size_t> kept = Downsample(shares, kFormPoints);
    const auto X = [&](std::size_t i) {
        return n > 1 ? kFormLeft + kFormPlotWidth * static_cast<double>(i) / static_cast<double>(n - 1)
                     : kFormLeft + kFormPlotWidth / 2;
    };
    const auto Y = [](double share) { return kFormTop + kFormPlotHeight * (1 - share); };
    const auto bounds = [&](std::size_t i) { return *WilsonInterval(m.formCurve[i], kFormMatches); };
    fmt::format_to(out,
                   "<figure><figcaption>Form: the share of the last {} matches won after each match, with its 95% "
                   "band</figcaption><svg class=\"pic form\" viewBox=\"0 0 {} {}\" role=\"img\" data-chart=\"form\" "
                   "data-points=\"{}\" data-matches=\"{}\">",
                   kFormMatches, kFormWidth, kFormHeight, kept.size(), n);
    for (const double share : {0.0, 0.5, 1.0}) {
        fmt::format_to(out, "<text x=\"{}\" y=\"{:.1f}\" text-anchor=\"end\">{}</text>", kFormLeft - 6, Y(share) + 4,
                       Percent(share));
    }
    fmt::format_to(out, "<line class=\"mid\" x1=\"{}\" x2=\"{}\" y1=\"{:.1f}\" y2=\"{:.1f}\"/>", kFormLeft,
                   kFormLeft + kFormPlotWidth, Y(0.5), Y(0.5));
    page += "<polygon class=\"band\" points=\"";
    for (const std::size_t i : kept) fmt::format_to(out, "{:.1f},{:.1f} ", X(i), Y(bounds(i).high));
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) fmt::format_to(out, "{:.1f},{:.1f} ", X(*it), Y(bounds(*it).low));
    page += "\"/><polyline class=\"line\" points=\"";
    for (const std::size_t i : kept) fmt::format_to(out, "{:.1f},{:.1f} ", X(i), Y(shares[i]));
    fmt::format_to(out, "\"/><text x=\"{}\" y=\"{}\">match {}</text><text x=\"{}\" y=\"{}\" text-anchor=\"end\">{}</text>",
                   kFormLeft, kFormHeight - 6, kFormMatches, kFormLeft + kFormPlotWidth, kFormHeight - 6,
                   Thousands(static_cast<long long>(n + kFormMatches - 1)));
    page += "</svg></figure>";
}

// The matches needed: the range of 8 runs in 10 and the median, on a scale of matches.
void WriteRoad(std::string& page, const Road& road, std::string_view caption) {
    Out out(page);
    const double scaleEnd = std::max(5.0, std::ceil(road.high * 1.2));
    const auto X = [&](double matches) { return kPicLeft + kPicPlotWidth * matches / scaleEnd; };
    page += "<figure><figcaption>";
    EscapeHtml(page, caption);
    fmt::format_to(out,
                   "</figcaption><svg class=\"pic\" viewBox=\"0 0 {} 84\" role=\"img\" data-chart=\"road\" "
                   "data-points=\"3\"><title>about {} matches; 8 runs in 10 need {} to {}</title>",
                   kPicWidth, road.median, road.low, road.high);
    fmt::format_to(out, "<rect class=\"range\" x=\"{:.1f}\" y=\"14\" width=\"{:.1f}\" height=\"22\" rx=\"3\"/>", X(road.low),
                   std::max(2.0, X(road.high) - X(road.low)));
    fmt::format_to(out, "<line class=\"med\" x1=\"{0:.1f}\" x2=\"{0:.1f}\" y1=\"10\" y2=\"40\"/>", X(road.median));
    fmt::format_to(out, "<line class=\"mid\" x1=\"{}\" x2=\"{}\" y1=\"50\" y2=\"50\"/>", kPicLeft, kPicLeft + kPicPlotWidth);
    for (const double tick : AxisTicks(0, scaleEnd, 5)) {
        fmt::format_to(out, "<text x=\"{:.1f}\" y=\"65\" text-anchor=\"middle\">{:g}</text>", X(tick), tick);
    }
    fmt::format_to(out, "<text x=\"{}\" y=\"81\" text-anchor=\"end\">matches</text></svg></figure>", kPicLeft + kPicPlotWidth);
}

}  // namespace

std::string_view InsightsStyle() { return kStyle; }

void WriteInsightsPart(std::string& page, const ModeInsights& m, int mode) {
    const bool perMode = mode < kModeCount;
    page += "<div class=\"ins\"><h3>Insights</h3>";
    if (!m.formCurve.empty()) WriteFormCurve(page, m);
    page += "<div class=\"pics\">";
    std::vector<std::string> labels;
    for (int h = 0; h < 24; ++h) labels.push_back(fmt::format("{:02d}:00", h));
    page += "<figure><figcaption>Won by hour of the day</figcaption>";
    WriteBars(page, "hours", m.byHour, labels, 6);
    page += "</figure><figure><figcaption>Won by weekday</figcaption>";
    labels.clear();
    for (std::size_t d = 0; d < 7; ++d) labels.emplace_back(WeekdayOfIndex(d));
    WriteBars(page, "weekdays", m.byWeekday, labels, 1);
    page += "</figure><figure><figcaption>Won after a win or a loss in the same session</figcaption>";
    const std::array<Rate, 3> after{m.afterWin, m.afterLoss, m.afterLosses2};
    labels = {"after a win", "after a loss", "after 2+ losses"};
    WriteBars(page, "after", after, labels, 1);
    page += "</figure>";
    if (perMode && m.next && m.next->simulated && m.next->Reached() >= 0.5) {
        WriteRoad(page, *m.next, "Matches to " + m.next->division);
    }
    if (perMode && m.goal && m.goal->simulated && m.goal->toGo > 0 && m.goal->Reached() >= 0.5) {
        WriteRoad(page, *m.goal, fmt::format("Matches to your goal {:.2f}", m.goal->target));
    }
    page += "</div><ul class=\"says\">";
    const std::vector<std::string> sentences =
        InsightSentences(m, perMode ? kModeLabels[static_cast<std::size_t>(mode)] : "All modes", perMode);
    for (const std::string& sentence : sentences) {
        page += "<li>";
        EscapeHtml(page, sentence);
        page += "</li>";
    }
    page += "</ul></div>";
}

}  // namespace vantrel::report
