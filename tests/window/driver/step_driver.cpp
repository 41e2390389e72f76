#include "step_driver.h"

#include <GLFW/glfw3.h>
#include <imgui_internal.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "core/host.h"
#include "window/input_queue.h"
// Last: Xlib defines macros (None, Status, Bool) that other headers use as names.
#include "window/x11_native.h"

namespace vtest {
namespace {

constexpr int kWidgetSearchFrames = 30;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

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

StepDriver::StepDriver(const char* path) {
    if (path == nullptr || *path == '\0') return;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find(' ');
        steps_.push_back({line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1)});
    }
}

bool StepDriver::SettingsOpenAtStart() {
    if (!steps_.empty() && steps_.front().verb == "settings" && steps_.front().rest == "closed") {
        ++index_;  // a test that compares the plug-in's calls with a headless run
        return false;
    }
    return true;
}

void StepDriver::BeforeFrame(vhost::DrivenWindow& window, ImGuiIO& io) {
    while (index_ < steps_.size()) {
        const Step& step = steps_[index_];
        if (step.verb == "frames") {
            if (frames_ == 0) frames_ = std::max(1, std::atoi(step.rest.c_str()));
            if (--frames_ > 0) break;
        } else if (step.verb == "sleep") {
            if (until_ == Clock::time_point{}) {
                until_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(std::atof(step.rest.c_str())));
            }
            if (Clock::now() < until_) break;
            until_ = {};
        } else if (step.verb == "mouse") {
            const bool found = Target(window, step.rest, mousePos_);
            if (!found && !widgetLabel_.empty()) break;  // a panel widget still being looked for
            if (!found) window.host().err() << "vantrel-host: step: no target '" << step.rest << "'\n";
            mouse_ = true;
            ++index_;
            break;  // one input change a frame, as a user makes them
        } else if (step.verb == "press" || step.verb == "release") {
            mouse_ = true;
            mouseDown_ = step.verb == "press";
            ++index_;
            break;
        } else if (step.verb == "wheel") {
            io.MouseWheel += std::strtof(step.rest.c_str(), nullptr);
            ++index_;
            break;
        } else if (step.verb == "type") {
            // Into the widget that takes text, else the console (once it has taken the focus).
            const ImGuiContext& g = *ImGui::GetCurrentContext();
            if (g.ActiveId == 0 || g.ActiveId != g.InputTextState.ID) {
                window.FocusConsole();
                break;
            }
            io.AddInputCharactersUTF8(step.rest.c_str());
            ++index_;
            break;
        } else if (step.verb == "key" || step.verb == "keys") {
            // `key NAME`: one press and its release, given together as a fast typist or a
            // remote desktop gives them; `keys TEXT`: text whose \n are Enters, all at once.
            vhost::InputQueue& keys = window.Keys();
            if (step.verb == "key") {
                const int key = step.rest == "enter" ? GLFW_KEY_ENTER
                                : step.rest == "up"  ? GLFW_KEY_UP
                                : step.rest == "down" ? GLFW_KEY_DOWN
                                                      : -1;
                keys.Key(key, true);
                keys.Key(key, false);
            } else {
                std::string text = step.rest;
                for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
                for (const char c : text) {
                    if (c == '\n') {
                        keys.Key(GLFW_KEY_ENTER, true);
                        keys.Key(GLFW_KEY_ENTER, false);
                    } else {
                        keys.Char(static_cast<unsigned char>(c));
                    }
                }
            }
            ++index_;
            break;
        } else if (step.verb == "screenshot") {
            window.Screenshot(step.rest);
        } else if (step.verb == "redraw") {
            window.RedrawWhole();
        } else if (step.verb == "layout") {
            WriteLayout(window, step.rest);
        } else if (step.verb == "size") {
            int w = 0, h = 0;
            if (std::sscanf(step.rest.c_str(), "%dx%d", &w, &h) == 2) glfwSetWindowSize(window.Native(), w, h);
        } else if (step.verb == "cpu") {
            // cpu start / cpu report FILE: the process's CPU time (every thread, the GL
            // driver's included) per frame and per second of real time in between.
            if (step.rest == "start") {
                cpuStart_ = ProcessCpuSeconds();
                wallStart_ = Clock::now();
                framesAtStart_ = window.Report().frames;
            } else if (step.rest.rfind("report ", 0) == 0) {
                WriteCpuReport(window, step.rest.substr(7));
            }
        } else if (step.verb == "script") {
            if (window.ScriptRunning()) break;
        } else if (step.verb == "signal") {
            // As if the signal came from outside (Ctrl-C in the terminal, `kill`).
            std::raise(step.rest == "TERM" ? SIGTERM : SIGINT);
        } else if (step.verb == "kill-window" || step.verb == "destroy-window") {
            // Another client kills the window's connection, as xkill does, or destroys the
            // window itself.
            if (Display* other = XOpenDisplay(nullptr); other != nullptr) {
                if (step.verb == "kill-window") {
                    XKillClient(other, glfwGetX11Window(window.Native()));
                } else {
                    XDestroyWindow(other, glfwGetX11Window(window.Native()));
                }
                XSync(other, False);
                XCloseDisplay(other);
            }
        } else if (step.verb == "close") {
            glfwSetWindowShouldClose(window.Native(), GLFW_TRUE);
        }
        ++index_;
    }
    if (mouse_) {
        io.MousePos = mousePos_;
        io.MouseDown[0] = mouseDown_;
    }
}

// Steps to play now keep the frames coming; a sleeping one leaves the window idle, as a user
// who looks away does.
bool StepDriver::Busy() const {
    return (index_ < steps_.size() && steps_[index_].verb != "sleep") || (mouse_ && mouseDown_);
}

bool StepDriver::Due() const {
    if (index_ >= steps_.size() || steps_[index_].verb != "sleep") return false;
    return until_ == Clock::time_point{} || Clock::now() >= until_;
}

// A point named by a step: "X Y" (window pixels), "control LABEL" (the middle of one of the
// window's own widgets) or "widget LABEL [at F]" (a widget of the plug-in's settings panel by
// its Dear ImGui label: its middle, or F of the way across). False while a panel widget is
// being looked for (widgetLabel_ set) or when the target is unknown.
bool StepDriver::Target(vhost::DrivenWindow& window, const std::string& target, ImVec2& point) {
    std::istringstream in(target);
    std::string first;
    in >> first;
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (first == "control") {
        const vhost::WindowReport report = window.Report();
        const auto found = report.widgets.find(rest);
        if (found == report.widgets.end()) return false;
        const vhost::Rect& r = found->second;
        point = ImVec2(r.x + r.w / 2, r.y + r.h / 2);
        return true;
    }
    if (first == "widget") {
        std::string label;
        float fraction = 0.5f;
        SplitWidget(rest, label, fraction);
        if (const auto found = panelWidgets_.find(label); found != panelWidgets_.end()) {
            const vhost::Rect& r = found->second;
            const vhost::Rect& settings = window.Report().layout.settings;
            point = ImVec2(settings.x + r.x + r.w * fraction, settings.y + r.y + r.h / 2);
            widgetFrames_ = 0;
            return true;
        }
        if (widgetLabel_.empty() && widgetFrames_ == 0) {
            widgetLabel_ = label;  // looked for while the settings window draws
            return false;
        }
        if (widgetFrames_ > kWidgetSearchFrames || !window.host().MenuOpen()) {
            widgetLabel_.clear();
            widgetFrames_ = 0;
        }
        return false;
    }
    std::istringstream numbers(target);
    return static_cast<bool>(numbers >> point.x >> point.y);
}

// Dear ImGui records the place of the widget it navigates to: ask it to navigate to the
// widget looked for, and read the place once the panel has drawn that widget again.
std::function<void()> StepDriver::AfterSettingsPanel(vhost::DrivenWindow&) {
    if (widgetLabel_.empty()) return {};
    return [this] {
        ImGuiContext& g = *ImGui::GetCurrentContext();
        ImGuiWindow* window = ImGui::GetCurrentWindow();
        const ImGuiID id = ImGui::GetID(widgetLabel_.c_str());
        if (widgetFrames_ > 0 && g.NavId == id && g.NavIdIsAlive) {
            // Kept relative to where the window's content starts.
            const ImRect& rel = window->NavRectRel[0];
            const ImVec2 start = window->DC.CursorStartPos;
            panelWidgets_[widgetLabel_] = {start.x + rel.Min.x, start.y + rel.Min.y, rel.GetWidth(), rel.GetHeight()};
            widgetLabel_.clear();
            return;
        }
        ImGui::SetFocusID(id, window);
        ++widgetFrames_;
    };
}

void StepDriver::WriteLayout(vhost::DrivenWindow& window, const std::string& path) const {
    const vhost::WindowReport report = window.Report();
    std::ofstream out(path);
    const auto rect = [&](const std::string& name, const vhost::Rect& r) {
        out << name << ' ' << r.x << ' ' << r.y << ' ' << r.w << ' ' << r.h << '\n';
    };
    out << "window " << report.layout.width << ' ' << report.layout.height << '\n';
    rect("screen", report.layout.screen);
    rect("view", report.view);
    if (report.settingsOpen) rect("settings", report.layout.settings);
    rect("console", report.layout.console);
    out << "console_scroll " << report.consoleScroll << ' ' << report.consoleScrollMax << '\n';
    for (const auto& [name, r] : report.widgets) rect("control " + name, r);
    out << "clock " << fmt::format("{:.9f}", report.clock) << '\n';
    out << "paused " << (report.paused ? 1 : 0) << '\n';
    out << "speed " << report.speed << '\n';
    out << "zoom " << report.zoom << '\n';
    out << "frames " << report.frames.rendered << '\n';
}

void StepDriver::WriteCpuReport(vhost::DrivenWindow& window, const std::string& path) const {
    const vhost::WindowReport report = window.Report();
    const double cpu = ProcessCpuSeconds() - cpuStart_;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart_).count();
    const std::uint64_t frames = report.frames.rendered - framesAtStart_.rendered;
    const double render = report.frames.renderCpu - framesAtStart_.renderCpu;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::ofstream(path) << "renderer " << (renderer != nullptr ? renderer : "?") << '\n'
                        << fmt::format("gl_cpu_ms_per_frame {:.3f}\n",
                                       frames > 0 ? 1000.0 * render / static_cast<double>(frames) : 0.0)
                        << fmt::format("frames {}\ncpu_seconds {:.4f}\nwall_seconds {:.4f}\ncpu_ms_per_frame {:.3f}\n"
                                       "cpu_share_percent {:.2f}\nscreen_redraws {}\ngl_frames {}\n"
                                       "partial_gl_frames {}\n",
                                       frames, cpu, wall, frames > 0 ? 1000.0 * cpu / static_cast<double>(frames) : 0.0,
                                       wall > 0 ? 100.0 * cpu / wall : 0.0, report.screenRedraws,
                                       report.frames.gl - framesAtStart_.gl,
                                       report.frames.partial - framesAtStart_.partial);
}

}  // namespace vtest
