// Pieces of the MOD loader that are worth checking on their own.
#pragma once
#include <cstdint>

// The key (25..96) of an Amiga period in 28..1712; 0 for any other period.
std::uint8_t period_to_key(std::int32_t period);
