#include "player/opl_patch.h"
#include <algorithm>

namespace {

// The operator register offsets of a channel's modulator; its carrier's are
// 3 further on.
constexpr std::uint8_t modulator_offsets[opl_channel_count] = {0, 1, 2, 8, 9, 10, 16, 17, 18};

std::uint8_t scaled_level(std::uint8_t levels, std::int32_t volume) {
    volume = std::clamp(volume, 0, 64);
    const std::int32_t total = levels & 63;
    const std::int32_t weight = volume > 32 ? volume : volume + 1;
    const std::int32_t level = 63 - (63 - total) * weight / 64;
    return static_cast<std::uint8_t>((levels & 0xC0) | level);
}

void write_block(OplChip& chip, int channel, bool key, std::int32_t block, std::int32_t number) {
    const std::int32_t value = (key ? 0x20 : 0) | (block << 2) | (number >> 8);
    opl_write(chip, static_cast<std::uint8_t>(0xB0 + channel), static_cast<std::uint8_t>(value));
}

void write_key(OplChip& chip, int channel, bool key) {
    const OplChannel& state = chip.channels[channel];
    write_block(chip, channel, key, state.block, state.frequency_number);
}

} // namespace

void opl_set_patch(OplChip& chip, int channel, const std::uint8_t* patch) {
    constexpr std::uint8_t operator_registers[5] = {0x20, 0x40, 0x60, 0x80, 0xE0};
    const std::uint8_t offset = modulator_offsets[channel];
    for (int i = 0; i < 5; ++i) {
        opl_write(chip, operator_registers[i] + offset, patch[2 * i]);
        opl_write(chip, operator_registers[i] + offset + 3, patch[2 * i + 1]);
    }
    opl_write(chip, static_cast<std::uint8_t>(0xC0 + channel), patch[10]);
    // Waveform select on; key scaling by the F-number's bit 8 (note select),
    // which is how Scream Tracker's instruments are heard.
    opl_write(chip, 0x01, 0x20);
    opl_write(chip, 0x08, 0x40);
    chip.channels[channel].patch_levels[0] = patch[2];
    chip.channels[channel].patch_levels[1] = patch[3];
}

void opl_set_frequency(OplChip& chip, int channel, std::int32_t tone) {
    constexpr std::int64_t unit = std::int64_t{opl_native_rate} * 256;
    std::int32_t number = 1023, block = 0;
    for (; block < 8; ++block) {
        const std::int64_t scaled = (std::int64_t{tone} << (20 - block)) + unit / 2;
        if (scaled / unit < 1024) {
            number = static_cast<std::int32_t>(scaled / unit);
            break;
        }
    }
    if (block == 8) block = 7;
    opl_write(chip, static_cast<std::uint8_t>(0xA0 + channel), static_cast<std::uint8_t>(number));
    write_block(chip, channel, chip.channels[channel].key_on, block, number);
}

std::int32_t opl_tone_of_rate(std::int32_t fine_rate) {
    // 8363 Hz sounds middle C, 440 Hz * 2^(-9/12) = 261.6255653 Hz.
    return static_cast<std::int32_t>(std::int64_t{fine_rate} * 2616255653 / 83630000000);
}

void opl_key_on(OplChip& chip, int channel) {
    if (chip.channels[channel].key_on) write_key(chip, channel, false);
    write_key(chip, channel, true);
}

void opl_key_off(OplChip& chip, int channel) {
    write_key(chip, channel, false);
}

void opl_set_volume(OplChip& chip, int channel, std::int32_t volume) {
    const OplChannel& state = chip.channels[channel];
    const std::uint8_t offset = modulator_offsets[channel];
    opl_write(chip, 0x40 + offset + 3, scaled_level(state.patch_levels[1], volume));
    const bool additive = (state.feedback_connection & 1) != 0;
    opl_write(chip, 0x40 + offset,
              additive ? scaled_level(state.patch_levels[0], volume) : state.patch_levels[0]);
}
