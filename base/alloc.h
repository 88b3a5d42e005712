// The program's one allocation seam. player/, audio/ and grid/ allocate only
// through these two calls, so a test host can make the n-th allocation fail.
//
// mem_alloc returns zero-filled storage, or null when the allocation fails.
// mem_free accepts null.
#pragma once
#include <cstddef>

void* mem_alloc(std::size_t bytes);
void mem_free(void* block);
