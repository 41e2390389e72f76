// Counts heap allocations made by the whole program (the benchmark binary replaces every
// form of the global operator new), so a benchmark can report allocations per iteration.
// The plug-in module's allocations count too: its operator new is the program's.
#pragma once

#include <cstddef>

namespace bench {
// Allocations since the program started.
std::size_t Allocations();
}
