#include "tests/player/it_builder.h"
#include "tests/player/rules_driver.h"

namespace {

constexpr std::uint8_t note_off = 255, note_cut = 254, note_fade = 200, c5 = 60;
constexpr std::uint8_t lone_instrument = 253; // a row of the instrument number alone

// One looped sample in one instrument: `envelope` (flags, count, loop and
// sustain nodes, then value and tick-word nodes) at `at`, fade-out 16.
// Channel 0 plays `rows` (IT notes, 0 for none) at speed 3, the instrument
// beside the first.
ItBuilder song(std::vector<std::uint8_t> rows, std::vector<std::uint8_t> envelope = {},
               std::size_t at = 0x130) {
    ItBuilder b;
    b.header[0x2C] |= 4;
    b.header[0x32] = 3;
    b.header[0x34] = 128;
    std::vector<std::uint8_t>& sample = b.add_sample(std::vector<std::uint8_t>(64, 64), 1 | 16);
    sample[0x11] = 64;
    sample[0x13] = 64;
    ItBuilder::put32(sample, 0x38, 64);
    ItBuilder::put32(sample, 0x3C, 8363);
    b.instruments.assign(1, std::vector<std::uint8_t>(554));
    std::vector<std::uint8_t>& instrument = b.instruments[0];
    for (int note = 0; note < 120; ++note) instrument[0x40 + 2 * note + 1] = 1;
    instrument[0x14] = 16;
    instrument[0x18] = 128;
    std::copy(envelope.begin(), envelope.end(), instrument.begin() + static_cast<long>(at));
    std::vector<std::uint8_t> packed;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r] == lone_instrument) packed.insert(packed.end(), {0x81, 2, 1});
        if (rows[r] != lone_instrument && rows[r] != 0 && r == 0)
            packed.insert(packed.end(), {0x81, 3, rows[r], 1});
        if (rows[r] != lone_instrument && rows[r] != 0 && r > 0)
            packed.insert(packed.end(), {0x81, 1, rows[r]});
        packed.push_back(0);
    }
    b.patterns = {packed};
    b.pattern_rows = {static_cast<std::uint16_t>(std::max<std::size_t>(rows.size(), 8))};
    return b;
}

// Nodes 64 at 0, 32 at 4, 0 at 8, with the flags and marks given.
std::vector<std::uint8_t> falling(std::uint8_t flags, std::array<std::uint8_t, 4> marks) {
    return {flags, 3, marks[0], marks[1], marks[2], marks[3], 64, 0, 0, 32, 4, 0, 0, 8, 0};
}

} // namespace

TEST(ImpulseTrackerInstruments, LoadsWideEnvelopesSustainLoopsPitchAndGlobalVolumes) {
    std::vector<std::uint8_t> pitch = {1 | 4 | 128, 25, 0, 0, 2, 5};
    for (int n = 0; n < 25; ++n)
        pitch.insert(pitch.end(), {24, static_cast<std::uint8_t>(2 * n), 0});
    ItBuilder b = song({c5}, pitch, 0x1D4);
    b.samples[0][0x11] = 40;
    b.instruments[0][0x18] = 100;
    const AnyModulePtr module = load_any(b.build());
    ASSERT_TRUE(module);
    const Instrument& instrument = module->instruments[1];
    const Envelope& envelope = instrument.pitch_envelope;
    EXPECT_EQ(envelope.point_count, 25);
    EXPECT_EQ(envelope.point_ticks[24], 48);
    EXPECT_EQ(envelope.point_values[24], 24 + 32);
    EXPECT_EQ(envelope.sustain_from, 4);
    EXPECT_EQ(envelope.sustain_at, 10);
    EXPECT_TRUE(instrument.pitch_envelope_filters);
    EXPECT_EQ(instrument.global_volume, 100);
    EXPECT_EQ(instrument.samples[1].global_volume, 40);
    EXPECT_EQ(module->patterns[0].notes[0], 49);

    // A filter envelope leaves the pitch alone; a pitch envelope raises it,
    // here by 24 half semitones.
    RulesDriver filtering(b.build());
    filtering.ticks(2);
    b.instruments[0][0x1D4] &= 127;
    RulesDriver pitching(b.build());
    pitching.ticks(2);
    EXPECT_NEAR(pitching.channel().frequency, filtering.channel().frequency * 2, 2);
}

TEST(ImpulseTrackerInstruments, SustainLoopsPlayTheirLastTickAndGiveWayToTheLoopOnRelease) {
    // Sustain loop over nodes 0..1, plain loop over nodes 1..2; a key-off
    // on row 3 (tick 9).
    const std::vector<std::uint8_t> bytes =
        song({c5, 0, 0, note_off}, falling(1 | 2 | 4, {1, 2, 0, 1})).build();
    expect_rule(bytes, &PlayRules::envelope_loops_play_last_tick, &Channel::volume_envelope_tick,
                {{3, 4, 4}, {1, 0, 4}, {5, 5, 5}, {3, 8, 4}, {1, 4, 5}});
}

TEST(ImpulseTrackerInstruments, FadeStartsOnReleaseWithoutEnvelopeOrLoopAndAtTheEnvelopesEnd) {
    // Without a volume envelope: a key-off fades the note out, by 16 * 32 a tick.
    const std::vector<std::uint8_t> plain = song({c5, note_off}).build();
    expect_rule(plain, &PlayRules::fade_starts_at_release_or_envelope_end, &Channel::fade_level,
                {{2, 32768, 32768}, {3, 32768 - 3 * 512, 32768}});
    expect_rule(plain, &PlayRules::fade_starts_at_release_or_envelope_end, silent,
                {{2, false, false}, {1, false, true}});
    // An envelope without a loop fades once it has come to its end, key down or not.
    const std::vector<std::uint8_t> ending = song({c5}, falling(1, {0, 0, 0, 0})).build();
    expect_rule(ending, &PlayRules::fade_starts_at_release_or_envelope_end, &Channel::fading,
                {{7, 0, 0}, {1, 1, 0}});
}

TEST(ImpulseTrackerInstruments, NoteCutStopsAndNoteFadeFadesWithTheKeyDown) {
    const std::vector<std::uint8_t> fading = song({c5, note_fade}).build();
    expect_rule(fading, &PlayRules::note_cut_and_fade_keys, &Channel::key_down, {{3, true, false}});
    expect_rule(fading, &PlayRules::note_cut_and_fade_keys, &Channel::fading, {{3, 1, 1}});
    const std::vector<std::uint8_t> cut = song({c5, note_cut}).build();
    expect_rule(cut, &PlayRules::note_cut_and_fade_keys, silent, {{3, true, false}});
}

TEST(ImpulseTrackerInstruments, EveryNoteRestartsTheEnvelopes) {
    const std::vector<std::uint8_t> bytes = song({c5, c5}, falling(1, {0, 0, 0, 0})).build();
    expect_rule(bytes, &PlayRules::note_restarts_envelopes, &Channel::volume_envelope_tick,
                {{2, 3, 3}, {1, 1, 4}});
}

TEST(ImpulseTrackerInstruments, SampleAndInstrumentGlobalVolumesScaleTheNote) {
    ItBuilder b = song({c5});
    b.samples[0][0x11] = 32;
    b.instruments[0][0x18] = 64;
    with_and_without(b.build(), &PlayRules::sample_and_instrument_global_volumes,
                     [](RulesDriver& d, bool on) {
                         d.ticks(1);
                         RulesDriver full(song({c5}).build());
                         full.ticks(1);
                         EXPECT_EQ(d.channel().amplitude,
                                   on ? full.channel().amplitude / 4 : full.channel().amplitude);
                     });
}

TEST(ImpulseTrackerInstruments, NotesTakeTheSamplesElseTheInstrumentsPanningAndPitchPan) {
    // Instrument pan 16 (64 of 255), separation 8 around C-5; C-6 played.
    ItBuilder b = song({c5 + 12});
    b.instruments[0][0x19] = 16;
    b.instruments[0][0x16] = 8;
    b.instruments[0][0x17] = c5;
    expect_rule(b.build(), &PlayRules::note_takes_instrument_panning, &Channel::panning,
                {{1, 64 + 12 * 8 / 2, 128}});
    b.samples[0][0x2F] = 128 | 48;
    expect_rule(b.build(), &PlayRules::note_takes_instrument_panning, &Channel::panning,
                {{1, 192 + 12 * 8 / 2, 192}});
    // A panning in the volume column beside the note has the last word.
    b.patterns[0] = {0x81, 1 | 2 | 4, c5 + 12, 1, 128 + 16, 0};
    expect_rule(b.build(), &PlayRules::note_takes_instrument_panning, &Channel::panning,
                {{1, 4 * 17, 4 * 17}});
}

TEST(ImpulseTrackerInstruments, VolumeSwingsRepeatablyAndSeparationNarrowsTheBalance) {
    ItBuilder b = song({c5, c5, c5, c5, c5, c5, c5, c5});
    b.instruments[0][0x1A] = 50;
    b.header[0x40] = 0;
    b.header[0x34] = 64;
    RulesDriver first(b.build()), second(b.build()), steady(song({c5}).build());
    std::vector<std::int32_t> swung;
    for (int row = 0; row < 8; ++row) {
        EXPECT_GE(first.channel().amplitude, steady.channel().amplitude / 2);
        EXPECT_LE(first.channel().amplitude, steady.channel().amplitude * 3 / 2);
        EXPECT_EQ(first.channel().amplitude, second.channel().amplitude);
        swung.push_back(first.channel().amplitude);
        first.ticks(3);
        second.ticks(3);
    }
    EXPECT_GT(*std::max_element(swung.begin(), swung.end()),
              *std::min_element(swung.begin(), swung.end()));
    EXPECT_EQ(first.channel().balance, 64);
}

TEST(ImpulseTrackerInstruments, ALoneInstrumentTakesOverThePlayingNoteAndStrikesAnEndedOneAgain) {
    // The envelope goes on under the instrument number.
    const std::vector<std::uint8_t> playing =
        song({c5, lone_instrument}, falling(1, {0, 0, 0, 0})).build();
    expect_rule(playing, &PlayRules::lone_instrument_takes_over_note,
                &Channel::volume_envelope_tick, {{3, 4, 1}});
    // The envelope ended at 0 on row 2; the instrument number strikes C-5 again.
    const std::vector<std::uint8_t> ended =
        song({c5, 0, 0, lone_instrument}, falling(1, {0, 0, 0, 0})).build();
    expect_rule(ended, &PlayRules::lone_instrument_takes_over_note, &Channel::ticks_since_trigger,
                {{9, 0, 9}});
}

TEST(ImpulseTrackerInstruments, AReleasedKeyLeavesTheSustainLoopForThePlainLoopAtTheSameFrame) {
    // Sustain loop `from`..`to` (ping-pong or not), plain loop `loop_end`
    // frames from 0; the key-off comes with the sample at `at`.
    const auto released_at = [](std::uint8_t flags, std::uint32_t from, std::uint32_t to,
                                std::uint32_t loop_end, std::int32_t at) {
        ItBuilder b = song({c5, note_off});
        b.samples[0][0x12] = static_cast<std::uint8_t>(1 | 16 | 32 | flags);
        ItBuilder::put32(b.samples[0], 0x38, loop_end);
        ItBuilder::put32(b.samples[0], 0x40, from);
        ItBuilder::put32(b.samples[0], 0x44, to);
        expect_clean_failure_at_every_allocation(b.build());
        RulesDriver d(b.build());
        const Sample& held = *d.channel().sample;
        EXPECT_EQ(held.loop_length, flags ? 16 : 20);
        EXPECT_NE(held.released, nullptr);
        if (!held.released) return -1;
        EXPECT_EQ(held.released->loop_length, static_cast<std::int32_t>(loop_end));
        d.ticks(2);
        d.channel().position = at;
        d.ticks(1);
        EXPECT_EQ(d.channel().sample, held.released);
        return d.channel().position;
    };
    // 11 frames into the 16 of the unrolled back-and-forth cycle over 8.
    EXPECT_EQ(released_at(128, 4, 12, 64, 4 + 11), 4 + 4);
    // Past the plain loop's end, as far into it.
    EXPECT_EQ(released_at(0, 40, 60, 32, 50), 50 % 32);
}

TEST(ImpulseTrackerInstruments, TheSamplesAutoVibratoGrowsAtItsRateAndStaysOffAtSpeedZero) {
    // A square wave, depth 32 growing by 255/256 a tick: on the second
    // update a depth of 1 in the wave's low half lowers the pitch one step;
    // on the tenth, 9 in its high half raises it by 8.
    ItBuilder b = song({c5});
    b.samples[0][0x4D] = 32;
    b.samples[0][0x4E] = 255;
    b.samples[0][0x4F] = 2;
    expect_rule(b.build(), &PlayRules::sample_auto_vibrato, &Channel::period_offset, {{1, 0, 0}});
    b.samples[0][0x4C] = 16;
    expect_rule(b.build(), &PlayRules::sample_auto_vibrato, &Channel::period_offset,
                {{1, 1, 0}, {8, -8, 0}});
}
