// Wrapper values: cheap handles to host objects, copied and dropped freely. Every
// operation forwards to the host's backend (or, for the canvas, to the frame's drawing
// surface); none of them keeps state of its own. The backend interfaces themselves are the
// host's business and are not visible here.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "types.h"

namespace pluginsdk {
class CanvasBackend;
}

// Base of every game-object wrapper.
class PLUGINSDK_API ObjectWrapper {
public:
    explicit ObjectWrapper(pluginsdk::Handle handle = 0) noexcept : memory_address(handle) {}
    pluginsdk::Handle memory_address;
};

class PLUGINSDK_API ActorWrapper : public ObjectWrapper {
public:
    using ObjectWrapper::ObjectWrapper;
    explicit operator bool() const;
    bool IsNull() const { return !static_cast<bool>(*this); }
    unsigned char GetTeamNum2() const;
};

class PLUGINSDK_API TeamInfoWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
    unsigned char GetTeamNum() const;
};

class PLUGINSDK_API TeamWrapper : public TeamInfoWrapper {
public:
    using TeamInfoWrapper::TeamInfoWrapper;
};

class PLUGINSDK_API PlayerControllerWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
};

class PLUGINSDK_API GameSettingPlaylistWrapper : public ObjectWrapper {
public:
    using ObjectWrapper::ObjectWrapper;
    explicit operator bool() const;
    int GetPlaylistId() const;
};

class PLUGINSDK_API GameEventWrapper : public ActorWrapper {
public:
    using ActorWrapper::ActorWrapper;
    GameSettingPlaylistWrapper GetPlaylist() const;
};

class PLUGINSDK_API TeamGameEventWrapper : public GameEventWrapper {
public:
    using GameEventWrapper::GameEventWrapper;
};

// A running match as the server sees it.
class PLUGINSDK_API ServerWrapper : public TeamGameEventWrapper {
public:
    using TeamGameEventWrapper::TeamGameEventWrapper;
    TeamWrapper GetWinningTeam() const;
};

// The identity of a player, used for rating queries.
class PLUGINSDK_API UniqueIDWrapper {
public:
    explicit UniqueIDWrapper(pluginsdk::Handle handle = 0) noexcept : handle_(handle) {}
    pluginsdk::Handle handle() const noexcept { return handle_; }

private:
    pluginsdk::Handle handle_;
};

// The rating service.
class PLUGINSDK_API MMRWrapper {
public:
    explicit MMRWrapper(pluginsdk::Handle handle = 0) noexcept : handle_(handle) {}
    float GetPlayerMMR(UniqueIDWrapper uniqueId, int playlistId) const;
    SkillRank GetPlayerRank(UniqueIDWrapper uniqueId, int playlistId) const;

private:
    pluginsdk::Handle handle_;
};

// The drawing surface of the current frame. Valid only inside the drawable callback
// that received it.
class PLUGINSDK_API CanvasWrapper {
public:
    explicit CanvasWrapper(pluginsdk::CanvasBackend* backend = nullptr) noexcept : backend_(backend) {}
    explicit operator bool() const noexcept { return backend_ != nullptr; }

    void SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha);
    void SetPosition(Vector2 position);
    void SetPosition(Vector2F position);
    Vector2 GetPosition();
    void FillBox(Vector2 size);
    void DrawLine(Vector2 start, Vector2 end);
    void DrawString(std::string text, float xScale = 1.0f, float yScale = 1.0f, bool dropShadow = false,
                    bool wrapText = false);

private:
    pluginsdk::CanvasBackend* backend_;
};

// A console variable. Invalid (operator bool false) when the looked-up name is not registered.
class PLUGINSDK_API CVarWrapper {
public:
    explicit CVarWrapper(pluginsdk::Handle handle = 0) noexcept : handle_(handle) {}
    explicit operator bool() const;
    pluginsdk::Handle handle() const noexcept { return handle_; }

    // The host keeps the shared value equal to the variable from now on.
    void bindTo(std::shared_ptr<bool> value);
    void bindTo(std::shared_ptr<float> value);

    bool getBoolValue() const;
    int getIntValue() const;
    float getFloatValue() const;
    std::string getStringValue() const;
    void setValue(int value);
    void setValue(float value);
    void setValue(std::string value);

private:
    pluginsdk::Handle handle_;
};

class PLUGINSDK_API CVarManagerWrapper {
public:
    explicit CVarManagerWrapper(pluginsdk::Handle owner = 0) noexcept : owner_(owner) {}
    pluginsdk::Handle owner() const noexcept { return owner_; }

    CVarWrapper registerCvar(std::string name, std::string defaultValue, std::string description = "",
                             bool searchable = true, bool hasMin = false, float min = 0.0f,
                             bool hasMax = false, float max = 0.0f, bool saveToConfig = true);
    CVarWrapper getCvar(std::string name);
    void registerNotifier(std::string name, std::function<void(std::vector<std::string>)> callback,
                          std::string description, unsigned char permissions);
    void executeCommand(std::string command, bool log = true);

private:
    pluginsdk::Handle owner_;
};

class PLUGINSDK_API GameWrapper {
public:
    explicit GameWrapper(pluginsdk::Handle owner = 0) noexcept : owner_(owner) {}
    pluginsdk::Handle owner() const noexcept { return owner_; }

    void HookEvent(std::string eventName, std::function<void(std::string eventName)> callback);

    // The callback receives the event's caller as a T (a wrapper built from the caller's
    // handle), the event's parameter block and the event name.
    template <class T>
    void HookEventWithCaller(std::string eventName,
                             std::function<void(T caller, void* params, std::string eventName)> callback) {
        HookEventWithCallerHandle(
            std::move(eventName),
            [callback = std::move(callback)](pluginsdk::Handle caller, void* params, std::string name) {
                callback(T(caller), params, std::move(name));
            });
    }

    void RegisterDrawable(std::function<void(CanvasWrapper canvas)> callback);
    void UnregisterDrawables();
    // Runs the callback once, delaySeconds from now, on the game thread.
    void SetTimeout(std::function<void(GameWrapper* game)> callback, float delaySeconds);

    bool IsInGame();
    bool IsInOnlineGame();
    PlayerControllerWrapper GetPlayerController();
    UniqueIDWrapper GetUniqueID();
    MMRWrapper GetMMRWrapper();

private:
    // HookEventWithCaller without the caller's wrapper type: the part the SDK library runs.
    void HookEventWithCallerHandle(std::string eventName,
                                   std::function<void(pluginsdk::Handle caller, void* params, std::string eventName)>
                                       callback);

    pluginsdk::Handle owner_;
};
