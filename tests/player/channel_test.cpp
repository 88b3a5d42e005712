// Channel processing: note triggers, pitch to frequency, volume to amplitude
// and balance, envelopes with fade-out, auto-vibrato and the oscillators.
#include "player/channel.h"
#include "player/channel_output.h"
#include "song_fixture.h"
#include <gtest/gtest.h>

namespace {

struct ChannelTest : ::testing::Test, ChannelDriver {
    int looped = song.add_instrument(std::vector<std::int16_t>(1000, 100), 200, 800, 48);
    int one_shot = song.add_instrument(std::vector<std::int16_t>(8000, 100), 0, 0, 64);
};

TEST_F(ChannelTest, AmigaKeysGiveTheClassicPeriodsAndFrequencies) {
    start();
    const struct {
        std::uint8_t key;
        std::int32_t period;
        std::int32_t frequency;
    } cases[] = {{49, 1711, 8291}, {61, 855, 16593}, {1, 27392, 517}};
    for (const auto& c : cases) {
        row(Note{c.key, static_cast<std::uint8_t>(looped), 0, 0, 0});
        EXPECT_EQ(channel->target_period, c.period) << int(c.key);
        EXPECT_EQ(channel->period, c.period) << int(c.key);
        EXPECT_EQ(channel->frequency, c.frequency) << int(c.key);
    }
}

TEST_F(ChannelTest, LinearKeysGiveLinearPeriodsAndOutOfRangePeriodsPlayLowest) {
    song.module.linear_pitch = 1;
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    EXPECT_EQ(channel->period, 4608);
    EXPECT_EQ(channel->frequency, 8272);
    row(Note{1, 0, 0, 0, 0});
    EXPECT_EQ(channel->period, 7680);
    EXPECT_EQ(channel->frequency, 517);

    row(Note{49, 0, 0, 0, 0});
    channel->period = 20; // pushed below 28, as a deep vibrato would
    update_frequency(*channel);
    EXPECT_EQ(channel->frequency, 517);
}

TEST_F(ChannelTest, RelativeNoteIsClampedToTheKeyRange) {
    song.sample_of(looped).relative_note = -60;
    start();
    row(Note{10, static_cast<std::uint8_t>(looped), 0, 0, 0});
    const std::int32_t lowest = channel->period;
    row(Note{1, 0, 0, 0, 0});
    EXPECT_EQ(channel->period, lowest); // both play as key 1
    EXPECT_EQ(lowest, 27392);

    song.sample_of(looped).relative_note = 60;
    row(Note{90, 0, 0, 0, 0});
    const std::int32_t highest = channel->period;
    row(Note{96, 0, 0, 0, 0});
    EXPECT_EQ(channel->period, highest); // both play as key 120
}

TEST_F(ChannelTest, InstrumentWithoutKeySetsVolumeAndOnlySwitchesASoundingChannelToALoop) {
    song.sample_of(looped).panning = 101;
    start();
    const Sample* silent = channel->sample;
    row(Note{0, static_cast<std::uint8_t>(looped), 0, 0, 0});
    EXPECT_EQ(channel->volume, 48);
    EXPECT_EQ(channel->panning, 100);
    EXPECT_EQ(channel->sample, silent); // period 0: nothing sounds yet

    row(Note{49, static_cast<std::uint8_t>(one_shot), 0, 0, 0});
    channel->position = 321;
    row(Note{0, static_cast<std::uint8_t>(looped), 0, 0, 0});
    EXPECT_EQ(channel->sample, &song.sample_of(looped));
    EXPECT_EQ(channel->position, 321); // switched, not restarted

    row(Note{0, static_cast<std::uint8_t>(one_shot), 0, 0, 0});
    EXPECT_EQ(channel->sample, &song.sample_of(looped)); // no loop: keeps playing the old one
}

TEST_F(ChannelTest, KeyOffSilencesAChannelWithoutVolumeEnvelopeAtOnce) {
    start();
    row(Note{49, static_cast<std::uint8_t>(one_shot), 0, 0, 0});
    EXPECT_EQ(channel->amplitude, 16384); // full volume, no fade, global 64
    row(Note{key_note_off, 0, 0, 0, 0});
    EXPECT_EQ(channel->key_down, 0);
    EXPECT_EQ(channel->amplitude, 0);
    row(Note{200, 0, 0, 0, 0});
    EXPECT_EQ(channel->key_down, 0);
}

TEST_F(ChannelTest, ToneSlideNoteOnlyMovesTheTarget) {
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    channel->position = 500;
    row(Note{61, static_cast<std::uint8_t>(one_shot), 0, 0x03, 0x10});
    EXPECT_EQ(channel->target_period, 855);
    EXPECT_EQ(channel->period, 1711);
    EXPECT_EQ(channel->position, 500);
    EXPECT_EQ(channel->sample, &song.sample_of(looped));
}

TEST_F(ChannelTest, SampleOffsetIsRememberedAndSurvivesUntilTheNextInstrument) {
    start();
    row(Note{49, static_cast<std::uint8_t>(one_shot), 0, 0x09, 0x10});
    EXPECT_EQ(channel->position, 4096);
    channel->position = 7000;
    row(Note{49, static_cast<std::uint8_t>(one_shot), 0, 0x09, 0});
    EXPECT_EQ(channel->position, 4096);
    channel->position = 7000;
    row(Note{49, 0, 0, 0, 0}); // key alone: same offset
    EXPECT_EQ(channel->position, 4096);
    row(Note{49, static_cast<std::uint8_t>(one_shot), 0, 0, 0});
    EXPECT_EQ(channel->position, 0);
}

TEST_F(ChannelTest, FineTuneEffectOverridesTheSampleFineTune) {
    song.sample_of(looped).fine_tune = 100;
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0x0E, 0x58}); // E58: fine tune 0
    EXPECT_EQ(channel->target_period, 1711);
    song.sample_of(one_shot).fine_tune = -128;
    row(Note{49, static_cast<std::uint8_t>(one_shot), 0, 0, 0});
    const std::int32_t lowest_tune = channel->target_period;
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0x0E, 0x50}); // E50: -128
    EXPECT_EQ(channel->target_period, lowest_tune);
}

TEST_F(ChannelTest, EffectCodesAreUnfolded) {
    start();
    row(Note{0, 0, 0, 0x0E, 0xC2});
    EXPECT_EQ(channel->note.effect, 0x7C);
    EXPECT_EQ(channel->note.param, 2);
    row(Note{0, 0, 0, 0x93, 0x32});
    EXPECT_EQ(channel->note.effect, 0xF3);
    EXPECT_EQ(channel->note.param, 2);
    row(Note{0, 0, 0, 0x00, 0x47});
    EXPECT_EQ(channel->note.effect, 0x8A);
    EXPECT_EQ(channel->note.param, 0x47);
    row(Note{0, 0, 0, 0x00, 0x00});
    EXPECT_EQ(channel->note.effect, 0x00);
}

TEST_F(ChannelTest, NoteDelayTriggersOnItsTickOrNever) {
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0x0E, 0xD3}); // ED3
    EXPECT_EQ(channel->period, 0);
    ticks(2);
    EXPECT_EQ(channel->period, 0);
    ticks(1); // fourth tick of the row
    EXPECT_EQ(channel->period, 1711);

    row(Note{61, 0, 0, 0x0E, 0xD6}); // delay at the speed: never within the row
    ticks(5);
    EXPECT_EQ(channel->period, 1711);
}

TEST_F(ChannelTest, KeySampleMapEntriesOutsideTheInstrumentPlaySampleZero) {
    start();
    Instrument& instrument = song.instruments[looped];
    instrument.key_samples[49] = 5; // the instrument has only one sample
    instrument.key_samples[50] = -3;
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    EXPECT_EQ(channel->sample, &song.sample_of(looped));
    row(Note{50, static_cast<std::uint8_t>(looped), 0, 0, 0});
    EXPECT_EQ(channel->sample, &song.sample_of(looped));
}

TEST_F(ChannelTest, AmplitudeFollowsVolumeGlobalVolumeAndGain) {
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0}); // sample volume 48
    EXPECT_EQ(channel->amplitude, 12288);
    replay->global_volume = 32;
    channel->volume_offset = 100; // clamped to 64
    update_amplitude(*channel);
    EXPECT_EQ(channel->amplitude, 8192);
}

TEST_F(ChannelTest, PanningEnvelopeSwingsWithinTheRoomToTheNearerEdge) {
    Envelope& envelope = song.instruments[looped].panning_envelope;
    envelope.active = 1;
    envelope.point_count = 1;
    envelope.point_values[0] = 64; // fully right: +32
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0x08, 100});
    EXPECT_EQ(channel->balance, 200);
    row(Note{49, 0, 0, 0x08, 200});
    EXPECT_EQ(channel->balance, 255);
}

struct EnvelopeTest : ::testing::Test {
    Envelope envelope{};
    void points(std::initializer_list<std::pair<int, int>> list) {
        envelope.point_count = 0;
        for (auto [tick, value] : list) {
            envelope.point_ticks[envelope.point_count] = static_cast<std::int16_t>(tick);
            envelope.point_values[envelope.point_count] = static_cast<std::int16_t>(value);
            ++envelope.point_count;
        }
    }
};

TEST_F(EnvelopeTest, InterpolatesBetweenPointsAndHoldsTheLast) {
    points({{0, 64}, {10, 0}});
    EXPECT_EQ(envelope_value(envelope, 0), 64);
    EXPECT_EQ(envelope_value(envelope, 5), 32);
    EXPECT_EQ(envelope_value(envelope, 10), 0);
    EXPECT_EQ(envelope_value(envelope, 1000), 0);
    points({{0, 0}, {4, 64}, {8, 32}});
    EXPECT_EQ(envelope_value(envelope, 2), 32);
    EXPECT_EQ(envelope_value(envelope, 6), 48);
}

TEST_F(EnvelopeTest, MalformedPointListsNeitherDivideByZeroNorReadOutside) {
    points({});
    EXPECT_EQ(envelope_value(envelope, 3), 0);
    envelope.point_count = -5;
    EXPECT_EQ(envelope_value(envelope, 3), 0);

    points({{5, 40}, {5, 10}, {20, 60}}); // two points on one tick
    EXPECT_EQ(envelope_value(envelope, 2), 40);
    EXPECT_EQ(envelope_value(envelope, 5), 10);
    points({{10, 20}, {4, 50}, {30, 0}}); // ticks out of order
    EXPECT_EQ(envelope_value(envelope, 2), 20);
    EXPECT_EQ(envelope_value(envelope, 30), 0);

    points({{0, 0}, {15, 64}});
    for (int i = 2; i < envelope_point_limit; ++i) {
        envelope.point_ticks[i] = static_cast<std::int16_t>(100 + i);
        envelope.point_values[i] = 7;
    }
    envelope.point_count = 100; // read as the limit
    EXPECT_EQ(envelope_value(envelope, 5000), 7);
}

struct EnvelopeTickTest : ChannelTest {
    Envelope& envelope = song.instruments[looped].volume_envelope;
    void SetUp() override {
        envelope.active = 1;
        envelope.point_count = 2;
        envelope.point_ticks[1] = 100;
        envelope.point_values[0] = 64;
        envelope.point_values[1] = 64;
    }
    std::vector<std::int32_t> envelope_ticks(int count) {
        std::vector<std::int32_t> seen;
        for (int i = 0; i < count; ++i) {
            seen.push_back(channel->volume_envelope_tick);
            advance_envelopes(*channel);
        }
        return seen;
    }
};

TEST_F(EnvelopeTickTest, LoopsAndHoldsAtTheSustainWhileTheKeyIsDown) {
    envelope.has_loop = 1;
    envelope.loop_from = 2;
    envelope.loop_to = 6;
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    channel->volume_envelope_tick = 0;
    EXPECT_EQ(envelope_ticks(11), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 2, 3, 4, 5, 2}));

    envelope.has_loop = 0;
    envelope.has_sustain = 1;
    envelope.sustain_at = 3;
    channel->volume_envelope_tick = 0;
    EXPECT_EQ(envelope_ticks(6), (std::vector<std::int32_t>{0, 1, 2, 3, 3, 3}));
    channel->key_down = 0;
    EXPECT_EQ(envelope_ticks(3), (std::vector<std::int32_t>{3, 4, 5}));
}

TEST_F(EnvelopeTickTest, FadeOutRunsAfterKeyOffOnlyWithAVolumeEnvelope) {
    song.instruments[looped].fadeout = 1024;
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    row(Note{key_note_off, 0, 0, 0, 0}); // one fade step on the row
    EXPECT_EQ(channel->fade_level, 32768 - 1024);
    ticks(30);
    EXPECT_EQ(channel->fade_level, 1024);
    EXPECT_GT(channel->amplitude, 0);
    ticks(1);
    EXPECT_EQ(channel->fade_level, 0);
    ticks(1);
    EXPECT_EQ(channel->amplitude, 0);
}

TEST_F(EnvelopeTickTest, EnvelopePositionStopsGrowingLongBeforeOverflow) {
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    channel->volume_envelope_tick = 0x7FFFFFF0;
    ticks(40);
    EXPECT_GT(channel->volume_envelope_tick, 0);
    EXPECT_EQ(channel->amplitude, 12288); // the sample's volume 48, envelope at 64
}

TEST(LfoValue, WaveformsOverOneCycle) {
    Channel channel{};
    EXPECT_EQ(lfo_value(channel, 0, 1), -1);
    EXPECT_EQ(lfo_value(channel, 31, 1), -249);
    EXPECT_EQ(lfo_value(channel, 32, 7), 255);
    EXPECT_EQ(lfo_value(channel, 63, 1), 7);
    EXPECT_EQ(lfo_value(channel, 0, 6), 1);
    EXPECT_EQ(lfo_value(channel, 32, 6), -255);
    EXPECT_EQ(lfo_value(channel, 5, 2), -255);
    EXPECT_EQ(lfo_value(channel, 40, 5), 255);
    EXPECT_EQ(lfo_value(channel, 16, 0), 255);
    EXPECT_EQ(lfo_value(channel, 48, 4), -255);
    EXPECT_EQ(lfo_value(channel, 8, 9), 180);
    EXPECT_EQ(lfo_value(channel, 64 + 8, 0), 180); // only the low six bits count
}

TEST(LfoValue, RandomWaveformWrapsWithoutOverflow) {
    Channel channel{};
    channel.noise_state = 11259375 * 3; // the third channel's seed: r * 65 passes 2^31
    EXPECT_EQ(lfo_value(channel, 0, 3), (11259375 * 3 >> 20) - 255);
    EXPECT_EQ(channel.noise_state, (11259375LL * 3 * 65 + 17) & 0x1FFFFFFF);
    channel.noise_state = 0x1FFFFFFF;
    EXPECT_EQ(lfo_value(channel, 0, 8), (0x1FFFFFFF >> 20) - 255);
    const std::uint32_t wrapped = (0x1FFFFFFFu * 65u + 17u) & 0x1FFFFFFFu;
    EXPECT_EQ(channel.noise_state, static_cast<std::int32_t>(wrapped));
    for (int i = 0; i < 1000; ++i) {
        const std::int32_t value = lfo_value(channel, i, 3);
        ASSERT_GE(value, -255);
        ASSERT_LE(value, 256);
    }
}

TEST_F(ChannelTest, AutoVibratoSweepsInAndItsClockNeverOverflows) {
    Instrument& instrument = song.instruments[looped];
    instrument.vibrato_depth = 64;
    instrument.vibrato_sweep = 4;
    instrument.vibrato_rate = 64; // 16 phase steps per tick: sine peaks on tick 1
    instrument.vibrato_type = 1;  // square
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    EXPECT_EQ(channel->period_offset, 0); // swept depth 0 on the strike
    EXPECT_EQ(channel->auto_vibrato_ticks, 1);
    ticks(1); // n = 1: depth 16, square phase 16 = -255
    EXPECT_EQ(channel->period_offset, -255 * 16 >> 8);
    ticks(1); // n = 2: depth 32, phase 32 = +255
    EXPECT_EQ(channel->period_offset, 255 * 32 >> 8);

    channel->auto_vibrato_ticks = (1 << 30) - 1;
    ticks(1);
    EXPECT_EQ(channel->auto_vibrato_ticks, (1 << 29));
    for (int i = 0; i < 4; ++i) {
        const std::int32_t n = channel->auto_vibrato_ticks;
        const auto phase = static_cast<std::int32_t>(static_cast<std::uint32_t>(n) * 64u >> 2);
        const std::int32_t expected = lfo_value(*channel, phase, 5) * 64 >> 8;
        ticks(1);
        EXPECT_EQ(channel->period_offset, expected);
    }
}

TEST_F(ChannelTest, TriggerCounterStaysPositiveForever) {
    start();
    row(Note{49, static_cast<std::uint8_t>(looped), 0, 0, 0});
    channel->ticks_since_trigger = (1 << 30) - 2;
    ticks(5);
    EXPECT_GT(channel->ticks_since_trigger, 1 << 28);
    channel->position = 900;
    row(Note{0, 0, 0, 0x1B, 0x0F}); // the retrigger still sees a long-running note
    EXPECT_EQ(channel->position, 0);
    EXPECT_EQ(channel->ticks_since_trigger, 0);
}

} // namespace
