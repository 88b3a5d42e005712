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

void apply_volume_column_row(Channel& channel) {
    const std::int32_t command = channel.note.volume;
    const std::int32_t x = command & 15;
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
        channel.volume = std::max(channel.volume - x, 0);
        break;
    case 0x9:
        channel.volume = std::min(channel.volume + x, 64);
        break;
    case 0xA:
        if (x != 0) channel.vibrato_step = x;
        break;
    case 0xB:
        if (x != 0) channel.vibrato_amount = x;
        set_vibrato_value(channel, 5);
        break;
    case 0xC:
        // FastTracker 2 multiplies by 16: its full right is 240.
        channel.panning = x * (rules_of(*channel.replay->module).panning_column_by_16 ? 16 : 17);
        break;
    case 0xF:
        // FastTracker 2 reads its speed in sixteens, into 3xx's memory.
        if (x != 0 && !delay_keeps_volume_column_tone_slide(channel))
            channel.tone_slide_speed =
                x * (rules_of(*channel.replay->module).tone_slide_column_by_16 ? 16 : 1);
        break;
    default:
        break;
    }
}

void apply_volume_column_tick(Channel& channel) {
    const std::int32_t command = channel.note.volume;
    const std::int32_t x = command & 15;
    switch (command >> 4) {
    case 0x6:
        channel.volume = std::max(channel.volume - x, 0);
        break;
    case 0x7:
        channel.volume = std::min(channel.volume + x, 64);
        break;
    case 0xB:
        vibrato_tick(channel, 5);
        break;
    case 0xD:
        // FastTracker 2's slide left by 0 goes all the way.
        channel.panning = x == 0 && rules_of(*channel.replay->module).pan_slide_left_by_zero_to_left
                              ? 0
                              : std::max(channel.panning - x, 0);
        break;
    case 0xE:
        channel.panning = std::min(channel.panning + x, 255);
        break;
    case 0xF:
        tone_slide(channel);
        break;
    default:
        break;
    }
}
