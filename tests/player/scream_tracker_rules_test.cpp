// Each of Scream Tracker 3's rules against the show's way, on small S3Ms
// built here.
#include "player/pitch.h"
#include "tests/player/rules_driver.h"
#include "tests/player/s3m_builder.h"

namespace {

constexpr std::uint8_t c4 = 0x40, cut = 254;
enum Letter : std::uint8_t { C = 3, D = 4, E = 5, F = 6, G = 7, H = 8, J = 10, K = 11, S = 19 };

// Samples 1 and 2: 256 looped frames at volumes 64 and 20; slot 3 is empty.
S3mBuilder builder(std::vector<S3mCell> cells) {
    S3mBuilder b;
    b.patterns = {std::move(cells)};
    for (std::uint8_t volume : {64, 20}) {
        S3mSampleSpec s;
        s.frames = 256;
        s.loop_end = 256;
        s.flags = 1;
        s.volume = volume;
        s.data.assign(256, 0xC0);
        b.samples.push_back(s);
    }
    b.samples.push_back(S3mSampleSpec{});
    b.samples.back().type = 0;
    return b;
}
std::vector<std::uint8_t> song(std::vector<S3mCell> cells) {
    return builder(std::move(cells)).build();
}

// Ticks of the first row, counted until the second begins.
int first_row_ticks(RulesDriver& d) {
    int ticks = 0;
    while (d.replay->current_row == 0 && ticks < 100) {
        d.ticks(1);
        ++ticks;
    }
    return ticks;
}

} // namespace

TEST(ScreamTrackerRules, RowDelays) {
    // S62 and S61 on one row: three ticks more.
    expect_rule(song({{0, 0, c4, 1, -1, S, 0x62}, {0, 1, c4, 1, -1, S, 0x61}}),
                &PlayRules::tick_delay, first_row_ticks, {{0, 6 + 3, 6}});
    expect_rule(song({{0, 0, 255, 0, -1, S, 0xE0},
                      {0, 1, 255, 0, -1, S, 0xE1},
                      {0, 2, 255, 0, -1, S, 0xE3}}),
                &PlayRules::first_pattern_delay_wins, first_row_ticks, {{0, 2 * 6, 4 * 6}});
    // Row 1 loops back to row 0 once, whose break then waits for the loop.
    const auto loop =
        song({{0, 0, 255, 0, -1, C, 3}, {1, 0, 255, 0, -1, S, 0xB1}, {3, 0, 255, 0, -1, C, 1}});
    with_and_without(loop, &PlayRules::breaks_wait_for_loop_end, [](RulesDriver& d, bool on) {
        std::vector<int> rows;
        for (int r = 0; r < 6; ++r, d.ticks(6)) rows.push_back(d.replay->current_row);
        EXPECT_EQ(rows,
                  on ? (std::vector<int>{0, 3, 1, 0, 1, 3}) : (std::vector<int>{0, 3, 1, 0, 1, 2}));
    });
}

TEST(ScreamTrackerRules, Pitch) {
    // B-5, sliding higher, in a song whose header asks for Amiga limits.
    S3mBuilder amiga = builder({{0, 0, 0x5B, 1, -1, F, 0x10}});
    amiga.flags = 0x10;
    expect_rule(amiga.build(), &PlayRules::amiga_limits_fixed, &Channel::period,
                {{5, 452, 453 - 5 * 64}});
    // B-7 slid to 0.
    expect_rule(song({{0, 0, 0x7B, 1, -1, F, 0x20}}), &PlayRules::period_limits_of_scream_tracker,
                [](const Channel& c) { return std::pair(c.period, c.key_down); },
                {{5, {0, 0}, {0, 1}}});
    // C-0 at a slow C2SPD.
    S3mBuilder low = builder({{0, 0, 0x00, 1, -1, 0, 0}});
    low.samples[0].c2spd = 1000;
    expect_rule(low.build(), &PlayRules::period_ceiling,
                [](const Channel& c) { return c.period == 32767; }, {{0, true, false}});
    // B-4 at 8363 Hz.
    with_and_without(song({{0, 0, 0x4B, 1, -1, 0, 0}}), &PlayRules::scream_tracker_period_table,
                     [](RulesDriver& d, bool on) {
                         EXPECT_EQ(d.channel().period, on ? 907 : key_period(*d.module, 60, 0));
                     });

    // C-4 (period 1712): the arpeggio ends an octave up.
    expect_rule(song({{0, 0, c4, 1, -1, J, 0x0C}, {1, 0, 255, 0, -1, F, 0x01}}),
                &PlayRules::arpeggio_note_kept_for_slides, &Channel::period, {{6, 1712 / 2, 1712}});
    // Around the note, not the period slid to 1552, which the next row plays
    // again.
    with_and_without(
        song({{0, 0, c4, 1, -1, F, 0x08}, {1, 0, 255, 0, -1, J, 0x0C}, {2, 0, 255, 0}}),
        &PlayRules::arpeggio_note_kept_for_slides, [](RulesDriver& d, bool on) {
            d.ticks(6 + 2); // an octave up
            EXPECT_NEAR(d.channel().frequency, on ? 2 * 8363 : 2 * 8363 * 1712 / 1552, 2);
            d.ticks(4);
            EXPECT_EQ(d.channel().period, 1552);
        });
}

TEST(ScreamTrackerRules, Instruments) {
    with_and_without(song({{0, 0, c4, 1, -1, G, 0x10}}),
                     &PlayRules::tone_slide_from_silence_strikes, [](RulesDriver& d, bool on) {
                         EXPECT_EQ(d.channel().period > 0, on);
                         EXPECT_EQ(d.channel().sample == &d.module->instruments[1].samples[0], on);
                     });
    // Slot 3 is empty.
    expect_rule(song({{0, 0, c4, 1, -1, 0, 0}, {1, 0, 255, 3, -1, 0, 0}}),
                &PlayRules::empty_instruments_ignored, &Channel::volume, {{6, 64, 0}});
    with_and_without(song({{0, 0, c4, 1, -1, 0, 0}, {1, 0, 0x47, 2, -1, G, 0x01}}),
                     &PlayRules::tone_slide_keeps_sample, [](RulesDriver& d, bool on) {
                         const Sample* first = d.channel().sample;
                         d.ticks(6);
                         EXPECT_EQ(d.channel().volume, 20);
                         EXPECT_EQ(d.channel().sample == first, on);
                     });
}

TEST(ScreamTrackerRules, Volume) {
    expect_rule(song({{0, 0, c4, 1, -1, D, 0x82}}), &PlayRules::volume_slide_down_first,
                &Channel::volume, {{5, 64 - 10, 64}});
    expect_rule(song({{0, 0, c4, 1, -1, D, 0x0F}}), &PlayRules::full_volume_slides_every_tick,
                &Channel::volume, {{0, 49, 64}});
    // As Scream Tracker itself plays it.
    expect_rule(song({{0, 0, c4, 1, -1, K, 0xF4}}), &PlayRules::combined_slides_skip_first_tick,
                &Channel::volume, {{0, 64, 60}});

    // A key after a cut.
    expect_rule(song({{0, 0, c4, 1, -1, 0, 0}, {1, 0, cut, 0, -1, 0, 0}, {2, 0, c4, 0, -1, 0, 0}}),
                &PlayRules::key_reopens_stopped_note, &Channel::key_down, {{12, 1, 0}});
    // SC1, then volume 40.
    expect_rule(song({{0, 0, c4, 1, -1, S, 0xC1}, {1, 0, 255, 0, 40, 0, 0}}),
                &PlayRules::note_cut_stops_note, silent, {{6, true, false}});
}

TEST(ScreamTrackerRules, EveryParameterFeedsOneMemory) {
    // D00 as D02: down by 2 on each of five ticks.
    expect_rule(song({{0, 0, c4, 1, -1, H, 0x02}, {1, 0, 255, 0, -1, D, 0x00}}),
                &PlayRules::shared_effect_memory, &Channel::volume, {{11, 54, 64}});
}
