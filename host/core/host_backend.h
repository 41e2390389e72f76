// HostBackend: the host's answer to every SDK operation. It hands out game objects as
// handles (the current match's server, its winning team and playlist, the player
// controller, the player's unique id, the rating service) and answers validity from a
// table of live handles; keeps the hooks, drawables, console commands and timers that
// plug-ins register, attributed to the plug-in load (owner) they came through.
// CountingBackend, the one the host installs, counts every call and throws injected faults
// before HostBackend answers it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <unordered_map>

#include <pluginsdk/backend.h>

#include "core/callback_list.h"
#include "core/calls.h"
#include "core/cvars.h"
#include "core/guard.h"
#include "core/world.h"

namespace vhost {

// The events the simulated game fires.
inline constexpr const char* kEventMatchStarted = "Function TAGame.GameEvent_Soccar_TA.EventMatchStarted";
inline constexpr const char* kEventMatchEnded = "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded";
inline constexpr const char* kEventOpenScoreboard = "Function TAGame.GFxHUD_TA.OpenScoreboard";
inline constexpr const char* kEventCloseScoreboard = "Function TAGame.GFxHUD_TA.CloseScoreboard";

enum class MatchEndHandles {
    Valid,         // server, winning team and player controller all valid
    NoServer,      // the event's server is invalid
    NoWinner,      // the server has no valid winning team
    NoController,  // the player controller is invalid
};

class HostBackend {
public:
    // Runs a console line for executeCommand (owner: the plug-in load it came from).
    using CommandRunner = std::function<void(pluginsdk::Handle owner, const std::string& line)>;

    HostBackend(World& world, CvarRegistry& cvars, CallbackGuard& guard, std::ostream& err);

    void SetCommandRunner(CommandRunner runner) { runCommand_ = std::move(runner); }

    // Plug-in loads: registrations of hooks, drawables and commands are taken only from a
    // live owner. RetireOwner drops those the owner made (timers stay).
    void AddOwner(pluginsdk::Handle owner) { owners_.insert(owner); }
    void RetireOwner(pluginsdk::Handle owner);
    // Drops every plug-in callable the backend holds (at exit).
    void DropAllCallbacks();

    // The simulated game.
    void StartMatch(int playlist, int team, bool offline);
    void EndMatch(int winningTeam, MatchEndHandles handles);
    void Leave();
    // Fires an event to its hooks; hooks with a caller get the current match's server.
    void FireEvent(const std::string& eventName);
    void FireEvent(const std::string& eventName, pluginsdk::Handle caller);
    // Draws one frame through every drawable, in registration order.
    void DrawFrame(pluginsdk::CanvasBackend& canvas);
    bool HasDrawables() const { return drawables_.Count() > 0; }

    std::size_t HookCount(pluginsdk::Handle owner) const;
    std::size_t DrawableCount(pluginsdk::Handle owner) const;
    // Calls that named a handle the host does not know (or no longer knows).
    std::uint64_t InvalidHandleUses() const { return invalidUses_; }

    // The SDK operations (pluginsdk::Backend's), answered without counting: the host
    // installs CountingBackend, which counts each call before passing it here.
    void HookEvent(pluginsdk::Handle owner, const std::string& eventName, pluginsdk::EventCallback callback);
    void HookEventWithCaller(pluginsdk::Handle owner, const std::string& eventName,
                             pluginsdk::CallerEventCallback callback);
    void RegisterDrawable(pluginsdk::Handle owner, pluginsdk::DrawableCallback callback);
    void UnregisterDrawables(pluginsdk::Handle owner);
    void SetTimeout(pluginsdk::Handle owner, pluginsdk::TimeoutCallback callback, float delaySeconds);
    bool IsInGame(pluginsdk::Handle owner);
    bool IsInOnlineGame(pluginsdk::Handle owner);
    pluginsdk::Handle GetPlayerController(pluginsdk::Handle owner);
    pluginsdk::Handle GetUniqueID(pluginsdk::Handle owner);
    pluginsdk::Handle GetMMRWrapper(pluginsdk::Handle owner);
    bool IsValid(pluginsdk::Handle object);
    pluginsdk::Handle GetWinningTeam(pluginsdk::Handle server);
    pluginsdk::Handle GetPlaylist(pluginsdk::Handle gameEvent);
    int GetPlaylistId(pluginsdk::Handle playlist);
    unsigned char GetTeamNum(pluginsdk::Handle teamInfo);
    unsigned char GetTeamNum2(pluginsdk::Handle actor);
    float GetPlayerMMR(pluginsdk::Handle mmr, pluginsdk::Handle uniqueId, int playlistId);
    SkillRank GetPlayerRank(pluginsdk::Handle mmr, pluginsdk::Handle uniqueId, int playlistId);
    pluginsdk::Handle registerCvar(pluginsdk::Handle owner, const pluginsdk::CVarDefinition& definition);
    pluginsdk::Handle getCvar(pluginsdk::Handle owner, const std::string& name);
    void registerNotifier(pluginsdk::Handle owner, const std::string& name, pluginsdk::NotifierCallback callback,
                          const std::string& description, unsigned char permissions);
    void executeCommand(pluginsdk::Handle owner, const std::string& command, bool log);
    bool CVarIsValid(pluginsdk::Handle cvar);
    void bindTo(pluginsdk::Handle cvar, std::shared_ptr<bool> value);
    void bindTo(pluginsdk::Handle cvar, std::shared_ptr<float> value);
    bool getBoolValue(pluginsdk::Handle cvar);
    int getIntValue(pluginsdk::Handle cvar);
    float getFloatValue(pluginsdk::Handle cvar);
    std::string getStringValue(pluginsdk::Handle cvar);
    void setValue(pluginsdk::Handle cvar, int value);
    void setValue(pluginsdk::Handle cvar, float value);
    void setValue(pluginsdk::Handle cvar, const std::string& value);

private:
    enum class Kind { Server, Team, Controller, Playlist, UniqueId, RatingService };
    struct Object {
        Kind kind;
        int number = 0;  // team number (Team), playlist id (Playlist)
    };
    struct HookCallback {
        pluginsdk::EventCallback plain;
        pluginsdk::CallerEventCallback withCaller;  // set for HookEventWithCaller
    };

    pluginsdk::Handle NewHandle(Kind kind, int number, bool live = true);
    const Object* Live(pluginsdk::Handle handle, std::initializer_list<Kind> kinds);
    ConsoleVariable* Variable(pluginsdk::Handle cvar);
    bool AcceptsRegistration(pluginsdk::Handle owner, const char* operation);
    void DropMatchHandles();
    void Warn(const std::string& message);

    World& world_;
    CvarRegistry& cvars_;
    CallbackGuard& guard_;
    std::ostream& err_;
    CommandRunner runCommand_;

    std::set<pluginsdk::Handle> owners_;
    CallbackList<HookCallback> hooks_;
    CallbackList<pluginsdk::DrawableCallback> drawables_;

    std::unordered_map<pluginsdk::Handle, Object> objects_;
    pluginsdk::Handle nextHandle_ = 0x10000;
    pluginsdk::Handle server_ = 0;
    pluginsdk::Handle playlist_ = 0;
    pluginsdk::Handle winningTeam_ = 0;
    pluginsdk::Handle controller_ = 0;
    pluginsdk::Handle uniqueId_ = 0;
    pluginsdk::Handle ratingService_ = 0;
    std::uint64_t invalidUses_ = 0;
};

// The backend the host installs: HostBackend, with every SDK operation counted (and an
// armed fault thrown) first. Its overrides are generated from operations.h; an operation
// missing from the list would leave this class abstract, so none goes uncounted.
class CountingBackend final : public HostBackend, public pluginsdk::Backend {
public:
    CountingBackend(World& world, CvarRegistry& cvars, CallCounter& counter, CallbackGuard& guard,
                    std::ostream& err);

private:
    using Handle = pluginsdk::Handle;
    using EventCallback = pluginsdk::EventCallback;
    using CallerEventCallback = pluginsdk::CallerEventCallback;
    using DrawableCallback = pluginsdk::DrawableCallback;
    using TimeoutCallback = pluginsdk::TimeoutCallback;
    using NotifierCallback = pluginsdk::NotifierCallback;
    using CVarDefinition = pluginsdk::CVarDefinition;

public:
#define VHOST_COUNTED(function, result, parameters, arguments) \
    VHOST_COUNTED_OVERRIDE(HostBackend::, function, result, parameters, arguments)
#define VHOST_COUNTED_OP(function, name, ...) VHOST_COUNTED(function, __VA_ARGS__)
    VHOST_BACKEND_OPERATIONS(VHOST_COUNTED_OP, VHOST_COUNTED)
#undef VHOST_COUNTED_OP
#undef VHOST_COUNTED

private:
    CallCounter& counter_;
};

}  // namespace vhost
