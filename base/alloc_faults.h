// Fault injection for the allocation seam (non-Windows builds only).
#pragma once
#include <cstdint>

// Makes the n-th allocation from now on (1 = the next one) fail; 0 disarms.
void mem_fail_nth_allocation(std::uint64_t n);
// Allocations made since the program started.
std::uint64_t mem_allocation_count();
