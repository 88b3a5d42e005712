// Turns a sample recipe into signed 8-bit frames, with integer arithmetic
// only, so that every machine writes the same bytes.
#pragma once
#include "tools/songgen/song_score.h"
#include <cstdint>
#include <vector>

// `recipe.length` frames; an Empty recipe gives none. One-shot drums start
// with two silent frames, which classic trackers replay after the sample ends.
std::vector<std::int8_t> synthesise_sample(const SampleRecipe& recipe);
