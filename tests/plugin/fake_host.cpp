#include "fake_host.h"

#include <algorithm>
#include <cstdlib>

#include <fmt/format.h>

#include "core/trace_canvas.h"

namespace vtest {

FakeHost::FakeHost() { pluginsdk::SetBackend(this); }

FakeHost::~FakeHost() {
    Unload();
    timers.clear();
    pluginsdk::SetBackend(nullptr);
}

Vantrel& FakeHost::Load() {
    auto* owner = reinterpret_cast<std::shared_ptr<BakkesModPlugin>*>(getPlugin());
    share_ = *owner;
    share_->cvarManager = std::make_shared<CVarManagerWrapper>(1);
    share_->gameWrapper = std::make_shared<GameWrapper>(1);
    plugin_ = static_cast<Vantrel*>(share_.get());
    share_->onLoad();
    return *plugin_;
}

void FakeHost::Unload() {
    if (!share_) return;
    share_->onUnload();
    deleteMe();
    share_.reset();
    plugin_ = nullptr;
    callerHooks_.clear();
    hooks_.clear();
    drawables_.clear();
    commands.clear();
}

void FakeHost::Enter(const char* op) {
    if (throwIn == op) {
        throwIn.clear();
        throw std::runtime_error(std::string("injected fault in ") + op);
    }
}

void FakeHost::FireMatchStarted() {
    for (auto& [name, hook] : callerHooks_)
        if (name == "Function TAGame.GameEvent_Soccar_TA.EventMatchStarted") hook(kServer, nullptr, name);
}
void FakeHost::FireMatchEnded(pluginsdk::Handle server) {
    for (auto& [name, hook] : callerHooks_)
        if (name == "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded") hook(server, nullptr, name);
}
void FakeHost::FireScoreboard(bool open) {
    const std::string event = open ? "Function TAGame.GFxHUD_TA.OpenScoreboard" : "Function TAGame.GFxHUD_TA.CloseScoreboard";
    for (auto& [name, hook] : hooks_)
        if (name == event) hook(name);
}
std::vector<std::string> FakeHost::DrawFrame() {
    vhost::TraceCanvas canvas;
    DrawFrame(canvas);
    return canvas.Lines();
}
void FakeHost::DrawFrame(pluginsdk::CanvasBackend& canvas) {
    for (auto& drawable : drawables_) drawable(CanvasWrapper(&canvas));
}
void FakeHost::RunTimers() {
    auto due = std::move(timers);
    timers.clear();
    for (auto& timer : due) timer(&timerGame_);
}

std::string FakeHost::Cvar(const std::string& name) {
    const vhost::ConsoleVariable* v = cvars.Find(name);
    return v != nullptr ? v->value : "<unregistered>";
}
void FakeHost::SetCvar(const std::string& name, const std::string& value) {
    std::string error;
    if (vhost::ConsoleVariable* v = cvars.Find(name)) cvars.Set(*v, value, error);
}
vhost::ConsoleVariable* FakeHost::Variable(pluginsdk::Handle h) { return cvars.FindHandle(h); }

void FakeHost::HookEvent(pluginsdk::Handle, const std::string& name, pluginsdk::EventCallback cb) {
    Enter("HookEvent");
    ops.push_back("HookEvent " + name);
    hooks_.emplace_back(name, std::move(cb));
}
void FakeHost::HookEventWithCaller(pluginsdk::Handle, const std::string& name, pluginsdk::CallerEventCallback cb) {
    Enter("HookEventWithCaller");
    ops.push_back("HookEventWithCaller " + name);
    callerHooks_.emplace_back(name, std::move(cb));
}
void FakeHost::RegisterDrawable(pluginsdk::Handle, pluginsdk::DrawableCallback cb) {
    Enter("RegisterDrawable");
    ops.push_back("RegisterDrawable");
    drawables_.push_back(std::move(cb));
}
void FakeHost::UnregisterDrawables(pluginsdk::Handle) {
    ops.push_back("UnregisterDrawables");
    drawables_.clear();
}
void FakeHost::SetTimeout(pluginsdk::Handle, pluginsdk::TimeoutCallback cb, float) {
    Enter("SetTimeout");
    timers.push_back(std::move(cb));
}
bool FakeHost::IsInGame(pluginsdk::Handle) { return inGame; }
bool FakeHost::IsInOnlineGame(pluginsdk::Handle) { return inGame && online; }
pluginsdk::Handle FakeHost::GetPlayerController(pluginsdk::Handle) { return kController; }
pluginsdk::Handle FakeHost::GetUniqueID(pluginsdk::Handle) {
    Enter("GetUniqueID");
    return kUniqueId;
}
pluginsdk::Handle FakeHost::GetMMRWrapper(pluginsdk::Handle) {
    Enter("GetMMRWrapper");
    return kRatings;
}
bool FakeHost::IsValid(pluginsdk::Handle h) {
    return h != 0 && std::find(invalid.begin(), invalid.end(), h) == invalid.end();
}
pluginsdk::Handle FakeHost::GetWinningTeam(pluginsdk::Handle) { return kWinningTeam; }
pluginsdk::Handle FakeHost::GetPlaylist(pluginsdk::Handle) { return kPlaylist; }
int FakeHost::GetPlaylistId(pluginsdk::Handle) {
    Enter("GetPlaylistId");
    return playlistId;
}
unsigned char FakeHost::GetTeamNum(pluginsdk::Handle) { return winningTeam; }
unsigned char FakeHost::GetTeamNum2(pluginsdk::Handle) { return playerTeam; }
float FakeHost::GetPlayerMMR(pluginsdk::Handle, pluginsdk::Handle, int playlist) {
    Enter("GetPlayerMMR");
    ops.push_back("GetPlayerMMR " + std::to_string(playlist));
    auto it = rating.find(playlist);
    return it == rating.end() ? 0.0f : it->second;
}
SkillRank FakeHost::GetPlayerRank(pluginsdk::Handle, pluginsdk::Handle, int playlist) {
    Enter("GetPlayerRank");
    ops.push_back("GetPlayerRank " + std::to_string(playlist));
    auto it = rank.find(playlist);
    return it == rank.end() ? SkillRank{} : it->second;
}
pluginsdk::Handle FakeHost::registerCvar(pluginsdk::Handle, const pluginsdk::CVarDefinition& d) {
    Enter("registerCvar");
    ops.push_back(fmt::format("registerCvar {} \"{}\" \"{}\" {:d} {:d} {} {:d} {} {:d}", d.name, d.defaultValue,
                              d.description, d.searchable, d.hasMin, d.min, d.hasMax, d.max, d.saveToConfig));
    std::string warning;
    return cvars.Register(pluginsdk::Handle{1}, d, warning).handle;
}
pluginsdk::Handle FakeHost::getCvar(pluginsdk::Handle, const std::string& name) {
    const vhost::ConsoleVariable* v = cvars.Find(name);
    return v != nullptr ? v->handle : 0;
}
void FakeHost::registerNotifier(pluginsdk::Handle, const std::string& name, pluginsdk::NotifierCallback cb,
                                const std::string& description, unsigned char permissions) {
    Enter("registerNotifier");
    ops.push_back(fmt::format("registerNotifier {} \"{}\" {}", name, description, permissions));
    commands[name] = std::move(cb);
}
void FakeHost::executeCommand(pluginsdk::Handle, const std::string& command, bool log) {
    executed.push_back(fmt::format("{} log={:d}", command, log));
}
bool FakeHost::CVarIsValid(pluginsdk::Handle h) { return cvars.FindHandle(h) != nullptr; }
// As the host: a handle that names no variable is ignored, and reads as nothing.
void FakeHost::bindTo(pluginsdk::Handle h, std::shared_ptr<bool> value) {
    if (vhost::ConsoleVariable* v = Variable(h)) {
        ops.push_back("bindTo " + v->definition.name);
        cvars.Bind(*v, std::move(value));
    }
}
void FakeHost::bindTo(pluginsdk::Handle h, std::shared_ptr<float> value) {
    if (vhost::ConsoleVariable* v = Variable(h)) {
        ops.push_back("bindTo " + v->definition.name);
        cvars.Bind(*v, std::move(value));
    }
}
bool FakeHost::getBoolValue(pluginsdk::Handle h) { return Variable(h) != nullptr && vhost::CvarRegistry::BoolValue(*Variable(h)); }
int FakeHost::getIntValue(pluginsdk::Handle h) { return Variable(h) != nullptr ? vhost::CvarRegistry::IntValue(*Variable(h)) : 0; }
float FakeHost::getFloatValue(pluginsdk::Handle h) {
    return Variable(h) != nullptr ? vhost::CvarRegistry::FloatValue(*Variable(h)) : 0.0f;
}
std::string FakeHost::getStringValue(pluginsdk::Handle h) { return Variable(h) != nullptr ? Variable(h)->value : ""; }
void FakeHost::setValue(pluginsdk::Handle h, int value) { setValue(h, std::to_string(value)); }
void FakeHost::setValue(pluginsdk::Handle h, float value) { setValue(h, vhost::FormatNumber(value)); }
void FakeHost::setValue(pluginsdk::Handle h, const std::string& value) {
    std::string error;
    if (vhost::ConsoleVariable* v = Variable(h)) cvars.Set(*v, value, error);
}

}  // namespace vtest
