// What an instrument gives a struck note beyond its sample's levels, where
// the rules give instruments and samples their own panning: the panning,
// and the random swings of volume and panning.
#pragma once
#include "player/replay.h"

// A struck key: the sample's panning, else the instrument's, else the
// channel's own, moved by the instrument's pitch-pan separation; the note's
// random volume and panning swings.
void pan_struck_note(Channel& channel, std::int32_t key);
