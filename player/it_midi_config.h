// An IT song's MIDI macros: the configuration the file embeds after its
// header, or Impulse Tracker's defaults (SF0 sets the filter's cutoff to
// Zxx's parameter, Z80..Z8F set its resonance in steps of 8).
#pragma once
#include "player/load_data.h"

// Fills module.midi_macros from the configuration at `at` when `embedded`,
// else with the defaults. False only when an allocation fails.
bool it_load_midi_config(Module& module, const LoadData& data, std::size_t at, bool embedded,
                         std::uint64_t& announced_end);
