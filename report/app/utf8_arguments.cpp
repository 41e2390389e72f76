#include "utf8_arguments.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

namespace vantrel::report {

namespace {

#if defined(_WIN32)
std::string WideToUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.pop_back();  // the terminating NUL
    return result;
}
#endif

}  // namespace

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count); wide != nullptr) {
        for (int i = 0; i < count; ++i) texts_.push_back(WideToUtf8(wide[i]));
        LocalFree(wide);
    }
    // Should the system's split ever disagree with the runtime's on the count, the
    // runtime's arguments are used as they are.
    if (count != argc) texts_.assign(argv, argv + argc);
#else
    texts_.assign(argv, argv + argc);
#endif
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
}

Utf8Console::Utf8Console() {
#if defined(_WIN32)
    DWORD mode = 0;
    const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0 ||
                         GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    const UINT current = GetConsoleOutputCP();
    if (console && current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) previous_ = current;
#endif
}

Utf8Console::~Utf8Console() {
#if defined(_WIN32)
    if (previous_ != 0) SetConsoleOutputCP(previous_);
#endif
}

}  // namespace vantrel::report
