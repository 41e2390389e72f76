// Drawing the window with GL: only the areas that changed (Presenter), and screenshots read
// back from what was drawn.
#include <GLFW/glfw3.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>

#include <array>
#include <cstdlib>

#include "gui/offscreen_picture.h"
#include "window/session.h"

namespace vhost {

void Session::Present() {
    std::vector<DrawSource> sources;
    sources.push_back({ImGui::GetDrawData(), 0, 0});
    if (SettingsView* settings = host_->SettingsWindowIfMade(); settings != nullptr && host_->MenuOpen()) {
        ImGui::SetCurrentContext(reinterpret_cast<ImGuiContext*>(settings->Context()));
        const ImDrawData* data = ImGui::GetDrawData();
        if (data != nullptr) {
            sources.push_back({data, layout_.settings.x - data->DisplayPos.x, layout_.settings.y - data->DisplayPos.y});
        }
        ImGui::SetCurrentContext(gui_);
    }
    RedrawPlan plan = presenter_.Plan(sources, layout_.width, layout_.height, uploaded_);
    uploaded_ = {};
    if (!plan.draw && !screenshot_.empty() && presenter_.KeptBackBuffer()) {
        // The kept back buffer is what the window shows.
        WriteScreenshot(screenshot_);
        screenshot_.clear();
    } else if (plan.draw || !screenshot_.empty()) {
        const double start = ProcessCpuSeconds();
        Render(plan.areas);
        frames_.renderCpu += ProcessCpuSeconds() - start;
        ++frames_.gl;
        if (!plan.areas.empty()) ++frames_.partial;
    }
}

// Whether the back buffer keeps what was drawn into it across a swap (a software GL
// copies it to the window; a GPU driver may hand over another buffer). Two clears of
// different grey, each swapped and read back: both must read back as drawn.
bool Session::ProbeKeptBackBuffer() {
    bool kept = true;
    for (const int grey : {40, 200}) {
        const float g = static_cast<float>(grey) / 255.0f;
        glClearColor(g, g, g, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glfwSwapBuffers(window_);
        std::array<unsigned char, 4> pixel{};
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        kept = kept && std::abs(static_cast<int>(pixel[0]) - grey) <= 1;
    }
    return kept;
}

// Draws the frame: whole when `areas` is empty, else only inside each of them.
void Session::Render(const std::vector<Rect>& areas) {
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(window_, &fbWidth, &fbHeight);
    glViewport(0, 0, fbWidth, fbHeight);
    glClearColor(0.08f, 0.08f, 0.09f, 1.0f);
    if (areas.empty()) {
        DrawArea(nullptr);
    } else {
        for (const Rect& area : areas) DrawArea(&area);
    }
    if (!screenshot_.empty()) {
        WriteScreenshot(screenshot_);
        screenshot_.clear();
    }
    glfwSwapBuffers(window_);
}

// Clears and draws the window, or only `area` of it: the rest of the kept back buffer
// already shows the same.
void Session::DrawArea(const Rect* area) {
    if (area != nullptr) {
        int fbWidth = 0, fbHeight = 0;
        glfwGetFramebufferSize(window_, &fbWidth, &fbHeight);
        const ImVec2 scale = ImGui::GetIO().DisplayFramebufferScale;
        glEnable(GL_SCISSOR_TEST);
        glScissor(static_cast<int>(area->x * scale.x), static_cast<int>(static_cast<float>(fbHeight) - (area->y + area->h) * scale.y),
                  static_cast<int>(area->w * scale.x), static_cast<int>(area->h * scale.y));
    }
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    RenderSettings(area);
    ImDrawData* data = ImGui::GetDrawData();
    std::vector<ImVec4> saved;
    if (area != nullptr) ClipTo(data, *area, saved);
    ImGui_ImplOpenGL2_RenderDrawData(data);
    if (area != nullptr) Unclip(data, saved);
}

void Session::WriteScreenshot(const std::string& path) {
    int w = 0, h = 0;
    glfwGetFramebufferSize(window_, &w, &h);
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> rgba(bottomUp.size());
    const std::size_t row = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y) {
        std::copy_n(bottomUp.data() + static_cast<std::size_t>(h - 1 - y) * row, row,
                    rgba.data() + static_cast<std::size_t>(y) * row);
    }
    std::string error;
    if (!WriteRgbaPng(rgba, w, h, path, error)) err_ << "vantrel-host: screenshot: " << error << '\n';
}

}  // namespace vhost
