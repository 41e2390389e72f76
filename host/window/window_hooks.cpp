// The window's test hooks (VANTREL_WINDOW_HOOKS, described in window_session.h): steps a
// test plays one a frame as a user would, with targets found by the widgets' labels; and the
// layout and CPU reports they write.
#include <imgui.h>
#include <imgui_internal.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "session.h"
// Last: Xlib defines macros (None, Status, Bool) that other headers use as names.
#include "x11_native.h"

namespace vhost {
namespace {

constexpr int kWidgetSearchFrames = 30;

// A plug-in's widget by label: "LABEL" (its middle) or "LABEL at F" (F of the way across).
void SplitWidget(const std::string& rest, std::string& label, float& fraction) {
    label = rest;
    fraction = 0.5f;
    const auto at = rest.rfind(" at ");
    if (at == std::string::npos) return;
    char* end = nullptr;
    const float f = std::strtof(rest.c_str() + at + 4, &end);
    if (end != rest.c_str() + at + 4 && *end == '\0') {
        label = rest.substr(0, at);
        fraction = f;
    }
}

}  // namespace

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<HookStep> ReadHooks(const char* path) {
    std::vector<HookStep> steps;
    if (path == nullptr || *path == '\0') return steps;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find(' ');
        steps.push_back({line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)});
    }
    return steps;
}

void Session::RunHooks(ImGuiIO& io) {
    auto& h = hooks_;
    while (h.index < h.steps.size()) {
        const HookStep& step = h.steps[h.index];
        if (step.verb == "frames") {
            if (h.frames == 0) h.frames = std::max(1, std::atoi(step.rest.c_str()));
            if (--h.frames > 0) return;
        } else if (step.verb == "sleep") {
            if (h.until == SteadyClock::time_point{}) {
                h.until = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                                   std::chrono::duration<double>(std::atof(step.rest.c_str())));
            }
            if (SteadyClock::now() < h.until) return;
            h.until = {};
        } else if (step.verb == "mouse") {
            const bool found = HookTarget(step.rest, h.mousePos);
            if (!found && !h.widgetLabel.empty()) return;  // a panel widget still being looked for
            if (!found) err_ << "vantrel-host: hook: no target '" << step.rest << "'\n";
            h.mouse = true;
            ++h.index;
            return;  // one input change a frame, as a user makes them
        } else if (step.verb == "press" || step.verb == "release") {
            h.mouse = true;
            h.mouseDown = step.verb == "press";
            ++h.index;
            return;
        } else if (step.verb == "wheel") {
            io.MouseWheel += std::strtof(step.rest.c_str(), nullptr);
            ++h.index;
            return;
        } else if (step.verb == "type") {
            // Into the widget that takes text, else the console (once it has taken the focus).
            const ImGuiContext& g = *ImGui::GetCurrentContext();
            if (g.ActiveId == 0 || g.ActiveId != g.InputTextState.ID) {
                consolePanel_.focus = true;
                return;
            }
            io.AddInputCharactersUTF8(step.rest.c_str());
            ++h.index;
            return;
        } else if (step.verb == "key" || step.verb == "keys") {
            // `key NAME`: one press and its release, given together as a fast typist or a
            // remote desktop gives them; `keys TEXT`: text whose \n are Enters, all at once.
            if (step.verb == "key") {
                const int key = step.rest == "enter" ? GLFW_KEY_ENTER
                                : step.rest == "up"  ? GLFW_KEY_UP
                                : step.rest == "down" ? GLFW_KEY_DOWN
                                                      : -1;
                keys_.Key(key, true);
                keys_.Key(key, false);
            } else {
                std::string text = step.rest;
                for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
                for (const char c : text) {
                    if (c == '\n') {
                        keys_.Key(GLFW_KEY_ENTER, true);
                        keys_.Key(GLFW_KEY_ENTER, false);
                    } else {
                        keys_.Char(static_cast<unsigned char>(c));
                    }
                }
            }
            ++h.index;
            return;
        } else if (step.verb == "screenshot") {
            h.screenshot = step.rest;
        } else if (step.verb == "redraw") {
            presenter_.Invalidate();  // the next frame is drawn whole, as after an expose
        } else if (step.verb == "layout") {
            WriteLayout(step.rest);
        } else if (step.verb == "size") {
            int w = 0, hh = 0;
            if (std::sscanf(step.rest.c_str(), "%dx%d", &w, &hh) == 2) glfwSetWindowSize(window_, w, hh);
        } else if (step.verb == "cpu") {
            // cpu start / cpu report FILE: the process's CPU time (every thread, the GL
            // driver's included) per frame and per second of real time in between.
            if (step.rest == "start") {
                h.cpuStart = ProcessCpuSeconds();
                h.wallStart = SteadyClock::now();
                h.renderedAtStart = frames_.rendered;
                h.renderCpuAtStart = frames_.renderCpu;
                h.glAtStart = frames_.gl;
                h.partialAtStart = frames_.partial;
            } else if (step.rest.rfind("report ", 0) == 0) {
                WriteCpuReport(step.rest.substr(7));
            }
        } else if (step.verb == "script") {
            if (script_.Running()) return;
        } else if (step.verb == "signal") {
            // As if the signal came from outside (Ctrl-C in the terminal, `kill`).
            std::raise(step.rest == "TERM" ? SIGTERM : SIGINT);
        } else if (step.verb == "kill-window" || step.verb == "destroy-window") {
            // Another client kills the window's connection, as xkill does, or destroys the
            // window itself.
            if (Display* other = XOpenDisplay(nullptr); other != nullptr) {
                if (step.verb == "kill-window") {
                    XKillClient(other, glfwGetX11Window(window_));
                } else {
                    XDestroyWindow(other, glfwGetX11Window(window_));
                }
                XSync(other, False);
                XCloseDisplay(other);
            }
        } else if (step.verb == "close") {
            glfwSetWindowShouldClose(window_, GLFW_TRUE);
        }
        ++h.index;
    }
}

bool Session::SleepHookDue() const {
    if (hooks_.index >= hooks_.steps.size() || hooks_.steps[hooks_.index].verb != "sleep") return false;
    return hooks_.until == SteadyClock::time_point{} || SteadyClock::now() >= hooks_.until;
}

// A point named by a hook: "X Y" (window pixels), "control LABEL" (the middle of one of the
// window's own widgets) or "widget LABEL [at F]" (a widget of the plug-in's settings panel by
// its Dear ImGui label: its middle, or F of the way across). False while a panel widget is
// being looked for (hooks_.widgetLabel set) or when the target is unknown.
bool Session::HookTarget(const std::string& target, ImVec2& point) {
    std::istringstream in(target);
    std::string first;
    in >> first;
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (first == "control") {
        const auto found = widgets_.find(rest);
        if (found == widgets_.end()) return false;
        const Rect& r = found->second;
        point = ImVec2(r.x + r.w / 2, r.y + r.h / 2);
        return true;
    }
    if (first == "widget") {
        std::string label;
        float fraction = 0.5f;
        SplitWidget(rest, label, fraction);
        if (const auto found = hooks_.panelWidgets.find(label); found != hooks_.panelWidgets.end()) {
            const Rect& r = found->second;
            point = ImVec2(layout_.settings.x + r.x + r.w * fraction, layout_.settings.y + r.y + r.h / 2);
            hooks_.widgetFrames = 0;
            return true;
        }
        if (hooks_.widgetLabel.empty() && hooks_.widgetFrames == 0) {
            hooks_.widgetLabel = label;  // looked for while the settings window draws
            return false;
        }
        if (hooks_.widgetFrames > kWidgetSearchFrames || !host_->MenuOpen()) {
            hooks_.widgetLabel.clear();
            hooks_.widgetFrames = 0;
        }
        return false;
    }
    std::istringstream numbers(target);
    return static_cast<bool>(numbers >> point.x >> point.y);
}

void Session::ApplySyntheticInput(ImGuiIO& io) {
    if (!hooks_.mouse) return;
    io.MousePos = hooks_.mousePos;
    io.MouseDown[0] = hooks_.mouseDown;
}

void Session::WriteLayout(const std::string& path) {
    std::ofstream out(path);
    const auto rect = [&](const std::string& name, const Rect& r) {
        out << name << ' ' << r.x << ' ' << r.y << ' ' << r.w << ' ' << r.h << '\n';
    };
    out << "window " << layout_.width << ' ' << layout_.height << '\n';
    rect("screen", layout_.screen);
    rect("view", ScreenView());
    if (host_->MenuOpen()) rect("settings", layout_.settings);
    rect("console", layout_.console);
    out << "console_scroll " << consolePanel_.scrollY << ' ' << consolePanel_.scrollMax << '\n';
    for (const auto& [name, r] : widgets_) rect("control " + name, r);
    out << "clock " << fmt::format("{:.9f}", host_->world().Now()) << '\n';
    out << "paused " << (clock_.paused ? 1 : 0) << '\n';
    out << "speed " << clock_.speed << '\n';
    out << "zoom " << view_.zoom << '\n';
}

void Session::WriteCpuReport(const std::string& path) {
    const auto& h = hooks_;
    const double cpu = ProcessCpuSeconds() - h.cpuStart;
    const double wall = std::chrono::duration<double>(SteadyClock::now() - h.wallStart).count();
    const std::uint64_t frames = frames_.rendered - h.renderedAtStart;
    const double render = frames_.renderCpu - h.renderCpuAtStart;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::ofstream(path) << "renderer " << (renderer != nullptr ? renderer : "?") << '\n'
                        << fmt::format("gl_cpu_ms_per_frame {:.3f}\n",
                                       frames > 0 ? 1000.0 * render / static_cast<double>(frames) : 0.0)
                        << fmt::format("frames {}\ncpu_seconds {:.4f}\nwall_seconds {:.4f}\ncpu_ms_per_frame {:.3f}\n"
                                       "cpu_share_percent {:.2f}\nscreen_redraws {}\ngl_frames {}\n"
                                       "partial_gl_frames {}\n",
                                       frames, cpu, wall, frames > 0 ? 1000.0 * cpu / static_cast<double>(frames) : 0.0,
                                       wall > 0 ? 100.0 * cpu / wall : 0.0, screen_->Redraws(), frames_.gl - h.glAtStart,
                                       frames_.partial - h.partialAtStart);
}

}  // namespace vhost
