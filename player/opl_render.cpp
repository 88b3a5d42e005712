#include "player/opl_render.h"
#include <array>
#include <initializer_list>

namespace {

// The chip's two ROMs, computed at compile time with the basic operations
// alone so that every machine gets the same table: a quarter sine as
// -log2(sin) in 1/256 octave, and 2^x for x in 0..255/256 as 10 bits.
constexpr double pi = 3.14159265358979323846;

constexpr double sine(double x) {
    double term = x, sum = x;
    for (int n = 1; n < 20; ++n) {
        term *= -x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

// For 0 < x <= 1: brings x into [1, 2) and sums atanh's series there.
constexpr double log2_of(double x) {
    double octaves = 0;
    while (x < 1) x *= 2, octaves -= 1;
    const double z = (x - 1) / (x + 1);
    double power = z, sum = 0;
    for (int n = 0; n < 40; ++n) {
        sum += power / (2 * n + 1);
        power *= z * z;
    }
    constexpr double ln2 = 0.69314718055994530942;
    return octaves + 2 * sum / ln2;
}

constexpr double exp2_of(double x) {
    constexpr double ln2 = 0.69314718055994530942;
    double term = 1, sum = 1;
    for (int n = 1; n < 30; ++n) {
        term *= x * ln2 / n;
        sum += term;
    }
    return sum;
}

// For 0 <= x < 65536.
constexpr std::uint16_t rounded(double x) {
    const auto whole = static_cast<std::uint16_t>(x);
    return x - whole >= 0.5 ? whole + 1 : whole;
}

constexpr std::array<std::uint16_t, 256> log_sine_table = [] {
    std::array<std::uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        const double value = -log2_of(sine((i + 0.5) * pi / 512)) * 256;
        table[i] = rounded(value);
    }
    return table;
}();

constexpr std::array<std::uint16_t, 256> exp_table = [] {
    std::array<std::uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = rounded((exp2_of(i / 256.0) - 1) * 1024);
    }
    return table;
}();

// The multiplier register's factors, doubled (0 stands for 1/2).
constexpr std::int32_t doubled_multipliers[16] = {1,  2,  4,  6,  8,  10, 12, 14,
                                                  16, 18, 20, 20, 24, 24, 30, 30};

// Which of eight envelope clocks step by one, for the four rates of an
// octave of rates.
constexpr std::uint8_t rate_steps[4][8] = {{0, 1, 0, 1, 0, 1, 0, 1},
                                           {0, 1, 0, 1, 1, 1, 0, 1},
                                           {0, 1, 1, 1, 0, 1, 1, 1},
                                           {0, 1, 1, 1, 1, 1, 1, 1}};

// The envelope's step at an effective rate (0..75) on this chip sample. Up
// to rate 51 the envelope is clocked every 2^(12 - rate / 4) samples and
// steps by one; from rate 52 on it steps every sample by one or two, times 2
// for each further four rates.
std::int32_t rate_increment(std::int32_t rate, std::uint32_t counter) {
    const std::int32_t octave = rate >> 2, fine = rate & 3;
    if (octave == 0) return 0;
    if (octave <= 12) {
        const std::int32_t shift = 12 - octave;
        if ((counter & ((1u << shift) - 1)) != 0) return 0;
        return rate_steps[fine][(counter >> shift) & 7];
    }
    return (1 + rate_steps[fine][counter & 7]) << (octave - 13);
}

constexpr std::int32_t silent = 511;
constexpr std::uint8_t sustain_bit = 0x20;

void step_envelope(OplOperator& op, std::uint32_t counter) {
    std::int32_t rate = op.release_rate;
    switch (op.stage) {
    case OplStage::attack: {
        // Exponential: each step takes a part of the distance to full level.
        const std::int32_t step = rate_increment(op.attack_rate, counter);
        op.attenuation += (~op.attenuation * step) >> 3;
        if (op.attack_rate >= 60 || op.attenuation <= 0) {
            op.attenuation = 0;
            op.stage = OplStage::decay;
        }
        return;
    }
    case OplStage::decay:
        if (op.attenuation >= op.sustain_level) {
            op.stage = OplStage::sustain;
            return;
        }
        rate = op.decay_rate;
        break;
    case OplStage::sustain:
        // Without the sustain bit the note goes on into its release.
        if ((op.characteristic & sustain_bit) != 0) return;
        op.stage = OplStage::release;
        break;
    case OplStage::release:
        break;
    }
    op.attenuation += rate_increment(rate, counter);
    if (op.attenuation > silent) op.attenuation = silent;
}

// An operator whose release has run out is off: it gives 0, where any other
// gives -1 for the negative half of a wave too faint to hear.
bool is_off(const OplOperator& op) {
    return op.stage == OplStage::release && op.attenuation == silent;
}

// An operator's output for its phase moved on by `modulation` (1024 a cycle):
// the waveform's log-domain value plus the attenuation, back to linear.
std::int32_t operator_output(const OplOperator& op, std::int32_t modulation, std::int32_t tremolo,
                             bool waveform_select) {
    if (is_off(op)) return 0;
    const auto index = static_cast<std::int32_t>((op.phase >> 9) + modulation) & 1023;
    const bool falling = (index & 256) != 0, negative = (index & 512) != 0;
    const std::int32_t wave = waveform_select ? op.waveform & 3 : 0;
    // The half sine's second half and the quarter pulses' falling quarters
    // read the sine's first step: not 0 but its faintest positive value.
    const bool gap = (wave == 1 && negative) || (wave == 3 && falling);
    const std::int32_t step = gap ? 0 : falling ? 255 - (index & 255) : index & 255;
    std::int32_t attenuation = op.attenuation + op.fixed_attenuation;
    if ((op.characteristic & 0x80) != 0) attenuation += tremolo;
    if (attenuation > silent) attenuation = silent;
    const std::int32_t level = log_sine_table[step] + (attenuation << 3);
    const std::int32_t amplitude = ((exp_table[~level & 255] | 1024) >> (level >> 8)) << 1;
    // The sign inverts every bit: the negative half is one lower.
    return negative && wave == 0 ? ~amplitude : amplitude;
}

// The phase step of an operator: F-number (moved by vibrato) times 2^block,
// times the multiplier, in a 19-bit cycle.
void step_phase(OplOperator& op, const OplChannel& channel, std::int32_t vibrato_position,
                bool deep_vibrato) {
    std::int32_t number = channel.frequency_number;
    if ((op.characteristic & 0x40) != 0) {
        // Up and down in eight steps around the note: F-number / 128 at the
        // deep setting, about 14 cents.
        std::int32_t depth = (number >> 7) & 7;
        if (!deep_vibrato) depth >>= 1;
        if ((vibrato_position & 1) != 0) depth >>= 1;
        if ((vibrato_position & 3) == 0) depth = 0;
        number += (vibrato_position & 4) != 0 ? -depth : depth;
    }
    const auto base = static_cast<std::uint32_t>((number << channel.block) >> 1);
    op.phase += (base * doubled_multipliers[op.characteristic & 15]) >> 1;
}

std::int32_t channel_sample(OplChannel& channel, bool waveform_select, std::int32_t tremolo) {
    const std::int32_t feedback = (channel.feedback_connection >> 1) & 7;
    const std::int32_t self =
        feedback == 0
            ? 0
            : (channel.feedback_history[0] + channel.feedback_history[1]) >> (9 - feedback);
    const std::int32_t modulator =
        operator_output(channel.modulator, self, tremolo, waveform_select);
    channel.feedback_history[1] = channel.feedback_history[0];
    channel.feedback_history[0] = modulator;
    if ((channel.feedback_connection & 1) != 0) {
        return modulator + operator_output(channel.carrier, 0, tremolo, waveform_select);
    }
    return operator_output(channel.carrier, modulator, tremolo, waveform_select);
}

void step_chip(OplChip& chip) {
    // A triangle of 210 steps, 0..104 and back: 0..26 units (4.9 dB) deep,
    // 0..6 (1.1 dB) shallow.
    const std::int32_t triangle =
        chip.tremolo_position < 105 ? chip.tremolo_position : 209 - chip.tremolo_position;
    const std::int32_t tremolo = chip.deep_tremolo ? triangle >> 2 : triangle >> 4;
    const auto vibrato_position = static_cast<std::int32_t>(chip.envelope_counter >> 10) & 7;
    for (OplChannel& channel : chip.channels) {
        channel.previous_output = channel.output;
        // A released channel that fell silent stays so until its next key-on,
        // which starts its phases again.
        if (is_off(channel.modulator) && is_off(channel.carrier)) {
            channel.output = channel.feedback_history[0] = channel.feedback_history[1] = 0;
            continue;
        }
        channel.output = channel_sample(channel, chip.waveform_select, tremolo);
        for (OplOperator* op : {&channel.modulator, &channel.carrier}) {
            step_envelope(*op, chip.envelope_counter);
            step_phase(*op, channel, vibrato_position, chip.deep_vibrato);
        }
    }
    ++chip.envelope_counter;
    if ((chip.envelope_counter & 63) == 0) {
        chip.tremolo_position = chip.tremolo_position == 209 ? 0 : chip.tremolo_position + 1;
    }
}

} // namespace

void opl_render(OplChip& chip, std::int16_t* const* channel_out, std::int32_t frames) {
    for (std::int32_t frame = 0; frame < frames; ++frame) {
        chip.between += opl_native_rate;
        while (chip.between >= chip.output_rate) {
            chip.between -= chip.output_rate;
            step_chip(chip);
        }
        // How far this frame lies past the last chip sample, in 1/32768.
        const auto weight =
            static_cast<std::int32_t>((std::int64_t{chip.between} << 15) / chip.output_rate);
        for (int c = 0; c < opl_channel_count; ++c) {
            if (channel_out[c] == nullptr) continue;
            const OplChannel& channel = chip.channels[c];
            const std::int32_t value =
                channel.previous_output +
                (((channel.output - channel.previous_output) * weight) >> 15);
            channel_out[c][frame] = static_cast<std::int16_t>(value * opl_output_scale);
        }
    }
}
