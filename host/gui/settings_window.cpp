#include "gui/settings_window.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <exception>
#include <fstream>
#include <stdexcept>

#include "gui/imgui_scopes.h"
#include "gui/offscreen_picture.h"

namespace vhost {
namespace {

constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr float kFontPixels = 15.0f;
constexpr float kFrameSeconds = 1.0f / 60.0f;
constexpr int kMaxSide = 16384;  // OSMesa's largest buffer side; keeps the pixel buffer sane
constexpr const char* kWindowTitle = "Settings";
constexpr const char* kTabBarId = "##plugin_tabs";
constexpr std::streamoff kMaxFontBytes = 64 << 20;

// Makes a context current in the host's copy of Dear ImGui for a scope, then puts back
// whatever was current before. Plug-ins hold their own copy; this one touches only ours.
class UseContext {
public:
    explicit UseContext(ImGuiContext* context) : previous_(ImGui::GetCurrentContext()) {
        ImGui::SetCurrentContext(context);
    }
    ~UseContext() { ImGui::SetCurrentContext(previous_); }
    UseContext(const UseContext&) = delete;
    UseContext& operator=(const UseContext&) = delete;

private:
    ImGuiContext* previous_;
};

// DejaVu Sans if it can be read, else ImGui's built-in font. The file is read here rather
// than by ImGui, which asserts (and so aborts) on a file it cannot open.
void LoadFont(ImGuiIO& io) {
    std::ifstream in(kFontPath, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    if (size > 0 && size <= kMaxFontBytes) {
        void* data = ImGui::MemAlloc(static_cast<std::size_t>(size));
        in.seekg(0);
        if (in.read(static_cast<char*>(data), size)) {
            // The atlas takes ownership of `data`.
            if (io.Fonts->AddFontFromMemoryTTF(data, static_cast<int>(size), kFontPixels) != nullptr) return;
        } else {
            ImGui::MemFree(data);
        }
    }
    io.Fonts->AddFontDefault();
}

void ApplyInput(ImGuiIO& io, const GuiInput& input) {
    const bool hasMouse =
        std::isfinite(input.mouseX) && std::isfinite(input.mouseY) && input.mouseX >= 0.0f && input.mouseY >= 0.0f;
    io.MousePos = hasMouse ? ImVec2(input.mouseX, input.mouseY) : ImVec2(-FLT_MAX, -FLT_MAX);
    io.MouseDown[0] = input.mouseDown;
}

}  // namespace

struct SettingsWindow::Impl {
    int width = 0;
    int height = 0;
    ImGuiContext* context = nullptr;

    bool open = false;
    std::string selected;
    // Open() asked for `selected`, and the tab bar has not shown it yet.
    bool selectionPending = false;

    bool inFrame = false;
    bool rendered = false;  // a frame has been rendered, so there is draw data to picture
    std::vector<std::string> lastTabNames;
    std::unique_ptr<OffscreenPicture> picture;

    bool NeedsLayoutPass(const std::vector<SettingsTab>& tabs);
    void RunFrame(const std::vector<SettingsTab>& tabs, bool drawContent);
    void DrawWindow(const std::vector<SettingsTab>& tabs, bool drawContent, std::exception_ptr& tabFailure);
    void DrawTab(const SettingsTab& tab, std::exception_ptr& tabFailure);
    void FinishFrame(bool drawContent);
};

// Dear ImGui's tab bar applies a selection one frame late, and on its first frame with
// several tabs shows none. A frame that only lays the tabs out (no tab draws, input left
// as it was so nothing is clicked) settles the bar before the frame that counts: needed
// when the tab set changed or Open() asked for a tab that is now present.
bool SettingsWindow::Impl::NeedsLayoutPass(const std::vector<SettingsTab>& tabs) {
    std::vector<std::string> names;
    names.reserve(tabs.size());
    for (const SettingsTab& tab : tabs) names.push_back(tab.name);
    const bool changed = names != lastTabNames;
    const bool wanted = selectionPending && std::find(names.begin(), names.end(), selected) != names.end();
    lastTabNames = std::move(names);
    return changed || wanted;
}

void SettingsWindow::Impl::RunFrame(const std::vector<SettingsTab>& tabs, bool drawContent) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
    io.DeltaTime = kFrameSeconds;
    ImGui::NewFrame();

    const ImGuiScopes frameScopes = ImGuiScopes::Capture();
    std::exception_ptr tabFailure;
    try {
        DrawWindow(tabs, drawContent, tabFailure);
    } catch (...) {
        // The host's own drawing failed (e.g. out of memory): still close the frame, or the
        // next one could not start.
        frameScopes.Restore();
        FinishFrame(drawContent);
        throw;
    }
    FinishFrame(drawContent);
    if (tabFailure) std::rethrow_exception(tabFailure);
}

void SettingsWindow::Impl::FinishFrame(bool drawContent) {
    if (drawContent) {
        ImGui::Render();
        rendered = true;
    } else {
        ImGui::EndFrame();
    }
}

void SettingsWindow::Impl::DrawWindow(const std::vector<SettingsTab>& tabs, bool drawContent,
                                      std::exception_ptr& tabFailure) {
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    constexpr ImGuiWindowFlags kFlags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                        ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings;
    if (ImGui::Begin(kWindowTitle, nullptr, kFlags)) {
        if (tabs.empty()) {
            ImGui::TextUnformatted("No plug-in has a settings tab.");
        } else if (ImGui::BeginTabBar(kTabBarId)) {
            for (std::size_t i = 0; i < tabs.size(); ++i) {
                const SettingsTab& tab = tabs[i];
                // Tabs of the same name get distinct IDs; the first keeps the plain one so
                // that its identity does not depend on the others.
                const auto earlier = std::count_if(tabs.begin(), tabs.begin() + static_cast<std::ptrdiff_t>(i),
                                                   [&](const SettingsTab& t) { return t.name == tab.name; });
                if (earlier > 0) ImGui::PushID(static_cast<int>(earlier));
                const bool wanted = selectionPending && earlier == 0 && tab.name == selected;
                if (ImGui::BeginTabItem(tab.name.c_str(), nullptr,
                                        wanted ? ImGuiTabItemFlags_SetSelected : ImGuiTabItemFlags_None)) {
                    if (drawContent) {
                        // While Open()'s tab is missing, the bar shows another one but the
                        // window keeps waiting for the asked one.
                        if (!selectionPending || tab.name == selected) {
                            selected = tab.name;
                            selectionPending = false;
                        }
                        DrawTab(tab, tabFailure);
                    }
                    ImGui::EndTabItem();
                }
                if (earlier > 0) ImGui::PopID();
            }
            ImGui::EndTabBar();
        }
    }
    ImGui::End();
}

// Runs plug-in code. Whatever it does, the frame must stay well-formed: an exception is
// kept for the caller and rethrown once the frame is closed, and scopes it left open are
// closed (leaving them open without throwing is reported as a failure too).
void SettingsWindow::Impl::DrawTab(const SettingsTab& tab, std::exception_ptr& tabFailure) {
    if (!tab.draw) return;
    const ImGuiScopes scopes = ImGuiScopes::Capture();
    try {
        tab.draw();
    } catch (...) {
        tabFailure = std::current_exception();
    }
    ImGui::SetCurrentContext(context);
    if (!scopes.Balanced()) {
        scopes.Restore();
        if (!tabFailure) {
            tabFailure = std::make_exception_ptr(std::runtime_error(
                "settings tab \"" + tab.name + "\" left Dear ImGui scopes open (a missing End or Pop call)"));
        }
    }
}

SettingsWindow::SettingsWindow(int width, int height) : impl_(std::make_unique<Impl>()) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        throw std::invalid_argument("settings window size " + std::to_string(width) + "x" + std::to_string(height) +
                                    " out of range (1 to " + std::to_string(kMaxSide) + " pixels a side)");
    }
    impl_->width = width;
    impl_->height = height;

    IMGUI_CHECKVERSION();
    ImGuiContext* previous = ImGui::GetCurrentContext();
    impl_->context = ImGui::CreateContext();  // made current only if none was
    ImGui::SetCurrentContext(impl_->context);
    struct PutBack {
        ImGuiContext* previous;
        ~PutBack() { ImGui::SetCurrentContext(previous); }
    } putBack{previous};
    try {
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
        io.IniFilename = nullptr;  // a headless host keeps no imgui.ini
        io.LogFilename = nullptr;
        ImGui::StyleColorsDark();
        ImGuiStyle& style = ImGui::GetStyle();
        style.WindowRounding = 0.0f;
        style.FrameRounding = 2.0f;
        style.TabRounding = 2.0f;
        LoadFont(io);
        // Frames need a built atlas; with no renderer yet, build it here.
        unsigned char* pixels = nullptr;
        int atlasWidth = 0;
        int atlasHeight = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &atlasWidth, &atlasHeight);
    } catch (...) {
        ImGui::DestroyContext(impl_->context);
        throw;
    }
}

SettingsWindow::~SettingsWindow() {
    {
        UseContext use(impl_->context);
        impl_->picture.reset();  // the renderer's state lives in this context
    }
    ImGui::DestroyContext(impl_->context);
}

std::uintptr_t SettingsWindow::Context() const { return reinterpret_cast<std::uintptr_t>(impl_->context); }

void SettingsWindow::Open(const std::string& tabName) {
    impl_->open = true;
    impl_->selected = tabName;
    impl_->selectionPending = true;
}

void SettingsWindow::Close() { impl_->open = false; }

bool SettingsWindow::IsOpen() const { return impl_->open; }

const std::string& SettingsWindow::SelectedTab() const { return impl_->selected; }

void SettingsWindow::Frame(const std::vector<SettingsTab>& tabs, const GuiInput& input) {
    Impl& m = *impl_;
    if (m.inFrame) throw std::logic_error("the settings window cannot start a frame inside one of its frames");
    m.inFrame = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{m.inFrame};

    UseContext use(m.context);
    if (m.NeedsLayoutPass(tabs)) m.RunFrame(tabs, false);
    ApplyInput(ImGui::GetIO(), input);
    m.RunFrame(tabs, true);
}

bool SettingsWindow::WritePng(const std::string& path, std::string& error) {
    Impl& m = *impl_;
    if (m.inFrame) {
        error = "the settings window cannot be pictured while it draws a frame";
        return false;
    }
    if (!m.rendered) {
        try {
            Frame({});
        } catch (const std::exception& e) {
            error = std::string("could not draw the settings window: ") + e.what();
            return false;
        }
    }
    UseContext use(m.context);
    ImDrawData* data = ImGui::GetDrawData();
    if (data == nullptr) {
        error = "the settings window has no frame to picture";
        return false;
    }
    if (!m.picture) m.picture = std::make_unique<OffscreenPicture>(m.width, m.height);
    std::vector<std::uint8_t> rgba;
    if (!m.picture->Render(*data, rgba, error)) return false;
    return WriteRgbaPng(rgba, m.width, m.height, path, error);
}

int SettingsWindow::Width() const { return impl_->width; }

int SettingsWindow::Height() const { return impl_->height; }

}  // namespace vhost
