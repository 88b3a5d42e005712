// Where an instrument's note sits in the stereo field, where the rules give
// instruments and samples their own panning.
#pragma once
#include "player/replay.h"

// A struck key: the sample's panning, else the instrument's, else the
// channel's own, moved by the instrument's pitch-pan separation.
void pan_struck_note(Channel& channel, std::int32_t key);
