#include "process.h"

#include <malloc.h>

#include <filesystem>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define VTEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VTEST_ASAN 1
#endif
#endif
#if defined(VTEST_ASAN)
// From the sanitizer runtime (its header is not installed with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace vtest {

std::uint64_t StatusKilobytes(std::string_view field) {
    std::ifstream in("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) return std::stoull(line.substr(prefix.size()));
    }
    return 0;
}

std::uint64_t HeapBytesInUse() {
#if defined(VTEST_ASAN)
    return __sanitizer_get_current_allocated_bytes();
#else
    return static_cast<std::uint64_t>(mallinfo2().uordblks);
#endif
}

std::size_t OpenFileDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

}  // namespace vtest
