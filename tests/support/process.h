// This process's resources, for tests that a long run or many cycles hold no more of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vtest {

// Memory of this process from /proc/self/status, in kB (0 if unreadable).
std::uint64_t StatusKilobytes(std::string_view field);  // "VmRSS", "VmHWM"
// Bytes on the heap right now: the sanitizer allocator's count in sanitizer builds,
// malloc's otherwise.
std::uint64_t HeapBytesInUse();
// Open file descriptors of this process.
std::size_t OpenFileDescriptors();

}  // namespace vtest
