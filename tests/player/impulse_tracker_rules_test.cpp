// Impulse Tracker's effect, volume-column and pattern-loop rules against the
// Scream Tracker ways they replace, on small ITs built here.
#include "player/effect_codes.h"
#include "player/tick_mix.h"
#include "tests/player/it_builder.h"
#include "tests/player/rules_driver.h"

namespace {

constexpr int C = 3, E = 5, F = 6, G = 7, H = 8, M = 13, N = 14, O = 15, P = 16, Q = 17, R = 18,
              S = 19, T = 20, V = 22, W = 23, X = 24, Y = 25;
constexpr int none = -1;
struct Cell {
    int row, channel, note, instrument, volume, command, info;
};

// Sample 1: 2000 frames without a loop; one pattern of `rows` rows.
ItBuilder builder(const std::vector<Cell>& cells, int rows = 8) {
    ItBuilder b;
    std::vector<std::uint8_t>& sample = b.add_sample(std::vector<std::uint8_t>(2000, 40), 1);
    sample[0x13] = 64;
    ItBuilder::put32(sample, 0x3C, 8363);
    std::vector<std::uint8_t> packed;
    const auto put = [&](int value) { packed.push_back(static_cast<std::uint8_t>(value)); };
    for (int row = 0; row < rows; ++row, put(0)) {
        for (const Cell& c : cells) {
            if (c.row != row) continue;
            put(c.channel + 129);
            put((c.note >= 0) | (c.instrument > 0) << 1 | (c.volume >= 0) << 2 |
                (c.command > 0) << 3);
            if (c.note >= 0) put(c.note);
            if (c.instrument > 0) put(c.instrument);
            if (c.volume >= 0) put(c.volume);
            if (c.command > 0) put(c.command), put(c.info);
        }
    }
    b.patterns = {packed};
    b.pattern_rows = {static_cast<std::uint16_t>(rows)};
    return b;
}
// Instrument mode: instrument 1 plays sample 1 with a flat volume envelope,
// but for note 61, which names no sample.
void instrument_mode(ItBuilder& b) {
    b.header[0x2C] |= 4;
    b.instruments.assign(1, std::vector<std::uint8_t>(554));
    std::vector<std::uint8_t>& i = b.instruments[0];
    for (int note = 0; note < 120; ++note)
        i[0x40 + 2 * note] = std::uint8_t(note), i[0x41 + 2 * note] = note == 61 ? 0 : 1;
    i[0x18] = 128, i[0x19] = 128; // full global volume, no default pan
    i[0x130] = 1, i[0x131] = 2, i[0x136] = i[0x139] = 64, i[0x13A] = 99;
}
std::vector<std::uint8_t> song(const std::vector<Cell>& cells, int rows = 8) {
    return builder(cells, rows).build();
}
// The period from C-5's.
int period(const Channel& c) {
    return c.period - 4608;
}

} // namespace

TEST(ImpulseTrackerRules, EffectMemories) {
    // E04 then F00: the shared memory slides back up.
    expect_rule(song({{0, 0, 60, 1, none, E, 4}, {1, 0, none, 0, none, F, 0}}),
                &PlayRules::pitch_slides_share_memory, period, {{0, 0, 0}, {11, 0, 80}});
    // E08 then G00 slides by 8 where the header links the memories.
    ItBuilder linked = builder({{0, 0, 60, 1, none, E, 8}, {1, 0, 72, 0, none, G, 0}});
    linked.header[0x2C] |= 0x20;
    expect_rule(linked.build(), &PlayRules::tone_slide_shares_pitch_memory, period,
                {{5, 160, 160}, {6, 0, 160}});
    // G10 beside the column's speed 1: the column's wins, and both slide.
    expect_rule(song({{0, 0, 60, 1, none, 0, 0}, {1, 0, 72, 0, 194, G, 0x10}}),
                &PlayRules::effect_memory_before_volume_column, period, {{7, -8, -128}});
}

TEST(ImpulseTrackerRules, Vibrato) {
    const auto vibrato = song({{0, 0, 60, 1, none, H, 0x48}});
    // A tick later the phase is 8, the first tick having moved it too: sine
    // 180 * 8, at half depth and rising; without the rule, phase 4 at full
    // depth (sine 97 * 8).
    expect_rule(vibrato, &PlayRules::vibrato_every_tick_at_half_depth, &Channel::period_offset,
                {{1, -22, -24}});
    expect_rule(vibrato, &PlayRules::vibrato_rises_first, &Channel::period_offset, {{1, -22, 22}});
    // The column's depth 4 beside H40: each moves the phase (from 0 at the
    // note), the two add up.
    expect_rule(song({{0, 0, 60, 1, 207, H, 0x40}}), &PlayRules::vibrato_columns_add,
                &Channel::period_offset, {{1, -25, -14}});
    // R48, R00: the first tick moves the phase on too, to 24 instead of 20
    // by the next row (sine 180 and 235).
    expect_rule(song({{0, 0, 60, 1, none, R, 0x48}, {1, 0, none, 0, none, R, 0}}),
                &PlayRules::tremolo_every_tick, &Channel::volume_offset,
                {{6, 180 * 8 >> 6, 235 * 8 >> 6}});
    ItBuilder old = builder({{0, 0, 60, 1, none, H, 0x48}});
    old.header[0x2C] |= 0x10;
    EXPECT_FALSE(RulesDriver(old.build()).module->rules.vibrato_every_tick_at_half_depth);
}

TEST(ImpulseTrackerRules, VolumeColumn) {
    // Pitch down by 2: 8 a tick.
    expect_rule(song({{0, 0, 60, 1, 107, 0, 0}}), &PlayRules::volume_column_pitch_slides, period,
                {{5, 160, 0}});
    // Then by 0: the memory's 8 a tick again.
    expect_rule(song({{0, 0, 60, 1, 107, 0, 0}, {1, 0, none, 0, 105, 0, 0}}),
                &PlayRules::volume_column_pitch_slides, period, {{11, 320, 0}});
    // Tone slide 3: 8 in the table.
    expect_rule(song({{0, 0, 60, 1, none, 0, 0}, {1, 0, 72, 0, 196, 0, 0}}),
                &PlayRules::tone_slide_column_table, period, {{7, -32, -12}});
    // Fine volume down by 4, then by the memory.
    expect_rule(song({{0, 0, 60, 1, 79, 0, 0}, {1, 0, none, 0, 75, 0, 0}}),
                &PlayRules::volume_column_slide_memory, &Channel::volume,
                {{0, 60, 60}, {6, 56, 60}});
}

TEST(ImpulseTrackerRules, ItsOwnEffectsAndOffsets) {
    ItBuilder b = builder({{0, 0, 60, 1, none, 0, 0},
                           {1, 0, none, 0, none, M, 0x40},
                           {2, 0, none, 0, none, N, 0x02},
                           {3, 0, none, 0, none, V, 0x90}});
    b.header[0x80] = 32;
    RulesDriver d(b.build());
    const int half = d.channel().amplitude;
    d.ticks(6);
    EXPECT_NEAR(d.channel().amplitude, 2 * half, 1);
    d.ticks(11);
    EXPECT_EQ(d.channel().channel_volume, 64 - 5 * 2);
    d.ticks(1);
    EXPECT_EQ(d.replay->global_volume, 128);
    // A panning alone keeps IT's 65 steps as the effect that sets it.
    const AnyModulePtr pans = load_any(song(
        {{0, 0, none, 0, 160, 0, 0}, {1, 0, none, 0, 160, M, 0}, {2, 0, none, 0, none, S, 0x91}}));
    EXPECT_EQ(pans->patterns[0].notes[3], effect::column_panning);
    EXPECT_EQ(pans->patterns[0].notes[4], 32);
    EXPECT_EQ(pans->patterns[0].notes[note_size + 2], 0xC8);
    EXPECT_EQ(pans->patterns[0].notes[2 * note_size + 3], effect::surround);
    // S91 centres the voice, its right side inverted; a panning (X) ends it.
    RulesDriver surround(song({{0, 0, 60, 1, none, S, 0x91}, {1, 0, none, 0, none, X, 0x40}}));
    const mix_kernels::Gains centred = tick_mix::channel_gains(surround.channel());
    EXPECT_GT(centred.left, 0);
    EXPECT_EQ(centred.right, -centred.left);
    surround.ticks(surround.replay->ticks_per_row);
    EXPECT_GT(tick_mix::channel_gains(surround.channel()).right, 0);
    // XFF leaves a 256th on the left; the column's full right (64) none.
    const auto gains = [](RulesDriver& d) {
        const mix_kernels::Gains g = tick_mix::channel_gains(d.channel());
        return std::vector<int>{g.left, g.right};
    };
    expect_rule(song({{0, 0, 60, 1, none, X, 0xFF}}), &PlayRules::panning_of_256, gains,
                {{0, {64, 16320}, {0, 16320}}});
    expect_rule(song({{0, 0, 60, 1, 192, 0, 0}}), &PlayRules::panning_of_256, gains,
                {{0, {0, 16384}, {0, 16320}}});
    // P04 pans right, W02 and T12 slide on the ticks after the row's first;
    // Y48 swings the balance.
    RulesDriver slides(song({{0, 0, 60, 1, none, P, 0x04},
                             {0, 1, none, 0, none, W, 0x02},
                             {0, 2, none, 0, none, T, 0x12},
                             {0, 3, 60, 1, none, Y, 0x48}}));
    slides.ticks(5);
    EXPECT_EQ(slides.channel().panning, 128 + 5 * 16);
    EXPECT_EQ(slides.replay->global_volume, 128 - 5 * 2);
    EXPECT_EQ(slides.replay->tempo_bpm, 125 + 5 * 2);
    EXPECT_NE(slides.channel(3).balance, slides.channel(3).panning);
    // O08 is past the sample's 2000 frames.
    expect_rule(song({{0, 0, 60, 1, none, O, 8}}), &PlayRules::offset_past_end_ignored,
                &Channel::position, {{0, 0, 2048}});
    // Note 61 names no sample: it and its instrument and offset do nothing.
    ItBuilder empty = builder({{0, 0, 60, 1, none, 0, 0}, {1, 0, 61, 1, none, O, 4}});
    instrument_mode(empty);
    expect_rule(empty.build(), &PlayRules::keys_without_sample_ignored, silent, {{6, false, true}});
    // O04 beside a lone instrument starts the note again from frame 1024.
    expect_rule(song({{0, 0, 60, 1, none, 0, 0}, {1, 0, none, 1, none, O, 4}}),
                &PlayRules::offset_restarts_beside_lone_instrument, &Channel::position,
                {{6, 1024, 0}});
}

TEST(ImpulseTrackerRules, LoopsDelaysAndStoppedNotes) {
    expect_rule(song({{0, 0, none, 0, none, S, 0xE0}, {0, 1, none, 0, none, S, 0xE2}}),
                &PlayRules::zero_pattern_delay_counts, &Replay::current_row, {{6, 1, 0}});
    // An ended loop starts the next at the row after it: rows 0 1 0 1 2 2,
    // not 0 1 0 1 2 0.
    expect_rule(song({{1, 0, none, 0, none, S, 0xB1}, {2, 0, none, 0, none, S, 0xB1}}),
                &PlayRules::ended_loop_starts_after_it, &Replay::current_row, {{30, 2, 0}});
    // The loop back wins over the break beside it: rows 0 1 0, not 0 1 2.
    expect_rule(song({{0, 0, none, 0, none, S, 0xB0},
                      {1, 0, none, 0, none, S, 0xB1},
                      {1, 1, none, 0, none, C, 2}}),
                &PlayRules::loop_jump_beats_break, &Replay::current_row, {{12, 0, 2}});
    // Row 1's loop ends and starts the next past the pattern's end, where
    // the second pattern's loop goes back to: on to the third entry.
    ItBuilder two = builder({{0, 0, none, 0, none, S, 0xB0}, {1, 0, none, 0, none, S, 0xB1}}, 2);
    two.patterns.push_back(builder({{0, 0, none, 0, none, S, 0xB1}}, 2).patterns[0]);
    two.pattern_rows.push_back(2);
    two.orders = {0, 1, 0, 255};
    expect_rule(two.build(), &PlayRules::loop_past_pattern_end_goes_on, &Replay::order_index,
                {{4 * 6, 1, 1}, {6, 2, 1}});
    // Released, then slid to beside an instrument with an envelope: still released.
    ItBuilder held = builder(
        {{0, 0, 60, 1, none, 0, 0}, {1, 0, 255, 0, none, 0, 0}, {2, 0, 72, 1, none, G, 0x10}});
    instrument_mode(held);
    expect_rule(held.build(), &PlayRules::tone_slide_keeps_envelopes, &Channel::key_down,
                {{12, 0, 1}});
    // The sample has played out by row 3: the tone slide strikes its note.
    expect_rule(song({{0, 0, 60, 1, none, 0, 0}, {3, 0, 72, 0, none, G, 0x10}}),
                &PlayRules::tone_slide_after_stopped_note_strikes,
                [](const Channel& c) { return c.period == c.target_period; },
                {{Rendered{18}, true, false}});
    // Q0F on every row: the sample has played out by tick 15, and stays so.
    expect_rule(song({{0, 0, 60, 1, none, Q, 15},
                      {1, 0, none, 0, none, Q, 15},
                      {2, 0, none, 0, none, Q, 15}}),
                &PlayRules::retrigger_skips_played_out_note,
                [](const Channel& c) { return c.position < 2000; }, {{Rendered{17}, false, true}});
    // A cut leaves the volume (32) to the next note, which has no instrument.
    expect_rule(
        song({{0, 0, 60, 1, 32, 0, 0}, {1, 0, 254, 0, none, 0, 0}, {2, 0, 60, 0, none, 0, 0}}),
        &PlayRules::note_cut_keeps_volume, &Channel::volume, {{6, 32, 0}, {6, 32, 0}});
}

TEST(ImpulseTrackerRules, TremorAndRetriggerCounts) {
    // I13, a row without it, I00: the count waits, and row 2 starts with
    // what is left of the silent phase.
    const auto tremor = song({{0, 0, 60, 1, none, 9, 0x13}, {2, 0, none, 0, none, 9, 0}});
    expect_rule(tremor, &PlayRules::tremor_counts_own_ticks, &Channel::volume_offset,
                {{0, 0, 0}, {1, -64, -64}, {3, 0, 0}, {8, -64, 0}, {2, 0, -64}});
    // I21 with old effects: three ticks sound, two are silent.
    ItBuilder old = builder({{0, 0, 60, 1, none, 9, 0x21}});
    old.header[0x2C] |= 0x10;
    expect_rule(old.build(), &PlayRules::tremor_phases_one_longer, &Channel::volume_offset,
                {{2, 0, -64}, {1, -64, 0}, {2, 0, -64}});
    // Q42 then Q40 at speed 5: every second tick takes 8 off, then every
    // tick; the row without it leaves the count, and Q43 restarts at once.
    ItBuilder retrigger = builder({{0, 0, 60, 1, none, Q, 0x42},
                                   {1, 0, none, 0, none, Q, 0x40},
                                   {3, 0, none, 0, none, Q, 0x43}});
    retrigger.header[0x32] = 5;
    const auto volumes = retrigger.build();
    expect_rule(volumes, &PlayRules::retrigger_counts_own_ticks, &Channel::volume,
                {{2, 56, 56}, {4, 40, 32}, {3, 16, 8}, {6, 8, 0}, {3, 0, 0}});
    expect_rule(volumes, &PlayRules::tremor_and_retrigger_keep_whole_parameter, &Channel::volume,
                {{9, 16, 32}});
}

TEST(ImpulseTrackerRules, RandomPanbrelloHolds) {
    // S53, then Y3F from tick 6: each random value holds for three ticks.
    const auto panbrello = song({{0, 0, 60, 1, none, S, 0x53}, {1, 0, none, 0, none, Y, 0x3F}});
    with_and_without(panbrello, &PlayRules::random_panbrello_holds, [](RulesDriver& d, bool on) {
        std::vector<std::int32_t> offsets;
        for (d.ticks(6); offsets.size() < 4; d.ticks(1))
            offsets.push_back(d.channel().balance_offset);
        EXPECT_EQ(offsets[0] == offsets[1] && offsets[1] == offsets[2], on);
        EXPECT_NE(offsets[2], offsets[3]);
    });
    // The square starts at its top, and depth 15 swings 30 of IT's 64 steps.
    RulesDriver square(song({{0, 0, 60, 1, none, S, 0x52}, {1, 0, none, 0, none, Y, 0x4F}}));
    square.ticks(6);
    EXPECT_EQ(square.channel().balance_offset, 255 * 15 >> 5);
}

TEST(ImpulseTrackerRules, ExactSampleRates) {
    // A 44.1 kHz sample plays C-5 at its rate and C-6 at twice it, to the
    // hertz; without the rule 66 Hz lower, from 8363 Hz in 1/128 semitones.
    ItBuilder b = builder({{0, 0, 60, 1, none, 0, 0}, {1, 0, 72, 0, none, 0, 0}});
    ItBuilder::put32(b.samples[0], 0x3C, 44100);
    expect_rule(b.build(), &PlayRules::exact_sample_rates, &Channel::frequency,
                {{0, 44100, 44034}, {6, 88200, 88069}});
}

TEST(ImpulseTrackerRules, EveryOneOfTheTenOctavesSounds) {
    // C-0 and C-1, IT's lowest notes, and B-9, its highest, by linear and
    // Amiga slides: an 8363 Hz sample plays C-0 at 8363 / 32 Hz.
    for (const bool linear : {true, false}) {
        ItBuilder b = builder(
            {{0, 0, 0, 1, none, 0, 0}, {1, 0, 12, 1, none, 0, 0}, {2, 0, 119, 1, none, 0, 0}});
        if (!linear) b.header[0x2C] = 1;
        RulesDriver d(b.build());
        std::vector<int> hertz;
        for (int row = 0; row < 3; ++row) {
            d.ticks(row == 0 ? 1 : 6);
            hertz.push_back(d.channel().frequency);
        }
        EXPECT_NEAR(hertz[0], 261, 1) << linear;
        EXPECT_NEAR(hertz[1], 522, 1) << linear;
        // Scream Tracker's whole-number periods are coarse at the top: B-9's is 56.
        EXPECT_NEAR(hertz[2], linear ? 252550 : 223710, 300) << linear;
    }
}
