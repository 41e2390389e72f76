#include "core/host_backend.h"

#include <algorithm>

#include <pluginsdk/wrappers.h>

namespace vhost {

HostBackend::HostBackend(World& world, CvarRegistry& cvars, CallbackGuard& guard, std::ostream& err)
    : world_(world), cvars_(cvars), guard_(guard), err_(err) {
    controller_ = NewHandle(Kind::Controller, 0);
    uniqueId_ = NewHandle(Kind::UniqueId, 0);
    ratingService_ = NewHandle(Kind::RatingService, 0);
}

pluginsdk::Handle HostBackend::NewHandle(Kind kind, int number, bool live) {
    const pluginsdk::Handle handle = nextHandle_;
    nextHandle_ += 0x10;
    if (live) objects_.emplace(handle, Object{kind, number});
    return handle;
}

const HostBackend::Object* HostBackend::Live(pluginsdk::Handle handle, std::initializer_list<Kind> kinds) {
    auto found = objects_.find(handle);
    if (found == objects_.end() || std::find(kinds.begin(), kinds.end(), found->second.kind) == kinds.end()) {
        ++invalidUses_;
        return nullptr;
    }
    return &found->second;
}

ConsoleVariable* HostBackend::Variable(pluginsdk::Handle cvar) {
    ConsoleVariable* variable = cvars_.FindHandle(cvar);
    if (variable == nullptr) ++invalidUses_;
    return variable;
}

void HostBackend::Warn(const std::string& message) {
    err_ << "vantrel-host: " << message << '\n';
    err_.flush();
}

bool HostBackend::AcceptsRegistration(pluginsdk::Handle owner, const char* operation) {
    if (owners_.count(owner) != 0) return true;
    Warn(std::string(operation) + " from a plug-in that is not loaded (owner " + std::to_string(owner) +
         ") ignored");
    return false;
}

void HostBackend::RetireOwner(pluginsdk::Handle owner) {
    owners_.erase(owner);
    hooks_.RemoveIf([owner](const auto& entry) { return entry.owner == owner; });
    drawables_.RemoveIf([owner](const auto& entry) { return entry.owner == owner; });
    cvars_.DropCommands(owner);
}

void HostBackend::DropAllCallbacks() {
    owners_.clear();
    hooks_.Clear();
    drawables_.Clear();
    cvars_.DropAllCommands();
}

// --- the simulated game ---------------------------------------------------------------

void HostBackend::DropMatchHandles() {
    for (pluginsdk::Handle handle : {server_, playlist_, winningTeam_}) objects_.erase(handle);
    server_ = playlist_ = winningTeam_ = 0;
}

void HostBackend::StartMatch(int playlist, int team, bool offline) {
    DropMatchHandles();
    GameState& game = world_.Game();
    game.inGame = true;
    game.online = !offline;
    game.playlist = playlist;
    game.team = team;
    server_ = NewHandle(Kind::Server, 0);
    playlist_ = NewHandle(Kind::Playlist, playlist);
    FireEvent(kEventMatchStarted);
}

void HostBackend::EndMatch(int winningTeam, MatchEndHandles handles) {
    objects_.erase(winningTeam_);
    winningTeam_ = NewHandle(Kind::Team, winningTeam, handles != MatchEndHandles::NoWinner);
    // noserver: this one event's caller names nothing; the match's own server lives on,
    // so a later `match end` of the same match is whole again.
    const pluginsdk::Handle caller =
        handles == MatchEndHandles::NoServer ? NewHandle(Kind::Server, 0, /*live=*/false) : server_;
    if (handles == MatchEndHandles::NoController) objects_.erase(controller_);
    FireEvent(kEventMatchEnded, caller);
    // The game makes the player a new controller; the old handle stays invalid.
    if (handles == MatchEndHandles::NoController) controller_ = NewHandle(Kind::Controller, 0);
}

void HostBackend::Leave() {
    DropMatchHandles();
    GameState& game = world_.Game();
    game.inGame = false;
    game.online = true;
    game.playlist = 0;
}

void HostBackend::FireEvent(const std::string& eventName) { FireEvent(eventName, server_); }

void HostBackend::FireEvent(const std::string& eventName, pluginsdk::Handle caller) {
    const std::string kind = "hook \"" + eventName + "\"";
    hooks_.ForEach([&](auto& entry) {
        if (entry.name != eventName) return;
        guard_.Run(kind, [&] {
            if (entry.callback.withCaller) {
                entry.callback.withCaller(caller, nullptr, eventName);
            } else {
                entry.callback.plain(eventName);
            }
        });
    });
}

void HostBackend::DrawFrame(pluginsdk::CanvasBackend& canvas) {
    drawables_.ForEach([&](auto& entry) { guard_.Run("drawable", [&] { entry.callback(CanvasWrapper(&canvas)); }); });
}

std::size_t HostBackend::HookCount(pluginsdk::Handle owner) const {
    return hooks_.CountIf([owner](const auto& entry) { return entry.owner == owner; });
}

std::size_t HostBackend::DrawableCount(pluginsdk::Handle owner) const {
    return drawables_.CountIf([owner](const auto& entry) { return entry.owner == owner; });
}

// --- events, drawing, timers -------------------------------------------------------------

void HostBackend::HookEvent(pluginsdk::Handle owner, const std::string& eventName, pluginsdk::EventCallback callback) {
    if (!AcceptsRegistration(owner, "HookEvent")) return;
    hooks_.Add(owner, eventName, HookCallback{std::move(callback), {}});
}

void HostBackend::HookEventWithCaller(pluginsdk::Handle owner, const std::string& eventName,
                                      pluginsdk::CallerEventCallback callback) {
    if (!AcceptsRegistration(owner, "HookEventWithCaller")) return;
    hooks_.Add(owner, eventName, HookCallback{{}, std::move(callback)});
}

void HostBackend::RegisterDrawable(pluginsdk::Handle owner, pluginsdk::DrawableCallback callback) {
    if (!AcceptsRegistration(owner, "RegisterDrawable")) return;
    drawables_.Add(owner, {}, std::move(callback));
}

void HostBackend::UnregisterDrawables(pluginsdk::Handle owner) {
    drawables_.RemoveIf([owner](const auto& entry) { return entry.owner == owner; });
}

void HostBackend::SetTimeout(pluginsdk::Handle owner, pluginsdk::TimeoutCallback callback, float delaySeconds) {
    world_.Schedule(static_cast<double>(delaySeconds), World::EventKind::Timer,
                    [this, owner, callback = std::move(callback)]() {
                        GameWrapper game(owner);
                        guard_.Run("timer", [&] { callback(&game); });
                    });
}

// --- game state ------------------------------------------------------------------------

bool HostBackend::IsInGame(pluginsdk::Handle) {
    return world_.Game().inGame && !world_.Game().online;
}

bool HostBackend::IsInOnlineGame(pluginsdk::Handle) {
    return world_.Game().inGame && world_.Game().online;
}

pluginsdk::Handle HostBackend::GetPlayerController(pluginsdk::Handle) {
    return controller_;
}

pluginsdk::Handle HostBackend::GetUniqueID(pluginsdk::Handle) {
    return uniqueId_;
}

pluginsdk::Handle HostBackend::GetMMRWrapper(pluginsdk::Handle) {
    return ratingService_;
}

// --- game objects ----------------------------------------------------------------------

bool HostBackend::IsValid(pluginsdk::Handle object) {
    return objects_.count(object) != 0;
}

pluginsdk::Handle HostBackend::GetWinningTeam(pluginsdk::Handle server) {
    if (Live(server, {Kind::Server}) == nullptr) return 0;
    return server == server_ ? winningTeam_ : 0;
}

pluginsdk::Handle HostBackend::GetPlaylist(pluginsdk::Handle gameEvent) {
    if (Live(gameEvent, {Kind::Server}) == nullptr) return 0;
    return gameEvent == server_ ? playlist_ : 0;
}

int HostBackend::GetPlaylistId(pluginsdk::Handle playlist) {
    const Object* object = Live(playlist, {Kind::Playlist});
    return object != nullptr ? object->number : 0;
}

unsigned char HostBackend::GetTeamNum(pluginsdk::Handle teamInfo) {
    const Object* object = Live(teamInfo, {Kind::Team, Kind::Controller});
    if (object == nullptr) return 0;
    const int team = object->kind == Kind::Controller ? world_.Game().team : object->number;
    return static_cast<unsigned char>(team);
}

unsigned char HostBackend::GetTeamNum2(pluginsdk::Handle actor) {
    const Object* object = Live(actor, {Kind::Team, Kind::Controller});
    if (object == nullptr) return 0;
    const int team = object->kind == Kind::Controller ? world_.Game().team : object->number;
    return static_cast<unsigned char>(team);
}

// --- ratings ---------------------------------------------------------------------------

float HostBackend::GetPlayerMMR(pluginsdk::Handle mmr, pluginsdk::Handle uniqueId, int playlistId) {
    if (Live(mmr, {Kind::RatingService}) == nullptr || Live(uniqueId, {Kind::UniqueId}) == nullptr) return 0.0f;
    return world_.Rating(playlistId).mmr;
}

SkillRank HostBackend::GetPlayerRank(pluginsdk::Handle mmr, pluginsdk::Handle uniqueId, int playlistId) {
    if (Live(mmr, {Kind::RatingService}) == nullptr || Live(uniqueId, {Kind::UniqueId}) == nullptr) return {};
    return world_.Rating(playlistId).rank;
}

// --- console ---------------------------------------------------------------------------

pluginsdk::Handle HostBackend::registerCvar(pluginsdk::Handle owner, const pluginsdk::CVarDefinition& definition) {
    if (definition.name.empty()) {
        Warn("registerCvar with an empty name ignored");
        return 0;
    }
    std::string warning;
    ConsoleVariable& variable = cvars_.Register(owner, definition, warning);
    if (!warning.empty()) Warn(warning);
    return variable.handle;
}

pluginsdk::Handle HostBackend::getCvar(pluginsdk::Handle, const std::string& name) {
    ConsoleVariable* variable = cvars_.Find(name);
    return variable != nullptr ? variable->handle : 0;
}

void HostBackend::registerNotifier(pluginsdk::Handle owner, const std::string& name,
                                   pluginsdk::NotifierCallback callback, const std::string& description,
                                   unsigned char permissions) {
    if (!AcceptsRegistration(owner, "registerNotifier")) return;
    if (name.empty()) {
        Warn("registerNotifier with an empty name ignored");
        return;
    }
    cvars_.RegisterCommand(ConsoleCommand{owner, name, std::move(callback), description, permissions});
}

void HostBackend::executeCommand(pluginsdk::Handle owner, const std::string& command, bool) {
    if (runCommand_) runCommand_(owner, command);
}

bool HostBackend::CVarIsValid(pluginsdk::Handle cvar) {
    return cvars_.FindHandle(cvar) != nullptr;
}

void HostBackend::bindTo(pluginsdk::Handle cvar, std::shared_ptr<bool> value) {
    if (ConsoleVariable* variable = Variable(cvar)) cvars_.Bind(*variable, std::move(value));
}

void HostBackend::bindTo(pluginsdk::Handle cvar, std::shared_ptr<float> value) {
    if (ConsoleVariable* variable = Variable(cvar)) cvars_.Bind(*variable, std::move(value));
}

bool HostBackend::getBoolValue(pluginsdk::Handle cvar) {
    const ConsoleVariable* variable = Variable(cvar);
    return variable != nullptr && CvarRegistry::BoolValue(*variable);
}

int HostBackend::getIntValue(pluginsdk::Handle cvar) {
    const ConsoleVariable* variable = Variable(cvar);
    return variable != nullptr ? CvarRegistry::IntValue(*variable) : 0;
}

float HostBackend::getFloatValue(pluginsdk::Handle cvar) {
    const ConsoleVariable* variable = Variable(cvar);
    return variable != nullptr ? CvarRegistry::FloatValue(*variable) : 0.0f;
}

std::string HostBackend::getStringValue(pluginsdk::Handle cvar) {
    const ConsoleVariable* variable = Variable(cvar);
    return variable != nullptr ? variable->value : std::string();
}

void HostBackend::setValue(pluginsdk::Handle cvar, int value) { setValue(cvar, std::to_string(value)); }

void HostBackend::setValue(pluginsdk::Handle cvar, float value) { setValue(cvar, FormatNumber(value)); }

void HostBackend::setValue(pluginsdk::Handle cvar, const std::string& value) {
    ConsoleVariable* variable = Variable(cvar);
    if (variable == nullptr) return;
    std::string error;
    if (!cvars_.Set(*variable, value, error)) Warn("setValue on " + variable->definition.name + " refused: " + error);
}

CountingBackend::CountingBackend(World& world, CvarRegistry& cvars, CallCounter& counter, CallbackGuard& guard,
                                 std::ostream& err)
    : HostBackend(world, cvars, guard, err), counter_(counter) {}

}  // namespace vhost
