// The session tracker: match results and the rating poll that follows each match.
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "Format.h"
#include "Vantrel.h"

namespace {
// A pending retry must not outlive the object it polls for: it holds a weak reference
// to the module's owner of the object, so a retry after unload does nothing.
std::weak_ptr<Vantrel> WeakSelf(Vantrel* self) {
    if (instanceOwner.get() == self) return instanceOwner;
    return {};
}
}  // namespace

void Vantrel::OnMatchStarted(ServerWrapper /*server*/) { scoreboardOpen = false; }

void Vantrel::onMatchEnd(ServerWrapper server) {
    try {
        if (!server) {
            Log("OnMatchEnd: Server is null");
            return;
        }
        TeamWrapper winningTeam = server.GetWinningTeam();
        if (!winningTeam) {
            Log("OnMatchEnd: TeamWrapper is null");
            return;
        }
        if (!gameWrapper) {
            Log("OnMatchEnd: gameWrapper is null");
            return;
        }
        PlayerControllerWrapper player = gameWrapper->GetPlayerController();
        if (!player) {
            Log("OnMatchEnd: PlayerControllerWrapper is null");
            return;
        }
        const bool wonMatch = winningTeam.GetTeamNum() == player.GetTeamNum2();
        Log(fmt::format("OnMatchEnd: wonMatch: {:d}", wonMatch));
        scoreboardOpen = true;
        trackMMR(server, wonMatch);
    } catch (const std::exception& e) {
        Log(fmt::format("Exception in onMatchEnd: {}", e.what()));
    }
}

void Vantrel::trackMMR(ServerWrapper server, bool wonMatch) {
    if (!enabled || !*enabled) return;
    try {
        const int playlistId = server.GetPlaylist().GetPlaylistId();
        const int m = GetModeIndex(playlistId);
        if (wonMatch) {
            ++wins[m];
        } else {
            ++losses[m];
        }
        Log(MatchEndedMessage(m, wins[m], losses[m], mmr[m], deltaMMR[m]));
        CheckMMRUpdate(playlistId, mmr[m], 5, 0);
    } catch (const std::exception& e) {
        Log(fmt::format("Exception in trackMMR: {}", e.what()));
    }
}

void Vantrel::CheckMMRUpdate(int playlistId, float initialMMR, int maxRetries, int count) {
    MMRWrapper ratings = gameWrapper->GetMMRWrapper();
    UniqueIDWrapper player = gameWrapper->GetUniqueID();
    const float newMMR = ratings.GetPlayerMMR(player, playlistId);

    // A reading that is not a finite number is not a rating: keep waiting for one.
    if (!std::isfinite(newMMR) || newMMR == initialMMR) {
        if (count < maxRetries) {
            gameWrapper->SetTimeout(
                [self = WeakSelf(this), playlistId, initialMMR, maxRetries, count](GameWrapper*) {
                    const std::shared_ptr<Vantrel> plugin = self.lock();
                    if (!plugin) return;
                    // Nothing may escape into the host's timer.
                    try {
                        plugin->CheckMMRUpdate(playlistId, initialMMR, maxRetries, count + 1);
                    } catch (const std::exception& e) {
                        plugin->Log(fmt::format("Exception in CheckMMRUpdate: {}", e.what()));
                    }
                },
                1.0f);
        } else {
            Log(fmt::format("Check MMR Update: maxRetries reached the limit ({:d})", maxRetries));
        }
        return;
    }

    const int m = GetModeIndex(playlistId);
    // From 0.0 no rating was known: the first reading is the rating, not a change.
    if (initialMMR != 0.0f) deltaMMR[m] += newMMR - initialMMR;
    mmr[m] = newMMR;
    ranks[m] = ratings.GetPlayerRank(player, playlistId);
    Log(RatingChangedMessage(newMMR, initialMMR, count));
}
