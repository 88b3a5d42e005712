#include "tests/player/it_builder.h"
#include "tests/player/rules_driver.h"
#include <set>

namespace {

constexpr std::uint8_t note_off = 255, note_cut = 254, note_fade = 200, c5 = 60;
constexpr std::uint8_t lone_instrument = 253; // a row of the instrument number alone

// One looped sample in one instrument with fade-out 16 and `envelope` at
// `at`. Channel 0 plays `rows` (IT notes, 0 none) at speed 3.
ItBuilder song(std::vector<std::uint8_t> rows, std::vector<std::uint8_t> envelope = {},
               std::size_t at = 0x130) {
    ItBuilder b;
    b.header[0x2C] |= 4, b.header[0x32] = 3;
    std::vector<std::uint8_t>& sample = b.add_sample(std::vector<std::uint8_t>(64, 64), 1 | 16);
    sample[0x13] = 64;
    ItBuilder::put32(sample, 0x38, 64);
    ItBuilder::put32(sample, 0x3C, 8363);
    b.instruments.assign(1, std::vector<std::uint8_t>(554));
    for (std::uint8_t note = 0; note < 120; ++note) {
        b.instruments[0][0x40 + 2 * note] = note;
        b.instruments[0][0x41 + 2 * note] = 1;
    }
    b.instruments[0][0x14] = 16, b.instruments[0][0x18] = 128;
    std::copy(envelope.begin(), envelope.end(), b.instruments[0].begin() + static_cast<long>(at));
    b.patterns = {{}};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::uint8_t>& p = b.patterns[0];
        if (rows[r] == lone_instrument) p.insert(p.end(), {0x81, 2, 1});
        if (rows[r] != lone_instrument && rows[r] != 0) p.insert(p.end(), {0x81, 1, rows[r]});
        if (r == 0) p[1] = 3, p.push_back(1); // the first row's note has the instrument
        p.push_back(0);
    }
    b.pattern_rows = {static_cast<std::uint16_t>(std::max<std::size_t>(rows.size(), 8))};
    return b;
}

// Nodes 64 at 0, 32 at 4, 0 at 8, with the flags and loop and sustain marks.
std::vector<std::uint8_t> falling(std::uint8_t flags, std::array<std::uint8_t, 4> marks) {
    return {flags, 3, marks[0], marks[1], marks[2], marks[3], 64, 0, 0, 32, 4, 0, 0, 8, 0};
}
const std::vector<std::uint8_t> plain_falling = falling(1, {0, 0, 0, 0});

} // namespace

TEST(ImpulseTrackerInstruments, LoadsWideEnvelopesAndPlaysThePitchOneUnlessItFilters) {
    std::vector<std::uint8_t> pitch = {1 | 4 | 128, 25, 0, 0, 2, 5};
    for (int n = 0; n < 25; ++n)
        pitch.insert(pitch.end(), {24, static_cast<std::uint8_t>(2 * n), 0});
    ItBuilder b = song({c5}, pitch, 0x1D4);
    const AnyModulePtr module = load_any(b.build());
    ASSERT_TRUE(module);
    const Instrument& instrument = module->instruments[1];
    EXPECT_EQ(instrument.pitch_envelope.point_count, 25);
    EXPECT_EQ(instrument.pitch_envelope.sustain_from, 4);
    EXPECT_EQ(instrument.pitch_envelope.sustain_at, 10);
    // 24 half semitones up, but not from a filter envelope.
    RulesDriver filtering(b.build());
    b.instruments[0][0x1D4] &= 127;
    RulesDriver pitching(b.build());
    filtering.ticks(2);
    pitching.ticks(2);
    EXPECT_NEAR(pitching.channel().frequency, filtering.channel().frequency * 2, 2);
    // The key table's notes: C-6 sounding as C-5.
    b = song({c5 + 12});
    b.instruments[0][0x40 + 2 * (c5 + 12)] = c5;
    EXPECT_EQ(RulesDriver(b.build()).channel().frequency,
              RulesDriver(song({c5}).build()).channel().frequency);
}

TEST(ImpulseTrackerInstruments, EnvelopeLoopsFadesCutsAndRestarts) {
    // Sustain loop over nodes 0..1, plain loop over 1..2; a key-off on row 3.
    expect_rule(song({c5, 0, 0, note_off}, falling(1 | 2 | 4, {1, 2, 0, 1})).build(),
                &PlayRules::envelope_loops_play_last_tick, &Channel::volume_envelope_tick,
                {{3, 4, 4}, {1, 0, 4}, {5, 5, 5}, {3, 8, 4}, {1, 4, 5}});
    // Without a volume envelope a key-off fades the note, by 16 * 32 a tick;
    // an envelope without a loop fades from its end, key down or not.
    const std::vector<std::uint8_t> plain = song({c5, note_off}).build();
    expect_rule(plain, &PlayRules::fade_starts_at_release_or_envelope_end, &Channel::fade_level,
                {{2, 32768, 32768}, {3, 32768 - 3 * 512, 32768}});
    expect_rule(song({c5}, plain_falling).build(),
                &PlayRules::fade_starts_at_release_or_envelope_end, &Channel::fading,
                {{7, 0, 0}, {1, 1, 0}});
    // A note fade keeps the key down; a note cut silences.
    expect_rule(song({c5, note_fade}).build(), &PlayRules::note_cut_and_fade_keys,
                &Channel::key_down, {{3, true, false}});
    expect_rule(song({c5, note_cut}).build(), &PlayRules::note_cut_and_fade_keys, silent,
                {{3, true, false}});
    expect_rule(song({c5, c5}, plain_falling).build(), &PlayRules::note_restarts_envelopes,
                &Channel::volume_envelope_tick, {{2, 3, 3}, {1, 1, 4}});
}

TEST(ImpulseTrackerInstruments, ACarriedEnvelopeGoesOnUnlessTheNoteWasCut) {
    for (const bool carry : {false, true}) {
        // A looping envelope, so that the note never ends by itself.
        RulesDriver d(
            song({c5, c5, note_cut, c5}, falling(carry ? 1 | 2 | 8 : 1 | 2, {0, 2, 0, 0})).build());
        d.ticks(3);
        EXPECT_EQ(d.channel().volume_envelope_tick, carry ? 4 : 1);
        d.ticks(6);
        EXPECT_EQ(d.channel().volume_envelope_tick, 1);
    }
}

TEST(ImpulseTrackerInstruments, ALoneInstrumentTakesOverThePlayingNoteAndStrikesAnEndedOneAgain) {
    expect_rule(song({c5, lone_instrument}, plain_falling).build(),
                &PlayRules::lone_instrument_takes_over_note, &Channel::volume_envelope_tick,
                {{3, 4, 1}});
    // The envelope ended at 0 on row 2.
    expect_rule(song({c5, 0, 0, lone_instrument}, plain_falling).build(),
                &PlayRules::lone_instrument_takes_over_note, &Channel::ticks_since_trigger,
                {{9, 0, 9}});
    // Slid to a key of a second sample, the same instrument alone takes that
    // sample's volume (32) but keeps the first sample sounding.
    ItBuilder b = song({c5});
    b.add_sample(std::vector<std::uint8_t>(64, 64), 1 | 16)[0x13] = 32;
    ItBuilder::put32(b.samples[1], 0x38, 64);
    b.instruments[0][0x41 + 2 * (c5 + 2)] = 2;
    b.patterns[0] = {0x81, 3, c5, 1, 0, 0x81, 5, c5 + 2, 195, 0, 0x81, 2, 1, 0};
    expect_rule(b.build(), &PlayRules::lone_instrument_keeps_sample,
                [](const Channel& c) {
                    return std::pair{c.volume, c.sample->volume};
                },
                {{6, {32, 64}, {32, 32}}});
    // With the instrument beside the slide, its sample for the key plays.
    b.patterns[0] = {0x81, 3, c5, 1, 0, 0x81, 7, c5 + 2, 1, 195, 0};
    expect_rule(b.build(), &PlayRules::tone_slide_instrument_changes_sample,
                [](const Channel& c) { return c.sample->volume; }, {{3, 32, 64}});
    // An instrument the song lacks stops the note, and the next note too.
    b = song({c5});
    b.patterns[0] = {0x81, 3, c5, 1, 0, 0x81, 2, 99, 0, 0x81, 1, c5, 0};
    expect_rule(b.build(), &PlayRules::missing_instrument_stops_note, silent,
                {{3, true, false}, {3, true, false}});
}

TEST(ImpulseTrackerInstruments, GlobalVolumesSwingAndPanning) {
    RulesDriver full(song({c5}).build());
    ItBuilder b = song({c5});
    b.samples[0][0x11] = 32, b.instruments[0][0x18] = 64;
    expect_rule(b.build(), &PlayRules::sample_and_instrument_global_volumes, &Channel::amplitude,
                {{0, full.channel().amplitude / 4, full.channel().amplitude}});
    // Swings of up to 50 %, alike in every replay; separation 64 halves the balance.
    b = song({c5, c5, c5, c5, c5, c5, c5, c5});
    b.instruments[0][0x1A] = 50, b.header[0x40] = 0, b.header[0x34] = 64;
    RulesDriver first(b.build()), second(b.build());
    std::set<std::int32_t> swung;
    for (int row = 0; row < 8; ++row, first.ticks(3), second.ticks(3)) {
        EXPECT_NEAR(first.channel().amplitude, full.channel().amplitude,
                    full.channel().amplitude / 2);
        EXPECT_EQ(first.channel().amplitude, second.channel().amplitude);
        swung.insert(first.channel().amplitude);
    }
    EXPECT_GT(swung.size(), 1u);
    EXPECT_EQ(first.channel().balance, 64);
    // Panning swings of up to 16 of IT's 64 steps around the middle.
    b.instruments[0][0x1A] = 0, b.instruments[0][0x1B] = 16, b.instruments[0][0x19] = 32;
    RulesDriver panned(b.build());
    std::set<std::int32_t> pans;
    for (int row = 0; row < 8; ++row, panned.ticks(3)) {
        EXPECT_NEAR(panned.channel().panning, 128, 64);
        pans.insert(panned.channel().panning);
    }
    EXPECT_GT(pans.size(), 1u);
    // Instrument pan 16 (64 of 255), separation 8 around C-5; C-6 played;
    // the sample's panning outweighs it, a volume-column one both.
    b = song({c5 + 12});
    b.instruments[0][0x19] = 16, b.instruments[0][0x16] = 8, b.instruments[0][0x17] = c5;
    expect_rule(b.build(), &PlayRules::note_takes_instrument_panning, &Channel::panning,
                {{1, 64 + 48, 128}});
    b.samples[0][0x2F] = 128 | 48;
    expect_rule(b.build(), &PlayRules::note_takes_instrument_panning, &Channel::panning,
                {{1, 192 + 48, 192}});
    b.patterns[0] = {0x81, 1 | 2 | 4, c5 + 12, 1, 128 + 16, 0};
    expect_rule(b.build(), &PlayRules::note_takes_instrument_panning, &Channel::panning,
                {{1, 4 * 16, 4 * 16}});
    // X80 under instrument 1's middle panning, which it repeats, becomes the
    // channel's own: instrument 2, without one, plays there too.
    b = song({});
    b.instruments.push_back(b.instruments[0]);
    b.instruments[0][0x19] = 32, b.instruments[1][0x19] = 128, b.header[0x40] = 0;
    b.patterns[0] = {0x81, 3, c5, 1, 0, 0x81, 8, 24, 128, 0, 0x81, 3, c5, 2, 0};
    RulesDriver moved(b.build());
    moved.ticks(6);
    EXPECT_EQ(moved.channel().panning, 128);
}

TEST(ImpulseTrackerInstruments, AReleasedKeyLeavesTheSustainLoopForThePlainLoopAtTheSameFrame) {
    // Sustain loop `from`..`to`, plain loop 0..`loop_end`; the key-off comes
    // with the sample at `at`.
    const auto released_at = [](std::uint8_t flags, std::uint32_t from, std::uint32_t to,
                                std::uint32_t loop_end, std::int32_t at) {
        ItBuilder b = song({c5, note_off});
        b.samples[0][0x12] = static_cast<std::uint8_t>(1 | 16 | 32 | flags);
        ItBuilder::put32(b.samples[0], 0x38, loop_end);
        ItBuilder::put32(b.samples[0], 0x40, from);
        ItBuilder::put32(b.samples[0], 0x44, to);
        expect_clean_failure_at_every_allocation(b.build());
        RulesDriver d(b.build());
        const Sample* held = d.channel().sample;
        EXPECT_EQ(held->loop_length, flags ? 15 : 20);
        d.ticks(2);
        d.channel().position = at;
        d.ticks(1);
        EXPECT_TRUE(held->released && d.channel().sample == held->released);
        EXPECT_EQ(d.channel().sample->loop_length, static_cast<std::int32_t>(loop_end));
        return d.channel().position;
    };
    // 11 frames into the 15 of the unrolled back-and-forth cycle over 8.
    EXPECT_EQ(released_at(128, 4, 12, 64, 4 + 11), 4 + 4);
    // Past the plain loop's end, as far into it.
    EXPECT_EQ(released_at(0, 40, 60, 32, 50), 50 % 32);
}

TEST(ImpulseTrackerInstruments, TheSamplesAutoVibratoGrowsAtItsRateAndStaysOffAtSpeedZero) {
    // A square wave, depth 32 growing by 255/256 a tick: on the second
    // update a depth of 1 in the wave's low half lowers the pitch one step;
    // on the tenth, 9 in its high half raises it by 8.
    ItBuilder b = song({c5});
    b.samples[0][0x4D] = 32, b.samples[0][0x4E] = 255, b.samples[0][0x4F] = 2;
    expect_rule(b.build(), &PlayRules::sample_auto_vibrato, &Channel::period_offset, {{1, 0, 0}});
    b.samples[0][0x4C] = 16;
    expect_rule(b.build(), &PlayRules::sample_auto_vibrato, &Channel::period_offset,
                {{1, 1, 0}, {8, -8, 0}});
}

TEST(ImpulseTrackerInstruments, AnInstrumentWithoutANoteRestartsEnvelopesButNotTheKey) {
    // Beside a tone slide the instrument takes its sample for the last key,
    // not the silent slot no key names.
    ItBuilder b = song({c5});
    b.patterns[0] = {0x81, 3, c5, 1, 0, 0x81, 10, 1, 7, 0xF0, 0};
    expect_rule(b.build(), &PlayRules::instrument_without_key_takes_last_keys_sample,
                &Channel::volume, {{3, 64, 0}});
    // With the link flag it restarts the released note's envelopes, the key
    // staying released.
    b = song({c5, note_off}, falling(1 | 4, {0, 0, 1, 1}));
    b.header[0x2C] |= 32;
    b.patterns[0].insert(b.patterns[0].end() - 1, {0, 0x81, 10, 1, 7, 0xF0});
    expect_rule(b.build(), &PlayRules::instrument_without_key_keeps_release,
                [](const Channel& c) {
                    return std::pair{c.key_down, c.volume_envelope_tick};
                },
                {{7, {0, 2}, {1, 2}}});
    // Old effects: an instrument alone restarts them too.
    b = song({c5, lone_instrument}, plain_falling);
    b.header[0x2C] |= 16;
    expect_rule(b.build(), &PlayRules::lone_instrument_restarts_envelopes,
                &Channel::volume_envelope_tick, {{3, 1, 4}});
    // A note a ^^^ cut stopped stays stopped; one its envelope ended is struck again (above).
    expect_rule(song({c5, note_cut, lone_instrument}).build(),
                &PlayRules::cut_or_faded_note_stays_stopped, silent, {{7, true, false}});
    // A released note carries no envelope on.
    expect_rule(song({c5, note_off, c5}, falling(1 | 2 | 8, {0, 2, 0, 0})).build(),
                &PlayRules::released_note_carries_no_envelope, &Channel::volume_envelope_tick,
                {{7, 2, 8}});
}

TEST(ImpulseTrackerInstruments, AToneSlideAfterAKeyOffSlidesOnAndItsInstrumentCanSwitchSamples) {
    // The sample: loop 0..64, sustain loop 0..16; a second sample for C-5 + 2.
    ItBuilder b = song({c5, note_off});
    b.samples[0][0x12] = 1 | 16 | 32;
    ItBuilder::put32(b.samples[0], 0x44, 16);
    b.add_sample(std::vector<std::uint8_t>(64, 64), 1 | 16);
    ItBuilder::put32(b.samples[1], 0x38, 64);
    b.instruments[0][0x41 + 2 * (c5 + 2)] = 2;
    const std::vector<std::uint8_t> base = b.patterns[0];
    const auto slide_on_row_2 = [&](std::vector<std::uint8_t> cell) {
        b.patterns[0] = base;
        b.patterns[0].insert(b.patterns[0].end() - 1, 0);
        b.patterns[0].insert(b.patterns[0].end() - 1, cell.begin(), cell.end());
        return b.build();
    };
    // Without an instrument the released note slides on, fading.
    expect_rule(slide_on_row_2({0x81, 9, c5 + 2, 7, 0x10}), &PlayRules::released_note_keeps_sliding,
                &Channel::fading, {{7, 1, 0}});
    // The instrument's other sample presses the key again.
    expect_rule(slide_on_row_2({0x81, 11, c5 + 2, 1, 7, 0xFF}),
                &PlayRules::slide_to_other_sample_presses_key, &Channel::key_down, {{7, 1, 0}});
    // The same sample under the released key keeps its plain loop.
    expect_rule(slide_on_row_2({0x81, 11, c5 + 1, 1, 7, 0xFF}),
                &PlayRules::slide_on_released_key_keeps_released_loop,
                [](const Channel& c) { return c.sample->loop_length; }, {{7, 64, 16}});
}

TEST(ImpulseTrackerInstruments, TheRendererRampsAnEnvelopesStepOverTheTick) {
    // Tick 1 of the falling envelope goes from 64 to 56 over its 960 frames.
    expect_rule(song({c5}, plain_falling).build(), &PlayRules::amplitude_ramps_over_tick,
                [](RulesDriver& d) {
                    d.render(2);
                    return d.frames[2 * (960 + 100)] > d.frames[2 * (960 + 900)];
                },
                {{0, true, false}});
}
