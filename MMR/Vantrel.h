// Vantrel: follows the local player's skill rating through a play session, per ranked
// mode, and shows it as a table on the game screen.
//
// One object per loaded module. Every entry point is a host callback on the game thread,
// one at a time; nothing here locks. Member and virtual-function order is part of the
// plug-in's binary shape: keep it.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "RankTable.h"
#include "SettingsWindowBase.h"
#include "host_sdk.h"

class Vantrel : public BakkesModPlugin, public SettingsWindowBase {
public:
    Vantrel();

    // Start-up and shut-down (Vantrel.cpp).
    void onLoad() override;
    void onUnload() override;

    // Draws one row of the statistics table at the canvas's current position (Overlay.cpp).
    virtual void RenderRow(CanvasWrapper canvas, float scale, std::string rowName, int winCount, int lossCount,
                           float mmrChange, std::string rankText, float toRankUp);
    // A settings-panel slider on a console variable (Settings.cpp).
    virtual void CvarSlider(std::string cvarName, std::string label, float minValue, float maxValue);
    // Playlist id to mode index: 10, 11, 13 to 0, 1, 2; anything else to 3 ("Other").
    virtual int GetModeIndex(int playlistId);

private:
    // One rating check of a poll; retries itself once a second (Tracker.cpp).
    virtual void CheckMMRUpdate(int playlistId, float initialMMR, int maxRetries, int count);

public:
    // Writes one time-stamped line to VantrelLog.txt (Log.cpp).
    virtual void Log(const std::string& message);
    virtual void OnMatchStarted(ServerWrapper server);
    // Registers a float console variable (searchable, minimum 0, saved) and binds `value` to it.
    virtual void BindFloatCvar(std::string name, std::shared_ptr<float> value, std::string defaultValue,
                               std::string description);

    // Settings panel (Settings.cpp).
    void DrawSettings() override;

    // Host callbacks registered by onLoad.
    void onMatchEnd(ServerWrapper server);
    void trackMMR(ServerWrapper server, bool wonMatch);
    void Render(CanvasWrapper canvas);
    void OnOpenScoreboard(std::string eventName);
    void OnCloseScoreboard(std::string eventName);

    // Session statistics, indexed by mode (0 "1vs1", 1 "2vs2", 2 "3vs3", 3 "Other").
    std::array<int, 4> wins{};
    std::array<int, 4> losses{};
    std::array<float, 4> mmr{};
    std::array<float, 4> deltaMMR{};
    std::array<std::string, 4> modeLabels;
    std::array<SkillRank, 4> ranks{};

    std::ofstream logFile;

    // Shared with the host through console-variable bindings.
    std::shared_ptr<bool> enabled;
    std::shared_ptr<float> posX;
    std::shared_ptr<float> posY;

    // Inside a game, the table shows only while this is set.
    bool scoreboardOpen = false;
    std::vector<RankTable> rankTables;

private:
    void RegisterConsole();
    void RegisterHooks();
};

// The module's one shared owner of the plug-in object; empty until getPlugin.
extern std::shared_ptr<Vantrel> instanceOwner;

#if defined(_WIN32)
#  define VANTREL_EXPORT __declspec(dllexport)
#else
#  define VANTREL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
VANTREL_EXPORT extern const PluginInfo exports;
// Creates the plug-in object on first call; returns the address of instanceOwner.
VANTREL_EXPORT std::uintptr_t getPlugin();
// Drops the module's share of the object.
VANTREL_EXPORT void deleteMe();
}
