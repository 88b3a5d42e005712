#include "base/alloc.h"

#ifdef _WIN32
#include <windows.h>

void* mem_alloc(std::size_t bytes) {
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
}

void mem_free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

#else
#include "base/alloc_faults.h"
#include <atomic>
#include <cstdlib>

namespace {
std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> failing_allocation{0};
} // namespace

void mem_fail_nth_allocation(std::uint64_t n) {
    failing_allocation = n == 0 ? 0 : allocations.load() + n;
}

std::uint64_t mem_allocation_count() {
    return allocations.load();
}

void* mem_alloc(std::size_t bytes) {
    std::uint64_t number = ++allocations;
    if (number == failing_allocation.load()) return nullptr;
    return std::calloc(1, bytes ? bytes : 1);
}

void mem_free(void* block) {
    std::free(block);
}
#endif
