// The replay sequencer: steps the module through its order list row by row
// and tick by tick, hands every channel its note and applies the commands that
// move the song position or change the timing.
#include "player/sequencer.h"
#include "base/alloc.h"
#include "player/background_voices.h"
#include "player/channel.h"
#include "player/effect_codes.h"
#include "player/fm_voices.h"
#include <cstdint>
#include <limits>

namespace {

// The entries that are played. A hand-built module may carry a length beyond
// the order list or none at all; entry 0 is always part of the song.
std::int32_t played_length(const Module& module) {
    if (module.song_length < 1) return 1;
    if (module.song_length > order_list_size) return order_list_size;
    return module.song_length;
}

// Where the song goes on after its last entry.
std::int32_t restart_entry(const Module& module, std::int32_t length) {
    const std::int32_t entry = module.restart_position;
    return entry > 0 && entry < length ? entry : 0;
}

bool names_pattern(const Module& module, std::int32_t entry) {
    return module.order_list[entry] < module.pattern_count;
}

void reset_channel(Replay& replay, std::int32_t index) {
    const Module& module = *replay.module;
    Channel& channel = replay.channels[index];
    channel = Channel{};
    channel.replay = &replay;
    channel.index = index;
    channel.panning = module.channel_panning[index];
    // A byte holds IT's full right (64 steps) as 255, the first four steps' multiple that fits.
    if (channel.panning == 255) channel.panning = full_right(rules_of(module));
    if (module.channel_surround) channel.surround = module.channel_surround[index];
    channel.channel_volume = module.channel_volume ? module.channel_volume[index] : 64;
    channel.instrument = &module.instruments[0];
    channel.filter_cutoff = full_cutoff;
    channel.sample = &module.instruments[0].samples[0];
    channel.noise_state =
        static_cast<std::int32_t>(11259375u * static_cast<std::uint32_t>(index + 1));
}

// Enters the pending entry, skipping entries that name no pattern. When no
// entry of the song names one, nothing is entered and the row plays empty.
void enter_pending_order(Replay& replay) {
    const Module& module = *replay.module;
    const std::int32_t length = played_length(module);
    if (replay.pending_order >= length) {
        replay.pending_order = restart_entry(module, length);
        // The trackers keep a break's row across the wrap; the show's rules
        // start the song over at its first row.
        if (!rules_of(module).break_row_survives_wrap) replay.pending_row = 0;
    }
    std::int32_t skipped = 0;
    while (!names_pattern(module, replay.pending_order) && skipped < length) {
        ++skipped;
        if (++replay.pending_order >= length) {
            replay.pending_order = 0;
            replay.pending_row = 0;
        }
    }
    replay.order_index = replay.pending_order;
    replay.pending_order = -1;
    if (skipped == length) return;
    replay.order_counter += 1;
    if (rules_of(module).loop_start_kept_across_patterns) return;
    for (std::int32_t c = 0; c < module.channel_count; ++c) replay.channels[c].loop_row = 0;
}

// A loop of the channel's own: its count starts at the parameter and goes
// down on every pass; jumps and breaks of the row stay as they are.
void apply_channel_loop(Replay& replay, Channel& channel, std::int32_t param) {
    const PlayRules& rules = rules_of(*replay.module);
    channel.loop_count = channel.loop_count == 0 ? param : channel.loop_count - 1;
    if (channel.loop_count == 0) {
        if (rules.ended_loop_starts_after_it) channel.loop_row = replay.current_row + 1;
        return;
    }
    replay.pending_row = channel.loop_row;
    if (rules.loop_jump_beats_break) {
        replay.pending_order = -1;
        replay.loop_jumped = true;
    }
    // FastTracker 2 keeps the row it jumped to and starts the next pattern
    // there too, when the pattern ends by itself.
    if (rules.loop_row_starts_next_pattern) replay.next_pattern_row = channel.loop_row;
}

// Plays `current_row` `repeats` more times from the channel's loop row; only
// the channel that started a loop acts on it until it ends.
void apply_pattern_loop(Replay& replay, Channel& channel, std::int32_t param) {
    if (param == 0) {
        channel.loop_row = replay.current_row;
        return;
    }
    if (rules_of(*replay.module).pattern_loop_per_channel) {
        apply_channel_loop(replay, channel, param);
        return;
    }
    if (channel.loop_row >= replay.current_row || replay.pending_order >= 0) return;
    if (replay.loop_repeats_left < 0) {
        replay.loop_repeats_left = param;
        replay.loop_channel = channel.index;
    }
    if (replay.loop_channel != channel.index) return;
    if (replay.loop_repeats_left != 0) {
        replay.pending_row = channel.loop_row;
    } else {
        channel.loop_row = replay.current_row + 1;
        if (replay.waiting_order >= 0) {
            replay.pending_order = replay.waiting_order;
            replay.pending_row = replay.waiting_row;
            replay.waiting_order = -1;
        }
    }
    replay.loop_repeats_left -= 1;
}

void set_speed(Replay& replay, std::int32_t speed) {
    replay.ticks_per_row = speed;
    replay.ticks_left = speed;
}

void set_tempo(Replay& replay, std::int32_t tempo) {
    if (rules_of(*replay.module).tempo_after_first_tick) {
        replay.pending_tempo = tempo;
    } else {
        replay.tempo_bpm = tempo;
    }
}

// Where a pattern loop repeats, the show's rules let it finish first; loops
// per channel hold nothing back.
bool may_jump(const Replay& replay) {
    return replay.loop_repeats_left < 0;
}

// Where the rules say so, a jump that a pattern loop holds back acts at the
// loop's end.
void wait_for_loop_end(Replay& replay, std::int32_t order, std::int32_t row) {
    if (!rules_of(*replay.module).breaks_wait_for_loop_end) return;
    replay.waiting_order = order;
    replay.waiting_row = row;
}

// A delayed row lasts (p + 1) rows: by rows of its own where each starts
// again at its first tick, or as one long row.
void delay_row(Replay& replay, std::int32_t p) {
    const PlayRules& rules = rules_of(*replay.module);
    if (rules.first_pattern_delay_wins) {
        // A delay of 0 is none and, unless the rules count it, leaves the row
        // to the next one.
        if (replay.row_delayed) return;
        if (p == 0 && !rules.zero_pattern_delay_counts) return;
        replay.row_delayed = true;
    }
    if (rules.pattern_delay_reruns_row) {
        replay.row_repeats_left = p;
        return;
    }
    // A huge speed from a hand-built module must not overflow the count.
    const std::int64_t ticks = static_cast<std::int64_t>(p + 1) * replay.ticks_per_row;
    constexpr std::int64_t most = std::numeric_limits<std::int32_t>::max();
    replay.ticks_left = static_cast<std::int32_t>(ticks < most ? ticks : most);
}

void apply_sequencer_command(Replay& replay, Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case effect::position_jump:
    case effect::s3m_position_jump:
        if (may_jump(replay)) {
            replay.pending_order = p;
            replay.pending_row = 0;
        } else {
            wait_for_loop_end(replay, p, 0);
        }
        break;
    case effect::pattern_break:
    case effect::s3m_pattern_break:
        if (replay.loop_jumped) break;
        if (may_jump(replay)) {
            if (replay.pending_order < 0) replay.pending_order = replay.order_index + 1;
            replay.pending_row = (p >> 4) * 10 + (p & 15);
        } else {
            const std::int32_t waiting = replay.waiting_order;
            wait_for_loop_end(replay, waiting >= 0 ? waiting : replay.order_index + 1,
                              (p >> 4) * 10 + (p & 15));
        }
        break;
    case effect::speed_or_tempo:
        if (p >= minimum_tempo) {
            set_tempo(replay, p);
        } else if (p > 0) {
            set_speed(replay, p);
        }
        break;
    case effect::s3m_speed:
        if (p != 0) set_speed(replay, p);
        break;
    case effect::s3m_tempo:
        if (p > minimum_tempo) set_tempo(replay, p);
        break;
    case effect::pattern_loop:
    case effect::s3m_pattern_loop:
        apply_pattern_loop(replay, channel, p);
        break;
    case effect::pattern_delay:
    case effect::s3m_pattern_delay:
        delay_row(replay, p);
        break;
    case effect::s3m_tick_delay:
        // The row's S6x add up; each repetition of the row gets them all.
        if (rules_of(*replay.module).tick_delay) {
            replay.row_extra_ticks += p;
            replay.ticks_left += p;
        }
        break;
    default:
        break;
    }
}

// The rows of the pattern the entry names; 0 for none.
std::int32_t rows_of_entry(const Module& module, std::int32_t entry) {
    return names_pattern(module, entry) ? module.patterns[module.order_list[entry]].row_count : 0;
}

void play_row(Replay& replay) {
    const Module& module = *replay.module;
    replay.ticks_left = replay.ticks_per_row;
    // A loop back past the pattern's end finishes the pattern.
    if (rules_of(module).loop_past_pattern_end_goes_on && replay.pending_order < 0 &&
        replay.pending_row >= rows_of_entry(module, replay.order_index)) {
        replay.pending_row = -1;
    }
    if (replay.pending_row < 0) {
        replay.pending_order = replay.order_index + 1;
        replay.pending_row = replay.next_pattern_row;
        replay.next_pattern_row = 0;
    }
    if (replay.pending_order >= 0) enter_pending_order(replay);

    const Pattern* pattern = names_pattern(module, replay.order_index)
                                 ? &module.patterns[module.order_list[replay.order_index]]
                                 : nullptr;
    const std::int32_t row_count = pattern ? pattern->row_count : 0;
    replay.current_row = replay.pending_row < row_count ? replay.pending_row : 0;
    replay.pending_row = replay.current_row + 1 < row_count ? replay.current_row + 1 : -1;

    const bool row_exists = pattern != nullptr && replay.current_row < row_count;
    replay.row_delayed = false;
    replay.loop_jumped = false;
    replay.row_extra_ticks = 0;
    for (std::int32_t c = 0; c < module.channel_count; ++c) {
        Note note{};
        if (row_exists && c < pattern->channel_count) {
            const std::uint8_t* cell =
                pattern->notes +
                (static_cast<std::size_t>(replay.current_row) * pattern->channel_count + c) *
                    note_size;
            note = Note{cell[0], cell[1], cell[2], cell[3], cell[4]};
        }
        apply_row_note(replay.channels[c], note);
        apply_sequencer_command(replay, replay.channels[c]);
    }
    // ProTracker moves on one row more after a delayed row's jump, so the
    // row jumped to is passed over.
    if (replay.row_repeats_left > 0 && replay.pending_order >= 0 &&
        rules_of(module).delayed_jump_passes_target_row) {
        replay.pending_row += 1;
    }
}

} // namespace

Replay* new_replay(const Module* module, std::int32_t output_rate, bool interpolate) {
    if (module->channel_count < 0) return nullptr;
    if (output_rate < lowest_output_rate || output_rate > highest_output_rate) return nullptr;
    Replay* replay = static_cast<Replay*>(mem_alloc(sizeof(Replay)));
    if (!replay) return nullptr;
    replay->module = module;
    replay->output_rate = output_rate;
    replay->interpolate = interpolate ? 1 : 0;
    replay->crossfade_buffer =
        static_cast<std::int32_t*>(mem_alloc(sizeof(std::int32_t) * crossfade_values));
    replay->voice_count = voice_count_of(*module);
    replay->channels = static_cast<Channel*>(
        mem_alloc(sizeof(Channel) * static_cast<std::size_t>(replay->voice_count)));
    if (module->channel_fm) {
        replay->fm_chip = static_cast<OplChip*>(mem_alloc(sizeof(OplChip)));
        replay->fm_buffers = static_cast<std::int16_t*>(
            mem_alloc(sizeof(std::int16_t) * opl_channel_count * fm_block_frames));
    }
    const bool fm_ready = !module->channel_fm || (replay->fm_chip && replay->fm_buffers);
    if (!replay->crossfade_buffer || !replay->channels || !fm_ready) {
        replay_dispose(replay);
        return nullptr;
    }
    start_sequence_at(replay, 0);
    return replay;
}

void start_sequence_at(Replay* replay, std::int32_t entry) {
    const Module& module = *replay->module;
    replay->pending_order = entry >= 0 && entry < played_length(module) ? entry : 0;
    replay->pending_row = 0;
    replay->ticks_left = 1;
    replay->global_volume = module.initial_global_volume;
    replay->ticks_per_row = module.initial_speed > 0 ? module.initial_speed : 3;
    if (module.initial_tempo <= 0) {
        replay->tempo_bpm = 250;
    } else {
        replay->tempo_bpm =
            module.initial_tempo < minimum_tempo ? minimum_tempo : module.initial_tempo;
    }
    replay->loop_repeats_left = -1;
    replay->loop_channel = -1;
    replay->waiting_order = -1;
    replay->pending_tempo = 0;
    replay->row_repeats_left = 0;
    replay->next_pattern_row = 0;
    for (std::int32_t c = 0; c < module.channel_count; ++c) reset_channel(*replay, c);
    if (plays_other_trackers) free_background_voices(*replay);
    for (std::int32_t i = 0; i < crossfade_values; ++i) replay->crossfade_buffer[i] = 0;
    if (replay->fm_chip) *replay->fm_chip = OplChip{};
    advance_tick(replay);
}

void advance_tick(Replay* replay) {
    if (replay->pending_tempo > 0) {
        replay->tempo_bpm = replay->pending_tempo;
        replay->pending_tempo = 0;
    }
    const std::int32_t ticks = replay->ticks_left;
    replay->ticks_left = ticks - 1;
    if (ticks > 1) {
        for (std::int32_t c = 0; c < replay->module->channel_count; ++c) {
            apply_tick_effects(replay->channels[c]);
        }
    } else if (replay->row_repeats_left > 0) {
        replay->row_repeats_left -= 1;
        replay->ticks_left = replay->ticks_per_row + replay->row_extra_ticks;
        for (std::int32_t c = 0; c < replay->module->channel_count; ++c) {
            repeat_row(replay->channels[c]);
        }
    } else {
        play_row(*replay);
    }
    // After the channels, which may have moved notes there on this tick.
    if (plays_other_trackers) advance_background_voices(*replay);
}

void replay_dispose(Replay* replay) {
    mem_free(replay->fm_buffers);
    mem_free(replay->fm_chip);
    mem_free(replay->channels);
    mem_free(replay->crossfade_buffer);
    mem_free(replay);
}
