// The records of the FM synthesizer (opl2.h): a YM3812's 18 operators paired
// into 9 melodic channels, its envelope and LFO counters, and the resampler
// that carries each channel from the chip's own rate to the output rate.
#pragma once
#include <cstdint>

// The chip's sample rate: its 14.318 MHz master clock / 288.
constexpr std::int32_t opl_native_rate = 49716;
constexpr int opl_channel_count = 9;
// A channel's output at full level: an operator's 13-bit peak (4084), two
// operators summed in additive connection, scaled by 4 into 16 bits.
constexpr std::int32_t opl_output_scale = 4;

enum class OplStage : std::int32_t { attack, decay, sustain, release };

struct OplOperator {
    // The register bytes as written: 0x20 (tremolo, vibrato, sustain, KSR,
    // multiplier), 0x40 (key-scale level, total level), 0x60 (attack, decay),
    // 0x80 (sustain level, release), 0xE0 (waveform).
    std::uint8_t characteristic;
    std::uint8_t levels;
    std::uint8_t attack_decay;
    std::uint8_t sustain_release;
    std::uint8_t waveform;
    // 19 bits a cycle; the top 10 index the waveform.
    std::uint32_t phase;
    // Envelope attenuation, 0 (loudest) .. 511, in 0.1875 dB.
    std::int32_t attenuation;
    OplStage stage;
    // Derived from the registers and the channel's frequency: the effective
    // rates (0..63) with key scaling, the fixed attenuation (total level and
    // key-scale level) and the sustain level, all in envelope units.
    std::int32_t attack_rate;
    std::int32_t decay_rate;
    std::int32_t release_rate;
    std::int32_t fixed_attenuation;
    std::int32_t sustain_level;
};

struct OplChannel {
    OplOperator modulator;
    OplOperator carrier;
    std::int32_t frequency_number; // 10 bits
    std::int32_t block;            // 3 bits: the octave
    bool key_on;
    std::uint8_t feedback_connection; // register 0xC0
    // The modulator's last two outputs, which feedback averages.
    std::int32_t feedback_history[2];
    // The instrument's key-scale/total level bytes before the volume scaled
    // them (opl_patch.h), modulator first.
    std::uint8_t patch_levels[2];
    // The last two outputs at the chip's rate, between which the output rate
    // interpolates.
    std::int32_t previous_output;
    std::int32_t output;
};

struct OplChip {
    OplChannel channels[opl_channel_count];
    std::int32_t output_rate;
    // Output frames are placed between chip samples: `between` counts up by
    // opl_native_rate per output frame and a chip sample is taken at each
    // whole output_rate.
    std::int32_t between;
    std::uint32_t envelope_counter; // chip samples since reset
    std::int32_t tremolo_position;  // 0..209, a step every 64 samples
    bool waveform_select;           // register 0x01 bit 5
    bool deep_tremolo;              // register 0xBD bit 7: 4.8 dB, else 1 dB
    bool deep_vibrato;              // register 0xBD bit 6: 14 cents, else 7
    bool note_select;               // register 0x08 bit 6: key scaling reads F-number bit 8
};
