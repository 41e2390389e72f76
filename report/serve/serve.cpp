// The --serve run: the follower, the live history and the server wired together on the
// server's thread, and the terminal lines that tell what happens.
#include "serve.h"

#include <cstdio>

#include <fmt/format.h>

#include "change_watch.h"
#include "follower.h"
#include "live_history.h"
#include "obs_text.h"
#include "pages.h"
#include "server.h"
#include "setup_page.h"
#include "text_answer.h"
#include "utf8_path.h"

namespace vantrel::report::serve {
namespace {

// How often the log is looked at besides the system's change notifications (change_watch.h),
// for file systems that notify nothing: a line is seen within this, well inside 250 ms.
constexpr std::chrono::milliseconds kPollPeriod{100};
// Terminal lines for the changes of one look; more are counted in one line.
constexpr int kLinesPerLook = 20;
// Up to this many matches the history's JSON is made whole and kept until the history
// changes (about 2.6 MB); a longer one is made in pieces while it is sent.
constexpr std::size_t kPiecedMatches = 20'000;

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Rating(float value) { return fmt::format("{:.2f}", value); }

std::string Describe(const History& history, const LiveEvent& event) {
    switch (event.kind) {
        case LiveEvent::Kind::Session: {
            const Session& session = history.sessions[event.index];
            return fmt::format("session {} started {}", event.index + 1, FormatLocalTime(session.start));
        }
        case LiveEvent::Kind::Match: {
            const Match& match = history.matches[event.index];
            return fmt::format("{}  {} {}, rating before {} (session {})", FormatLocalTime(match.time),
                               kModeLabels[match.mode], match.won ? "won" : "lost",
                               match.before != 0.0f ? Rating(match.before) : "unknown", match.session + 1);
        }
        case LiveEvent::Kind::Rating: {
            const Match& match = history.matches[event.index];
            const auto change = match.change();
            return fmt::format("{}  {} rating after {}{}", FormatLocalTime(match.time), kModeLabels[match.mode],
                               Rating(*match.after), change ? fmt::format(" ({:+.2f})", *change) : "");
        }
        case LiveEvent::Kind::Reset:
            return fmt::format("the history was rebuilt: {} sessions, {} matches", history.sessions.size(),
                               history.matches.size());
    }
    return {};
}

}  // namespace

int RunServe(const ServeOptions& options, const std::function<bool(const std::string& url)>& openUrl) {
    const std::string logName = PathToUtf8(options.log);
    if (!IsLoopback(options.address)) {
        fmt::print(stderr,
                   "vantrel-report: warning: listening on {}: the rating history is then readable from the network\n",
                   options.address);
    }

    HtmlOptions html;
    html.sourceName = logName;
    LiveHistory live(html);
    live.SetInsightOptions(options.insights);
    std::string startOverReason;
    LogFollower follower(options.log,
                         {[&](std::string_view bytes) { live.Feed(bytes); },
                          [&] { live.StartOver(startOverReason); },
                          [&](FollowNote note, const std::string& detail) {
                              switch (note) {
                                  case FollowNote::Waiting:
                                      Say(fmt::format("waiting for {} to appear", logName));
                                      break;
                                  case FollowNote::Appeared:
                                      Say(fmt::format("{} appeared; following it", logName));
                                      break;
                                  case FollowNote::Gone:
                                      Say(fmt::format("{} is gone; waiting for a new one", logName));
                                      break;
                                  case FollowNote::Replaced:
                                      startOverReason = "replaced";
                                      Say(fmt::format("{} is a new file; reading it from the start", logName));
                                      break;
                                  case FollowNote::Truncated:
                                      startOverReason = "truncated";
                                      Say(fmt::format("{} was cut short; reading it from the start", logName));
                                      break;
                                  case FollowNote::ReadFailed:
                                      Say(fmt::format("cannot read {}: {}", logName, detail));
                                      break;
                              }
                          }});

    std::optional<ObsTextFiles> obs;
    if (options.obsText) obs.emplace(*options.obsText);
    bool obsFailed = false;
    const auto updateObs = [&] {
        if (!obs) return;
        std::string error;
        if (!obs->Update(live.history(), live.Glance(options.stream, LocalNow()), error)) {
            if (!obsFailed) Say(error);
            obsFailed = true;
        } else {
            obsFailed = false;
        }
    };

    const auto overlay = std::make_shared<const std::string>(OverlayPage());
    const auto setup = std::make_shared<const std::string>(SetupPage());
    const auto refuse = [](Reply& reply, const Refusal& refusal) {
        reply.status = refusal.status;
        reply.body = std::make_shared<const std::string>(refusal.reason);
    };
    const Handler handler = [&](Route route, std::string_view query) {
        Reply reply;
        switch (route) {
            case Route::Page:
                reply.contentType = "text/html; charset=utf-8";
                reply.body = live.PageText();
                break;
            case Route::Overlay:
                reply.contentType = "text/html; charset=utf-8";
                reply.body = overlay;
                break;
            case Route::HistoryJson:
                reply.contentType = "application/json";
                reply.body = live.HistoryJsonText(kPiecedMatches);
                if (!reply.body) {
                    // Made while it is sent, a piece between other clients' turns.
                    auto pieces = std::make_shared<HistoryJsonPieces>(live.history());
                    reply.pieces = [&live, pieces, epoch = live.epoch()](std::string& out) {
                        if (live.epoch() != epoch) return Piece::Broken;
                        return pieces->Next(live.history(), out) ? Piece::More : Piece::Done;
                    };
                }
                break;
            case Route::SessionJson: {
                const Query asked = ParseQuery(query);
                const std::string* session = asked.Get("session");
                const auto stream = session != nullptr ? ParseStreamSession(*session) : options.stream;
                if (!asked.ok || !stream) {
                    refuse(reply, {400, "session= wants load, gap:MINUTES or since:HH:MM"});
                    break;
                }
                reply.contentType = "application/json";
                reply.body = live.GlanceJsonText(*stream, LocalNow());
                break;
            }
            case Route::Setup:
                reply.contentType = "text/html; charset=utf-8";
                reply.body = setup;
                break;
            case Route::Text: {
                TextRequest request;
                Refusal refusal = ParseTextRequest(ParseQuery(query), request);
                std::string answer;
                if (refusal.status == 0) {
                    const SessionGlance& glance = live.Glance(request.session.value_or(options.stream), LocalNow());
                    refusal = AnswerText(request, live.history(), glance, answer);
                }
                if (refusal.status != 0) {
                    refuse(reply, refusal);
                } else {
                    reply.body = std::make_shared<const std::string>(std::move(answer));
                }
                break;
            }
            case Route::InsightsJson:
                reply.contentType = "application/json";
                reply.body = live.InsightsJsonText();
                break;
            case Route::Events:
                break;  // the server's own
        }
        return reply;
    };

    std::unique_ptr<Server> server;
    try {
        server = std::make_unique<Server>(options.address, options.port, ServerLimits{}, handler, Say);
    } catch (const ServeError& error) {
        fmt::print(stderr, "vantrel-report: {}\n", error.what());
        return 2;
    }

    // What the file holds now is the history as found: no events, one line.
    std::error_code sizeError;
    if (const auto size = std::filesystem::file_size(options.log, sizeError); !sizeError) live.ReserveForBytes(size);
    follower.Poll();
    live.Settle();
    Say(fmt::format("{}: {} sessions, {} matches", logName, live.history().sessions.size(),
                    live.history().matches.size()));
    updateObs();
    const std::string url = server->Url();
    Say(fmt::format("serving {} (overlay: {}overlay, set up at {}setup); Ctrl-C ends", url, url, url));
    if (options.open && openUrl && !openUrl(url)) {
        fmt::print(stderr, "vantrel-report: warning: could not open {} in a browser\n", url);
    }

    // A written line is read at once when the system says the folder changed.
    const ChangeWatch watch(options.log, [&server] { server->Wake(); });
    std::uint64_t obsVersion = live.version();
    StreamSpan obsSpan = SelectStream(live.history(), options.stream, LocalNow());
    server->Run(kPollPeriod, [&] {
        follower.Poll();
        std::vector<LiveEvent> events = live.TakeEvents();
        int told = 0;
        for (LiveEvent& event : events) {
            if (told < kLinesPerLook) Say(Describe(live.history(), event));
            ++told;
            server->Broadcast(event.id, std::move(event.text));
        }
        if (told > kLinesPerLook) Say(fmt::format("... and {} more", told - kLinesPerLook));
        // The stream's session also moves with the clock (a pause grows too long, a new day).
        const StreamSpan span = obs ? SelectStream(live.history(), options.stream, LocalNow()) : StreamSpan{};
        if (obsVersion != live.version() || !(span == obsSpan)) {
            updateObs();
            obsVersion = live.version();
            obsSpan = span;
        }
    });
    Say("stopped");
    return 0;
}

}  // namespace vantrel::report::serve
