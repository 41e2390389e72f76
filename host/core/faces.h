// What the host shows beyond text, handed in by the program: a picture of the game screen
// (`snapshot`) and the settings window (`settings`, the open menu). The core includes no
// drawing library; without a face the command says that this build lacks it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/settings_view.h"

namespace pluginsdk {
class CanvasBackend;
}

namespace vhost {

struct HostFaces {
    // Lets `draw` draw one frame onto a fresh game screen of `width` x `height` pixels and
    // writes it to `file` as a PNG; false with the reason in `error` on failure.
    using ScreenWriter = std::function<bool(int width, int height,
                                            const std::function<void(pluginsdk::CanvasBackend&)>& draw,
                                            const std::string& file, std::string& error)>;
    ScreenWriter writeScreen;
    // Makes the settings window (once, on first use).
    std::function<std::unique_ptr<SettingsView>()> makeSettings;
};

}  // namespace vhost
