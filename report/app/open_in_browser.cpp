#include "open_in_browser.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#else
#include <spawn.h>
extern char** environ;
#endif

namespace vantrel::report {
namespace {

#if defined(_WIN32)
bool Opened(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }
#else
// No shell: the target reaches xdg-open as one argument, whatever it holds.
bool XdgOpen(std::string target) {
    std::string program = "xdg-open";
    char* args[] = {program.data(), target.data(), nullptr};
    pid_t child = 0;
    return posix_spawnp(&child, "xdg-open", nullptr, nullptr, args, environ) == 0;
}
#endif

}  // namespace

bool OpenFileInBrowser(const std::filesystem::path& page) {
#if defined(_WIN32)
    return Opened(ShellExecuteW(nullptr, L"open", std::filesystem::absolute(page).wstring().c_str(), nullptr, nullptr,
                                SW_SHOWNORMAL));
#else
    return XdgOpen(page.string());
#endif
}

bool OpenUrlInBrowser(const std::string& url) {
#if defined(_WIN32)
    return Opened(ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
#else
    return XdgOpen(url);
#endif
}

}  // namespace vantrel::report
