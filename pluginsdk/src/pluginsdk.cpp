// Wrapper operations: each forwards to the installed backend.
#include "pluginsdk/pluginsdk.h"

#include "pluginsdk/backend.h"

#include <stdexcept>

namespace pluginsdk {
namespace {
Backend* installedBackend = nullptr;
}

CanvasBackend::~CanvasBackend() = default;
Backend::~Backend() = default;

void SetBackend(Backend* backend) { installedBackend = backend; }

Backend& GetBackend() {
    if (installedBackend == nullptr) throw std::logic_error("pluginsdk: no host backend installed");
    return *installedBackend;
}
}  // namespace pluginsdk

using pluginsdk::GetBackend;

void BakkesModPlugin::onLoad() {}
void BakkesModPlugin::onUnload() {}
PluginSettingsWindow::~PluginSettingsWindow() = default;

ActorWrapper::operator bool() const { return GetBackend().IsValid(memory_address); }
unsigned char ActorWrapper::GetTeamNum2() const { return GetBackend().GetTeamNum2(memory_address); }
unsigned char TeamInfoWrapper::GetTeamNum() const { return GetBackend().GetTeamNum(memory_address); }
GameSettingPlaylistWrapper::operator bool() const { return GetBackend().IsValid(memory_address); }
int GameSettingPlaylistWrapper::GetPlaylistId() const { return GetBackend().GetPlaylistId(memory_address); }
GameSettingPlaylistWrapper GameEventWrapper::GetPlaylist() const {
    return GameSettingPlaylistWrapper(GetBackend().GetPlaylist(memory_address));
}
TeamWrapper ServerWrapper::GetWinningTeam() const { return TeamWrapper(GetBackend().GetWinningTeam(memory_address)); }

float MMRWrapper::GetPlayerMMR(UniqueIDWrapper uniqueId, int playlistId) const {
    return GetBackend().GetPlayerMMR(handle_, uniqueId.handle(), playlistId);
}
SkillRank MMRWrapper::GetPlayerRank(UniqueIDWrapper uniqueId, int playlistId) const {
    return GetBackend().GetPlayerRank(handle_, uniqueId.handle(), playlistId);
}

void CanvasWrapper::SetColor(unsigned char red, unsigned char green, unsigned char blue, unsigned char alpha) {
    backend_->SetColor(red, green, blue, alpha);
}
void CanvasWrapper::SetPosition(Vector2 position) { backend_->SetPosition(position); }
void CanvasWrapper::SetPosition(Vector2F position) { backend_->SetPosition(position); }
Vector2 CanvasWrapper::GetPosition() { return backend_->GetPosition(); }
void CanvasWrapper::FillBox(Vector2 size) { backend_->FillBox(size); }
void CanvasWrapper::DrawLine(Vector2 start, Vector2 end) { backend_->DrawLine(start, end); }
void CanvasWrapper::DrawString(std::string text, float xScale, float yScale, bool dropShadow, bool wrapText) {
    backend_->DrawString(text, xScale, yScale, dropShadow, wrapText);
}

CVarWrapper::operator bool() const { return GetBackend().CVarIsValid(handle_); }
void CVarWrapper::bindTo(std::shared_ptr<bool> value) { GetBackend().bindTo(handle_, std::move(value)); }
void CVarWrapper::bindTo(std::shared_ptr<float> value) { GetBackend().bindTo(handle_, std::move(value)); }
bool CVarWrapper::getBoolValue() const { return GetBackend().getBoolValue(handle_); }
int CVarWrapper::getIntValue() const { return GetBackend().getIntValue(handle_); }
float CVarWrapper::getFloatValue() const { return GetBackend().getFloatValue(handle_); }
std::string CVarWrapper::getStringValue() const { return GetBackend().getStringValue(handle_); }
void CVarWrapper::setValue(int value) { GetBackend().setValue(handle_, value); }
void CVarWrapper::setValue(float value) { GetBackend().setValue(handle_, value); }
void CVarWrapper::setValue(std::string value) { GetBackend().setValue(handle_, value); }

CVarWrapper CVarManagerWrapper::registerCvar(std::string name, std::string defaultValue, std::string description,
                                             bool searchable, bool hasMin, float min, bool hasMax, float max,
                                             bool saveToConfig) {
    pluginsdk::CVarDefinition definition{std::move(name), std::move(defaultValue), std::move(description),
                                         searchable, hasMin, min, hasMax, max, saveToConfig};
    return CVarWrapper(GetBackend().registerCvar(owner_, definition));
}
CVarWrapper CVarManagerWrapper::getCvar(std::string name) { return CVarWrapper(GetBackend().getCvar(owner_, name)); }
void CVarManagerWrapper::registerNotifier(std::string name, std::function<void(std::vector<std::string>)> callback,
                                          std::string description, unsigned char permissions) {
    GetBackend().registerNotifier(owner_, name, std::move(callback), description, permissions);
}
void CVarManagerWrapper::executeCommand(std::string command, bool log) {
    GetBackend().executeCommand(owner_, command, log);
}

void GameWrapper::HookEvent(std::string eventName, std::function<void(std::string)> callback) {
    GetBackend().HookEvent(owner_, eventName, std::move(callback));
}
void GameWrapper::HookEventWithCallerHandle(std::string eventName,
                                            std::function<void(pluginsdk::Handle, void*, std::string)> callback) {
    GetBackend().HookEventWithCaller(owner_, eventName, std::move(callback));
}
void GameWrapper::RegisterDrawable(std::function<void(CanvasWrapper)> callback) {
    GetBackend().RegisterDrawable(owner_, std::move(callback));
}
void GameWrapper::UnregisterDrawables() { GetBackend().UnregisterDrawables(owner_); }
void GameWrapper::SetTimeout(std::function<void(GameWrapper*)> callback, float delaySeconds) {
    GetBackend().SetTimeout(owner_, std::move(callback), delaySeconds);
}
bool GameWrapper::IsInGame() { return GetBackend().IsInGame(owner_); }
bool GameWrapper::IsInOnlineGame() { return GetBackend().IsInOnlineGame(owner_); }
PlayerControllerWrapper GameWrapper::GetPlayerController() {
    return PlayerControllerWrapper(GetBackend().GetPlayerController(owner_));
}
UniqueIDWrapper GameWrapper::GetUniqueID() { return UniqueIDWrapper(GetBackend().GetUniqueID(owner_)); }
MMRWrapper GameWrapper::GetMMRWrapper() { return MMRWrapper(GetBackend().GetMMRWrapper(owner_)); }
