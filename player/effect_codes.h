// The unfolded effect codes: one numbering for the effects of every source
// format, so that each loader stores its effects in it and the replay reads
// only this. A loader maps a format's effect to one of these names; the
// channel code unfolds the two extended families (MOD/XM Exy, S3M Sxy) into
// codes of their own on the row. Codes not named here do nothing.
#pragma once
#include <cstdint>

namespace effect {

// MOD and XM effects 0..F keep their numbers; 0 with a parameter is arpeggio.
constexpr std::uint8_t none = 0x00;
constexpr std::uint8_t slide_up = 0x01;
constexpr std::uint8_t slide_down = 0x02;
constexpr std::uint8_t tone_slide = 0x03;
constexpr std::uint8_t vibrato = 0x04;
constexpr std::uint8_t tone_slide_volume_slide = 0x05;
constexpr std::uint8_t vibrato_volume_slide = 0x06;
constexpr std::uint8_t tremolo = 0x07;
constexpr std::uint8_t set_panning = 0x08;
constexpr std::uint8_t sample_offset = 0x09;
constexpr std::uint8_t volume_slide = 0x0A;
constexpr std::uint8_t position_jump = 0x0B;
constexpr std::uint8_t set_volume = 0x0C;
constexpr std::uint8_t pattern_break = 0x0D;
constexpr std::uint8_t extended = 0x0E; // Exy as stored; unfolded to extended_base + x
constexpr std::uint8_t speed_or_tempo = 0x0F;

// The further XM effects.
constexpr std::uint8_t set_global_volume = 0x10;
constexpr std::uint8_t global_volume_slide = 0x11;
constexpr std::uint8_t key_off = 0x14;
constexpr std::uint8_t set_envelope_position = 0x15;
constexpr std::uint8_t panning_slide = 0x19;
constexpr std::uint8_t multi_retrigger = 0x1B;
constexpr std::uint8_t tremor = 0x1D;
constexpr std::uint8_t extra_fine_slide = 0x21;

// MOD/XM Exy, unfolded: extended_base + x, parameter y.
constexpr std::uint8_t extended_base = 0x70;
constexpr std::uint8_t fine_slide_up = 0x71;
constexpr std::uint8_t fine_slide_down = 0x72;
constexpr std::uint8_t vibrato_shape = 0x74;
constexpr std::uint8_t fine_tune = 0x75;
constexpr std::uint8_t pattern_loop = 0x76;
constexpr std::uint8_t tremolo_shape = 0x77;
constexpr std::uint8_t retrigger = 0x79;
constexpr std::uint8_t fine_volume_up = 0x7A;
constexpr std::uint8_t fine_volume_down = 0x7B;
constexpr std::uint8_t note_cut = 0x7C;
constexpr std::uint8_t note_delay = 0x7D;
constexpr std::uint8_t pattern_delay = 0x7E;

// The S3M effects A..V, and an empty effect that carries a parameter (which
// Scream Tracker remembers).
constexpr std::uint8_t s3m_no_effect = 0x80;
constexpr std::uint8_t s3m_speed = 0x81;
constexpr std::uint8_t s3m_position_jump = 0x82;
constexpr std::uint8_t s3m_pattern_break = 0x83;
constexpr std::uint8_t s3m_volume_slide = 0x84;
constexpr std::uint8_t s3m_slide_down = 0x85;
constexpr std::uint8_t s3m_slide_up = 0x86;
constexpr std::uint8_t s3m_tone_slide = 0x87;
constexpr std::uint8_t s3m_vibrato = 0x88;
constexpr std::uint8_t s3m_tremor = 0x89;
constexpr std::uint8_t arpeggio = 0x8A; // also MOD/XM 0xy with y or x non-zero
constexpr std::uint8_t s3m_vibrato_volume_slide = 0x8B;
constexpr std::uint8_t s3m_tone_slide_volume_slide = 0x8C;
constexpr std::uint8_t s3m_sample_offset = 0x8F;
constexpr std::uint8_t s3m_retrigger = 0x91;
constexpr std::uint8_t s3m_tremolo = 0x92;
constexpr std::uint8_t s3m_extended = 0x93; // Sxy as stored; unfolded to s3m_extended_base + x
constexpr std::uint8_t s3m_tempo = 0x94;
constexpr std::uint8_t s3m_fine_vibrato = 0x95;
constexpr std::uint8_t s3m_set_global_volume = 0x96;
// IT's Zxx: runs a MIDI macro (SFx picks the parametered one of Z00..Z7F).
constexpr std::uint8_t it_midi_macro = 0x9A;

// Impulse Tracker's effects that Scream Tracker has not (its loader
// unfolds S5x and SAx itself, since S3M files carry other meanings there).
constexpr std::uint8_t channel_volume = 0xA0;
constexpr std::uint8_t channel_volume_slide = 0xA1;
constexpr std::uint8_t it_panning_slide = 0xA2;
constexpr std::uint8_t it_global_volume_slide = 0xA3;
constexpr std::uint8_t panbrello = 0xA4;
constexpr std::uint8_t tempo_slide = 0xA5;
constexpr std::uint8_t panbrello_shape = 0xA6;
constexpr std::uint8_t high_offset = 0xA7;
constexpr std::uint8_t surround = 0xA8; // S91 (1) and S90 (0)
// The volume column's panning in IT's steps, 0..64, where no effect is beside it.
constexpr std::uint8_t column_panning = 0xA9;

// S3M Sxy, unfolded: s3m_extended_base + x, parameter y.
constexpr std::uint8_t s3m_extended_base = 0xF0;
constexpr std::uint8_t s3m_fine_tune = 0xF2;
constexpr std::uint8_t s3m_vibrato_shape = 0xF3;
constexpr std::uint8_t s3m_tremolo_shape = 0xF4;
constexpr std::uint8_t s3m_tick_delay = 0xF6;
constexpr std::uint8_t s3m_instrument_control = 0xF7; // IT's S7x
constexpr std::uint8_t s3m_set_panning = 0xF8;
constexpr std::uint8_t s3m_pattern_loop = 0xFB;
constexpr std::uint8_t s3m_note_cut = 0xFC;
constexpr std::uint8_t s3m_note_delay = 0xFD;
constexpr std::uint8_t s3m_pattern_delay = 0xFE;
constexpr std::uint8_t it_macro_select = 0xFF;

} // namespace effect
