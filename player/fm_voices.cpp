#include "player/fm_voices.h"
#include "player/opl2.h"
#include "player/opl_patch.h"
#include <algorithm>

namespace {

static_assert(fm_patch_size == opl_patch_size);

// Each chip channel sounds on both sides at 1.13 / opl_output_scale of its
// value (an operator at full level peaks near 4600): as loud beside the
// samples as the yardsticks play Scream Tracker's AdLib channels.
constexpr std::int32_t fm_gain = 37028 / opl_output_scale; // in 1/32768

// The chip's channel for a module channel, or -1 for a sample channel.
int chip_channel(const Replay& replay, std::int32_t channel) {
    const std::uint8_t* fm = replay.module->channel_fm;
    return fm && fm[channel] != 0 ? fm[channel] - 1 : -1;
}

// The channel's volume as the chip takes it: 0..64 with its tremolo or
// tremor and the global volume.
std::int32_t chip_volume(const Channel& channel) {
    const std::int32_t volume = std::clamp(channel.volume + channel.volume_offset, 0, 64);
    return volume * channel.replay->global_volume / 64;
}

void take_channel(OplChip& chip, int fm, Channel& channel) {
    const Sample& sample = *channel.sample;
    const bool struck = channel.struck != 0;
    channel.struck = 0;
    if (!sample.is_fm || channel.key_down == 0) {
        if (chip.channels[fm].key_on) opl_key_off(chip, fm);
        return;
    }
    if (struck) opl_set_patch(chip, fm, sample.fm_patch);
    opl_set_frequency(chip, fm, opl_tone_of_rate(channel.fine_frequency));
    opl_set_volume(chip, fm, chip_volume(channel));
    if (struck) opl_key_on(chip, fm);
}

} // namespace

void fm_voices_add_tick(Replay& replay, std::int32_t* buffer, std::int32_t frames) {
    if (!replay.fm_chip) return;
    OplChip& chip = *replay.fm_chip;
    if (chip.output_rate == 0) opl_reset(chip, replay.output_rate);
    std::int16_t* outputs[opl_channel_count] = {};
    bool used[opl_channel_count] = {};
    for (std::int32_t c = 0; c < replay.module->channel_count; ++c) {
        const int fm = chip_channel(replay, c);
        if (fm < 0) continue;
        take_channel(chip, fm, replay.channels[c]);
        used[fm] = true;
    }
    for (int fm = 0; fm < opl_channel_count; ++fm)
        if (used[fm]) outputs[fm] = replay.fm_buffers + fm * fm_block_frames;
    for (std::int32_t start = 0; start < frames; start += fm_block_frames) {
        const std::int32_t count = std::min(frames - start, fm_block_frames);
        opl_render(chip, outputs, count);
        std::int32_t* out = buffer + 2 * start;
        for (const std::int16_t* output : outputs) {
            if (!output) continue;
            for (std::int32_t i = 0; i < count; ++i) {
                const std::int32_t value = (output[i] * fm_gain) >> 15;
                out[2 * i] += value;
                out[2 * i + 1] += value;
            }
        }
    }
}
