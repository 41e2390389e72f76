// /api/text: one line of plain text for a chat bot's command ("!rank"), filled from the
// session at a glance by a template of the caller's. The answer is text/plain and never
// part of a page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glance.h"
#include "routes.h"
#include "stream_session.h"

namespace vantrel::report::serve {

// At most this many characters (code points), in the template and in the answer.
inline constexpr std::size_t kTextLimit = 400;

// Used when the query names no template.
inline constexpr std::string_view kDefaultTextTemplate =
    "{mode} {rating} ({rank}) · this session {record} {change} · {toNext} to {next}";

// What /api/text?mode=2v2&template=...&session=...&goal=1100 asks.
struct TextRequest {
    std::optional<std::size_t> mode;  // none: the mode of the session's last match
    std::string templ;                // checked: every placeholder known, at most kTextLimit characters
    std::optional<StreamSession> session;  // none: the server's default
    std::optional<double> goal;       // for {goal} and {toGoal}
};

// Reads the query; a refusal (status 400, one line) for a bad mode, session or goal, or a
// template that is too long, not UTF-8, or holds an unknown placeholder or a lone brace.
// Status 0: `request` is filled.
Refusal ParseTextRequest(const Query& query, TextRequest& request);

// The template filled from the glance: one line (line breaks and other control characters
// become spaces), cut to kTextLimit characters. Unknown values read "–". A refusal when no
// mode was asked and none was played in the session.
Refusal AnswerText(const TextRequest& request, const History& history, const SessionGlance& glance,
                   std::string& answer);

// The placeholders, without braces: mode rating rank toNext next record wins losses
// change last streak goal toGoal.
const std::vector<std::string_view>& TextPlaceholders();

}  // namespace vantrel::report::serve
