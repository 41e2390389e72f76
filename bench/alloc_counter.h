// Counts heap allocations made by the whole program (the benchmark binary replaces the
// global operator new), so a benchmark can report allocations per iteration.
#pragma once

#include <cstddef>

namespace bench {
std::size_t Allocations();
}
