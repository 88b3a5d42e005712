// Each of FastTracker 2's rules against the show's way, on small XMs built
// here.
#include "player/tick_mix.h"
#include "tests/player/rules_driver.h"
#include "tests/player/xm_builder.h"

namespace {

constexpr int c4 = 49, off = 97;
enum Effect : int { porta_down = 2, tone_porta = 3, vibrato = 4, tremolo = 7, ext = 0xE };
enum XmEffect : int { key_off = 0x14, envelope_at = 0x15, retrigger = 0x1B, tremor = 0x1D };

struct XmNote {
    int row, channel, key, instrument, volume = 0, effect = 0, param = 0, pattern = 0;
};
// An effect alone on channel 0.
XmNote fx(int row, int effect, int param, int pattern = 0) {
    return {row, 0, 0, 0, 0, effect, param, pattern};
}

// Two channels and these notes. Instrument 1: a looped sample at volume 40,
// panned 32; instrument 2: the same at volume 60, panned 200, with a volume
// envelope.
XmBuilder builder(std::initializer_list<XmNote> notes, int patterns = 1) {
    XmBuilder b;
    b.channels = 2;
    b.orders.clear();
    for (int p = 0; p < patterns; ++p) {
        b.add_pattern(16);
        b.orders.push_back(static_cast<std::uint8_t>(p));
    }
    XmSampleSpec s;
    s.frames.assign(256, 4000);
    s.loop_type = 1;
    s.loop_length = 256;
    s.volume = 40;
    s.panning = 32;
    b.instruments = {XmInstrumentSpec{}, XmInstrumentSpec{}};
    b.instruments[0].samples = {s};
    s.volume = 60;
    s.panning = 200;
    b.instruments[1].samples = {s};
    b.instruments[1].volume.points = {{0, 64}, {100, 64}};
    b.instruments[1].volume.type = 1;
    for (const XmNote& n : notes)
        b.set_note(n.pattern, n.row, n.channel, n.key, n.instrument, n.volume, n.effect, n.param);
    return b;
}
std::vector<std::uint8_t> song(std::initializer_list<XmNote> notes, int patterns = 1) {
    return builder(notes, patterns).build();
}

} // namespace

TEST(FastTrackerRules, PatternLoopsAndDelays) {
    // A loop start from pattern 0 that pattern 1 keeps: back to its row 2.
    expect_rule(song({fx(2, ext, 0x60), fx(3, ext, 0x61, 1)}, 2),
                &PlayRules::loop_start_kept_across_patterns, &Replay::current_row,
                {{6 * 20, 2, 0}});
    // Loops once, then the next pattern.
    expect_rule(song({fx(14, ext, 0x60), fx(15, ext, 0x61)}, 2),
                &PlayRules::loop_row_starts_next_pattern,
                [](const Replay& r) { return std::pair(r.order_index, r.current_row); },
                {{6 * 18, {1, 14}, {1, 0}}});
    // The row twice: the delayed note strikes on tick 2 and tick 8.
    expect_rule(song({{0, 0, c4, 1, 0, ext, 0xD2}, {0, 1, 0, 0, 0, ext, 0xE1}}),
                &PlayRules::note_delay_each_row_repetition, struck, {{Rendered{8}, true, false}});
}

TEST(FastTrackerRules, TonePortamento) {
    // Reached from below at once, below it again, then a slide that sets out
    // down and jumps to the target.
    expect_rule(song({{0, 0, c4 - 1, 1},
                      {1, 0, c4, 0, 0, tone_porta, 0xFF},
                      fx(2, porta_down, 0x04),
                      fx(3, tone_porta, 0x01)}),
                &PlayRules::tone_slide_keeps_direction,
                [](const Channel& c) { return c.period == c.target_period; },
                {{6 * 3 + 1, true, false}});

    // Column slides by 2 and by 8, the second beside a note delayed to tick 2.
    const auto column =
        song({{0, 0, c4, 1}, {1, 0, c4 + 12, 0, 0xF2}, {2, 0, c4 - 12, 0, 0xF8, ext, 0xD2}});
    expect_rule(column, &PlayRules::tone_slide_column_by_16, &Channel::tone_slide_speed,
                {{7, 32, 2}});
    with_and_without(column, &PlayRules::note_delay_keeps_tone_slide, [](RulesDriver& d, bool on) {
        d.ticks(12);
        const std::int32_t target = d.channel().target_period;
        d.ticks(2);
        EXPECT_EQ(d.channel().target_period == target, on);
        EXPECT_EQ(d.channel().tone_slide_speed, on ? 32 : 128);
    });
}

TEST(FastTrackerRules, Panning) {
    // Column panning 15 on channel 0, a slide left by 0 on channel 1.
    const auto b = song({{0, 0, c4, 1, 0xCF}, {0, 1, c4, 1, 0xD0}});
    expect_rule(b, &PlayRules::panning_column_by_16, &Channel::panning, {{0, 240, 255}});
    expect_rule(b, &PlayRules::pan_slide_left_by_zero_to_left,
                [](RulesDriver& d) { return d.channel(1).panning; }, {{1, 0, 32}});
    with_and_without(b, &PlayRules::square_root_panning, [](RulesDriver& d, bool on) {
        d.channel(1).balance = 128;
        const tick_mix::Gains g = tick_mix::channel_gains(d.channel(1));
        EXPECT_EQ(g.left,
                  on ? d.channel(1).amplitude * 46341 >> 16 : d.channel(1).amplitude * 127 >> 8);
    });

    // No volume sustain to go with the envelope position.
    XmBuilder envelope = builder({{0, 0, c4, 1, 0, envelope_at, 0x20}});
    envelope.instruments[0].panning.points = {{0, 0}, {64, 64}};
    envelope.instruments[0].panning.type = 1;
    expect_rule(envelope.build(), &PlayRules::envelope_position_pans_only_with_sustain,
                &Channel::panning_envelope_tick, {{0, 1, 0x21}});
}

TEST(FastTrackerRules, Oscillators) {
    // A falling tremolo after a vibrato past its half (phase 40): up at the
    // tremolo's phase 0, and down past the tremolo's own half by the fourth
    // tick.
    for (const bool up : {true, false}) {
        SCOPED_TRACE(up ? "up" : "down");
        const std::uint8_t param = up ? 0x08 : 0xF8; // speed 0 or 15
        expect_rule(
            song({{0, 0, c4, 1, 0, ext, 0x71}, fx(1, vibrato, 0x80), fx(2, tremolo, param)}),
            &PlayRules::tremolo_ramp_follows_vibrato,
            [up](const Channel& c) { return up ? c.volume_offset > 0 : c.volume_offset < 0; },
            {{6 * 2 + (up ? 1 : 4), true, false}});
    }

    // (6 - 1) % 3 = 2: y first.
    expect_rule(song({{0, 0, c4, 1, 0, 0, 0x37}}), &PlayRules::arpeggio_counts_down_from_speed,
                &Channel::semitone_offset, {{1, 7, 3}});
    // From B-7, one semitone up, not three.
    expect_rule(song({{0, 0, 96, 1}, fx(1, 0, 0x33)}), &PlayRules::arpeggio_stops_at_table_end,
                [](RulesDriver& d) {
                    const std::int32_t note = d.channel().frequency;
                    d.ticks(1); // up, by less than a whole tone
                    return std::pair(d.channel().frequency > note,
                                     d.channel().frequency < note * 9 / 8);
                },
                {{6, {true, true}, {true, false}}});
}

TEST(FastTrackerRules, KeyOffs) {
    // Its volume taken, and given back by the column.
    expect_rule(song({{0, 0, c4, 1}, {1, 0, off, 0, 0x30}}), &PlayRules::key_off_zeroes_volume,
                [](const Channel& c) { return std::pair(c.volume, c.amplitude > 0); },
                {{6, {32, true}, {32, false}}});
    // K03: the key goes up on tick 3.
    expect_rule(song({{0, 0, c4, 2, 0, key_off, 3}}), &PlayRules::key_off_effect_on_its_tick,
                &Channel::key_down, {{0, 1, 0}, {3, 0, 0}});
    // The playing sample's volume, not instrument 2's.
    expect_rule(song({{0, 0, c4, 1, 0x20}, {1, 0, 0, 2}}),
                &PlayRules::lone_instrument_resets_playing_sample, &Channel::volume, {{6, 40, 60}});
    expect_rule(song({{0, 0, c4, 1, 0x55}}), &PlayRules::volume_column_above_64_ignored,
                &Channel::volume, {{0, 40, 64}});
}

TEST(FastTrackerRules, RetriggersTremorAndDelays) {
    // The note counts as the first tick: the second restarts.
    expect_rule(song({{0, 0, c4, 1, 0, retrigger, 0x02}}), &PlayRules::counted_retrigger_and_tremor,
                struck, {{Rendered{1}, true, false}});
    // Two ticks on, one off.
    expect_rule(song({{0, 0, c4, 1, 0, tremor, 0x10}}), &PlayRules::counted_retrigger_and_tremor,
                silent, {{3, true, false}});
    // One tick on, then silent to the row's end and the row after; a volume
    // sounds the note again.
    expect_rule(song({{0, 0, c4, 1, 0, tremor, 0x03}, {2, 0, 0, 0, 0x30}}),
                &PlayRules::tremolo_and_tremor_volume_lasts, silent,
                {{7, true, false}, {6, false, false}});
    with_and_without(song({{0, 0, c4, 1, 0, tremolo, 0x48}}),
                     &PlayRules::tremolo_and_tremor_volume_lasts, [](RulesDriver& d, bool on) {
                         d.ticks(5);
                         const std::int32_t last = d.channel().volume_offset;
                         EXPECT_NE(last, 0);
                         d.ticks(1); // the row after, without tremolo
                         EXPECT_EQ(d.channel().volume_offset, on ? last : 0);
                     });
    // E90: the row's first tick restarts the note, no later one.
    expect_rule(song({{0, 0, c4, 1}, fx(1, ext, 0x90)}), &PlayRules::retrigger_zero_once, struck,
                {{Rendered{6}, true, false}, {Rendered{1}, false, false}});
    // E92 without a note: ticks 2 and 4 only.
    expect_rule(song({{0, 0, c4, 1}, fx(1, ext, 0x92)}), &PlayRules::retrigger_never_on_first_tick,
                struck, {{Rendered{6}, false, true}});
    // ED2 without a note: the last note, again.
    expect_rule(song({{0, 0, c4, 1}, fx(1, ext, 0xD2)}), &PlayRules::note_delay_repeats_last_note,
                struck, {{Rendered{8}, true, false}});
    // ED2 without an instrument: its envelope starts anew.
    expect_rule(song({{0, 0, c4, 2}, fx(1, ext, 0xD2)}), &PlayRules::note_delay_restarts_instrument,
                [](const Channel& c) { return c.volume_envelope_tick < 3; }, {{9, true, false}});
    // A fine slide down beside a note delayed with its instrument; a slide up
    // while the note waits.
    expect_rule(song({{0, 0, c4, 1}, {1, 0, c4, 1, 0x85, ext, 0xD1}}),
                &PlayRules::note_delay_breaks_volume_column_slides, &Channel::volume,
                {{7, 40, 35}});
    expect_rule(song({{0, 0, c4, 1}, {1, 0, 0, 0, 0x62, ext, 0xD3}}),
                &PlayRules::note_delay_breaks_volume_column_slides, &Channel::volume,
                {{9, 34, 40}});
}
