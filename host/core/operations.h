// The one list of the SDK operations the host answers. From it come the operation enum Op,
// the names that `fault`, `calls` and `help fault` use, and the forwarding functions that
// count each call and throw an injected fault before the host answers it (CountingBackend
// in host_backend.h, CountingCanvas in trace_canvas.h). A new SDK operation is added here, and
// answered in HostBackend or the canvases; nothing else names it.
//
// Entries, in the order `help fault` lists them:
//   OP(Function, "name", Result, (Parameters), (Arguments))   an operation and its function
//   ALSO(Function, Result, (Parameters), (Arguments))         another overload of the operation
//                                                             before it, counted under its name
// Parameter types are those of pluginsdk/backend.h, unqualified; Arguments pass the
// parameters on (by-value callables and shared values moved).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// pluginsdk::Backend.
#define VHOST_BACKEND_OPERATIONS(OP, ALSO)                                                                          \
    /* GameWrapper */                                                                                               \
    OP(HookEvent, "HookEvent", void, (Handle owner, const std::string& eventName, EventCallback callback),         \
       (owner, eventName, std::move(callback)))                                                                     \
    OP(HookEventWithCaller, "HookEventWithCaller", void,                                                            \
       (Handle owner, const std::string& eventName, CallerEventCallback callback),                                 \
       (owner, eventName, std::move(callback)))                                                                     \
    OP(RegisterDrawable, "RegisterDrawable", void, (Handle owner, DrawableCallback callback),                     \
       (owner, std::move(callback)))                                                                                \
    OP(UnregisterDrawables, "UnregisterDrawables", void, (Handle owner), (owner))                                  \
    OP(SetTimeout, "SetTimeout", void, (Handle owner, TimeoutCallback callback, float delaySeconds),               \
       (owner, std::move(callback), delaySeconds))                                                                  \
    OP(IsInGame, "IsInGame", bool, (Handle owner), (owner))                                                         \
    OP(IsInOnlineGame, "IsInOnlineGame", bool, (Handle owner), (owner))                                             \
    OP(GetPlayerController, "GetPlayerController", Handle, (Handle owner), (owner))                                 \
    OP(GetUniqueID, "GetUniqueID", Handle, (Handle owner), (owner))                                                 \
    OP(GetMMRWrapper, "GetMMRWrapper", Handle, (Handle owner), (owner))                                             \
    /* Game objects: operator bool of ActorWrapper and GameSettingPlaylistWrapper */                                \
    OP(IsValid, "operator bool", bool, (Handle object), (object))                                                   \
    OP(GetWinningTeam, "GetWinningTeam", Handle, (Handle server), (server))                                         \
    OP(GetPlaylist, "GetPlaylist", Handle, (Handle gameEvent), (gameEvent))                                         \
    OP(GetPlaylistId, "GetPlaylistId", int, (Handle playlist), (playlist))                                          \
    OP(GetTeamNum, "GetTeamNum", unsigned char, (Handle teamInfo), (teamInfo))                                      \
    OP(GetTeamNum2, "GetTeamNum2", unsigned char, (Handle actor), (actor))                                          \
    /* MMRWrapper */                                                                                                \
    OP(GetPlayerMMR, "GetPlayerMMR", float, (Handle mmr, Handle uniqueId, int playlistId),                         \
       (mmr, uniqueId, playlistId))                                                                                 \
    OP(GetPlayerRank, "GetPlayerRank", SkillRank, (Handle mmr, Handle uniqueId, int playlistId),                   \
       (mmr, uniqueId, playlistId))                                                                                 \
    /* CVarManagerWrapper */                                                                                        \
    OP(registerCvar, "registerCvar", Handle, (Handle owner, const CVarDefinition& definition), (owner, definition)) \
    OP(getCvar, "getCvar", Handle, (Handle owner, const std::string& name), (owner, name))                          \
    OP(registerNotifier, "registerNotifier", void,                                                                  \
       (Handle owner, const std::string& name, NotifierCallback callback, const std::string& description,          \
        unsigned char permissions),                                                                                 \
       (owner, name, std::move(callback), description, permissions))                                                \
    OP(executeCommand, "executeCommand", void, (Handle owner, const std::string& command, bool log),               \
       (owner, command, log))                                                                                       \
    /* CVarWrapper */                                                                                               \
    OP(CVarIsValid, "CVarWrapper::operator bool", bool, (Handle cvar), (cvar))                                      \
    OP(bindTo, "bindTo", void, (Handle cvar, std::shared_ptr<bool> value), (cvar, std::move(value)))               \
    ALSO(bindTo, void, (Handle cvar, std::shared_ptr<float> value), (cvar, std::move(value)))                      \
    OP(getBoolValue, "getBoolValue", bool, (Handle cvar), (cvar))                                                   \
    OP(getIntValue, "getIntValue", int, (Handle cvar), (cvar))                                                      \
    OP(getFloatValue, "getFloatValue", float, (Handle cvar), (cvar))                                                \
    OP(getStringValue, "getStringValue", std::string, (Handle cvar), (cvar))                                        \
    OP(setValue, "setValue", void, (Handle cvar, int value), (cvar, value))                                         \
    ALSO(setValue, void, (Handle cvar, float value), (cvar, value))                                                 \
    ALSO(setValue, void, (Handle cvar, const std::string& value), (cvar, value))

// pluginsdk::CanvasBackend.
#define VHOST_CANVAS_OPERATIONS(OP, ALSO)                                                                           \
    OP(SetColor, "SetColor", void, (unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha), \
       (red, green, blue, alpha))                                                                                   \
    OP(SetPosition, "SetPosition", void, (Vector2 position), (position))                                            \
    ALSO(SetPosition, void, (Vector2F position), (position))                                                        \
    OP(GetPosition, "GetPosition", Vector2, (), ())                                                                 \
    OP(FillBox, "FillBox", void, (Vector2 size), (size))                                                            \
    OP(DrawLine, "DrawLine", void, (Vector2 start, Vector2 end), (start, end))                                      \
    OP(DrawString, "DrawString", void,                                                                              \
       (const std::string& text, float xScale, float yScale, bool dropShadow, bool wrapText),                       \
       (text, xScale, yScale, dropShadow, wrapText))

// One overriding function of a counting class (a member counter_ of type CallCounter):
// counts the call, throwing an armed fault, then calls `target` with the same arguments.
#define VHOST_COUNTED_OVERRIDE(target, function, result, parameters, arguments) \
    result function parameters override {                                     \
        counter_.Enter(Op::function);                                         \
        return target function arguments;                                     \
    }

namespace vhost {

#define VHOST_OP_ENUMERATOR(function, name, ...) function,
#define VHOST_OP_NAME(function, name, ...) name,
#define VHOST_NO_OVERLOAD(...)

// The SDK operations, named after the backend functions that answer them.
enum class Op : std::uint8_t {
    VHOST_BACKEND_OPERATIONS(VHOST_OP_ENUMERATOR, VHOST_NO_OVERLOAD)
    VHOST_CANVAS_OPERATIONS(VHOST_OP_ENUMERATOR, VHOST_NO_OVERLOAD)
};

inline constexpr auto kOpNames = std::to_array<std::string_view>({
    VHOST_BACKEND_OPERATIONS(VHOST_OP_NAME, VHOST_NO_OVERLOAD)
    VHOST_CANVAS_OPERATIONS(VHOST_OP_NAME, VHOST_NO_OVERLOAD)
});
inline constexpr std::size_t kOpCount = kOpNames.size();

#undef VHOST_OP_ENUMERATOR
#undef VHOST_OP_NAME
#undef VHOST_NO_OVERLOAD

// The name used by `fault` and `calls`.
constexpr std::string_view OpName(Op op) { return kOpNames[static_cast<std::size_t>(op)]; }

// The operation of that exact name, if any.
constexpr std::optional<Op> FindOp(std::string_view name) {
    for (std::size_t i = 0; i < kOpCount; ++i) {
        if (kOpNames[i] == name) return static_cast<Op>(i);
    }
    return std::nullopt;
}

}  // namespace vhost
