// The probe: a small plug-in that shows the host tests what the host does. It records what
// it sees in the console variable "probe_trace" (words separated by blanks), and offers
// console commands that make it call the SDK on demand:
//
//   probe_timer DELAY LABEL [CHILD_DELAY]  SetTimeout; when it fires, records LABEL and,
//                                          with CHILD_DELAY, sets LABEL.child from inside
//   probe_throw [std|other]                throws out of the command
//   probe_exec TEXT                        executeCommand(TEXT)
//   probe_draw on|off|throw                what the drawable does each frame
//   probe_frames                           records frames=N (frames drawn so far)
//   probe_mmr PLAYLIST                     records the rating service's answer
//   probe_state                            records IsInGame / IsInOnlineGame
//   probe_values                           records the bound values of probe_value and probe_flag
//
// With the environment variable PROBE_ONLOAD=throw, onLoad throws before registering.
#include <pluginsdk/pluginsdk.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#define MODULE_EXPORT __attribute__((visibility("default")))

namespace {

// Appends a word to probe_trace. Needs no plug-in object, so timers can use it after unload.
void Trace(const std::string& word) {
    CVarManagerWrapper console(0);
    CVarWrapper trace = console.getCvar("probe_trace");
    if (!trace) return;
    std::string value = trace.getStringValue();
    if (!value.empty()) value += ' ';
    trace.setValue(value + word);
}

std::string Validity(const ActorWrapper& actor) { return actor ? "valid" : "invalid"; }

void ScheduleTimer(GameWrapper& game, float delay, std::string label, float childDelay) {
    game.SetTimeout(
        [label, childDelay](GameWrapper* inner) {
            Trace(label);
            if (childDelay >= 0.0f) {
                inner->SetTimeout([label](GameWrapper*) { Trace(label + ".child"); }, childDelay);
            }
        },
        delay);
}

class Probe final : public BakkesModPlugin, public PluginSettingsWindow {
public:
    void onLoad() override {
        const char* mode = std::getenv("PROBE_ONLOAD");
        if (mode != nullptr && std::string(mode) == "throw") throw std::runtime_error("probe onLoad failure");

        value_ = std::make_shared<float>(-1.0f);
        flag_ = std::make_shared<bool>(false);
        cvarManager->registerCvar("probe_trace", "", "what the probe saw", true, false, 0.0f, false, 0.0f, false);
        Trace("load");
        cvarManager->registerCvar("probe_value", "5", "a number from 0 to 10", true, true, 0.0f, true, 10.0f, true)
            .bindTo(value_);
        cvarManager->registerCvar("probe_flag", "0", "a switch", true, true, 0.0f, true, 1.0f, true).bindTo(flag_);

        Command("probe_timer", [this](const std::vector<std::string>& args) {
            if (args.size() < 3) throw std::invalid_argument("probe_timer DELAY LABEL [CHILD_DELAY]");
            ScheduleTimer(*gameWrapper, std::stof(args[1]), args[2], args.size() > 3 ? std::stof(args[3]) : -1.0f);
        });
        Command("probe_throw", [](const std::vector<std::string>& args) {
            if (args.size() > 1 && args[1] == "other") throw 42;
            throw std::runtime_error("probe command failure");
        });
        Command("probe_exec", [this](const std::vector<std::string>& args) {
            if (args.size() > 1) cvarManager->executeCommand(args[1], false);
        });
        Command("probe_draw", [this](const std::vector<std::string>& args) { drawMode_ = args.size() > 1 ? args[1] : "on"; });
        Command("probe_frames", [this](const std::vector<std::string>&) { Trace("frames=" + std::to_string(frames_)); });
        Command("probe_mmr", [this](const std::vector<std::string>& args) {
            const int playlist = std::stoi(args.at(1));
            MMRWrapper ratings = gameWrapper->GetMMRWrapper();
            const float rating = ratings.GetPlayerMMR(gameWrapper->GetUniqueID(), playlist);
            const SkillRank rank = ratings.GetPlayerRank(gameWrapper->GetUniqueID(), playlist);
            Trace("mmr=" + std::to_string(rating) + "/" + std::to_string(rank.Tier) + "/" +
                  std::to_string(rank.Division) + "/" + std::to_string(rank.MatchesPlayed));
        });
        Command("probe_state", [this](const std::vector<std::string>&) {
            Trace(std::string("ingame=") + (gameWrapper->IsInGame() ? "1" : "0") +
                  " online=" + (gameWrapper->IsInOnlineGame() ? "1" : "0"));
        });
        Command("probe_values", [this](const std::vector<std::string>&) {
            Trace("value=" + std::to_string(*value_) + " flag=" + (*flag_ ? "1" : "0"));
        });

        gameWrapper->HookEventWithCaller<ServerWrapper>(
            "Function TAGame.GameEvent_Soccar_TA.EventMatchStarted",
            [](ServerWrapper server, void* params, std::string) {
                Trace("started:" + Validity(server) + (params == nullptr ? "" : ":params"));
            });
        gameWrapper->HookEventWithCaller<ServerWrapper>(
            "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded",
            [this](ServerWrapper server, void*, std::string) { OnMatchEnded(server); });
        gameWrapper->HookEvent("Function TAGame.GFxHUD_TA.OpenScoreboard", [](std::string) { Trace("open"); });
        gameWrapper->HookEvent("Function TAGame.GFxHUD_TA.CloseScoreboard", [](std::string) { Trace("close"); });
        gameWrapper->RegisterDrawable([this](CanvasWrapper canvas) { Draw(canvas); });
    }

    void onUnload() override {
        Trace("unload");
        // Seen after the host has gone: a session ended by a signal still unloads.
        std::ofstream("probe-unloaded.txt", std::ios::app) << "unload\n";
    }

    void DrawSettings() override { Trace("draw-settings"); }
    std::string SettingsTabName() override { return "Probe"; }
    void SetGuiContext(std::uintptr_t context) override { Trace(context != 0 ? "gui-context" : "gui-context-null"); }

private:
    void Command(const std::string& name, std::function<void(const std::vector<std::string>&)> action) {
        cvarManager->registerNotifier(
            name, [action = std::move(action)](std::vector<std::string> args) { action(args); }, "probe command", 0);
    }

    void OnMatchEnded(ServerWrapper server) {
        std::string word = "ended:server=" + Validity(server);
        if (server) {
            TeamWrapper winner = server.GetWinningTeam();
            word += ",winner=" + Validity(winner);
            if (winner) word += "/" + std::to_string(winner.GetTeamNum());
            word += ",playlist=" + std::to_string(server.GetPlaylist().GetPlaylistId());
        }
        PlayerControllerWrapper controller = gameWrapper->GetPlayerController();
        word += ",controller=" + Validity(controller);
        if (controller) word += "/" + std::to_string(controller.GetTeamNum2());
        Trace(word);
    }

    void Draw(CanvasWrapper canvas) {
        ++frames_;
        if (drawMode_ == "off") return;
        if (drawMode_ == "throw") throw std::runtime_error("probe drawable failure");
        canvas.SetColor(1, 2, 3, 4);
        canvas.SetPosition(Vector2F{1.005f, -2.5f});
        const Vector2 at = canvas.GetPosition();
        canvas.SetPosition(Vector2{at.X + 10, at.Y});
        canvas.FillBox(Vector2{5, 6});
        canvas.DrawLine(Vector2{1, 2}, Vector2{3, 4});
        canvas.DrawString("say \"hi\" \\ back", 1.5f, 2.0f, true, false);
    }

    std::shared_ptr<float> value_;
    std::shared_ptr<bool> flag_;
    std::string drawMode_ = "off";
    long frames_ = 0;
};

std::shared_ptr<Probe> instanceOwner;

}  // namespace

extern "C" {
MODULE_EXPORT std::uintptr_t getPlugin();
MODULE_EXPORT void deleteMe();
MODULE_EXPORT extern const PluginInfo exports;

std::uintptr_t getPlugin() {
    if (!instanceOwner) instanceOwner = std::make_shared<Probe>();
    return reinterpret_cast<std::uintptr_t>(&instanceOwner);
}

void deleteMe() { instanceOwner.reset(); }

const PluginInfo exports = {
    kPluginInterfaceRevision, 0, __FILE__, "Probe", "Probe Plugin", "0.1", kPluginTypeNormal, &getPlugin, &deleteMe,
};
}
