// An FM synthesizer that behaves as Yamaha's YM3812 (OPL2): 9 melodic
// channels of two operators, driven through the chip's own register map and
// rendered one channel per buffer, so that each can get its own gain and
// stereo balance. Rhythm mode (register 0xBD bit 5) and the CSM speech mode
// (register 0x08 bit 7) are not emulated: Scream Tracker's melodic AdLib
// channels use neither.
#pragma once
#include "player/opl_chip.h"
#include "player/opl_render.h"
#include <cstdint>

// A silent chip, as after power-on, rendering at `output_rate` Hz
// (lowest_output_rate .. 2 * highest_output_rate).
void opl_reset(OplChip& chip, std::int32_t output_rate);

// A register write: 0x01 (bit 5: waveform select enable), 0x08 (bit 6: note
// select), 0x20..0x35, 0x40..0x55, 0x60..0x75, 0x80..0x95, 0xE0..0xF5 (per
// operator), 0xA0..0xA8, 0xB0..0xB8, 0xC0..0xC8 (per channel), 0xBD (bits 7
// and 6: tremolo and vibrato depth). Other registers are ignored. Setting the
// key-on bit of 0xB0..0xB8 starts both operators' attack from their present
// level with the phase at 0; clearing it starts their release.
void opl_write(OplChip& chip, std::uint8_t reg, std::uint8_t value);
