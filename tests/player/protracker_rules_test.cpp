// Each of ProTracker's rules against the show's way, on small four-channel
// MODs built here.
#include "player/pitch.h"
#include "tests/player/mod_builder.h"
#include "tests/player/rules_driver.h"

namespace {

// A MOD whose instrument 1 is a looped 256-frame sample (2 a short one-shot).
ModBuilder song() {
    ModBuilder b;
    b.set_orders({0, 1});
    b.sample(1).length_words = 128;
    b.sample(1).loop_length_words = 128;
    b.sample(1).data.assign(256, 40);
    b.sample(2).length_words = 32;
    b.sample(2).data.assign(64, -40);
    return b;
}

} // namespace

TEST(ProTrackerRules, TimingAndSongPosition) {
    ModBuilder b = song();
    b.set_note(0, 0, 0, 428, 1, 0xF, 0x40); // tempo 64
    with_and_without(b.build(), &PlayRules::tempo_after_first_tick, [](RulesDriver& d, bool on) {
        EXPECT_EQ(d.replay->tempo_bpm, on ? 125 : 64);
        d.ticks(1);
        EXPECT_EQ(d.replay->tempo_bpm, 64);
    });

    ModBuilder loop = song();
    loop.set_note(0, 0, 0, 0, 0, 0xE, 0x61); // a loop of its own row: row 0 twice
    with_and_without(loop.build(), &PlayRules::pattern_loop_per_channel,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6);
                         EXPECT_EQ(d.replay->current_row, on ? 0 : 1);
                     });

    ModBuilder wrap = song();
    wrap.set_orders({0});
    wrap.set_note(0, 0, 0, 0, 0, 0xD, 0x05); // break past the last entry to row 5
    with_and_without(wrap.build(), &PlayRules::break_row_survives_wrap,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6);
                         EXPECT_EQ(d.replay->current_row, on ? 5 : 0);
                     });

    ModBuilder delayed = song();
    delayed.set_note(0, 0, 0, 428, 1, 0xE, 0xE1); // the row twice
    delayed.set_note(0, 0, 1, 0, 0, 0xD, 0x00);   // then break to the next pattern
    delayed.set_note(0, 0, 2, 428, 1, 0xE, 0x11); // a fine slide on each repetition
    with_and_without(delayed.build(), &PlayRules::pattern_delay_reruns_row,
                     [](RulesDriver& d, bool on) {
                         const std::int32_t struck = key_period(*d.module, 49, 0);
                         d.ticks(6);
                         EXPECT_EQ(d.channel(2).period, struck - (on ? 8 : 4));
                     });
    with_and_without(delayed.build(), &PlayRules::delayed_jump_passes_target_row,
                     [](RulesDriver& d, bool on) {
                         d.ticks(12);
                         EXPECT_EQ(d.replay->order_index, 1);
                         EXPECT_EQ(d.replay->current_row, on ? 1 : 0);
                     });
}

TEST(ProTrackerRules, Pitch) {
    // ProTracker's table for fine tune -8 has 678 where the scale gives 679.25.
    with_and_without(song().build(), &PlayRules::protracker_period_table,
                     [](RulesDriver& d, bool on) {
                         EXPECT_EQ(key_period(*d.module, 42, -128), on ? 678 * 4 : 2717);
                     });

    ModBuilder limits = song();
    limits.set_note(0, 0, 0, 113, 1, 0x1, 0x01); // B-3, sliding higher
    with_and_without(limits.build(), &PlayRules::amiga_limits_by_fine_tune,
                     [](RulesDriver& d, bool on) {
                         const std::int32_t b3 = d.channel().period;
                         d.ticks(5);
                         EXPECT_EQ(d.channel().period, on ? b3 : b3 - 20);
                     });

    // A slide's target, then a struck note, then a slide without a note.
    ModBuilder target = song();
    target.set_note(0, 0, 0, 428, 1);
    target.set_note(0, 1, 0, 214, 0, 0x3, 0x01); // the target C-3, slowly
    target.set_note(0, 2, 0, 428, 0);            // struck, no slide
    target.set_note(0, 3, 0, 0, 0, 0x3, 0x01);
    with_and_without(target.build(), &PlayRules::tone_slide_target_from_slide_note,
                     [](RulesDriver& d, bool on) {
                         d.ticks(18);
                         const std::int32_t struck = d.channel().period;
                         d.ticks(5);
                         EXPECT_EQ(d.channel().period, on ? struck - 20 : struck);
                     });
    ModBuilder reached = song();
    reached.set_note(0, 0, 0, 428, 1);
    reached.set_note(0, 1, 0, 404, 0, 0x3, 0xFF); // reached at once
    reached.set_note(0, 2, 0, 0, 0, 0x2, 0x10);   // away again
    reached.set_note(0, 3, 0, 0, 0, 0x3, 0x00);
    with_and_without(reached.build(), &PlayRules::tone_slide_target_cleared_when_reached,
                     [](RulesDriver& d, bool on) {
                         d.ticks(18);
                         const std::int32_t away = d.channel().period;
                         d.ticks(5);
                         EXPECT_EQ(d.channel().period == away, on);
                     });

    ModBuilder coarse = song();
    coarse.set_note(0, 0, 0, 428, 1, 0x2, 0xF2); // a coarse slide by 0xF2, not a fine one
    with_and_without(coarse.build(), &PlayRules::coarse_slide_parameters,
                     [](RulesDriver& d, bool on) {
                         const std::int32_t struck = d.channel().period;
                         d.ticks(1);
                         EXPECT_EQ(d.channel().period, on ? struck + 0xF2 * 4 : struck);
                     });

    ModBuilder arpeggio = song();
    arpeggio.set_note(0, 0, 0, 113, 1, 0x0, 0x10); // B-3 and one more: past the table's end
    with_and_without(arpeggio.build(), &PlayRules::arpeggio_in_note_table,
                     [](RulesDriver& d, bool on) {
                         d.ticks(1);
                         const Channel& c = d.channel();
                         EXPECT_EQ(c.period + c.period_offset == 0, on);
                     });

    ModBuilder vibrato = song();
    vibrato.set_note(0, 0, 0, 428, 1, 0x4, 0x8F);
    with_and_without(vibrato.build(), &PlayRules::vibrato_skips_first_tick,
                     [](RulesDriver& d, bool on) {
                         EXPECT_EQ(d.channel().period_offset, 0);
                         d.ticks(1); // the phase of the first tick: 0 before it moves on
                         EXPECT_EQ(d.channel().period_offset == 0, on);
                         EXPECT_EQ(d.channel().vibrato_position, 8);
                     });
}

TEST(ProTrackerRules, VolumeAndEffectParameters) {
    ModBuilder slide = song();
    slide.set_note(0, 0, 0, 428, 1, 0xC, 0x20);
    slide.set_note(0, 1, 0, 0, 0, 0xA, 0x12); // up 1 per tick; the 2 does not count
    with_and_without(slide.build(), &PlayRules::volume_slide_up_first, [](RulesDriver& d, bool on) {
        d.ticks(11);
        EXPECT_EQ(d.channel().volume, on ? 37 : 27);
    });

    ModBuilder fine = song();
    fine.set_note(0, 0, 0, 428, 1, 0xC, 0x20);
    fine.set_note(0, 1, 0, 0, 0, 0xE, 0xA4);
    fine.set_note(0, 2, 0, 0, 0, 0xE, 0xA0); // no memory: nothing
    with_and_without(fine.build(), &PlayRules::fine_effects_without_memory,
                     [](RulesDriver& d, bool on) {
                         d.ticks(12);
                         EXPECT_EQ(d.channel().volume, on ? 36 : 40);
                     });

    ModBuilder offset = song();
    offset.set_note(0, 0, 0, 428, 1, 0x9, 0x01);
    offset.set_note(0, 1, 0, 428, 0); // starts where the offset, added twice, left it
    with_and_without(offset.build(), &PlayRules::offset_moves_sample_start,
                     [](RulesDriver& d, bool on) {
                         EXPECT_EQ(d.channel().position, 256);
                         d.ticks(6);
                         EXPECT_EQ(d.channel().position, on ? 512 : 256);
                     });
}

TEST(ProTrackerRules, RetriggersAndDelays) {
    ModBuilder retrigger = song();
    retrigger.set_note(0, 0, 0, 428, 1, 0xE, 0x92);
    with_and_without(retrigger.build(), &PlayRules::retrigger_on_tick_multiples,
                     [](RulesDriver& d, bool on) {
                         d.ticks(3); // the show's way starts its count again at each restart
                         EXPECT_EQ(d.channel().tick_in_row, on ? 3 : 1);
                     });

    ModBuilder early = song();
    early.set_note(0, 0, 0, 428, 2, 0xC, 0x10);
    early.set_note(0, 1, 0, 428, 1, 0xE, 0xD3); // instrument 1's volume on the first tick
    with_and_without(early.build(), &PlayRules::instrument_before_note_delay,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6);
                         EXPECT_EQ(d.channel().volume, on ? 64 : 16);
                     });

    ModBuilder late = song();
    late.set_note(0, 0, 0, 428, 1);
    late.set_note(0, 1, 0, 214, 0, 0xE, 0xD9); // never strikes in its row
    with_and_without(late.build(), &PlayRules::note_delay_past_speed_sets_next_pitch,
                     [](RulesDriver& d, bool on) {
                         const std::int32_t c2 = d.channel().period;
                         d.render(12);
                         EXPECT_EQ(d.channel().period, on ? key_period(*d.module, 61, 0) : c2);
                         EXPECT_NE(d.channel().position, 0); // not started again
                     });
}

TEST(ProTrackerRules, ALoneInstrumentsSampleWaitsForThePlayingOnesEnd) {
    ModBuilder swap = song();
    swap.set_note(0, 0, 0, 428, 2);
    swap.set_note(0, 1, 0, 0, 1);
    with_and_without(swap.build(), &PlayRules::lone_instrument_queues_sample,
                     [](RulesDriver& d, bool on) {
                         const Sample* one_shot = d.channel().sample;
                         d.ticks(6);
                         EXPECT_EQ(d.channel().volume, 64);
                         EXPECT_EQ(d.channel().sample == one_shot, on);
                         d.render(2); // the one-shot ends within a tick
                         EXPECT_NE(d.channel().sample, one_shot);
                     });
}
