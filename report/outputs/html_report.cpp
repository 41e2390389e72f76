// The page: a header with one card per mode, a chart per mode (inline SVG: the rating
// after each match, session boundaries, the rank divisions as bands behind it), then the
// session table and the match table. Everything is inline (CSS and SVG, no script), so the
// file opens anywhere without a network. The page is built in one string and written once.
#include "html_report.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <ostream>
#include <string_view>

#include <fmt/format.h>

#include "calendar.h"
#include "chart.h"
#include "divisions.h"
#include "insights_page.h"
#include "summary.h"

namespace vantrel::report {
namespace {

// Line colours per mode: hues that no rank band uses (pink, green, white), so a line stands
// out from the divisions behind it. "Other" has no bands. Only the chart's line and points
// are drawn in the exact colour (headings and keys are dimmed), which keeps the line
// findable in a screenshot.
constexpr std::array<std::string_view, kModeCount> kModeColours{"#ff4f9a", "#36d67a", "#f2f2f2", "#8fa3ff"};

// Chart geometry in SVG user units; the chart scales to the page width.
constexpr double kWidth = 960, kHeight = 300;
constexpr double kLeft = 56, kRight = 74, kTop = 26, kBottom = 30;
constexpr double kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kHeight - kTop - kBottom;
// More boundaries than this would blacken the chart: the top axis then shows dates only.
constexpr std::size_t kMaxSessionLines = 150;
constexpr double kMinLabelHeight = 12;  // px: a band narrower than this gets no label of its own

using Out = std::back_insert_iterator<std::string>;

void Escape(std::string& page, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&': page += "&amp;"; break;
            case '<': page += "&lt;"; break;
            case '>': page += "&gt;"; break;
            case '"': page += "&quot;"; break;
            case '\'': page += "&#39;"; break;
            default: page += c;
        }
    }
}

std::string Stamp(LocalSeconds t) { return FormatDate(t) + ' ' + FormatClock(t); }

std::string_view ChangeClass(float change) { return change > 0 ? "up" : change < 0 ? "down" : "flat"; }

const char* kStyle = R"css(
:root{color-scheme:dark}
*{box-sizing:border-box}
body{margin:0;background:#0e1016;color:#e4e7ee;font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif}
main{max-width:1060px;margin:0 auto;padding:28px 24px 40px}
h1{font-size:24px;margin:0 0 2px;letter-spacing:.2px}
h2{font-size:17px;margin:0 0 8px}
h2 small,.sub,.note,footer{color:#8f98a9;font-weight:400}
.sub{margin:0 0 20px}
.cards{display:grid;grid-template-columns:repeat(auto-fit,minmax(200px,1fr));gap:12px;margin:0 0 22px}
.card{background:#161922;border:1px solid #252a36;border-top:3px solid color-mix(in srgb,var(--c) 85%,#161922);border-radius:10px;padding:12px 14px}
.card h3{margin:0 0 4px;font-size:15px;color:var(--c);opacity:.9}
.card .big{font-size:26px;font-weight:650;font-variant-numeric:tabular-nums}
.card p{margin:2px 0;color:#b6bdca;font-size:13px}
.mode{background:#141720;border:1px solid #232835;border-radius:12px;padding:14px 16px 10px;margin:0 0 18px}
.mode h2{color:var(--c);opacity:.9}
svg.chart{display:block;width:100%;height:auto}
.chart text{fill:#8f98a9;font-size:11px}
.chart .band text{font-weight:600}
.chart .grid{stroke:#262b37}
.chart .sess{stroke:#6b7385;stroke-dasharray:3 4;fill:none}
.chart .line{fill:none;stroke:var(--c);stroke-width:2.5;stroke-linejoin:round;stroke-linecap:round}
.chart circle{fill:var(--c);stroke:#141720;stroke-width:1}
.chart circle.l{fill:#141720;stroke:var(--c);stroke-width:1.6}
.chart circle:hover{stroke:#fff;stroke-width:2}
.legend{color:#8f98a9;font-size:12px;margin:4px 0 0;opacity:.9}
.legend i{display:inline-block;width:9px;height:9px;border-radius:50%;background:var(--c);margin:0 4px 0 10px}
.legend i.l{background:none;border:1.6px solid var(--c)}
.tablebox{background:#141720;border:1px solid #232835;border-radius:12px;padding:10px 6px;margin:0 0 18px;overflow-x:auto}
.tablebox h2{padding:4px 10px 0}
table{border-collapse:collapse;width:100%;font-variant-numeric:tabular-nums}
th,td{padding:5px 10px;border-bottom:1px solid #20242f;text-align:right;white-space:nowrap}
th{color:#8f98a9;font-weight:600}
tbody tr:hover{background:#1a1e29}
.t{text-align:left}
.r{color:#8f98a9;font-size:12px}
.up{color:#4ade80}.down{color:#f87171}.flat{color:#b6bdca}.unk,.none{color:#6f788a;font-style:italic}
.won{color:#4ade80}.lost{color:#f87171}
.note{padding:6px 10px 0;margin:0}
footer{font-size:12px;margin-top:8px}
)css";

// One mode's series: the matches whose rating after is known, in file order.
struct Series {
    std::vector<std::uint32_t> match;  // index into History::matches
    std::vector<float> rating;         // that match's rating after
};

Series SeriesOf(const History& history, int mode) {
    Series series;
    for (std::size_t i = 0; i < history.matches.size(); ++i) {
        const Match& m = history.matches[i];
        if (m.mode != mode || !m.after || !std::isfinite(*m.after)) continue;
        series.match.push_back(static_cast<std::uint32_t>(i));
        series.rating.push_back(*m.after);
    }
    return series;
}

void WriteCard(std::string& page, int mode, const ModeSummary& summary, const std::vector<RankBand>& bands) {
    Out out(page);
    fmt::format_to(out, "<div class=\"card\" style=\"--c:{}\"><h3>{}</h3>", kModeColours[mode], kModeLabels[mode]);
    if (summary.lastRating) {
        fmt::format_to(out, "<div class=\"big\">{:.2f}</div>", *summary.lastRating);
    } else {
        page += "<div class=\"big none\">no rating</div>";
    }
    const double rate = summary.matches > 0 ? 100.0 * summary.wins / summary.matches : 0.0;
    fmt::format_to(out, "<p>{} {} &#183; {}&ndash;{} &#183; {:.0f}% won</p>", summary.matches,
                   summary.matches == 1 ? "match" : "matches", summary.wins, summary.losses, rate);
    if (summary.firstRating && summary.lastRating) {
        const float change = *summary.lastRating - *summary.firstRating;
        fmt::format_to(out, "<p title=\"since the first match\"><span class=\"{}\">{:+.2f}</span> overall", ChangeClass(change), change);
        if (summary.peakRating) fmt::format_to(out, " &#183; peak {:.2f}", *summary.peakRating);
        page += "</p>";
    }
    fmt::format_to(out, "<p>streaks: {} won, {} lost</p>", summary.longestWinStreak, summary.longestLossStreak);
    if (summary.lastRating) {
        if (const std::optional<RankBand> band = BandOf(bands, *summary.lastRating)) {
            fmt::format_to(out, "<p title=\"the division whose ratings hold the last one\">{}", band->Label());
            if (std::isfinite(band->end)) {
                fmt::format_to(out, " &#183; {:.2f} to go", band->end - *summary.lastRating);
            }
            page += "</p>";
        }
    }
    page += "</div>";
}

void WriteChart(std::string& page, const History& history, int mode, const Series& series,
                const std::vector<RankBand>& bands, const HtmlOptions& options) {
    Out out(page);
    const std::size_t n = series.rating.size();
    const auto [lowIt, highIt] = std::minmax_element(series.rating.begin(), series.rating.end());
    double low = *lowIt, high = *highIt;
    if (high - low < 20) {  // a flat series still gets a readable scale
        const double middle = (low + high) / 2;
        low = middle - 10;
        high = middle + 10;
    }
    const double pad = (high - low) * 0.06;
    low -= pad;
    high += pad;
    const auto X = [&](std::size_t i) {
        return n > 1 ? kLeft + kPlotWidth * static_cast<double>(i) / static_cast<double>(n - 1)
                     : kLeft + kPlotWidth / 2;
    };
    const auto Y = [&](double rating) { return kTop + kPlotHeight * (high - rating) / (high - low); };

    const std::vector<std::size_t> kept = Downsample(series.rating, options.maxChartPoints);
    fmt::format_to(out,
                   "<svg class=\"chart\" viewBox=\"0 0 {} {}\" role=\"img\" data-mode=\"{}\" data-points=\"{}\" "
                   "data-matches=\"{}\"><title>{} rating after each match</title>",
                   kWidth, kHeight, kModeLabels[mode], kept.size(), n, kModeLabels[mode]);

    // The rank divisions behind everything, clipped to the plotted range.
    if (!bands.empty()) {
        page += "<g class=\"band\">";
        std::string labels;
        Out labelOut(labels);
        for (std::size_t b = 0; b < bands.size(); ++b) {
            const RankBand& band = bands[b];
            const double top = std::min(band.end, high), bottom = std::max(band.start, low);
            if (top <= bottom) continue;
            const RankEntry& e = *band.entry;
            fmt::format_to(out,
                           "<rect x=\"{}\" y=\"{:.1f}\" width=\"{}\" height=\"{:.1f}\" "
                           "fill=\"rgb({},{},{})\" fill-opacity=\"{}\"/>",
                           kLeft, Y(top), kPlotWidth, Y(bottom) - Y(top), e.red, e.green, e.blue,
                           band.division % 2 == 0 ? ".13" : ".21");
            if (band.division == 0 && band.start >= low) {
                fmt::format_to(out,
                               "<line x1=\"{}\" x2=\"{}\" y1=\"{:.1f}\" y2=\"{:.1f}\" stroke=\"rgb({},{},{})\" "
                               "stroke-opacity=\".5\"/>",
                               kLeft, kLeft + kPlotWidth, Y(band.start), Y(band.start), e.red, e.green, e.blue);
            }
            // A division tall enough gets its own label; otherwise the tier is labelled once,
            // over the part of it that is shown.
            const double height = Y(bottom) - Y(top);
            if (height >= kMinLabelHeight) {
                fmt::format_to(labelOut, "<text x=\"{}\" y=\"{:.1f}\" style=\"fill:rgb({},{},{})\">{}</text>",
                               kLeft + kPlotWidth + 8, (Y(top) + Y(bottom)) / 2 + 4, e.red, e.green, e.blue,
                               band.Label());
            } else if (band.division == 0 || bottom == low) {
                double tierTop = top;
                bool roomy = true;
                for (std::size_t k = b; k < bands.size() && bands[k].tier == band.tier; ++k) {
                    const double t = std::min(bands[k].end, high);
                    if (t > bands[k].start) tierTop = std::max(tierTop, t);
                    if (Y(std::max(bands[k].start, low)) - Y(t) >= kMinLabelHeight) roomy = false;
                }
                const double span = Y(bottom) - Y(tierTop);
                if (roomy && span >= kMinLabelHeight) {
                    fmt::format_to(labelOut, "<text x=\"{}\" y=\"{:.1f}\" style=\"fill:rgb({},{},{})\">{}</text>",
                                   kLeft + kPlotWidth + 8, (Y(tierTop) + Y(bottom)) / 2 + 4, e.red, e.green, e.blue,
                                   e.label);
                }
            }
        }
        page += labels;
        page += "</g>";
    }

    // Rating grid and labels on the left.
    for (const double tick : AxisTicks(low, high, 5)) {
        fmt::format_to(out,
                       "<line class=\"grid\" x1=\"{}\" x2=\"{}\" y1=\"{:.1f}\" y2=\"{:.1f}\"/>"
                       "<text x=\"{}\" y=\"{:.1f}\" text-anchor=\"end\">{:g}</text>",
                       kLeft, kLeft + kPlotWidth, Y(tick), Y(tick), kLeft - 8, Y(tick) + 4, tick);
    }
    // Match numbers along the bottom.
    fmt::format_to(out, "<text x=\"{}\" y=\"{}\" text-anchor=\"end\">match</text>", kLeft - 8, kHeight - 10);
    if (n > 1) {
        for (const double tick : AxisTicks(1, static_cast<double>(n), 8)) {
            const auto i = static_cast<std::size_t>(tick) - 1;
            fmt::format_to(out, "<text x=\"{:.1f}\" y=\"{}\" text-anchor=\"middle\">{}</text>", X(i),
                           kHeight - 10, i + 1);
        }
    }

    // Session boundaries (between the last match of one session and the first of the next)
    // and the days along the top.
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 1; i < n; ++i) {
        if (history.matches[series.match[i]].session != history.matches[series.match[i - 1]].session) {
            starts.push_back(i);
        }
    }
    const bool lines = starts.size() - 1 <= kMaxSessionLines;
    if (lines && starts.size() > 1) {
        page += "<path class=\"sess\" d=\"";
        for (std::size_t s = 1; s < starts.size(); ++s) {
            fmt::format_to(out, "M{:.1f} {}V{}", (X(starts[s] - 1) + X(starts[s])) / 2, kTop - 4, kTop + kPlotHeight);
        }
        page += "\"/>";
    }
    std::vector<std::size_t> dated;
    if (lines) {
        dated = starts;
    } else {
        for (int k = 0; k < 6; ++k) dated.push_back((n - 1) * static_cast<std::size_t>(k) / 5);
    }
    double lastLabel = -1e9;
    std::string lastDay;
    for (const std::size_t i : dated) {
        const LocalSeconds t = history.matches[series.match[i]].time;
        std::string day = FormatShortDay(t);
        const double x = lines && i > 0 ? (X(i - 1) + X(i)) / 2 : X(i);
        if (day == lastDay || x - lastLabel < 80 || x > kLeft + kPlotWidth - 20) continue;
        fmt::format_to(out, "<text x=\"{:.1f}\" y=\"{}\">{}</text>", x + 3, kTop - 10, day);
        lastLabel = x;
        lastDay = std::move(day);
    }

    // The line, then the points with their hover titles.
    page += "<polyline class=\"line\" points=\"";
    for (const std::size_t i : kept) fmt::format_to(out, "{:.1f},{:.1f} ", X(i), Y(series.rating[i]));
    page += "\"/><g>";
    const char* radius = kept.size() <= 80 ? "3.4" : "2.6";  // few points: easier to hover
    for (const std::size_t i : kept) {
        const Match& m = history.matches[series.match[i]];
        const std::optional<float> change = m.change();
        fmt::format_to(out, "<circle{} cx=\"{:.1f}\" cy=\"{:.1f}\" r=\"{}\"><title>{} · session {} · {} · ",
                       m.won ? "" : " class=\"l\"", X(i), Y(*m.after), radius, Stamp(m.time), m.session + 1,
                       m.won ? "won" : "lost");
        if (change) {
            fmt::format_to(out, "{:.2f} → {:.2f} ({:+.2f})</title></circle>", m.before, *m.after, *change);
        } else {
            fmt::format_to(out, "{:.2f}, the first rating known</title></circle>", *m.after);
        }
    }
    page += "</g></svg>";

    fmt::format_to(out, "<p class=\"legend\"><i></i>won<i class=\"l\"></i>lost");
    if (lines && starts.size() > 1) page += " &#183; dashed lines: a new session";
    if (!bands.empty()) fmt::format_to(out, " &#183; bands: the {} rank divisions", kModeLabels[mode]);
    if (kept.size() < n) {
        fmt::format_to(out, " &#183; {} of {} points drawn (the highest and lowest of each stretch)", kept.size(), n);
    }
    page += "</p>";
}

void WriteSessionTable(std::string& page, const History& history, const std::array<bool, kModeCount>& shown,
                       const HtmlOptions& options) {
    Out out(page);
    const std::vector<SessionSummary> summaries = SummariseSessions(history);
    const std::size_t total = history.sessions.size();
    const std::size_t rows = std::min(total, options.maxSessionRows);
    fmt::format_to(out, "<div class=\"tablebox\"><h2>Sessions <small>newest first</small></h2>");
    if (rows < total) {
        fmt::format_to(out, "<p class=\"note\">The newest {} of {} sessions; the terminal report lists them all.</p>",
                       rows, total);
    }
    page += "<table class=\"sessions\"><thead><tr><th>#</th><th class=\"t\">date</th><th class=\"t\">time</th>"
            "<th>matches</th>";
    for (int mode = 0; mode < kModeCount; ++mode) {
        if (shown[mode]) fmt::format_to(out, "<th>{}</th>", kModeLabels[mode]);
    }
    page += "</tr></thead><tbody>";
    for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t index = total - 1 - r;
        const Session& session = history.sessions[index];
        fmt::format_to(out, "<tr class=\"session\"><td>{}</td><td class=\"t\">{} {}</td><td class=\"t\">{}&ndash;{}",
                       index + 1, WeekdayName(std::chrono::weekday{DayOf(session.start)}), FormatDate(session.start),
                       FormatClock(session.start), FormatClock(session.end));
        if (DayOf(session.end) != DayOf(session.start)) {
            fmt::format_to(out, " <span class=\"r\">{}</span>", FormatDate(session.end));
        }
        if (!session.loadSeen) page += " <span class=\"r\" title=\"no start-up line: begun where the counts restart\">&#8776;</span>";
        fmt::format_to(out, "</td><td>{}</td>", session.matchCount);
        for (int mode = 0; mode < kModeCount; ++mode) {
            if (!shown[mode]) continue;
            const ModeTally& tally = summaries[index].modes[mode];
            if (tally.wins + tally.losses == 0) {
                page += "<td class=\"none\">&ndash;</td>";
                continue;
            }
            fmt::format_to(out, "<td>{}&ndash;{} ", tally.wins, tally.losses);
            // No match of the mode had a known change: no "+0.00", the marker of unknown.
            if (tally.knownChanges > 0) {
                fmt::format_to(out, "<span class=\"{}\">{:+.2f}</span>", ChangeClass(tally.change), tally.change);
            } else {
                page += "<span class=\"unk\">&ndash;</span>";
            }
            if (tally.lastRating) fmt::format_to(out, "<div class=\"r\">{:.2f}</div>", *tally.lastRating);
            page += "</td>";
        }
        page += "</tr>";
    }
    page += "</tbody></table></div>";
}

void WriteMatchTable(std::string& page, const History& history, const HtmlOptions& options) {
    Out out(page);
    const std::size_t total = history.matches.size();
    const std::size_t rows = std::min(total, options.maxMatchRows);
    page += "<div class=\"tablebox\"><h2>Matches <small>newest first</small></h2>";
    if (rows < total) {
        fmt::format_to(out,
                       "<p class=\"note\">The newest {} of {} matches; <code>vantrel-report --csv</code> writes "
                       "every one.</p>",
                       rows, total);
    }
    page += "<table class=\"matches\"><thead><tr><th class=\"t\">time</th><th>session</th><th class=\"t\">mode</th>"
            "<th class=\"t\">result</th><th>before</th><th>after</th><th>change</th></tr></thead><tbody>";
    for (std::size_t r = 0; r < rows; ++r) {
        const Match& m = history.matches[total - 1 - r];
        fmt::format_to(out,
                       "<tr><td class=\"t\">{}</td><td>{}</td><td class=\"t\">{}</td><td class=\"t {}\">{}</td>",
                       Stamp(m.time), m.session + 1, kModeLabels[m.mode % kModeCount], m.won ? "won" : "lost",
                       m.won ? "won" : "lost");
        // 0.00 is the plug-in's "no rating yet", not a rating.
        if (m.before != 0.0f) {
            fmt::format_to(out, "<td>{:.2f}</td>", m.before);
        } else {
            page += "<td class=\"unk\" title=\"the plug-in knew no rating for this mode yet\">&ndash;</td>";
        }
        if (m.after) {
            fmt::format_to(out, "<td>{:.2f}</td>", *m.after);
        } else {
            page += "<td class=\"unk\">unknown</td>";
        }
        if (const std::optional<float> change = m.change()) {
            fmt::format_to(out, "<td class=\"{}\">{:+.2f}</td></tr>", ChangeClass(*change), *change);
        } else {
            page += "<td class=\"unk\">&ndash;</td></tr>";
        }
    }
    page += "</tbody></table></div>";
}

}  // namespace

void EscapeHtml(std::string& page, std::string_view text) { Escape(page, text); }

void WriteHtml(std::ostream& stream, const History& history, const HtmlOptions& options) {
    std::string page;
    page.reserve(256 * 1024);
    Out out(page);
    std::array<std::vector<RankBand>, kModeCount> bands;
    for (std::size_t mode = 0; mode < bands.size(); ++mode) bands[mode] = ModeDivisions(mode);
    const std::array<ModeSummary, kModeCount> modes = SummariseModes(history);
    std::array<bool, kModeCount> shown{};
    for (int mode = 0; mode < kModeCount; ++mode) shown[mode] = modes[mode].matches > 0;
    std::optional<Insights> computed;
    const Insights* insights = options.insights;
    if (insights == nullptr) insights = &computed.emplace(ComputeInsights(history));

    page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\"><title>";
    Escape(page, options.title);
    page += "</title><style>";
    page += kStyle;
    page += InsightsStyle();
    page += "</style></head><body><main><h1>";
    Escape(page, options.title);
    page += "</h1><p class=\"sub\">";
    if (!options.sourceName.empty()) {
        page += "<code>";
        Escape(page, options.sourceName);
        page += "</code> &#183; ";
    }
    fmt::format_to(out, "{} {}, {} {}", history.sessions.size(), history.sessions.size() == 1 ? "session" : "sessions",
                   history.matches.size(), history.matches.size() == 1 ? "match" : "matches");
    if (!history.sessions.empty()) {
        fmt::format_to(out, " &#183; {} to {}", FormatDate(history.sessions.front().start), FormatDate(history.sessions.back().end));
    }
    page += "</p>";

    if (history.matches.empty()) page += "<p class=\"none\">No match in this log.</p>";
    page += "<div class=\"cards\">";
    for (int mode = 0; mode < kModeCount; ++mode) {
        if (shown[mode]) WriteCard(page, mode, modes[mode], bands[mode]);
    }
    page += "</div>";

    for (int mode = 0; mode < kModeCount; ++mode) {
        if (!shown[mode]) continue;
        fmt::format_to(out, "<section class=\"mode\" style=\"--c:{}\"><h2>{} <small>rating after each match</small></h2>",
                       kModeColours[mode], kModeLabels[mode]);
        const Series series = SeriesOf(history, mode);
        if (series.rating.empty()) {
            fmt::format_to(out, "<p class=\"none\">No rating was found after any {} match.</p>", kModeLabels[mode]);
        } else {
            WriteChart(page, history, mode, series, bands[mode], options);
        }
        if (insights->modes[mode]) WriteInsightsPart(page, *insights->modes[mode], mode);
        page += "</section>";
    }
    if (std::count(shown.begin(), shown.end(), true) > 1) {
        page += "<section class=\"mode\" style=\"--c:#c9ced8\"><h2>All modes <small>together</small></h2>";
        WriteInsightsPart(page, insights->overall, kModeCount);
        page += "</section>";
    }

    if (!history.sessions.empty()) WriteSessionTable(page, history, shown, options);
    if (!history.matches.empty()) WriteMatchTable(page, history, options);

    fmt::format_to(out, "<footer>Made by vantrel-report from {} log lines", history.stats.lines);
    if (history.stats.unreadable > 0) {
        fmt::format_to(out, "; {} could not be read (the first is line {})", history.stats.unreadable,
                       history.stats.firstUnreadableLine);
    }
    page += ".</footer></main></body></html>\n";
    stream.write(page.data(), static_cast<std::streamsize>(page.size()));
}

}  // namespace vantrel::report
