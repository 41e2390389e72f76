// A minimal in-process host for driving the plug-in's code directly: it records every
// SDK call in order, draws frames on the host's trace canvas, answers ratings from a table,
// keeps console variables in the host's own registry (limits clamp, numbers are written as
// the host writes them, bindings follow), and holds hooks, drawables and timers for the
// test to fire.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <pluginsdk/backend.h>
#include <pluginsdk/pluginsdk.h>

#include "Vantrel.h"
#include "core/cvars.h"

namespace vtest {

class FakeHost final : public pluginsdk::Backend {
public:
    // Handles of the objects a match hands out.
    static constexpr pluginsdk::Handle kServer = 1, kWinningTeam = 2, kController = 3, kPlaylist = 4,
                                       kUniqueId = 5, kRatings = 6;

    FakeHost();
    ~FakeHost() override;

    // Loads a fresh plug-in object through the module's own entry points.
    Vantrel& Load();
    void Unload();

    // World.
    std::map<int, float> rating;
    std::map<int, SkillRank> rank;
    bool inGame = false, online = false;
    int playlistId = 0;
    unsigned char winningTeam = 0, playerTeam = 0;
    std::vector<pluginsdk::Handle> invalid;  // handles that answer operator bool with false
    std::string throwIn;                     // an SDK operation name that throws once
    std::vector<std::string> ops;            // SDK operations in call order (registrations named)

    // Events.
    void FireMatchStarted();
    void FireMatchEnded(pluginsdk::Handle server = kServer);
    void FireScoreboard(bool open);
    std::vector<std::string> DrawFrame();  // the host's trace of a frame; empty when nothing was drawn
    void DrawFrame(pluginsdk::CanvasBackend& canvas);
    void RunTimers();                      // fires the timers pending now (not those they set)
    std::size_t PendingTimers() const { return timers.size(); }
    std::string Cvar(const std::string& name);  // "<unregistered>" for a name never registered
    void SetCvar(const std::string& name, const std::string& value);  // as the console's `set`

    // Backend.
    void HookEvent(pluginsdk::Handle, const std::string&, pluginsdk::EventCallback) override;
    void HookEventWithCaller(pluginsdk::Handle, const std::string&, pluginsdk::CallerEventCallback) override;
    void RegisterDrawable(pluginsdk::Handle, pluginsdk::DrawableCallback) override;
    void UnregisterDrawables(pluginsdk::Handle) override;
    void SetTimeout(pluginsdk::Handle, pluginsdk::TimeoutCallback, float) override;
    bool IsInGame(pluginsdk::Handle) override;
    bool IsInOnlineGame(pluginsdk::Handle) override;
    pluginsdk::Handle GetPlayerController(pluginsdk::Handle) override;
    pluginsdk::Handle GetUniqueID(pluginsdk::Handle) override;
    pluginsdk::Handle GetMMRWrapper(pluginsdk::Handle) override;
    bool IsValid(pluginsdk::Handle) override;
    pluginsdk::Handle GetWinningTeam(pluginsdk::Handle) override;
    pluginsdk::Handle GetPlaylist(pluginsdk::Handle) override;
    int GetPlaylistId(pluginsdk::Handle) override;
    unsigned char GetTeamNum(pluginsdk::Handle) override;
    unsigned char GetTeamNum2(pluginsdk::Handle) override;
    float GetPlayerMMR(pluginsdk::Handle, pluginsdk::Handle, int) override;
    SkillRank GetPlayerRank(pluginsdk::Handle, pluginsdk::Handle, int) override;
    pluginsdk::Handle registerCvar(pluginsdk::Handle, const pluginsdk::CVarDefinition&) override;
    pluginsdk::Handle getCvar(pluginsdk::Handle, const std::string&) override;
    void registerNotifier(pluginsdk::Handle, const std::string&, pluginsdk::NotifierCallback, const std::string&,
                          unsigned char) override;
    void executeCommand(pluginsdk::Handle, const std::string&, bool) override;
    bool CVarIsValid(pluginsdk::Handle) override;
    void bindTo(pluginsdk::Handle, std::shared_ptr<bool>) override;
    void bindTo(pluginsdk::Handle, std::shared_ptr<float>) override;
    bool getBoolValue(pluginsdk::Handle) override;
    int getIntValue(pluginsdk::Handle) override;
    float getFloatValue(pluginsdk::Handle) override;
    std::string getStringValue(pluginsdk::Handle) override;
    void setValue(pluginsdk::Handle, int) override;
    void setValue(pluginsdk::Handle, float) override;
    void setValue(pluginsdk::Handle, const std::string&) override;

    vhost::CvarRegistry cvars;
    std::vector<std::string> executed;
    std::map<std::string, pluginsdk::NotifierCallback> commands;

private:
    void Enter(const char* op);
    vhost::ConsoleVariable* Variable(pluginsdk::Handle h);

    std::shared_ptr<BakkesModPlugin> share_;
    Vantrel* plugin_ = nullptr;
    std::vector<std::pair<std::string, pluginsdk::CallerEventCallback>> callerHooks_;
    std::vector<std::pair<std::string, pluginsdk::EventCallback>> hooks_;
    std::vector<pluginsdk::DrawableCallback> drawables_;
    std::vector<pluginsdk::TimeoutCallback> timers;
    GameWrapper timerGame_{1};
};

}  // namespace vtest
