// Each of Scream Tracker 3's rules against the show's way, on small S3Ms
// built here.
#include "player/pitch.h"
#include "tests/player/rules_driver.h"
#include "tests/player/s3m_builder.h"

namespace {

constexpr std::uint8_t c4 = 0x40, cut = 254;
enum Letter : std::uint8_t { C = 3, D = 4, E = 5, F = 6, G = 7, H = 8, J = 10, K = 11, S = 19 };

// Samples 1 and 2: 256 looped frames at volumes 64 and 20; slot 3 is empty.
S3mBuilder song(std::vector<S3mCell> cells, std::uint16_t version = 0x1320) {
    S3mBuilder b;
    b.version = version;
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
    const auto bytes = song({{0, 0, c4, 1, -1, S, 0x62}, {0, 1, c4, 1, -1, S, 0x61}}).build();
    with_and_without(bytes, &PlayRules::tick_delay, [](RulesDriver& d, bool on) {
        EXPECT_EQ(first_row_ticks(d), on ? 6 + 3 : 6);
    });
    const auto delays =
        song(
            {{0, 0, 255, 0, -1, S, 0xE0}, {0, 1, 255, 0, -1, S, 0xE1}, {0, 2, 255, 0, -1, S, 0xE3}})
            .build();
    with_and_without(delays, &PlayRules::first_pattern_delay_wins, [](RulesDriver& d, bool on) {
        EXPECT_EQ(first_row_ticks(d), on ? 2 * 6 : 4 * 6);
    });
    // Row 1 loops back to row 0 once, whose break then waits for the loop.
    const auto loop =
        song({{0, 0, 255, 0, -1, C, 3}, {1, 0, 255, 0, -1, S, 0xB1}, {3, 0, 255, 0, -1, C, 1}})
            .build();
    with_and_without(loop, &PlayRules::breaks_wait_for_loop_end, [](RulesDriver& d, bool on) {
        std::vector<int> rows;
        for (int r = 0; r < 6; ++r, d.ticks(6)) rows.push_back(d.replay->current_row);
        EXPECT_EQ(rows,
                  on ? (std::vector<int>{0, 3, 1, 0, 1, 3}) : (std::vector<int>{0, 3, 1, 0, 1, 2}));
    });
}

TEST(ScreamTrackerRules, Pitch) {
    S3mBuilder amiga = song({{0, 0, 0x5B, 1, -1, F, 0x10}}); // B-5, sliding higher
    amiga.flags = 0x10;
    with_and_without(amiga.build(), &PlayRules::amiga_limits_fixed, [](RulesDriver& d, bool on) {
        d.ticks(5);
        EXPECT_EQ(d.channel().period, on ? 452 : 453 - 5 * 64);
    });

    const auto stop = song({{0, 0, 0x7B, 1, -1, F, 0x20}}).build(); // B-7 slid to 0
    with_and_without(stop, &PlayRules::period_limits_of_scream_tracker,
                     [](RulesDriver& d, bool on) {
                         d.ticks(5);
                         EXPECT_EQ(d.channel().period, 0);
                         EXPECT_EQ(d.channel().key_down, on ? 0 : 1);
                     });
    S3mBuilder low = song({{0, 0, 0x00, 1, -1, 0, 0}}); // C-0 at a slow C2SPD
    low.samples[0].c2spd = 1000;
    with_and_without(low.build(), &PlayRules::period_ceiling,
                     [](RulesDriver& d, bool on) { EXPECT_EQ(d.channel().period == 32767, on); });
    const auto table = song({{0, 0, 0x4B, 1, -1, 0, 0}}).build(); // B-4 at 8363 Hz
    with_and_without(table, &PlayRules::scream_tracker_period_table, [](RulesDriver& d, bool on) {
        EXPECT_EQ(d.channel().period, on ? 907 : key_period(*d.module, 60, 0));
    });

    const auto arpeggio = song({{0, 0, c4, 1, -1, J, 0x0C}, {1, 0, 255, 0, -1, F, 0x01}}).build();
    with_and_without(arpeggio, &PlayRules::arpeggio_note_kept_for_slides,
                     [](RulesDriver& d, bool on) {
                         const std::int32_t c = d.channel().period;
                         d.ticks(6); // the arpeggio ends an octave up
                         EXPECT_EQ(d.channel().period, on ? c / 2 : c);
                     });
    // Around the note, not the slid period, which the next row plays again.
    const auto around =
        song({{0, 0, c4, 1, -1, F, 0x08}, {1, 0, 255, 0, -1, J, 0x0C}, {2, 0, 255, 0}}).build();
    with_and_without(around, &PlayRules::arpeggio_note_kept_for_slides,
                     [](RulesDriver& d, bool on) {
                         const std::int32_t note = d.channel().frequency;
                         d.ticks(6);
                         const std::int32_t slid = d.channel().period;
                         const std::int32_t slid_frequency = d.channel().frequency;
                         d.ticks(2); // an octave up
                         EXPECT_NEAR(d.channel().frequency, 2 * (on ? note : slid_frequency), 2);
                         d.ticks(4);
                         EXPECT_EQ(d.channel().period, slid);
                     });
}

TEST(ScreamTrackerRules, Instruments) {
    const auto silent = song({{0, 0, c4, 1, -1, G, 0x10}}).build();
    with_and_without(silent, &PlayRules::tone_slide_from_silence_strikes,
                     [](RulesDriver& d, bool on) {
                         EXPECT_EQ(d.channel().period > 0, on);
                         EXPECT_EQ(d.channel().sample == &d.module->instruments[1].samples[0], on);
                     });
    const auto empty = song({{0, 0, c4, 1, -1, 0, 0}, {1, 0, 255, 3, -1, 0, 0}}).build();
    with_and_without(empty, &PlayRules::empty_instruments_ignored, [](RulesDriver& d, bool on) {
        d.ticks(6);
        EXPECT_EQ(d.channel().volume, on ? 64 : 0);
    });
    const auto keep = song({{0, 0, c4, 1, -1, 0, 0}, {1, 0, 0x47, 2, -1, G, 0x01}}).build();
    with_and_without(keep, &PlayRules::tone_slide_keeps_sample, [](RulesDriver& d, bool on) {
        const Sample* first = d.channel().sample;
        d.ticks(6);
        EXPECT_EQ(d.channel().volume, 20);
        EXPECT_EQ(d.channel().sample == first, on);
    });
}

TEST(ScreamTrackerRules, Volume) {
    const auto down = song({{0, 0, c4, 1, -1, D, 0x82}}).build();
    with_and_without(down, &PlayRules::volume_slide_down_first, [](RulesDriver& d, bool on) {
        d.ticks(5);
        EXPECT_EQ(d.channel().volume, on ? 64 - 10 : 64);
    });
    const auto full = song({{0, 0, c4, 1, -1, D, 0x0F}}).build();
    with_and_without(full, &PlayRules::full_volume_slides_every_tick,
                     [](RulesDriver& d, bool on) { EXPECT_EQ(d.channel().volume, on ? 49 : 64); });
    const auto fine = song({{0, 0, c4, 1, -1, K, 0xF4}}).build(); // by Scream Tracker itself
    with_and_without(fine, &PlayRules::combined_slides_skip_first_tick,
                     [](RulesDriver& d, bool on) { EXPECT_EQ(d.channel().volume, on ? 64 : 60); });

    const auto reopen =
        song({{0, 0, c4, 1, -1, 0, 0}, {1, 0, cut, 0, -1, 0, 0}, {2, 0, c4, 0, -1, 0, 0}}).build();
    with_and_without(reopen, &PlayRules::key_reopens_stopped_note, [](RulesDriver& d, bool on) {
        d.ticks(12);
        EXPECT_EQ(d.channel().key_down, on ? 1 : 0);
    });
    const auto stopped =
        song({{0, 0, c4, 1, -1, S, 0xC1}, {1, 0, 255, 0, 40, 0, 0}}).build(); // cut, then v40
    with_and_without(stopped, &PlayRules::note_cut_stops_note, [](RulesDriver& d, bool on) {
        d.ticks(6);
        EXPECT_EQ(d.channel().amplitude == 0, on);
    });
}

TEST(ScreamTrackerRules, EveryParameterFeedsOneMemory) {
    const auto memory = song({{0, 0, c4, 1, -1, H, 0x02}, {1, 0, 255, 0, -1, D, 0x00}}).build();
    with_and_without(memory, &PlayRules::shared_effect_memory, [](RulesDriver& d, bool on) {
        d.ticks(11); // D00 as D02: down by 2 on each of five ticks
        EXPECT_EQ(d.channel().volume, on ? 54 : 64);
    });
}
