// Each of ProTracker's rules against the show's way, on small four-channel
// MODs built here.
#include "player/pitch.h"
#include "tests/player/mod_builder.h"
#include "tests/player/rules_driver.h"

namespace {

struct ModNote {
    int row, channel, period, instrument, effect = 0, param = 0;
};

// A MOD of these notes in pattern 0, whose instrument 1 is a looped
// 256-frame sample (2 a short one-shot).
std::vector<std::uint8_t> song(std::initializer_list<ModNote> notes,
                               std::initializer_list<int> orders = {0, 1}) {
    ModBuilder b;
    b.set_orders(orders);
    b.sample(1).length_words = 128;
    b.sample(1).loop_length_words = 128;
    b.sample(1).data.assign(256, 40);
    b.sample(2).length_words = 32;
    b.sample(2).data.assign(64, -40);
    for (const ModNote& n : notes)
        b.set_note(0, n.row, n.channel, n.period, n.instrument, n.effect, n.param);
    return b.build();
}

constexpr std::int32_t c2 = 428 * 4, c3 = 214 * 4;

} // namespace

TEST(ProTrackerRules, TimingAndSongPosition) {
    // Tempo 64 from the second tick on.
    expect_rule(song({{0, 0, 428, 1, 0xF, 0x40}}), &PlayRules::tempo_after_first_tick,
                &Replay::tempo_bpm, {{0, 125, 64}, {1, 64, 64}});
    // A loop of its own row: row 0 twice.
    expect_rule(song({{0, 0, 0, 0, 0xE, 0x61}}), &PlayRules::pattern_loop_per_channel,
                &Replay::current_row, {{6, 0, 1}});
    // A break past the last entry to row 5.
    expect_rule(song({{0, 0, 0, 0, 0xD, 0x05}}, {0}), &PlayRules::break_row_survives_wrap,
                &Replay::current_row, {{6, 5, 0}});

    // The row twice, a fine slide on each repetition, then a break.
    const auto delayed =
        song({{0, 0, 428, 1, 0xE, 0xE1}, {0, 1, 0, 0, 0xD}, {0, 2, 428, 1, 0xE, 0x11}});
    expect_rule(delayed, &PlayRules::pattern_delay_reruns_row,
                [](RulesDriver& d) { return d.channel(2).period; }, {{6, c2 - 8, c2 - 4}});
    expect_rule(delayed, &PlayRules::delayed_jump_passes_target_row,
                [](const Replay& r) { return std::pair(r.order_index, r.current_row); },
                {{12, {1, 1}, {1, 0}}});
}

TEST(ProTrackerRules, Pitch) {
    // ProTracker's table for fine tune -8 has 678 where the scale gives 679.25.
    expect_rule(song({}), &PlayRules::protracker_period_table,
                [](RulesDriver& d) { return key_period(*d.module, 42, -128); },
                {{0, 678 * 4, 2717}});
    with_and_without(song({{0, 0, 113, 1, 0x1, 0x01}}), &PlayRules::amiga_limits_by_fine_tune,
                     [](RulesDriver& d, bool on) {
                         const std::int32_t b3 = d.channel().period; // sliding higher
                         d.ticks(5);
                         EXPECT_EQ(d.channel().period, on ? b3 : b3 - 20);
                     });

    // A slide's target C-3, then a struck note, then a slide without a note.
    expect_rule(
        song({{0, 0, 428, 1}, {1, 0, 214, 0, 0x3, 0x01}, {2, 0, 428, 0}, {3, 0, 0, 0, 0x3, 0x01}}),
        &PlayRules::tone_slide_target_from_slide_note, &Channel::period, {{23, c2 - 20, c2}});
    // A target reached at once, then away again, then a slide without one.
    expect_rule(song({{0, 0, 428, 1},
                      {1, 0, 404, 0, 0x3, 0xFF},
                      {2, 0, 0, 0, 0x2, 0x10},
                      {3, 0, 0, 0, 0x3}}),
                &PlayRules::tone_slide_target_cleared_when_reached, &Channel::period,
                {{23, 404 * 4 + 5 * 0x10 * 4, 404 * 4}});
    // A coarse slide by 0xF2, not a fine one by 2 on the first tick.
    expect_rule(song({{0, 0, 428, 1, 0x2, 0xF2}}), &PlayRules::coarse_slide_parameters,
                &Channel::period, {{1, c2 + 0xF2 * 4, c2 + 2 * 4}});
    // B-3 and one more: past the table's end.
    expect_rule(song({{0, 0, 113, 1, 0x0, 0x10}}), &PlayRules::arpeggio_in_note_table,
                [](const Channel& c) { return c.period + c.period_offset == 0; },
                {{1, true, false}});

    // Vibrato: on the first tick neither applied nor moved on; on the second
    // the first tick's phase (0) applied, then moved on.
    expect_rule(
        song({{0, 0, 428, 1, 0x4, 0x8F}}), &PlayRules::vibrato_skips_first_tick,
        [](const Channel& c) { return std::pair(c.period_offset == 0, c.vibrato_position); },
        {{0, {true, 0}, {true, 0}}, {1, {true, 8}, {false, 8}}});
}

TEST(ProTrackerRules, VolumeAndEffectParameters) {
    // Up 1 per tick; the 2 does not count.
    expect_rule(song({{0, 0, 428, 1, 0xC, 0x20}, {1, 0, 0, 0, 0xA, 0x12}}),
                &PlayRules::volume_slide_up_first, &Channel::volume, {{11, 37, 27}});
    // EA0 has no memory: it does nothing.
    expect_rule(song({{0, 0, 428, 1, 0xC, 0x20}, {1, 0, 0, 0, 0xE, 0xA4}, {2, 0, 0, 0, 0xE, 0xA0}}),
                &PlayRules::fine_effects_without_memory, &Channel::volume, {{12, 36, 40}});

    // The next note starts where the offset, added twice, left it.
    expect_rule(song({{0, 0, 428, 1, 0x9, 0x01}, {1, 0, 428, 0}}),
                &PlayRules::offset_moves_sample_start, &Channel::position,
                {{0, 256, 256}, {6, 512, 256}});
}

TEST(ProTrackerRules, RetriggersAndDelays) {
    // The show's way starts its count again at each restart.
    expect_rule(song({{0, 0, 428, 1, 0xE, 0x92}}), &PlayRules::retrigger_on_tick_multiples,
                &Channel::tick_in_row, {{3, 3, 1}});
    // Instrument 1's volume on the first tick.
    expect_rule(song({{0, 0, 428, 2, 0xC, 0x10}, {1, 0, 428, 1, 0xE, 0xD3}}),
                &PlayRules::instrument_before_note_delay, &Channel::volume, {{6, 64, 16}});
    // A delay that never strikes in its row: the next row's pitch, not started again.
    expect_rule(song({{0, 0, 428, 1}, {1, 0, 214, 0, 0xE, 0xD9}}),
                &PlayRules::note_delay_past_speed_sets_next_pitch,
                [](const Channel& c) { return std::pair(c.period, c.position != 0); },
                {{Rendered{12}, {c3, true}, {c2, true}}});
}

TEST(ProTrackerRules, ALoneInstrumentsSampleWaitsForThePlayingOnesEnd) {
    with_and_without(song({{0, 0, 428, 2}, {1, 0, 0, 1}}),
                     &PlayRules::lone_instrument_queues_sample, [](RulesDriver& d, bool on) {
                         const Sample* one_shot = d.channel().sample;
                         d.ticks(6);
                         EXPECT_EQ(d.channel().volume, 64);
                         EXPECT_EQ(d.channel().sample == one_shot, on);
                         d.render(2); // the one-shot ends within a tick
                         EXPECT_NE(d.channel().sample, one_shot);
                     });
}
