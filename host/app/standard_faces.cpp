#include "app/standard_faces.h"

#include "gui/settings_window.h"
#include "snapshot/snapshot_canvas.h"

namespace vhost {

HostFaces StandardFaces() {
    HostFaces faces;
    faces.writeScreen = [](int width, int height, const std::function<void(pluginsdk::CanvasBackend&)>& draw,
                           const std::string& file, std::string& error) {
        SnapshotCanvas screen(width, height);
        draw(screen);
        return screen.WritePng(file, error);
    };
    faces.makeSettings = [] { return std::make_unique<SettingsWindow>(); };
    return faces;
}

}  // namespace vhost
