// The live history: the incremental rebuild's record of changes turned into events.
#include "live_history.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "outputs/insights_json.h"
#include "pages.h"

namespace vantrel::report::serve {
namespace {

// More changes than this in one look make one reset event instead of one event each.
constexpr std::size_t kMaxEventsAtOnce = 1000;

}  // namespace

std::string EventMessage(std::uint64_t id, std::string_view type, std::string_view data) {
    std::string text;
    text.reserve(data.size() + type.size() + 40);
    text += "id: ";
    text += std::to_string(id);
    text += "\nevent: ";
    text += type;
    text += "\ndata: ";
    text += data;
    text += "\n\n";
    return text;
}

LiveHistory::LiveHistory(HtmlOptions page)
    : pageOptions_(std::move(page)), builder_(std::make_unique<HistoryBuilder>()) {}

void LiveHistory::Feed(std::string_view bytes) {
    builder_->Feed(bytes);
    // The last session's end moves with every line, reported or not.
    if (!bytes.empty()) ++version_;
}

void LiveHistory::StartOver(std::string_view reason) {
    builder_ = std::make_unique<HistoryBuilder>();
    known_ = {};
    pendingReset_ = reason;
    ++version_;
    ++epoch_;
}

void LiveHistory::Settle() {
    builder_->TakeChanges();
    known_ = KnownRatings::Of(history());
    pendingReset_.clear();
    ++version_;
}

void LiveHistory::Event(LiveEvent::Kind kind, std::size_t index, std::string_view type, const std::string& data) {
    LiveEvent event;
    event.kind = kind;
    event.index = index;
    event.id = nextId_++;
    event.text = EventMessage(event.id, type, data);
    events_.push_back(std::move(event));
}

std::vector<LiveEvent> LiveHistory::TakeEvents() {
    const HistoryChanges changes = builder_->TakeChanges();
    const History& h = builder_->history();
    const bool any = !pendingReset_.empty() || changes.Any(h.sessions.size(), h.matches.size());
    if (any) ++version_;
    if (changes.reshapedFrom) ++epoch_;
    for (const std::uint32_t index : changes.ratingsFound) known_.Take(h, index);
    for (std::size_t match = changes.firstNewMatch; match < h.matches.size(); ++match) known_.Take(h, match);
    // After a start-over, or more changes at once than a live view follows one by one (a
    // file read whole, a long stretch appended at once), one event says: fetch again.
    const std::size_t count = (h.sessions.size() - std::min(h.sessions.size(), changes.firstNewSession)) +
                              (h.matches.size() - std::min(h.matches.size(), changes.firstNewMatch)) +
                              changes.ratingsFound.size();
    const bool tooMany = count > kMaxEventsAtOnce;
    if (!pendingReset_.empty() || changes.reshapedFrom || tooMany) {
        // Pages start over from the whole history: the sessions they show no longer hold.
        const std::string reason = !pendingReset_.empty() ? pendingReset_ : tooMany ? "many" : "regrouped";
        nlohmann::json data{{"reason", reason}, {"sessions", h.sessions.size()}, {"matches", h.matches.size()}};
        if (changes.reshapedFrom) data["from"] = *changes.reshapedFrom;
        Event(LiveEvent::Kind::Reset, 0, "reset", data.dump());
        const bool restarted = !pendingReset_.empty();
        pendingReset_.clear();
        if (restarted || tooMany) return std::exchange(events_, {});
    }
    for (const std::uint32_t index : changes.ratingsFound) {
        if (index < h.matches.size()) {
            Event(LiveEvent::Kind::Rating, index, "rating",
                  "{\"index\":" + std::to_string(index) + ",\"match\":" + MatchJson(h, index) + "}");
        }
    }
    // Sessions and matches in file order: a session's event before its first match's.
    std::size_t session = changes.firstNewSession;
    for (std::size_t match = changes.firstNewMatch; match <= h.matches.size(); ++match) {
        const std::uint32_t owner = match < h.matches.size() ? h.matches[match].session
                                                              : static_cast<std::uint32_t>(h.sessions.size());
        while (session < h.sessions.size() && session <= owner) {
            Event(LiveEvent::Kind::Session, session, "session",
                  "{\"index\":" + std::to_string(session) + ",\"session\":" + SessionJson(h, session) + "}");
            ++session;
        }
        if (match < h.matches.size()) {
            Event(LiveEvent::Kind::Match, match, "match",
                  "{\"index\":" + std::to_string(match) + ",\"match\":" + MatchJson(h, match) + "}");
        }
    }
    return std::exchange(events_, {});
}

const SessionGlance& LiveHistory::Glance() {
    if (glanceVersion_ != version_) {
        glance_ = GlanceAt(history(), SelectStream(history(), {}, 0), known_);
        glanceVersion_ = version_;
    }
    return glance_;
}

LiveHistory::StreamGlance& LiveHistory::Stream(const StreamSession& stream, LocalSeconds now) {
    // A handful of selections are in use at a time; a query cannot grow this without bound.
    if (streams_.size() > 16) streams_.clear();
    StreamGlance& kept = streams_[stream.Text()];
    const StreamSpan span = SelectStream(history(), stream, now);
    if (kept.version != version_ || !(kept.span == span)) {
        kept.version = version_;
        kept.span = span;
        kept.glance = GlanceAt(history(), span, known_);
        kept.json = nullptr;
    }
    return kept;
}

const SessionGlance& LiveHistory::Glance(const StreamSession& stream, LocalSeconds now) {
    return Stream(stream, now).glance;
}

LiveHistory::Text LiveHistory::GlanceJsonText(const StreamSession& stream, LocalSeconds now) {
    StreamGlance& kept = Stream(stream, now);
    if (!kept.json) kept.json = std::make_shared<const std::string>(SessionGlanceJson(history(), kept.glance, stream));
    return kept.json;
}

template <typename Make>
LiveHistory::Text LiveHistory::CachedText(Cached& cache, Make make) {
    if (cache.version != version_ || !cache.text) {
        cache.text = std::make_shared<const std::string>(make());
        cache.version = version_;
    }
    return cache.text;
}

LiveHistory::Text LiveHistory::GlanceJsonText() {
    return CachedText(glanceJson_, [&] { return SessionGlanceJson(history(), Glance()); });
}

LiveHistory::Text LiveHistory::PageText() {
    return CachedText(page_, [&] {
        std::ostringstream out;
        HtmlOptions options = pageOptions_;
        options.insights = &CurrentInsights();
        WriteHtml(out, history(), options);
        return LivePage(std::move(out).str());
    });
}

LiveHistory::Text LiveHistory::HistoryJsonText(std::size_t wholeUpTo) {
    if (history().matches.size() > wholeUpTo) return nullptr;
    return CachedText(historyJson_, [&] { return HistoryJson(history()); });
}

}  // namespace vantrel::report::serve

namespace vantrel::report::serve {

void LiveHistory::SetInsightOptions(const InsightOptions& options) {
    insightOptions_ = options;
    insightsVersion_ = 0;
    insightsJson_ = {};
    page_ = {};
}

const Insights& LiveHistory::CurrentInsights() {
    if (!insights_ || insightsVersion_ != version_) {
        insights_ = ComputeInsights(history(), insightOptions_);
        insightsVersion_ = version_;
    }
    return *insights_;
}

LiveHistory::Text LiveHistory::InsightsJsonText() {
    return CachedText(insightsJson_, [&] {
        std::string text = "{\"insights\":";
        WriteInsightsJson(CurrentInsights(), [&](std::string_view piece) { text += piece; });
        text += '}';
        return text;
    });
}

}  // namespace vantrel::report::serve
