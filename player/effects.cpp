// What every effect code does on the row and on the ticks after it. The
// sequencer's own codes (jumps, breaks, speed, tempo, pattern loop and delay)
// are acted on by the sequencer and do nothing here.
#include "player/effects.h"
#include "player/channel.h"
#include <algorithm>

namespace {

// A parameter of 0 repeats the last one: non-zero values are remembered.
std::int32_t remember(std::int32_t& memory, std::int32_t param) {
    if (param != 0) memory = param;
    return memory;
}

// Two-nibble parameters keep each half separately: the high nibble counts only
// when the parameter is at least 16, the low one only when it is not 0.
void remember_nibbles(std::int32_t param, std::int32_t& high, std::int32_t& low) {
    if (param >= 16) high = param >> 4;
    if ((param & 15) != 0) low = param & 15;
}

bool on_first_tick(const Channel& channel) {
    return channel.tick_in_row == 0;
}

void advance_tremolo(Channel& channel) {
    channel.tremolo_position = grow_counter(channel.tremolo_position, channel.tremolo_step);
}

// Signed nibble difference hi - lo, the step of the XM global and panning slides.
constexpr std::int32_t nibble_slide(std::int32_t q) {
    return (q >> 4) - (q & 15);
}

void arpeggio_tick(Channel& channel) {
    const std::int32_t memory = channel.arpeggio_memory;
    switch (channel.tick_in_row) {
    case 1:
        channel.semitone_offset = memory >> 4;
        break;
    case 2:
        channel.semitone_offset = memory & 15;
        break;
    default:
        // Every third tick plays the note itself and starts the cycle again.
        channel.tick_in_row = 0;
        channel.semitone_offset = 0;
        break;
    }
}

std::int32_t retriggered_volume(std::int32_t volume, std::int32_t mode) {
    switch (mode) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
        return volume - (1 << (mode - 1));
    case 6:
        return volume * 2 / 3;
    case 7:
        return volume / 2;
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
        return volume + (1 << (mode - 9));
    case 14:
        return volume * 3 / 2;
    case 15:
        return volume * 2;
    default:
        return volume;
    }
}

} // namespace

void advance_vibrato(Channel& channel) {
    channel.vibrato_position = grow_counter(channel.vibrato_position, channel.vibrato_step);
}

void pitch_slide_up(Channel& channel, std::int32_t q) {
    if (q >= 0xF0) {
        if (on_first_tick(channel)) channel.period -= (q & 15) * 4;
    } else if (q >= 0xE0) {
        if (on_first_tick(channel)) channel.period -= q & 15;
    } else if (!on_first_tick(channel)) {
        channel.period -= q * 4;
    }
    if (channel.period < 0) channel.period = 0;
}

void pitch_slide_down(Channel& channel, std::int32_t q) {
    if (channel.period <= 0) return;
    if (q >= 0xF0) {
        if (on_first_tick(channel)) channel.period += (q & 15) * 4;
    } else if (q >= 0xE0) {
        if (on_first_tick(channel)) channel.period += q & 15;
    } else if (!on_first_tick(channel)) {
        channel.period += q * 4;
    }
    if (channel.period > 65535) channel.period = 65535;
}

void tone_slide(Channel& channel) {
    if (channel.period <= 0) return;
    const std::int32_t speed = channel.tone_slide_speed * 4;
    if (channel.period < channel.target_period) {
        channel.period = std::min(channel.period + speed, channel.target_period);
    } else {
        channel.period = std::max(channel.period - speed, channel.target_period);
    }
}

void slide_volume(Channel& channel) {
    const std::int32_t up = channel.volume_slide_memory >> 4;
    const std::int32_t down = channel.volume_slide_memory & 15;
    if (up > 0 && down == 15) {
        if (on_first_tick(channel)) channel.volume += up;
    } else if (up == 15 && down > 0) {
        if (on_first_tick(channel)) channel.volume -= down;
    } else if (!on_first_tick(channel) || channel.replay->module->volume_slide_on_first_tick) {
        channel.volume += up - down;
    }
    channel.volume = std::clamp(channel.volume, 0, 64);
}

void set_vibrato_value(Channel& channel, std::int32_t shift) {
    channel.period_offset =
        lfo_value(channel, channel.vibrato_position, channel.vibrato_shape & 3) *
            channel.vibrato_amount >>
        shift;
}

void set_tremolo_value(Channel& channel) {
    channel.volume_offset =
        lfo_value(channel, channel.tremolo_position, channel.tremolo_shape & 3) *
            channel.tremolo_amount >>
        6;
}

void multi_retrigger(Channel& channel) {
    if (channel.ticks_since_trigger < channel.retrigger_interval) return;
    channel.position = 0;
    channel.fraction = 0;
    channel.ticks_since_trigger = 0;
    channel.volume =
        std::clamp(retriggered_volume(channel.volume, channel.retrigger_volume_mode), 0, 64);
}

void tremor_step(Channel& channel) {
    if (channel.ticks_since_trigger < channel.tremor_audible_ticks) return;
    channel.volume_offset = -64;
    if (channel.ticks_since_trigger >= channel.tremor_audible_ticks + channel.tremor_silent_ticks) {
        channel.ticks_since_trigger = 0;
        channel.volume_offset = 0;
    }
}

void apply_effect_row(Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case 0x01:
    case 0x86:
        pitch_slide_up(channel, remember(channel.slide_up_memory, p));
        break;
    case 0x02:
    case 0x85:
        pitch_slide_down(channel, remember(channel.slide_down_memory, p));
        break;
    case 0x03:
    case 0x87:
        if (p != 0) channel.tone_slide_speed = p;
        break;
    case 0x04:
    case 0x88:
        remember_nibbles(p, channel.vibrato_step, channel.vibrato_amount);
        set_vibrato_value(channel, 5);
        break;
    case 0x05:
    case 0x8C:
    case 0x0A:
    case 0x84:
        remember(channel.volume_slide_memory, p);
        slide_volume(channel);
        break;
    case 0x06:
    case 0x8B:
        remember(channel.volume_slide_memory, p);
        set_vibrato_value(channel, 5);
        slide_volume(channel);
        break;
    case 0x07:
    case 0x92:
        remember_nibbles(p, channel.tremolo_step, channel.tremolo_amount);
        set_tremolo_value(channel);
        break;
    case 0x08:
        channel.panning = p;
        break;
    case 0x0C:
        channel.volume = std::min(p, 64);
        break;
    case 0x10:
    case 0x96:
        channel.replay->global_volume = std::min(p, 64);
        break;
    case 0x11:
        remember(channel.global_slide_memory, p);
        break;
    case 0x14:
        channel.key_down = 0;
        break;
    case 0x15:
        channel.volume_envelope_tick = p;
        channel.panning_envelope_tick = p;
        break;
    case 0x19:
        remember(channel.panning_slide_memory, p);
        break;
    case 0x1B:
    case 0x91:
        remember_nibbles(p, channel.retrigger_volume_mode, channel.retrigger_interval);
        multi_retrigger(channel);
        break;
    case 0x1D:
    case 0x89:
        remember_nibbles(p, channel.tremor_audible_ticks, channel.tremor_silent_ticks);
        tremor_step(channel);
        break;
    case 0x21: {
        const std::int32_t q = remember(channel.extra_fine_slide_memory, p);
        if ((q >> 4) == 1) pitch_slide_up(channel, 0xE0 + (q & 15));
        if ((q >> 4) == 2) pitch_slide_down(channel, 0xE0 + (q & 15));
        break;
    }
    case 0x71:
        pitch_slide_up(channel, 0xF0 + (remember(channel.fine_slide_up_memory, p) & 15));
        break;
    case 0x72:
        pitch_slide_down(channel, 0xF0 + (remember(channel.fine_slide_down_memory, p) & 15));
        break;
    case 0x74:
    case 0xF3:
        if (p <= 7) channel.vibrato_shape = p;
        break;
    case 0x77:
    case 0xF4:
        if (p <= 7) channel.tremolo_shape = p;
        break;
    case 0x7A:
        channel.volume = std::min(channel.volume + remember(channel.fine_volume_up_memory, p), 64);
        break;
    case 0x7B:
        channel.volume = std::max(channel.volume - remember(channel.fine_volume_down_memory, p), 0);
        break;
    case 0x7C:
    case 0xFC:
        if (p == 0) channel.volume = 0;
        break;
    case 0x8A:
        remember(channel.arpeggio_memory, p);
        break;
    case 0x95:
        remember_nibbles(p, channel.vibrato_step, channel.vibrato_amount);
        set_vibrato_value(channel, 7);
        break;
    case 0xF8:
        channel.panning = p * 17;
        break;
    default:
        break;
    }
}

void apply_effect_tick(Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case 0x01:
    case 0x86:
        pitch_slide_up(channel, channel.slide_up_memory);
        break;
    case 0x02:
    case 0x85:
        pitch_slide_down(channel, channel.slide_down_memory);
        break;
    case 0x03:
    case 0x87:
        tone_slide(channel);
        break;
    case 0x04:
    case 0x88:
        advance_vibrato(channel);
        set_vibrato_value(channel, 5);
        break;
    case 0x05:
    case 0x8C:
        tone_slide(channel);
        slide_volume(channel);
        break;
    case 0x06:
    case 0x8B:
        advance_vibrato(channel);
        set_vibrato_value(channel, 5);
        slide_volume(channel);
        break;
    case 0x07:
    case 0x92:
        advance_tremolo(channel);
        set_tremolo_value(channel);
        break;
    case 0x0A:
    case 0x84:
        slide_volume(channel);
        break;
    case 0x11: {
        std::int32_t& global_volume = channel.replay->global_volume;
        global_volume =
            std::clamp(global_volume + nibble_slide(channel.global_slide_memory), 0, 64);
        break;
    }
    case 0x19:
        channel.panning =
            std::clamp(channel.panning + nibble_slide(channel.panning_slide_memory), 0, 255);
        break;
    case 0x1B:
    case 0x91:
        multi_retrigger(channel);
        break;
    case 0x1D:
    case 0x89:
        tremor_step(channel);
        break;
    case 0x79:
        if (channel.tick_in_row >= p) {
            channel.tick_in_row = 0;
            channel.position = 0;
            channel.fraction = 0;
        }
        break;
    case 0x7C:
    case 0xFC:
        if (channel.tick_in_row == p) channel.volume = 0;
        break;
    case 0x7D:
    case 0xFD:
        if (channel.tick_in_row == p) trigger_note(channel);
        break;
    case 0x8A:
        arpeggio_tick(channel);
        break;
    case 0x95:
        advance_vibrato(channel);
        set_vibrato_value(channel, 7);
        break;
    default:
        break;
    }
}
