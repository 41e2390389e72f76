// The stream as a session: which of the history's matches the overlay, /api/session.json,
// /api/text and the text files count as "this session". The plug-in's own sessions (one
// load each) split a stream at every game restart and never at midnight; a streamer may
// rather count matches close together, or everything since the stream began.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "history.h"

namespace vantrel::report::serve {

struct StreamSession {
    enum class Kind { Load, Gap, Since };
    Kind kind = Kind::Load;
    int minutes = 0;  // Gap: the longest pause, in minutes, inside one session (1 to 1440)
    int hour = 0;     // Since: the local time the session begins, today or yesterday
    int minute = 0;

    // "load", "gap:30", "since:18:00": the form ParseStreamSession reads.
    std::string Text() const;
    bool operator==(const StreamSession&) const = default;
};

// "load", "gap:MIN" (1 to 1440) or "since:HH:MM" (00:00 to 23:59); none for anything else.
std::optional<StreamSession> ParseStreamSession(std::string_view text);

// The matches of the stream's session: always the newest ones, matches[first, end of the
// history). `plugin` is the plug-in's session they are counted in for Load (the last
// one, also when it has no match yet), else the session of the last match chosen; none
// when the history has no session.
struct StreamSpan {
    std::size_t first = 0;
    std::optional<std::size_t> plugin;  // 0-based
    bool operator==(const StreamSpan&) const = default;
};

// `now` is the local time of this machine's clock, on the log's calendar (the plug-in
// stamps its lines with the same clock):
// - Load: the last session of the plug-in;
// - Gap: the newest matches with no more than `minutes` between one and the next (in file
//   order; a stamp that goes back counts as no pause), and none once `now` is more than
//   `minutes` past the last of them: the next match begins a new session;
// - Since: the newest matches stamped at or after HH:MM today, or yesterday while HH:MM is
//   still ahead of `now`; a stamp before it ends the walk back (file order decides).
StreamSpan SelectStream(const History& history, const StreamSession& session, LocalSeconds now);

// The moment `since:HH:MM` begins at `now`: today at HH:MM, or yesterday while that is ahead.
LocalSeconds SinceStart(const StreamSession& session, LocalSeconds now);

// This machine's local time now, as the log's stamps count it.
LocalSeconds LocalNow();

}  // namespace vantrel::report::serve
