#include "window/widget_places.h"

namespace vhost {

void WidgetPlaces::RecordLast(const std::string& label) {
    const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
    places_[label] = {min.x, min.y, max.x - min.x, max.y - min.y};
}

void BeginPanel(const char* name, const Rect& area, ImGuiWindowFlags flags) {
    ImGui::SetNextWindowPos(ImVec2(area.x, area.y));
    ImGui::SetNextWindowSize(ImVec2(area.w, area.h));
    ImGui::Begin(name, nullptr, flags | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings);
}

}  // namespace vhost
