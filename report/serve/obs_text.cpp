// The text files of --obs-text.
#include "obs_text.h"

#include <ostream>

#include <fmt/format.h>

#include "divisions.h"
#include "outputs/atomic_file.h"
#include "outputs/json.h"
#include "utf8_path.h"

namespace vantrel::report::serve {
namespace {

constexpr std::array<const char*, kModeCount> kFileNames{"1vs1", "2vs2", "3vs3", "other"};

std::string Signed(double value) { return fmt::format("{:+.2f}", Hundredths(value)); }

}  // namespace

std::vector<std::pair<std::string, std::string>> ObsTexts(const History& history, const SessionGlance& glance) {
    std::vector<std::pair<std::string, std::string>> files;
    int wins = 0, losses = 0;
    for (std::size_t m = 0; m < kModeCount; ++m) {
        const SessionGlance::Mode& mode = glance.modes[m];
        const std::string name = kFileNames[m];
        wins += mode.wins;
        losses += mode.losses;
        files.emplace_back(name + "-record.txt", fmt::format("{}-{}", mode.wins, mode.losses));
        files.emplace_back(name + "-change.txt", mode.knownChanges > 0 ? Signed(mode.change) : "");
        // The last known rating, also before the mode is played in a new session.
        const std::optional<double> rating = glance.Current(m);
        files.emplace_back(name + "-rating.txt", rating ? fmt::format("{:.2f}", Hundredths(*rating)) : "");
        DivisionStanding standing;
        if (rating) standing = StandingOf(m, *rating);
        files.emplace_back(name + "-rank.txt", standing.current ? standing.current->Label() : "");
        files.emplace_back(name + "-next.txt", standing.next ? fmt::format("{:.2f} to {}", Hundredths(standing.toGo),
                                                                           standing.next->Label())
                                                             : "");
    }
    files.emplace_back("session-record.txt", fmt::format("{}-{}", wins, losses));
    std::string last;
    if (glance.last) {
        const Match& match = history.matches[*glance.last];
        last = match.won ? "Won" : "Lost";
        if (const auto change = match.change()) last += " " + Signed(*change);
        last += " ";
        last += kModeLabels[match.mode];
    }
    files.emplace_back("last-result.txt", last);
    std::string streak;
    if (glance.last) {
        streak = fmt::format("{} {}", glance.streak,
                             glance.streakWon ? (glance.streak == 1 ? "win" : "wins") : (glance.streak == 1 ? "loss" : "losses"));
    }
    files.emplace_back("streak.txt", streak);
    return files;
}

bool ObsTextFiles::Update(const History& history, const SessionGlance& glance, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    bool ok = true;
    for (const auto& [name, text] : ObsTexts(history, glance)) {
        const auto known = written_.find(name);
        if (known != written_.end() && known->second == text) continue;
        std::string failure;
        const bool written = WriteFileAtomically(dir_ / name, [&](std::ostream& out) { out << text; }, failure);
        if (written) {
            written_[name] = text;
        } else if (ok) {
            error = fmt::format("cannot write {}: {}", PathToUtf8(dir_ / name), failure);
            ok = false;
        }
    }
    return ok;
}

}  // namespace vantrel::report::serve
