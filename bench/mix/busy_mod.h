// A busy four-channel "M.K." module for benchmarks: every channel plays a note
// on most rows, across the key range, with looped and one-shot samples and a
// mix of pitch, volume, offset and retrigger effects. Same bytes every time.
#pragma once
#include <cstdint>
#include <vector>

std::vector<std::uint8_t> busy_mod();
