// Plug-in base classes and the exported plug-in record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "types.h"
#include "wrappers.h"

// The interface revision this SDK speaks; the host refuses a record with another one.
inline constexpr std::uint32_t kPluginInterfaceRevision = 95;

// Plug-in types in the record; 0 is the ordinary kind.
inline constexpr std::uint64_t kPluginTypeNormal = 0;

// The record a plug-in module exports under the C name `exports`. 64 bytes, little-endian,
// fully initialised at build time.
struct PluginInfo {
    std::uint32_t interfaceRevision;
    std::uint32_t interfaceRevisionHigh;  // always 0
    const char* sourcePath;
    const char* className;
    const char* displayName;
    const char* version;
    std::uint64_t pluginType;
    std::uintptr_t (*getPlugin)();
    void (*deleteMe)();
};
static_assert(sizeof(PluginInfo) == 64, "the plug-in record is 64 bytes");

// Base of every plug-in object. The host fills both handles after construction and
// before onLoad; the plug-in never assigns them.
class PLUGINSDK_API BakkesModPlugin {
public:
    std::shared_ptr<CVarManagerWrapper> cvarManager;
    std::shared_ptr<GameWrapper> gameWrapper;

    virtual void onLoad();
    virtual void onUnload();
};

// The host's settings-window interface: a plug-in that implements it gets a tab.
class PLUGINSDK_API PluginSettingsWindow {
public:
    virtual ~PluginSettingsWindow();
    virtual void DrawSettings() = 0;
    virtual std::string SettingsTabName() = 0;
    // ctx is the address of the host's Dear ImGui context.
    virtual void SetGuiContext(std::uintptr_t ctx) = 0;
};
