// The chip's sound: each chip sample moves the LFOs, envelopes and phases on
// by one step of the chip's own rate and computes every channel's output;
// output frames are read between two chip samples by linear interpolation.
#pragma once
#include "player/opl_chip.h"
#include <cstdint>

// Renders `frames` frames at the chip's output rate: channel c's output goes
// to channel_out[c][0 .. frames-1], or nowhere where channel_out[c] is null
// (the channel still runs). A channel's value is its operators' output times
// opl_output_scale: an operator at full level peaks at +-16336.
void opl_render(OplChip& chip, std::int16_t* const* channel_out, std::int32_t frames);
