// The host side of the SDK: every wrapper operation forwards to one of these interfaces.
// A host installs its Backend with pluginsdk::SetBackend before it loads a plug-in; each
// frame it hands the plug-in a CanvasWrapper over a CanvasBackend of its choosing. Plug-ins
// do not see this header: only the host and the SDK library itself are built with it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <pluginsdk/types.h>

class CanvasWrapper;
class GameWrapper;

namespace pluginsdk {

// Everything registerCvar passes, in its order.
struct CVarDefinition {
    std::string name;
    std::string defaultValue;
    std::string description;
    bool searchable = true;
    bool hasMin = false;
    float min = 0.0f;
    bool hasMax = false;
    float max = 0.0f;
    bool saveToConfig = true;
};

using EventCallback = std::function<void(std::string eventName)>;
using CallerEventCallback = std::function<void(Handle caller, void* params, std::string eventName)>;
using DrawableCallback = std::function<void(CanvasWrapper canvas)>;
using TimeoutCallback = std::function<void(GameWrapper* game)>;
using NotifierCallback = std::function<void(std::vector<std::string> arguments)>;

// One frame's drawing surface.
class PLUGINSDK_API CanvasBackend {
public:
    virtual ~CanvasBackend();
    virtual void SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) = 0;
    virtual void SetPosition(Vector2 position) = 0;
    virtual void SetPosition(Vector2F position) = 0;
    virtual Vector2 GetPosition() = 0;
    virtual void FillBox(Vector2 size) = 0;
    virtual void DrawLine(Vector2 start, Vector2 end) = 0;
    virtual void DrawString(const std::string& text, float xScale, float yScale, bool dropShadow,
                            bool wrapText) = 0;
};

// The game, its objects and the console. `owner` is the handle of the GameWrapper or
// CVarManagerWrapper the call came through: the host uses it to know which plug-in
// registered what. Object handles are the host's; a handle the host does not know is invalid.
class PLUGINSDK_API Backend {
public:
    virtual ~Backend();

    // Events, drawing, timers.
    virtual void HookEvent(Handle owner, const std::string& eventName, EventCallback callback) = 0;
    virtual void HookEventWithCaller(Handle owner, const std::string& eventName,
                                     CallerEventCallback callback) = 0;
    virtual void RegisterDrawable(Handle owner, DrawableCallback callback) = 0;
    virtual void UnregisterDrawables(Handle owner) = 0;
    virtual void SetTimeout(Handle owner, TimeoutCallback callback, float delaySeconds) = 0;

    // Game state.
    virtual bool IsInGame(Handle owner) = 0;
    virtual bool IsInOnlineGame(Handle owner) = 0;
    virtual Handle GetPlayerController(Handle owner) = 0;
    virtual Handle GetUniqueID(Handle owner) = 0;
    virtual Handle GetMMRWrapper(Handle owner) = 0;

    // Game objects. IsValid answers every wrapper's operator bool.
    virtual bool IsValid(Handle object) = 0;
    virtual Handle GetWinningTeam(Handle server) = 0;
    virtual Handle GetPlaylist(Handle gameEvent) = 0;
    virtual int GetPlaylistId(Handle playlist) = 0;
    virtual unsigned char GetTeamNum(Handle teamInfo) = 0;
    virtual unsigned char GetTeamNum2(Handle actor) = 0;

    // Ratings.
    virtual float GetPlayerMMR(Handle mmr, Handle uniqueId, int playlistId) = 0;
    virtual SkillRank GetPlayerRank(Handle mmr, Handle uniqueId, int playlistId) = 0;

    // Console: variables (0 for a missing one) and commands.
    virtual Handle registerCvar(Handle owner, const CVarDefinition& definition) = 0;
    virtual Handle getCvar(Handle owner, const std::string& name) = 0;
    virtual void registerNotifier(Handle owner, const std::string& name, NotifierCallback callback,
                                  const std::string& description, unsigned char permissions) = 0;
    virtual void executeCommand(Handle owner, const std::string& command, bool log) = 0;

    virtual bool CVarIsValid(Handle cvar) = 0;
    virtual void bindTo(Handle cvar, std::shared_ptr<bool> value) = 0;
    virtual void bindTo(Handle cvar, std::shared_ptr<float> value) = 0;
    virtual bool getBoolValue(Handle cvar) = 0;
    virtual int getIntValue(Handle cvar) = 0;
    virtual float getFloatValue(Handle cvar) = 0;
    virtual std::string getStringValue(Handle cvar) = 0;
    virtual void setValue(Handle cvar, int value) = 0;
    virtual void setValue(Handle cvar, float value) = 0;
    virtual void setValue(Handle cvar, const std::string& value) = 0;
};

// Installs the host's backend (nullptr removes it). Wrapper calls made with no backend
// installed throw std::logic_error.
PLUGINSDK_API void SetBackend(Backend* backend);
PLUGINSDK_API Backend& GetBackend();

}  // namespace pluginsdk
