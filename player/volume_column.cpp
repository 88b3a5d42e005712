// The volume column: set volume and panning, fine and per-tick volume and
// panning slides, vibrato speed and depth, and tone slide. Its row action runs
// inside the note trigger, before the key; its tick action before the effect's.
#include "player/volume_column.h"
#include "player/effect_codes.h"
#include "player/effect_steps.h"
#include <algorithm>

bool delay_keeps_volume_column_tone_slide(const Channel& channel) {
    const Note& note = channel.note;
    return note.volume >= 0xF0 && note.effect == effect::note_delay && note.param != 0 &&
           rules_of(*channel.replay->module).note_delay_keeps_tone_slide;
}

namespace {

// A volume slide's amount; where the rules say so, 0 repeats the last of
// the column's volume slides, fine or not.
std::int32_t column_amount(Channel& channel, std::int32_t x) {
    if (!rules_of(channel).volume_column_slide_memory) return x;
    if (x != 0) channel.volume_column_memory = x;
    return channel.volume_column_memory;
}

void take_effect_memory(Channel& channel) {
    const Note& note = channel.note;
    if (note.effect == effect::tone_slide || note.effect == effect::s3m_tone_slide)
        remember_tone_slide(channel, note.param);
    if (note.effect == effect::s3m_vibrato || note.effect == effect::s3m_fine_vibrato) {
        if (note.param >= 16) channel.vibrato_step = note.param >> 4;
        if ((note.param & 15) != 0) channel.vibrato_amount = note.param & 15;
    }
}

// Impulse Tracker's tone slide speeds for the column's x = 1..9.
constexpr std::int32_t tone_slide_speeds[9] = {1, 4, 8, 16, 32, 64, 96, 128, 255};

void take_tone_slide_speed(Channel& channel, std::int32_t x) {
    const PlayRules& rules = rules_of(channel);
    if (rules.tone_slide_column_table) {
        if (x != 0) remember_tone_slide(channel, tone_slide_speeds[std::min(x, 9) - 1]);
        return;
    }
    // FastTracker 2 reads its speed in sixteens, into 3xx's memory.
    if (x != 0) channel.tone_slide_speed = x * (rules.tone_slide_column_by_16 ? 16 : 1);
}

} // namespace

void apply_volume_column_row(Channel& channel) {
    if (!plays_other_trackers) return; // the show's MOD has no volume column
    const std::int32_t command = channel.note.volume;
    const std::int32_t x = command & 15;
    const PlayRules& rules = rules_of(channel);
    // Impulse Tracker takes Gxx's and Hxy's parameters first, so that the
    // column's may replace them.
    if (rules.effect_memory_before_volume_column) take_effect_memory(channel);
    switch (command >> 4) {
    case 0x1:
    case 0x2:
    case 0x3:
    case 0x4:
        channel.volume = command - 16;
        break;
    case 0x5:
        // FastTracker 2 sets 64 with 0x50 alone; 0x51..0x5F do nothing.
        if (command == 0x50 || !rules_of(*channel.replay->module).volume_column_above_64_ignored)
            channel.volume = 64;
        break;
    case 0x8:
        channel.volume = std::max(channel.volume - column_amount(channel, x), 0);
        break;
    case 0x9:
        channel.volume = std::min(channel.volume + column_amount(channel, x), 64);
        break;
    case 0xA:
        if (x != 0) channel.vibrato_step = x;
        break;
    case 0xB:
        if (x != 0) channel.vibrato_amount = x;
        if (rules.vibrato_every_tick_at_half_depth) {
            vibrato_tick(channel, 5);
        } else {
            set_vibrato_value(channel, 5);
        }
        break;
    case 0xC:
        // FastTracker 2 multiplies by 16: its full right is 240.
        take_panning(channel,
                     x * (rules_of(*channel.replay->module).panning_column_by_16 ? 16 : 17));
        break;
    case 0xD:
    case 0xE:
        // Impulse Tracker's pitch slides, by four times x; x = 0 slides by the memory.
        if (rules.volume_column_pitch_slides) remember_pitch_slide(channel, command < 0xE0, x * 4);
        break;
    case 0xF:
        if (!delay_keeps_volume_column_tone_slide(channel)) take_tone_slide_speed(channel, x);
        break;
    default:
        break;
    }
}

void apply_volume_column_tick(Channel& channel) {
    if (!plays_other_trackers) return; // the show's MOD has no volume column
    const std::int32_t command = channel.note.volume;
    const std::int32_t x = command & 15;
    switch (command >> 4) {
    case 0x6:
        channel.volume = std::max(channel.volume - column_amount(channel, x), 0);
        break;
    case 0x7:
        channel.volume = std::min(channel.volume + column_amount(channel, x), 64);
        break;
    case 0xB:
        vibrato_tick(channel, 5);
        break;
    case 0xD:
        if (rules_of(channel).volume_column_pitch_slides) {
            pitch_slide_down(channel, pitch_slide_memory(channel, true) | coarse_slide);
            break;
        }
        // FastTracker 2's slide left by 0 goes all the way.
        channel.panning = x == 0 && rules_of(*channel.replay->module).pan_slide_left_by_zero_to_left
                              ? 0
                              : std::max(channel.panning - x, 0);
        break;
    case 0xE:
        if (rules_of(channel).volume_column_pitch_slides) {
            pitch_slide_up(channel, pitch_slide_memory(channel, false) | coarse_slide);
            break;
        }
        channel.panning = std::min(channel.panning + x, 255);
        break;
    case 0xF:
        tone_slide(channel);
        break;
    default:
        break;
    }
}
