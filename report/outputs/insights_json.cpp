// The insights through nlohmann::json, the form curves written value by value.
#include "insights_json.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "json.h"

namespace vantrel::report {
namespace {

using json = nlohmann::ordered_json;

json RateValue(const Rate& rate) {
    json value{{"matches", rate.matches}, {"wins", rate.wins}, {"rate", nullptr}, {"low", nullptr}, {"high", nullptr}};
    if (const std::optional<Interval> bounds = rate.Bounds()) {
        value["rate"] = *rate.Share();
        value["low"] = bounds->low;
        value["high"] = bounds->high;
    }
    return value;
}

json RoadValue(const Road& road, bool division) {
    if (!road.simulated) return json{{"basis", road.basis}};
    json value{{"target", RatingValue(road.target)}};
    if (division) value["division"] = road.division;
    value["toGo"] = RatingValue(road.toGo);
    value["median"] = nullptr;
    value["low"] = nullptr;
    value["high"] = nullptr;
    if (road.arrived > 0) {
        value["median"] = road.median;
        value["low"] = road.low;
        value["high"] = road.high;
    }
    value["reached"] = road.Reached();
    value["basis"] = road.basis;
    return value;
}

json RatingAtValue(const std::optional<RatingAt>& at) {
    if (!at) return nullptr;
    return json{{"rating", RatingValue(at->rating)}, {"time", FormatLocalTime(at->time)}};
}

json SessionChangeValue(const std::optional<SessionChange>& sum) {
    if (!sum) return nullptr;
    return json{{"session", sum->session}, {"change", RatingValue(sum->change)}};
}

// The keys before the form curve, and those after it.
std::pair<json, json> ModeValues(const ModeInsights& m, bool perMode) {
    json before{{"winRate", RateValue(m.winRate)}, {"form", RateValue(m.form)}};
    json after;
    json hours = json::array();
    for (int h = 0; h < 24; ++h) {
        json rate{{"hour", h}};
        rate.update(RateValue(m.byHour[static_cast<std::size_t>(h)]));
        hours.push_back(std::move(rate));
    }
    after["byHour"] = std::move(hours);
    json days = json::array();
    for (std::size_t d = 0; d < 7; ++d) {
        json rate{{"weekday", WeekdayOfIndex(d)}};
        rate.update(RateValue(m.byWeekday[d]));
        days.push_back(std::move(rate));
    }
    after["byWeekday"] = std::move(days);
    json places = json::array();
    for (std::size_t p = 0; p < kSessionPlaces.size(); ++p) {
        json rate{{"from", kSessionPlaces[p][0]}, {"to", nullptr}};
        if (kSessionPlaces[p][1] > 0) rate["to"] = kSessionPlaces[p][1];
        rate.update(RateValue(m.bySessionMatch[p]));
        places.push_back(std::move(rate));
    }
    after["bySessionMatch"] = std::move(places);
    after["afterWin"] = RateValue(m.afterWin);
    after["afterLoss"] = RateValue(m.afterLoss);
    after["afterLosses2"] = RateValue(m.afterLosses2);
    after["tilt"] = nullptr;
    if (m.tilt) {
        after["tilt"] = json{{"difference", m.tilt->difference}, {"p", m.tilt->p}, {"beyondChance", m.tilt->beyondChance}};
    }
    after["standoutHour"] = nullptr;
    if (m.standoutHour) after["standoutHour"] = json{{"hour", m.standoutHour->bucket}, {"p", m.standoutHour->p}};
    after["standoutWeekday"] = nullptr;
    if (m.standoutWeekday) {
        after["standoutWeekday"] =
            json{{"weekday", WeekdayOfIndex(static_cast<std::size_t>(m.standoutWeekday->bucket))}, {"p", m.standoutWeekday->p}};
    }
    if (perMode) {
        after["next"] = m.next ? RoadValue(*m.next, true) : json(nullptr);
        if (m.goal) after["goal"] = RoadValue(*m.goal, false);
        after["peak"] = RatingAtValue(m.peak);
        after["lowestYear"] = RatingAtValue(m.lowestYear);
        after["bestSession"] = SessionChangeValue(m.bestSession);
        after["worstSession"] = SessionChangeValue(m.worstSession);
    }
    return {std::move(before), std::move(after)};
}

// Text is gathered and handed on in pieces of about this many bytes.
constexpr std::size_t kPiece = 64 * 1024;

void WriteMode(std::string& text, const ModeInsights& m, bool perMode, const std::function<void(std::string_view)>& sink) {
    const auto [before, after] = ModeValues(m, perMode);
    std::string head = before.dump();
    head.pop_back();  // the closing brace: the curve and the rest follow
    text += head;
    text += ",\"formCurve\":[";
    // A rate of 20 matches is one of 21 values: each written once as nlohmann::json would.
    static const std::array<std::string, kFormMatches + 1> shares = [] {
        std::array<std::string, kFormMatches + 1> all;
        for (int w = 0; w <= kFormMatches; ++w) all[static_cast<std::size_t>(w)] = json(static_cast<double>(w) / kFormMatches).dump();
        return all;
    }();
    for (std::size_t i = 0; i < m.formCurve.size(); ++i) {
        if (i > 0) text += ',';
        text += shares[m.formCurve[i]];
        if (text.size() > kPiece) {
            sink(text);
            text.clear();
        }
    }
    text += "],";
    text += std::string_view(after.dump()).substr(1);  // without its opening brace
}

}  // namespace

void WriteInsightsJson(const Insights& insights, const std::function<void(std::string_view)>& sink) {
    std::string text = "{\"modes\":{";
    bool first = true;
    for (std::size_t mode = 0; mode < kModeCount; ++mode) {
        if (!insights.modes[mode]) continue;
        if (!first) text += ',';
        first = false;
        text += json(kModeLabels[mode]).dump();
        text += ':';
        WriteMode(text, *insights.modes[mode], true, sink);
    }
    text += "},\"overall\":";
    WriteMode(text, insights.overall, false, sink);
    text += '}';
    sink(text);
}

std::string InsightsJson(const Insights& insights) {
    std::string all;
    WriteInsightsJson(insights, [&](std::string_view piece) { all += piece; });
    return all;
}

void WriteJsonFile(std::ostream& out, const History& history, const Insights& insights) {
    const auto write = [&](std::string_view text) { out.write(text.data(), static_cast<std::streamsize>(text.size())); };
    // The history's text as /api/history.json has it, but for its closing brace: each piece
    // is written once the next has been made, so the last is known when it comes.
    HistoryJsonPieces pieces(history);
    std::string piece, held;
    while (pieces.Next(history, piece)) {
        write(held);
        held.swap(piece);
        piece.clear();
    }
    if (!held.empty() && held.back() == '}') held.pop_back();
    write(held);
    write(",\"insights\":");
    WriteInsightsJson(insights, write);
    write("}");
}

}  // namespace vantrel::report
