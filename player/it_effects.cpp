// Impulse Tracker's own effects. Its slides read their parameter as Dxy
// does: x0 up and 0x down on every tick but the first, xF up and Fx down on
// the first alone; each keeps a memory of its own for a parameter of 0.
#include "player/it_effects.h"
#include "player/effect_codes.h"
#include "player/lfo.h"
#include <algorithm>

namespace {

std::int32_t remember(std::int32_t& memory, std::int32_t param) {
    if (param != 0) memory = param;
    return memory;
}

// The step a Dxy-like parameter takes on this tick.
std::int32_t slide_step(const Channel& channel, std::int32_t q) {
    const std::int32_t up = q >> 4, down = q & 15;
    const bool first = on_first_tick(channel);
    if (down == 0) return first ? 0 : up;
    if (up == 0) return first ? 0 : -down;
    if (down == 15) return first ? up : 0;
    if (up == 15) return first ? -down : 0;
    return 0;
}

void slide_channel_volume(Channel& channel) {
    channel.channel_volume = std::clamp(
        channel.channel_volume + slide_step(channel, channel.channel_volume_memory), 0, 64);
}

// P0x pans right, Px0 left, in IT's 64 steps, four of the replay's each.
void slide_panning(Channel& channel) {
    channel.panning =
        std::clamp(channel.panning - 4 * slide_step(channel, channel.it_panning_slide_memory), 0,
                   full_right(rules_of(*channel.replay->module)));
    channel.pan_borrowed = 0;
}

void slide_global_volume(Channel& channel) {
    std::int32_t& global_volume = channel.replay->global_volume;
    global_volume = std::clamp(global_volume + slide_step(channel, channel.it_global_slide_memory),
                               0, highest_global_volume(channel));
}

// T0x slows and T1x speeds the tempo by x on every tick but the first.
void slide_tempo(Channel& channel) {
    const std::int32_t q = channel.tempo_slide_memory;
    const std::int32_t step = (q >> 4) == 0 ? -(q & 15) : q & 15;
    std::int32_t& tempo = channel.replay->tempo_bpm;
    tempo = std::clamp(tempo + step, minimum_tempo, 255);
}

// Panbrello's table is four times longer than vibrato's: its phase moves a
// quarter as fast. Its depth swings the balance by up to 30 of IT's 64
// steps; its ramp and square start at their top, half a cycle on from the
// vibrato's (as openmpt123 renders them).
void panbrello_tick(Channel& channel) {
    const std::int32_t shape = channel.panbrello_shape & 3;
    // Where the rules say so, the random waveform's speed is how many ticks
    // each value holds; the phase counts them down, across rows too.
    if (shape == 3 && rules_of(channel).random_panbrello_holds) {
        if (channel.panbrello_position <= 0) {
            channel.balance_offset = lfo_value(channel, 0, 3) * channel.panbrello_amount >> 5;
            channel.panbrello_position = channel.panbrello_step;
        }
        channel.panbrello_position -= 1;
        return;
    }
    const std::int32_t top_first = shape == 1 || shape == 2 ? 32 : 0;
    const std::int32_t value =
        lfo_value(channel, (channel.panbrello_position >> 2) + top_first, shape);
    channel.balance_offset = value * channel.panbrello_amount >> 5;
    channel.panbrello_position = grow_counter(channel.panbrello_position, channel.panbrello_step);
}

} // namespace

void apply_it_effect_row(Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case effect::channel_volume:
        // More than 64 is ignored.
        if (p <= 64) channel.channel_volume = p;
        break;
    case effect::channel_volume_slide:
        remember(channel.channel_volume_memory, p);
        slide_channel_volume(channel);
        break;
    case effect::it_panning_slide:
        remember(channel.it_panning_slide_memory, p);
        slide_panning(channel);
        break;
    case effect::it_global_volume_slide:
        remember(channel.it_global_slide_memory, p);
        slide_global_volume(channel);
        break;
    case effect::tempo_slide:
        if ((p & 15) != 0) channel.tempo_slide_memory = p;
        break;
    case effect::panbrello:
        if (p >= 16) channel.panbrello_step = p >> 4;
        if ((p & 15) != 0) channel.panbrello_amount = p & 15;
        panbrello_tick(channel);
        break;
    case effect::panbrello_shape:
        if (p <= 3) channel.panbrello_shape = p;
        channel.panbrello_position = 0;
        break;
    case effect::high_offset:
        channel.high_offset = p;
        break;
    case effect::surround:
        channel.surround = p;
        break;
    case effect::column_panning:
        take_panning(channel, std::min(p * 4, full_right(rules_of(*channel.replay->module))));
        break;
    default:
        break;
    }
}

void apply_it_effect_tick(Channel& channel) {
    switch (channel.note.effect) {
    case effect::channel_volume_slide:
        slide_channel_volume(channel);
        break;
    case effect::it_panning_slide:
        slide_panning(channel);
        break;
    case effect::it_global_volume_slide:
        slide_global_volume(channel);
        break;
    case effect::tempo_slide:
        if (channel.tempo_slide_memory != 0) slide_tempo(channel);
        break;
    case effect::panbrello:
        panbrello_tick(channel);
        break;
    default:
        break;
    }
}
