// Each of FastTracker 2's rules against the show's way, on small XMs built
// here.
#include "player/tick_mix.h"
#include "tests/player/rules_driver.h"
#include "tests/player/xm_builder.h"

namespace {

constexpr int c4 = 49, off = 97;
enum Effect : int { porta_down = 2, tone_porta = 3, vibrato = 4, tremolo = 7, ext = 0xE };
enum XmEffect : int { key_off = 0x14, envelope_at = 0x15, retrigger = 0x1B, tremor = 0x1D };

// Instrument 1: a looped sample at volume 40, panned 32; instrument 2: the
// same at volume 60, panned 200, with a volume envelope.
XmBuilder song(int patterns = 1) {
    XmBuilder b;
    b.channels = 2;
    b.orders.clear();
    for (int p = 0; p < patterns; ++p) {
        b.add_pattern(16);
        b.orders.push_back(static_cast<std::uint8_t>(p));
    }
    for (int i = 0; i < 2; ++i) {
        XmInstrumentSpec ins;
        XmSampleSpec s;
        s.frames.assign(256, 4000);
        s.loop_type = 1;
        s.loop_length = 256;
        s.volume = i == 0 ? 40 : 60;
        s.panning = i == 0 ? 32 : 200;
        ins.samples = {s};
        if (i == 1) {
            ins.volume.points = {{0, 64}, {100, 64}};
            ins.volume.type = 1;
        }
        b.instruments.push_back(ins);
    }
    return b;
}

int row_after(RulesDriver& d, int ticks) {
    d.ticks(ticks);
    return d.replay->current_row;
}

} // namespace

TEST(FastTrackerRules, PatternLoopsAndDelays) {
    XmBuilder kept = song(2);
    kept.set_note(0, 2, 0, 0, 0, 0, ext, 0x60);
    kept.set_note(1, 3, 0, 0, 0, 0, ext, 0x61); // back to row 2 of this pattern
    with_and_without(kept.build(), &PlayRules::loop_start_kept_across_patterns,
                     [](RulesDriver& d, bool on) { EXPECT_EQ(row_after(d, 6 * 20), on ? 2 : 0); });
    XmBuilder next = song(2);
    next.set_note(0, 14, 0, 0, 0, 0, ext, 0x60);
    next.set_note(0, 15, 0, 0, 0, 0, ext, 0x61); // loops once, then the next pattern
    with_and_without(next.build(), &PlayRules::loop_row_starts_next_pattern,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6 * 18);
                         EXPECT_EQ(d.replay->order_index, 1);
                         EXPECT_EQ(d.replay->current_row, on ? 14 : 0);
                     });
    XmBuilder delayed = song();
    delayed.set_note(0, 0, 0, c4, 1, 0, ext, 0xD2);
    delayed.set_note(0, 0, 1, 0, 0, 0, ext, 0xE1); // the row twice
    with_and_without(delayed.build(), &PlayRules::note_delay_each_row_repetition,
                     [](RulesDriver& d, bool on) {
                         d.render(8); // the delayed note strikes on tick 2 and tick 8
                         EXPECT_EQ(d.channel().position == 0, on);
                     });
}

TEST(FastTrackerRules, TonePortamento) {
    XmBuilder b = song();
    b.set_note(0, 0, 0, c4 - 1, 1);
    b.set_note(0, 1, 0, c4, 0, 0, tone_porta, 0xFF); // reached from below at once
    b.set_note(0, 2, 0, 0, 0, 0, porta_down, 0x04);  // below it again
    b.set_note(0, 3, 0, 0, 0, 0, tone_porta, 0x01);  // set out down: jumps to the target
    with_and_without(b.build(), &PlayRules::tone_slide_keeps_direction,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6 * 3 + 1);
                         EXPECT_EQ(d.channel().period == d.channel().target_period, on);
                     });

    XmBuilder column = song();
    column.set_note(0, 0, 0, c4, 1);
    column.set_note(0, 1, 0, c4 + 12, 0, 0xF2);
    column.set_note(0, 2, 0, c4 - 12, 0, 0xF8, ext, 0xD2); // strikes on tick 2
    with_and_without(column.build(), &PlayRules::tone_slide_column_by_16,
                     [](RulesDriver& d, bool on) {
                         d.ticks(7);
                         EXPECT_EQ(d.channel().tone_slide_speed, on ? 32 : 2);
                     });
    with_and_without(column.build(), &PlayRules::note_delay_keeps_tone_slide,
                     [](RulesDriver& d, bool on) {
                         d.ticks(12);
                         const std::int32_t target = d.channel().target_period;
                         d.ticks(2);
                         EXPECT_EQ(d.channel().target_period == target, on);
                         EXPECT_EQ(d.channel().tone_slide_speed, on ? 32 : 128);
                     });
}

TEST(FastTrackerRules, Panning) {
    XmBuilder b = song();
    b.set_note(0, 0, 0, c4, 1, 0xCF);
    b.set_note(0, 0, 1, c4, 1, 0xD0); // a slide left by 0
    with_and_without(b.build(), &PlayRules::panning_column_by_16, [](RulesDriver& d, bool on) {
        EXPECT_EQ(d.channel(0).panning, on ? 240 : 255);
    });
    with_and_without(b.build(), &PlayRules::pan_slide_left_by_zero_to_left,
                     [](RulesDriver& d, bool on) {
                         d.ticks(1);
                         EXPECT_EQ(d.channel(1).panning, on ? 0 : 32);
                     });
    with_and_without(b.build(), &PlayRules::square_root_panning, [](RulesDriver& d, bool on) {
        d.channel(1).balance = 128;
        const tick_mix::Gains g = tick_mix::channel_gains(d.channel(1));
        EXPECT_EQ(g.left,
                  on ? d.channel(1).amplitude * 46341 >> 16 : d.channel(1).amplitude * 127 >> 8);
    });

    XmBuilder envelope = song();
    envelope.instruments[0].panning.points = {{0, 0}, {64, 64}};
    envelope.instruments[0].panning.type = 1;
    envelope.set_note(0, 0, 0, c4, 1, 0, envelope_at, 0x20); // no volume sustain to go with
    with_and_without(envelope.build(), &PlayRules::envelope_position_pans_only_with_sustain,
                     [](RulesDriver& d, bool on) {
                         EXPECT_EQ(d.channel().panning_envelope_tick, on ? 1 : 0x21);
                     });
}

TEST(FastTrackerRules, Oscillators) {
    XmBuilder b = song();
    b.set_note(0, 0, 0, c4, 1, 0, ext, 0x71);    // falling tremolo
    b.set_note(0, 1, 0, 0, 0, 0, vibrato, 0x80); // the vibrato past its half: phase 40
    b.set_note(0, 2, 0, 0, 0, 0, tremolo, 0x08); // tremolo at phase 0
    with_and_without(b.build(), &PlayRules::tremolo_ramp_follows_vibrato,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6 * 2 + 1);
                         EXPECT_EQ(d.channel().volume_offset > 0, on);
                     });
    b.set_note(0, 2, 0, 0, 0, 0, tremolo, 0xF8); // past its own half by the fourth tick
    with_and_without(b.build(), &PlayRules::tremolo_ramp_follows_vibrato,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6 * 2 + 4);
                         EXPECT_EQ(d.channel().volume_offset < 0, on);
                     });

    XmBuilder arp = song();
    arp.set_note(0, 0, 0, c4, 1, 0, 0, 0x37);
    with_and_without(arp.build(), &PlayRules::arpeggio_counts_down_from_speed,
                     [](RulesDriver& d, bool on) {
                         d.ticks(1); // (6 - 1) % 3 = 2: y first
                         EXPECT_EQ(d.channel().semitone_offset, on ? 7 : 3);
                     });
    XmBuilder top = song();
    top.set_note(0, 0, 0, 96, 1); // B-7
    top.set_note(0, 1, 0, 0, 0, 0, 0, 0x33);
    with_and_without(top.build(), &PlayRules::arpeggio_stops_at_table_end,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6);
                         const std::int32_t note = d.channel().frequency;
                         d.ticks(1);
                         const std::int32_t up = d.channel().frequency;
                         EXPECT_GT(up, note);
                         EXPECT_EQ(up < note * 9 / 8, on); // one semitone, not three
                     });
}

TEST(FastTrackerRules, KeyOffs) {
    XmBuilder b = song();
    b.set_note(0, 0, 0, c4, 1);
    b.set_note(0, 1, 0, off, 0, 0x30); // its volume taken, and given back by the column
    with_and_without(b.build(), &PlayRules::key_off_zeroes_volume, [](RulesDriver& d, bool on) {
        d.ticks(6);
        EXPECT_EQ(d.channel().volume, 32);
        EXPECT_EQ(d.channel().amplitude > 0, on);
    });
    XmBuilder effect = song();
    effect.set_note(0, 0, 0, c4, 2, 0, key_off, 3);
    with_and_without(effect.build(), &PlayRules::key_off_effect_on_its_tick,
                     [](RulesDriver& d, bool on) {
                         EXPECT_EQ(d.channel().key_down, on ? 1 : 0);
                         d.ticks(3);
                         EXPECT_EQ(d.channel().key_down, 0);
                     });
    XmBuilder lone = song();
    lone.set_note(0, 0, 0, c4, 1, 0x20);
    lone.set_note(0, 1, 0, 0, 2); // the playing sample's volume, not instrument 2's
    with_and_without(lone.build(), &PlayRules::lone_instrument_resets_playing_sample,
                     [](RulesDriver& d, bool on) {
                         d.ticks(6);
                         EXPECT_EQ(d.channel().volume, on ? 40 : 60);
                     });
    XmBuilder high = song();
    high.set_note(0, 0, 0, c4, 1, 0x55);
    with_and_without(high.build(), &PlayRules::volume_column_above_64_ignored,
                     [](RulesDriver& d, bool on) { EXPECT_EQ(d.channel().volume, on ? 40 : 64); });
}

TEST(FastTrackerRules, RetriggersTremorAndDelays) {
    XmBuilder retrig = song();
    retrig.set_note(0, 0, 0, c4, 1, 0, retrigger, 0x02);
    with_and_without(retrig.build(), &PlayRules::counted_retrigger_and_tremor,
                     [](RulesDriver& d, bool on) {
                         d.render(1); // the note counts as the first tick: the second restarts
                         EXPECT_EQ(d.channel().position == 0, on);
                     });
    XmBuilder trem = song();
    trem.set_note(0, 0, 0, c4, 1, 0, tremor, 0x10); // two ticks on, one off
    with_and_without(trem.build(), &PlayRules::counted_retrigger_and_tremor,
                     [](RulesDriver& d, bool on) {
                         d.ticks(3);
                         EXPECT_EQ(d.channel().amplitude == 0, on);
                     });
    XmBuilder lasting = song();
    lasting.set_note(0, 0, 0, c4, 1, 0, tremor, 0x03); // one tick on, then silent to the row's end
    lasting.set_note(0, 2, 0, 0, 0, 0x30);
    with_and_without(lasting.build(), &PlayRules::tremolo_and_tremor_volume_lasts,
                     [](RulesDriver& d, bool on) {
                         d.ticks(7); // the row after, without tremor
                         EXPECT_EQ(d.channel().amplitude == 0, on);
                         d.ticks(6); // a volume sounds the note again
                         EXPECT_NE(d.channel().amplitude, 0);
                     });
    XmBuilder wavering = song();
    wavering.set_note(0, 0, 0, c4, 1, 0, tremolo, 0x48);
    with_and_without(wavering.build(), &PlayRules::tremolo_and_tremor_volume_lasts,
                     [](RulesDriver& d, bool on) {
                         d.ticks(5);
                         const std::int32_t last = d.channel().volume_offset;
                         EXPECT_NE(last, 0);
                         d.ticks(1); // the row after, without tremolo
                         EXPECT_EQ(d.channel().volume_offset, on ? last : 0);
                     });
    XmBuilder once = song();
    once.set_note(0, 0, 0, c4, 1);
    once.set_note(0, 1, 0, 0, 0, 0, ext, 0x90);
    with_and_without(once.build(), &PlayRules::retrigger_zero_once, [](RulesDriver& d, bool on) {
        d.render(6); // the row's first tick restarts the note, no later one
        EXPECT_EQ(d.channel().position == 0, on);
        d.render(1);
        EXPECT_NE(d.channel().position, 0);
    });

    XmBuilder later = song();
    later.set_note(0, 0, 0, c4, 1);
    later.set_note(0, 1, 0, 0, 0, 0, ext, 0x92); // ticks 2 and 4 only
    with_and_without(later.build(), &PlayRules::retrigger_never_on_first_tick,
                     [](RulesDriver& d, bool on) {
                         d.render(6);
                         EXPECT_EQ(d.channel().position != 0, on);
                     });
    XmBuilder rogue = song();
    rogue.set_note(0, 0, 0, c4, 1);
    rogue.set_note(0, 1, 0, 0, 0, 0, ext, 0xD2); // the last note, again
    with_and_without(rogue.build(), &PlayRules::note_delay_repeats_last_note,
                     [](RulesDriver& d, bool on) {
                         d.render(8);
                         EXPECT_EQ(d.channel().position == 0, on);
                     });
    XmBuilder again = song();
    again.set_note(0, 0, 0, c4, 2);
    again.set_note(0, 1, 0, 0, 0, 0, ext, 0xD2); // no instrument: its envelope starts anew
    with_and_without(again.build(), &PlayRules::note_delay_restarts_instrument,
                     [](RulesDriver& d, bool on) {
                         d.ticks(9);
                         EXPECT_EQ(d.channel().volume_envelope_tick < 3, on);
                     });
    XmBuilder fine = song();
    fine.set_note(0, 0, 0, c4, 1);
    fine.set_note(0, 1, 0, c4, 1, 0x85, ext, 0xD1); // delayed with its instrument
    with_and_without(fine.build(), &PlayRules::note_delay_breaks_volume_column_slides,
                     [](RulesDriver& d, bool on) {
                         d.ticks(7);
                         EXPECT_EQ(d.channel().volume, on ? 40 : 35);
                     });
    XmBuilder waiting = song();
    waiting.set_note(0, 0, 0, c4, 1);
    waiting.set_note(0, 1, 0, 0, 0, 0x62, ext, 0xD3); // slides while the note waits
    with_and_without(waiting.build(), &PlayRules::note_delay_breaks_volume_column_slides,
                     [](RulesDriver& d, bool on) {
                         d.ticks(9);
                         EXPECT_EQ(d.channel().volume, on ? 34 : 40);
                     });
}
