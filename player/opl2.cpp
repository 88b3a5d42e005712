#include "player/opl2.h"
#include <cstring>
#include <initializer_list>

namespace {

// The attenuation of key-scale level at 1.5 dB an octave, in 0.1875 dB, by
// the top four bits of the F-number at block 8; each block lower takes off
// 8 (one octave).
constexpr std::int32_t key_scale_levels[16] = {0,  32, 40, 45, 48, 51, 53, 55,
                                               56, 58, 59, 60, 61, 62, 63, 64};
// The register's two bits: 0 none, 1 3 dB, 2 1.5 dB, 3 6 dB an octave.
constexpr std::int32_t key_scale_shifts[4] = {-1, 1, 0, 2};

constexpr std::int32_t silent = 511;

// The effective rate of a 4-bit rate register: 4 per step plus the key
// scaling, up to 75 (not held at 63: the top rates with key scaling decay
// faster still); 0 stays 0 (the stage never moves).
std::int32_t effective_rate(std::int32_t reg, std::int32_t key_scaling) {
    return reg == 0 ? 0 : reg * 4 + key_scaling;
}

void update_operator(OplOperator& op, const OplChannel& channel, bool note_select) {
    // Key scaling reads the octave and the F-number's top bit (bit 8 with
    // note select); the KSR bit gives its full value, else a quarter of it.
    const std::int32_t key =
        (channel.block << 1) | ((channel.frequency_number >> (note_select ? 8 : 9)) & 1);
    const std::int32_t key_scaling = (op.characteristic & 0x10) != 0 ? key : key >> 2;
    op.attack_rate = effective_rate(op.attack_decay >> 4, key_scaling);
    op.decay_rate = effective_rate(op.attack_decay & 15, key_scaling);
    op.release_rate = effective_rate(op.sustain_release & 15, key_scaling);
    const std::int32_t sustain = op.sustain_release >> 4;
    op.sustain_level = (sustain == 15 ? 31 : sustain) << 4;

    std::int32_t key_level =
        key_scale_levels[channel.frequency_number >> 6] - ((8 - channel.block) << 3);
    const std::int32_t shift = key_scale_shifts[op.levels >> 6];
    key_level = key_level < 0 || shift < 0 ? 0 : key_level << shift;
    op.fixed_attenuation = ((op.levels & 63) << 2) + key_level;
}

void update_channel(OplChannel& channel, bool note_select) {
    update_operator(channel.modulator, channel, note_select);
    update_operator(channel.carrier, channel, note_select);
}

void key_on(OplOperator& op) {
    op.phase = 0;
    op.stage = OplStage::attack;
    if (op.attack_rate >= 60) {
        op.attenuation = 0;
        op.stage = OplStage::decay;
    }
}

// The operator that an operator register's low five bits name: offsets
// 0..5, 8..13 and 16..21, three channels' modulators then their carriers.
OplOperator* operator_at(OplChip& chip, std::int32_t offset, OplChannel** channel) {
    const std::int32_t group = offset >> 3, slot = offset & 7;
    if (group > 2 || slot > 5) return nullptr;
    *channel = &chip.channels[group * 3 + slot % 3];
    return slot < 3 ? &(*channel)->modulator : &(*channel)->carrier;
}

void write_operator(OplChip& chip, std::uint8_t reg, std::uint8_t value) {
    OplChannel* channel = nullptr;
    OplOperator* op = operator_at(chip, reg & 0x1F, &channel);
    if (op == nullptr) return;
    // The byte that each group of registers holds: 0x20, 0x40, 0x60, 0x80,
    // and 0xE0 (of whose bits the chip has two).
    std::uint8_t* const fields[8] = {nullptr,           &op->characteristic,  &op->levels,
                                     &op->attack_decay, &op->sustain_release, nullptr,
                                     nullptr,           &op->waveform};
    *fields[reg >> 5] = reg >= 0xE0 ? value & 3 : value;
    update_operator(*op, *channel, chip.note_select);
}

void write_channel(OplChip& chip, std::uint8_t reg, std::uint8_t value) {
    const std::int32_t index = reg & 0x0F;
    if (index >= opl_channel_count) return;
    OplChannel& channel = chip.channels[index];
    switch (reg & 0xF0) {
    case 0xA0:
        channel.frequency_number = (channel.frequency_number & 0x300) | value;
        break;
    case 0xB0: {
        channel.frequency_number = (channel.frequency_number & 0xFF) | ((value & 3) << 8);
        channel.block = (value >> 2) & 7;
        const bool on = (value & 0x20) != 0;
        update_channel(channel, chip.note_select);
        if (on && !channel.key_on) key_on(channel.modulator), key_on(channel.carrier);
        if (!on) channel.modulator.stage = channel.carrier.stage = OplStage::release;
        channel.key_on = on;
        return;
    }
    default:
        channel.feedback_connection = value;
        return;
    }
    update_channel(channel, chip.note_select);
}

} // namespace

void opl_reset(OplChip& chip, std::int32_t output_rate) {
    std::memset(&chip, 0, sizeof chip);
    chip.output_rate = output_rate;
    for (OplChannel& channel : chip.channels) {
        for (OplOperator* op : {&channel.modulator, &channel.carrier}) {
            op->attenuation = silent;
            op->stage = OplStage::release;
        }
        update_channel(channel, false);
    }
}

void opl_write(OplChip& chip, std::uint8_t reg, std::uint8_t value) {
    if (reg == 0x01) {
        chip.waveform_select = (value & 0x20) != 0;
    } else if (reg == 0x08) {
        chip.note_select = (value & 0x40) != 0;
        for (OplChannel& channel : chip.channels) update_channel(channel, chip.note_select);
    } else if (reg == 0xBD) {
        chip.deep_tremolo = (value & 0x80) != 0;
        chip.deep_vibrato = (value & 0x40) != 0;
    } else if ((reg >= 0x20 && reg < 0xA0) || (reg >= 0xE0 && reg < 0xF6)) {
        write_operator(chip, reg, value);
    } else if (reg >= 0xA0 && reg < 0xC9) {
        write_channel(chip, reg, value);
    }
}
