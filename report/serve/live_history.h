// The history while the log grows: the rebuild fed in pieces (the same rules as the batch
// report), what changed turned into events for the event stream, and the texts served
// (the live page, the history's JSON, the session at a glance) made once per version and
// only when asked for. This is the server's one cache: a reply shares the text it was
// given, so a text replaced meanwhile lives on until its last reply is sent.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/html_report.h"
#include "glance.h"
#include "insights.h"
#include "outputs/json.h"
#include "rebuild.h"

namespace vantrel::report::serve {

struct LiveEvent {
    enum class Kind { Session, Match, Rating, Reset };
    Kind kind = Kind::Match;
    std::size_t index = 0;   // the session's or the match's; unused for Reset
    std::uint64_t id = 0;    // increasing, from 1
    std::string text;        // the whole Server-Sent Events message
};

class LiveHistory {
public:
    explicit LiveHistory(HtmlOptions page = {});

    // Bytes of the log, cut anywhere.
    void Feed(std::string_view bytes);
    // Room for the matches of a file of this size, read next (spares a growing vector's copies).
    void ReserveForBytes(std::uint64_t bytes) { builder_->ReserveForBytes(bytes); }
    // The file was replaced or truncated: everything read is void.
    void StartOver(std::string_view reason);
    // Drops what changed so far without making events of it (the log as found at start).
    void Settle();
    // The events of what changed since the last call (or Settle).
    std::vector<LiveEvent> TakeEvents();

    const History& history() const { return builder_->history(); }
    // Bumped by every change the texts below depend on.
    std::uint64_t version() const { return version_; }
    // Bumped when sessions or matches already read change place (a start-over, a regrouping):
    // a text made in pieces across such a change would not be one history.
    std::uint64_t epoch() const { return epoch_; }

    using Text = std::shared_ptr<const std::string>;
    // The plug-in's last session at a glance, and its JSON.
    const SessionGlance& Glance();
    Text GlanceJsonText();
    // The stream's session at a glance at local time `now` (stream_session.h), and its JSON:
    // made once per version and chosen span, for the few selections in use.
    const SessionGlance& Glance(const StreamSession& stream, LocalSeconds now);
    Text GlanceJsonText(const StreamSession& stream, LocalSeconds now);
    // Every mode's last known rating, kept up to date as the history changes.
    const KnownRatings& Known() const { return known_; }
    // The live page: the --html page of the whole history with its live script.
    Text PageText();
    // The whole history's JSON, up to `wholeUpTo` matches; above that, empty: the caller
    // makes it in pieces while it is sent (HistoryJsonPieces).
    Text HistoryJsonText(std::size_t wholeUpTo);
    // The insights (with their simulated roads), made when asked and kept until the history
    // changes; the page above shows them too.
    void SetInsightOptions(const InsightOptions& options);
    const Insights& CurrentInsights();
    // {"insights": ...}
    Text InsightsJsonText();

private:
    void Event(LiveEvent::Kind kind, std::size_t index, std::string_view type, const std::string& data);

    HtmlOptions pageOptions_;
    std::unique_ptr<HistoryBuilder> builder_;
    std::vector<LiveEvent> events_;
    std::uint64_t nextId_ = 1;
    std::uint64_t version_ = 1;
    std::uint64_t epoch_ = 1;
    std::string pendingReset_;  // reason of a start-over not yet turned into an event

    struct Cached {
        std::uint64_t version = 0;
        Text text;
    };
    template <typename Make>
    Text CachedText(Cached& cache, Make make);
    Cached glanceJson_, page_, historyJson_;
    std::uint64_t glanceVersion_ = 0;
    SessionGlance glance_;
    InsightOptions insightOptions_;
    std::uint64_t insightsVersion_ = 0;
    std::optional<Insights> insights_;
    Cached insightsJson_;
    KnownRatings known_;

    // The glances of the stream's sessions in use, by their text ("gap:30").
    struct StreamGlance {
        std::uint64_t version = 0;
        StreamSpan span;
        SessionGlance glance;
        Text json;
    };
    StreamGlance& Stream(const StreamSession& stream, LocalSeconds now);
    std::map<std::string, StreamGlance> streams_;
};

// "id: N\nevent: TYPE\ndata: DATA\n\n" (DATA holds no line break: JSON as dumped has none).
std::string EventMessage(std::uint64_t id, std::string_view type, std::string_view data);

}  // namespace vantrel::report::serve
