#include "base/alloc_faults.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include "tests/player/mod_builder.h"
#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct ModuleDeleter {
    void operator()(Module* module) const { module_dispose(module); }
};
struct ReplayDeleter {
    void operator()(Replay* replay) const { replay_dispose(replay); }
};
using ModulePtr = std::unique_ptr<Module, ModuleDeleter>;
using ReplayPtr = std::unique_ptr<Replay, ReplayDeleter>;
using Position = std::pair<int, int>; // order-list entry, row

ModulePtr load(const ModBuilder& builder) {
    const std::vector<std::uint8_t> bytes = builder.build();
    char message[load_message_size] = {};
    return ModulePtr(module_load(bytes.data(), bytes.size(), message));
}

ReplayPtr play(const Module* module) {
    return ReplayPtr(new_replay(module, 48000, false));
}

// Stores an unfolded effect code directly, as a loader of another format would.
void set_effect(Module& module, int pattern, int row, int channel, int effect, int param) {
    const Pattern& p = module.patterns[pattern];
    std::uint8_t* note = p.notes + (row * p.channel_count + channel) * note_size;
    note[3] = static_cast<std::uint8_t>(effect);
    note[4] = static_cast<std::uint8_t>(param);
}

// Advances to the start of the next row; returns the ticks the row took.
int next_row(Replay& replay) {
    int ticks = 1;
    while (replay.ticks_left > 1) {
        advance_tick(&replay);
        ++ticks;
    }
    advance_tick(&replay);
    return ticks;
}

Position position(const Replay& replay) {
    return {replay.order_index, replay.current_row};
}

// The positions of the next `count` rows.
std::vector<Position> next_rows(Replay& replay, int count) {
    std::vector<Position> rows;
    for (int i = 0; i < count; ++i) {
        next_row(replay);
        rows.push_back(position(replay));
    }
    return rows;
}

std::vector<Position> rows_of(int entry, int first, int last) {
    std::vector<Position> rows;
    for (int row = first; row <= last; ++row) rows.emplace_back(entry, row);
    return rows;
}

std::vector<Position> joined(std::initializer_list<std::vector<Position>> parts) {
    std::vector<Position> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

ModBuilder song_of(std::initializer_list<int> orders) {
    ModBuilder builder;
    builder.set_orders(orders);
    return builder;
}

} // namespace

TEST(NewReplay, RefusesOutputRatesTheMixerCannotServe) {
    ModulePtr module = load(song_of({0}));
    for (std::int32_t rate : {INT_MIN, -48000, 0, 3, 300, 7999, 192001, INT_MAX}) {
        EXPECT_EQ(new_replay(module.get(), rate, false), nullptr) << rate;
    }
    for (std::int32_t rate : {8000, 44100, 131072, 192000}) {
        ReplayPtr replay(new_replay(module.get(), rate, false));
        EXPECT_TRUE(replay) << rate;
    }
}

TEST(NewReplay, StartsAtEntryZeroWithTheFirstRowPlayed) {
    ModBuilder builder = song_of({0, 1});
    builder.set_note(0, 0, 1, 428, 1, 0xC, 0x20);
    ModulePtr module = load(builder);
    ReplayPtr replay(new_replay(module.get(), 44100, true));
    ASSERT_TRUE(replay);
    EXPECT_EQ(replay->output_rate, 44100);
    EXPECT_EQ(replay->interpolate, 1);
    EXPECT_EQ(replay->module, module.get());
    EXPECT_EQ(replay->order_counter, 1u);
    EXPECT_EQ(position(*replay), Position(0, 0));
    EXPECT_EQ(replay->pending_order, -1);
    EXPECT_EQ(replay->pending_row, 1);
    EXPECT_EQ(replay->ticks_per_row, 6);
    EXPECT_EQ(replay->ticks_left, 6);
    EXPECT_EQ(replay->tempo_bpm, 125);
    EXPECT_EQ(replay->global_volume, 64);
    EXPECT_EQ(replay->loop_repeats_left, -1);
    EXPECT_EQ(replay->loop_channel, -1);
    const int panning[] = {51, 204, 204, 51};
    for (int c = 0; c < 4; ++c) {
        const Channel& channel = replay->channels[c];
        EXPECT_EQ(channel.replay, replay.get());
        EXPECT_EQ(channel.index, c);
        EXPECT_EQ(channel.panning, panning[c]);
        EXPECT_EQ(channel.noise_state, 11259375 * (c + 1));
    }
    EXPECT_EQ(replay->channels[1].note.effect, 0xC);
    EXPECT_EQ(replay->channels[0].instrument, &module->instruments[0]);
}

TEST(NewReplay, FallsBackToSpeed3AndTempo250AndKeepsTempoAtLeast32) {
    ModulePtr module = load(song_of({0}));
    module->initial_speed = 0;
    module->initial_tempo = 0;
    ReplayPtr replay = play(module.get());
    EXPECT_EQ(replay->ticks_per_row, 3);
    EXPECT_EQ(replay->tempo_bpm, 250);
    EXPECT_EQ(next_row(*replay), 3);

    // A tick slower than tempo 32 would not fit the mix buffer.
    module->initial_tempo = 10;
    EXPECT_EQ(play(module.get())->tempo_bpm, 32);
    module->initial_tempo = 32;
    EXPECT_EQ(play(module.get())->tempo_bpm, 32);
}

TEST(NewReplay, ReleasesEverythingWhenAnAllocationFails) {
    ModulePtr module = load(song_of({0}));
    for (std::uint64_t n = 1; n <= 3; ++n) {
        mem_fail_nth_allocation(n);
        EXPECT_FALSE(play(module.get())) << n;
    }
    mem_fail_nth_allocation(0);
    EXPECT_TRUE(play(module.get()));
}

TEST(StartSequenceAt, RestartsAtTheGivenEntryOrAtEntryZero) {
    ModulePtr module = load(song_of({0, 1, 2}));
    ReplayPtr replay = play(module.get());
    next_rows(*replay, 3);
    replay->channels[2].volume = 40;
    replay->crossfade_buffer[5] = 99;
    replay->global_volume = 3;

    start_sequence_at(replay.get(), 3); // the song length: entry 0
    EXPECT_EQ(position(*replay), Position(0, 0));
    EXPECT_EQ(replay->order_counter, 2u);
    EXPECT_EQ(replay->channels[2].volume, 0);
    EXPECT_EQ(replay->channels[2].panning, 204);
    EXPECT_EQ(replay->crossfade_buffer[5], 0);
    EXPECT_EQ(replay->global_volume, 64);

    start_sequence_at(replay.get(), 2);
    EXPECT_EQ(position(*replay), Position(2, 0));
    EXPECT_EQ(replay->order_counter, 3u);

    // A negative entry is no entry of the song either: entry 0.
    next_rows(*replay, 5);
    start_sequence_at(replay.get(), -1);
    EXPECT_EQ(position(*replay), Position(0, 0));
    EXPECT_EQ(replay->order_counter, 4u);
}

TEST(AdvanceTick, PlaysARowEverySpeedTicksAndRunsTickEffectsBetween) {
    ModulePtr module = load(song_of({0}));
    ReplayPtr replay = play(module.get());
    for (int tick = 1; tick <= 5; ++tick) {
        advance_tick(replay.get());
        EXPECT_EQ(replay->current_row, 0);
        EXPECT_EQ(replay->channels[0].tick_in_row, tick);
    }
    advance_tick(replay.get());
    EXPECT_EQ(replay->current_row, 1);
    EXPECT_EQ(replay->channels[0].tick_in_row, 0);
}

TEST(AdvanceTick, FollowsTheOrderListAndWrapsToEntryZero) {
    ModulePtr module = load(song_of({0, 1}));
    ReplayPtr replay = play(module.get());
    next_rows(*replay, 63);
    EXPECT_EQ(position(*replay), Position(0, 63));
    EXPECT_EQ(replay->order_counter, 1u);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(1, 0));
    EXPECT_EQ(replay->order_counter, 2u);
    next_rows(*replay, 63);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(0, 0));
    EXPECT_EQ(replay->order_counter, 3u);

    // A song with a restart position goes on from there instead.
    module->restart_position = 1;
    next_rows(*replay, 127);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(1, 0));
    module->restart_position = 2; // past the song: entry 0
    next_rows(*replay, 63);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(0, 0));
}

TEST(AdvanceTick, SkipsEntriesThatNameNoPattern) {
    ModulePtr module = load(song_of({0, 1, 1}));
    module->order_list[1] = 200;
    ReplayPtr replay = play(module.get());
    next_rows(*replay, 63);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(2, 0));
    EXPECT_EQ(replay->order_counter, 2u);
}

TEST(SequencerCommands, CombineJumpAndBreakInChannelOrder) {
    ModBuilder builder = song_of({0, 1, 2, 3, 4, 5, 6});
    builder.set_note(0, 10, 0, 0, 0, 0xB, 5);
    builder.set_note(0, 10, 1, 0, 0, 0xD, 0x10);
    builder.set_note(1, 10, 0, 0, 0, 0xD, 0x10);
    builder.set_note(1, 10, 1, 0, 0, 0xB, 5);
    ModulePtr module = load(builder);
    ReplayPtr replay = play(module.get());
    next_rows(*replay, 10);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(5, 10));
    EXPECT_EQ(replay->order_counter, 2u);

    start_sequence_at(replay.get(), 1);
    next_rows(*replay, 10);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(5, 0));
}

TEST(SequencerCommands, WrapToEntryZeroRowZeroPastTheSongEnd) {
    ModBuilder builder = song_of({0, 1});
    builder.set_note(1, 0, 2, 0, 0, 0xD, 0x32); // break on the last entry
    builder.set_note(0, 0, 3, 0, 0, 0xB, 0x7F); // jump beyond the song
    ModulePtr module = load(builder);
    ReplayPtr replay = play(module.get());
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(0, 0));
    EXPECT_EQ(replay->order_counter, 2u);

    start_sequence_at(replay.get(), 1);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(0, 0));
}

TEST(SequencerCommands, ReadPatternBreakRowsAsDecimalDigits) {
    ModBuilder builder = song_of({0, 1, 2});
    builder.set_note(0, 0, 0, 0, 0, 0xD, 0x1A);
    builder.set_note(1, 0, 0, 0, 0, 0xD, 0x1A);
    ModulePtr module = load(builder);
    module->patterns[2].row_count = 20;
    ReplayPtr replay = play(module.get());
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(1, 20));
    start_sequence_at(replay.get(), 1);
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(2, 0));
}

TEST(SequencerCommands, RepeatPatternLoopsAndIgnoreBreaksWhileLooping) {
    ModBuilder builder = song_of({0, 1});
    builder.set_note(0, 4, 0, 0, 0, 0xE, 0x60);
    builder.set_note(0, 8, 0, 0, 0, 0xE, 0x62);
    builder.set_note(1, 4, 0, 0, 0, 0xE, 0x60);
    builder.set_note(1, 8, 0, 0, 0, 0xE, 0x62);
    builder.set_note(1, 8, 1, 0, 0, 0xD, 0x00);
    ModulePtr module = load(builder);
    ReplayPtr replay = play(module.get());
    EXPECT_EQ(next_rows(*replay, 23),
              joined({rows_of(0, 1, 8), rows_of(0, 4, 8), rows_of(0, 4, 8), rows_of(0, 9, 13)}));
    EXPECT_EQ(replay->loop_repeats_left, -1);

    start_sequence_at(replay.get(), 1);
    EXPECT_EQ(next_rows(*replay, 19),
              joined({rows_of(1, 1, 8), rows_of(1, 4, 8), rows_of(1, 4, 8), rows_of(0, 0, 0)}));
}

TEST(SequencerCommands, LeaveAnActiveLoopToTheChannelThatStartedIt) {
    ModBuilder builder = song_of({0});
    builder.set_note(0, 4, 0, 0, 0, 0xE, 0x60);
    builder.set_note(0, 8, 0, 0, 0, 0xE, 0x62);
    builder.set_note(0, 8, 2, 0, 0, 0xE, 0x61);
    ModulePtr module = load(builder);
    ReplayPtr replay = play(module.get());
    // Channel 2's loop only starts once channel 0's has ended, on the same row.
    EXPECT_EQ(next_rows(*replay, 28), joined({rows_of(0, 1, 8), rows_of(0, 4, 8), rows_of(0, 4, 8),
                                              rows_of(0, 0, 8), rows_of(0, 9, 9)}));
}

TEST(SequencerCommands, StretchARowWithPatternDelay) {
    ModBuilder builder = song_of({0});
    builder.set_note(0, 1, 3, 0, 0, 0xE, 0xE2);
    ModulePtr module = load(builder);
    ReplayPtr replay = play(module.get());
    next_row(*replay);
    int ticks = 1;
    int most_tick_effects = 0;
    while (replay->current_row == 1) {
        most_tick_effects = std::max(most_tick_effects, replay->channels[0].tick_in_row);
        advance_tick(replay.get());
        ++ticks;
    }
    EXPECT_EQ(ticks - 1, 18);
    EXPECT_EQ(most_tick_effects, 17);

    // An enormous speed from another loader saturates instead of overflowing.
    module->initial_speed = INT32_MAX;
    set_effect(*module, 0, 0, 0, 0x7E, 15);
    EXPECT_EQ(play(module.get())->ticks_left, INT32_MAX);
}

TEST(SequencerCommands, SetSpeedAndTempo) {
    ModBuilder builder = song_of({0});
    builder.set_note(0, 1, 0, 0, 0, 0xF, 0x00);
    builder.set_note(0, 2, 1, 0, 0, 0xF, 0x1F);
    builder.set_note(0, 3, 2, 0, 0, 0xF, 0x20);
    ModulePtr module = load(builder);
    set_effect(*module, 0, 4, 0, 0x94, 0x20);
    set_effect(*module, 0, 5, 0, 0x94, 0x21);
    set_effect(*module, 0, 6, 0, 0x81, 0x00);
    set_effect(*module, 0, 7, 0, 0x81, 0x02);
    ReplayPtr replay = play(module.get());
    EXPECT_EQ(next_row(*replay), 6);
    EXPECT_EQ(replay->ticks_per_row, 6);
    EXPECT_EQ(replay->tempo_bpm, 125);
    EXPECT_EQ(next_row(*replay), 6);
    EXPECT_EQ(replay->ticks_per_row, 31);
    EXPECT_EQ(next_row(*replay), 31); // the row that set speed 31 already lasted 31 ticks
    EXPECT_EQ(replay->tempo_bpm, 32);
    next_row(*replay);
    EXPECT_EQ(replay->tempo_bpm, 32);
    next_row(*replay);
    EXPECT_EQ(replay->tempo_bpm, 33);
    next_row(*replay);
    EXPECT_EQ(replay->ticks_per_row, 31);
    next_row(*replay);
    EXPECT_EQ(replay->ticks_per_row, 2);
    EXPECT_EQ(next_row(*replay), 2);
}

TEST(SequencerCommands, ApplyAfterTheUnfoldedS3mCodesToo) {
    ModulePtr module = load(song_of({0, 1, 2}));
    set_effect(*module, 0, 0, 0, 0x93, 0xB0); // S3M SB0: loop start
    set_effect(*module, 0, 1, 0, 0x93, 0xB1); // SB1: play rows 0..1 twice
    set_effect(*module, 0, 2, 3, 0x82, 0x02); // S3M B: jump to entry 2
    ReplayPtr replay = play(module.get());
    EXPECT_EQ(next_rows(*replay, 5),
              joined({rows_of(0, 1, 1), rows_of(0, 0, 2), rows_of(2, 0, 0)}));
}

TEST(AdvanceTick, PlaysAPatternWithoutRowsAsOneEmptyRow) {
    ModBuilder builder = song_of({0, 1, 2});
    builder.set_note(1, 0, 0, 428, 1, 0xC, 0x10);
    ModulePtr module = load(builder);
    module->patterns[1].row_count = 0;
    ReplayPtr replay = play(module.get());
    next_rows(*replay, 63);
    EXPECT_EQ(next_rows(*replay, 2), joined({rows_of(1, 0, 0), rows_of(2, 0, 0)}));
    start_sequence_at(replay.get(), 1);
    EXPECT_EQ(replay->channels[0].note.key, 0);
    EXPECT_EQ(replay->channels[0].note.effect, 0);
}

TEST(AdvanceTick, NeverReadsPastTheOrderListWhateverTheSongLength) {
    ModulePtr module = load(song_of({0, 1}));
    for (int p = 0; p < module->pattern_count; ++p) module->patterns[p].row_count = 1;
    module->song_length = 0; // plays entry 0 alone
    ReplayPtr replay = play(module.get());
    EXPECT_EQ(next_rows(*replay, 3),
              joined({rows_of(0, 0, 0), rows_of(0, 0, 0), rows_of(0, 0, 0)}));
    EXPECT_EQ(replay->order_counter, 4u);

    module->song_length = 300; // plays all 256 entries, then entry 0 again
    start_sequence_at(replay.get(), 0);
    next_rows(*replay, order_list_size - 1);
    EXPECT_EQ(position(*replay), Position(order_list_size - 1, 0));
    EXPECT_EQ(next_rows(*replay, 1)[0], Position(0, 0));
}

TEST(AdvanceTick, KeepsPlayingEmptyRowsWhenNoEntryNamesAPattern) {
    ModulePtr module = load(song_of({0, 0, 0}));
    for (int i = 0; i < order_list_size; ++i) module->order_list[i] = 9;
    ReplayPtr replay = play(module.get());
    ASSERT_TRUE(replay);
    EXPECT_EQ(replay->order_counter, 0u);
    next_rows(*replay, 5);
    EXPECT_EQ(replay->order_counter, 0u);
    EXPECT_EQ(replay->current_row, 0);
}

TEST(AdvanceTick, WrapsTheOrderCounterInsteadOfOverflowing) {
    ModulePtr module = load(song_of({0, 1}));
    ReplayPtr replay = play(module.get());
    replay->order_counter = UINT32_MAX;
    start_sequence_at(replay.get(), 1);
    EXPECT_EQ(replay->order_counter, 0u);
    start_sequence_at(replay.get(), 1);
    EXPECT_EQ(replay->order_counter, 1u);
}
