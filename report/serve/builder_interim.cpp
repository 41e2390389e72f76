// Interim HistoryBuilder until the line-by-line rebuild lands: keeps the bytes and rebuilds
// from them whole on each Feed. Same results, quadratic cost; replaced by history.cpp's.
#include <sstream>

#include "rebuild.h"

namespace vantrel::report {

class HistoryBuilder::Rules {
public:
    std::string bytes;
    History history;
    bool finished = false;
    std::size_t seenSessions = 0, seenMatches = 0;
    std::vector<std::optional<float>> seenAfter;
    std::vector<std::uint32_t> seenSession;
};

HistoryBuilder::HistoryBuilder() : rules_(std::make_unique<Rules>()) {}
HistoryBuilder::~HistoryBuilder() = default;

void HistoryBuilder::Feed(std::string_view bytes) {
    rules_->bytes.append(bytes);
    std::string whole = rules_->bytes;
    if (!rules_->finished) {
        const auto lf = whole.rfind('\n');
        whole.resize(lf == std::string::npos ? 0 : lf + 1);
    }
    std::istringstream in(whole);
    rules_->history = ReadHistory(in);
}
void HistoryBuilder::Finish() {
    rules_->finished = true;
    Feed({});
}
const History& HistoryBuilder::history() const { return rules_->history; }
History HistoryBuilder::Release() { return std::move(rules_->history); }
void HistoryBuilder::ReserveForBytes(std::uint64_t) {}

HistoryChanges HistoryBuilder::TakeChanges() {
    Rules& r = *rules_;
    const History& h = r.history;
    HistoryChanges changes;
    changes.firstNewSession = r.seenSessions;
    changes.firstNewMatch = r.seenMatches;
    for (std::size_t i = 0; i < r.seenMatches && i < h.matches.size(); ++i) {
        if (!changes.reshapedFrom && h.matches[i].session != r.seenSession[i]) {
            changes.reshapedFrom = static_cast<std::uint32_t>(i);
        }
        if (h.matches[i].after && !r.seenAfter[i]) changes.ratingsFound.push_back(static_cast<std::uint32_t>(i));
    }
    r.seenSessions = h.sessions.size();
    r.seenMatches = h.matches.size();
    r.seenAfter.clear();
    r.seenSession.clear();
    for (const Match& m : h.matches) {
        r.seenAfter.push_back(m.after);
        r.seenSession.push_back(m.session);
    }
    return changes;
}

}  // namespace vantrel::report
