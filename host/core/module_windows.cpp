// LoadLibrary implementation of Module.
#include "core/module.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <system_error>

namespace vhost {
namespace {

// The system's text for an error code, as UTF-8 without the trailing line break, followed
// by the code itself: "The specified module could not be found. (error 126)". Texts that
// name the file through the insert "%1" get `file` there.
std::string SystemMessage(DWORD code, const std::string& file) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        if (bytes > 0) {
            message.resize(static_cast<std::size_t>(bytes));
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), message.data(), bytes, nullptr,
                                nullptr);
        }
    }
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    if (message.empty()) message = "unknown error";
    for (std::size_t at = message.find("%1"); at != std::string::npos; at = message.find("%1", at + file.size())) {
        message.replace(at, 2, file);
    }
    return message + " (error " + std::to_string(code) + ")";
}

// A path as UTF-8 (path::string() would convert to the ANSI code page, and throw for names
// that it cannot hold).
std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class WindowsModule final : public Module {
public:
    explicit WindowsModule(HMODULE handle) : handle_(handle) {}
    ~WindowsModule() override { FreeLibrary(handle_); }
    WindowsModule(const WindowsModule&) = delete;
    WindowsModule& operator=(const WindowsModule&) = delete;

    void* Symbol(const char* name) const override {
        // GetProcAddress serves data exports (the plug-in record) as well as functions.
        const FARPROC address = GetProcAddress(handle_, name);
        return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(address));
    }

private:
    HMODULE handle_;
};

}  // namespace

const char* const kModuleSuffix = ".dll";

std::unique_ptr<Module> Module::Open(const std::filesystem::path& path, std::string& error) {
    // The module is opened as that file, never searched for by name, and the DLLs it
    // imports are looked up in its own directory and then in the default places, which
    // include this program's directory: plugins/Vantrel.dll finds the SDK DLL that sits
    // beside vantrel-host.exe, and the current directory is never searched.
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) absolute = path;
    absolute.make_preferred();  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR wants backslashes

    // A missing dependency or a damaged file must come back as an error, not as a
    // message box waiting for a click.
    DWORD previousMode = 0;
    const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != 0;
    HMODULE handle = LoadLibraryExW(absolute.c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    const DWORD code = handle == nullptr ? GetLastError() : ERROR_SUCCESS;
    if (modeSet) SetThreadErrorMode(previousMode, nullptr);

    if (handle == nullptr) {
        error = SystemMessage(code, Utf8(absolute));
        // The loader reports a missing dependency with the same code as a missing file;
        // the caller has checked that the file itself is there.
        if (code == ERROR_MOD_NOT_FOUND && std::filesystem::exists(absolute, ec)) {
            error += "; a DLL that the module depends on was not found";
        }
        return nullptr;
    }
    return std::make_unique<WindowsModule>(handle);
}

std::filesystem::path ExecutableDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        if (buffer.size() >= 32768) return {};  // longer than any Windows path
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace vhost
