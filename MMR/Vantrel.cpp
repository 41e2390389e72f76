// The plug-in frame: the exported record and factory, construction, start-up and shut-down.
#include "Vantrel.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <new>

std::shared_ptr<Vantrel> instanceOwner;

extern "C" {
const PluginInfo exports = {
    kPluginInterfaceRevision, 0, __FILE__, "Vantrel", "Vantrel Plugin", "1.0", kPluginTypeNormal, &getPlugin,
    &deleteMe,
};

std::uintptr_t getPlugin() {
    if (!instanceOwner) {
        // The object starts from zeroed storage, as the host's loader expects of a plug-in.
        void* storage = ::operator new(sizeof(Vantrel));
        std::memset(storage, 0, sizeof(Vantrel));
        Vantrel* plugin = nullptr;
        try {
            plugin = new (storage) Vantrel();
        } catch (...) {
            ::operator delete(storage);
            throw;
        }
        instanceOwner = std::shared_ptr<Vantrel>(plugin, [](Vantrel* p) { delete static_cast<SettingsWindowBase*>(p); });
    }
    return reinterpret_cast<std::uintptr_t>(&instanceOwner);
}

void deleteMe() {
    std::shared_ptr<Vantrel> released = std::move(instanceOwner);
    instanceOwner.reset();
    released.reset();  // destroys the object unless the host still holds a share
}
}

namespace {
constexpr std::array<int, 3> kRankedPlaylists{10, 11, 13};

// A reading that is not a finite number is no rating at all.
float RatingOrZero(float reading) { return std::isfinite(reading) ? reading : 0.0f; }
}  // namespace

Vantrel::Vantrel() : modeLabels{"1vs1", "2vs2", "3vs3", "Other"}, rankTables(BuildRankTables()) {}

void Vantrel::onLoad() {
    try {
        logFile.open("VantrelLog.txt", std::ios::out | std::ios::app);

        // First shared values; the console-variable bindings below take them over.
        // posY starts at 850 although vantrel_pos_y defaults to 350, on purpose: the plug-in
        // has always started so. A host that writes the variable's value when binding (ours
        // does) moves the table to 350 or the saved value at once; one that passes on only
        // later changes keeps it at 850 until the variable is set.
        enabled = std::make_shared<bool>(false);
        posX = std::make_shared<float>(10.0f);
        posY = std::make_shared<float>(850.0f);

        UniqueIDWrapper player = gameWrapper->GetUniqueID();
        MMRWrapper ratings = gameWrapper->GetMMRWrapper();

        // The 1vs1 rating may not be known yet right after the game starts: poll it.
        CheckMMRUpdate(10, 0.0f, 120, 0);
        deltaMMR[0] = 0.0f;

        for (std::size_t i = 0; i < kRankedPlaylists.size(); ++i) {
            mmr[i] = RatingOrZero(ratings.GetPlayerMMR(player, kRankedPlaylists[i]));
        }
        for (std::size_t i = 0; i < kRankedPlaylists.size(); ++i) {
            ranks[i] = ratings.GetPlayerRank(player, kRankedPlaylists[i]);
        }

        RegisterConsole();
        RegisterHooks();
    } catch (const std::exception& e) {
        Log(std::string("OnLoad Exception: ") + e.what());
    }
}

void Vantrel::onUnload() {
    logFile.close();
    gameWrapper->UnregisterDrawables();
}

void Vantrel::RegisterConsole() {
    cvarManager->registerCvar("vantrel_enabled", "1", "Enables/disable Vantrel Stats", true, true, 0.0f, true, 1.0f,
                              true);
    cvarManager->getCvar("vantrel_enabled").bindTo(enabled);
    // Positions have a minimum of 0 and no maximum. The overlay still draws from whatever
    // the shared values hold, negative positions included (truncated toward zero): the
    // limits are the host's to apply, and a frame must not depend on them.
    cvarManager->registerCvar("vantrel_pos_x", "10", "Left Position", true, true, 0.0f, false, 0.0f, true)
        .bindTo(posX);
    cvarManager->registerCvar("vantrel_pos_y", "350", "Top Position", true, true, 0.0f, false, 0.0f, true)
        .bindTo(posY);
    cvarManager->registerCvar("vantrel_show_menu", "0", "Show Vantrel menu", true, true, 0.0f, true, 1.0f, true);

    cvarManager->registerNotifier(
        "vantrel_show_menu",
        [this](std::vector<std::string>) { cvarManager->executeCommand("openmenu vantrel", false); },
        "Show Vantrel menu", 0);
}

void Vantrel::RegisterHooks() {
    gameWrapper->HookEventWithCaller<ServerWrapper>(
        "Function TAGame.GameEvent_Soccar_TA.EventMatchStarted",
        [this](ServerWrapper caller, void*, std::string) { OnMatchStarted(caller); });
    gameWrapper->HookEventWithCaller<ServerWrapper>(
        "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded",
        [this](ServerWrapper caller, void*, std::string) { onMatchEnd(caller); });
    gameWrapper->RegisterDrawable([this](CanvasWrapper canvas) { Render(canvas); });
    gameWrapper->HookEvent("Function TAGame.GFxHUD_TA.OpenScoreboard",
                           [this](std::string eventName) { OnOpenScoreboard(std::move(eventName)); });
    gameWrapper->HookEvent("Function TAGame.GFxHUD_TA.CloseScoreboard",
                           [this](std::string eventName) { OnCloseScoreboard(std::move(eventName)); });
}

int Vantrel::GetModeIndex(int playlistId) {
    switch (playlistId) {
        case 10: return 0;
        case 11: return 1;
        case 13: return 2;
        default: return 3;
    }
}

void Vantrel::BindFloatCvar(std::string name, std::shared_ptr<float> value, std::string defaultValue,
                            std::string description) {
    // An existing variable of that name is simply bound as well.
    cvarManager->registerCvar(std::move(name), std::move(defaultValue), std::move(description), true, true, 0.0f,
                              false, 0.0f, true)
        .bindTo(std::move(value));
}
