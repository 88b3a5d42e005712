// Effect commands and volume-column commands, driven row by row and tick by
// tick on one channel (a row of speed 6 is the row and five ticks).
#include "player/effects.h"
#include "song_fixture.h"
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct EffectsTest : ::testing::Test, ChannelDriver {
    int instrument = song.add_instrument(std::vector<std::int16_t>(2000, 1000), 0, 2000, 30);
    std::uint8_t ins = static_cast<std::uint8_t>(instrument);

    void SetUp() override { start(); }
    // Strikes key 49 (period 1711) at the sample's volume 30 with an effect.
    void strike(std::uint8_t effect = 0, std::uint8_t param = 0, std::uint8_t volume = 0) {
        row(Note{49, ins, volume, effect, param});
    }
    std::vector<std::int32_t> per_tick(int count, std::int32_t Channel::*field) {
        std::vector<std::int32_t> seen{channel->*field};
        for (int i = 0; i < count; ++i) {
            ticks(1);
            seen.push_back(channel->*field);
        }
        return seen;
    }
};

using Values = std::vector<std::int32_t>;

TEST_F(EffectsTest, VolumeSlideActsOnLaterTicksOrOnTheFirstToo) {
    strike(0x0A, 0x20);
    EXPECT_EQ(channel->volume, 30);
    ticks(5);
    EXPECT_EQ(channel->volume, 40);
    song.module.volume_slide_on_first_tick = 1;
    strike(0x0A, 0x20);
    ticks(5);
    EXPECT_EQ(channel->volume, 42);
}

TEST_F(EffectsTest, FineVolumeSlidesActOnceAndZeroRepeatsTheLastParameter) {
    strike(0x0A, 0xFF);
    EXPECT_EQ(per_tick(5, &Channel::volume), Values({45, 45, 45, 45, 45, 45}));
    strike(0x0A, 0xF3);
    EXPECT_EQ(per_tick(2, &Channel::volume), Values({27, 27, 27}));
    strike(0x0A, 0x0F);
    EXPECT_EQ(per_tick(3, &Channel::volume), Values({30, 15, 0, 0}));
    strike(0x0A, 0x02);
    row(Note{0, 0, 0, 0x0A, 0x00});
    EXPECT_EQ(per_tick(2, &Channel::volume), Values({30, 28, 26}));
    row(Note{0, 0, 0, 0x06, 0x00}); // vibrato + slide shares the memory
    EXPECT_EQ(per_tick(1, &Channel::volume), Values({26, 24}));
}

TEST_F(EffectsTest, PitchSlidesCoarseEveryLaterTickFineAndExtraFineOnce) {
    strike(0x01, 0x10);
    EXPECT_EQ(per_tick(5, &Channel::period), Values({1711, 1647, 1583, 1519, 1455, 1391}));
    strike(0x01, 0xF4);
    EXPECT_EQ(per_tick(2, &Channel::period), Values({1695, 1695, 1695}));
    strike(0x01, 0xE4);
    EXPECT_EQ(per_tick(2, &Channel::period), Values({1707, 1707, 1707}));
    strike(0x02, 0x10);
    ticks(5);
    EXPECT_EQ(channel->period, 1711 + 320);
    row(Note{0, 0, 0, 0x02, 0x00}); // memory
    ticks(1);
    EXPECT_EQ(channel->period, 1711 + 384);
}

TEST_F(EffectsTest, PitchSlidesStayWithinZeroAndTheLimit) {
    row(Note{0, 0, 0, 0x02, 0x10}); // a silent channel has period 0: no slide down
    ticks(5);
    EXPECT_EQ(channel->period, 0);
    strike(0x01, 0xDF);
    ticks(5);
    EXPECT_EQ(channel->period, 0);
    strike();
    channel->period = 65000;
    row(Note{0, 0, 0, 0x02, 0xDF});
    ticks(2);
    EXPECT_EQ(channel->period, 65535);
}

TEST_F(EffectsTest, ExtendedAndXmFineSlidesUseTheirOwnMemories) {
    strike(0x0E, 0x13); // E13: up 12 once
    EXPECT_EQ(channel->period, 1699);
    row(Note{0, 0, 0, 0x0E, 0x10});
    EXPECT_EQ(channel->period, 1687);
    row(Note{0, 0, 0, 0x0E, 0x22}); // E22: down 8
    EXPECT_EQ(channel->period, 1695);
    row(Note{0, 0, 0, 0x21, 0x13}); // X13: extra fine up 3
    EXPECT_EQ(channel->period, 1692);
    row(Note{0, 0, 0, 0x21, 0x25}); // X25: extra fine down 5
    EXPECT_EQ(channel->period, 1697);
    row(Note{0, 0, 0, 0x21, 0x00});
    ticks(3);
    EXPECT_EQ(channel->period, 1702);
}

TEST_F(EffectsTest, ToneSlideMovesTowardTheTargetAndStopsOnIt) {
    strike();
    channel->target_period = 1500;
    row(Note{0, 0, 0, 0x03, 0x10});
    EXPECT_EQ(per_tick(5, &Channel::period), Values({1711, 1647, 1583, 1519, 1500, 1500}));
    row(Note{61, 0, 0, 0x05, 0x01}); // tone slide + volume slide: the key slides
    EXPECT_EQ(channel->period, 1500);
    ticks(1);
    EXPECT_EQ(channel->period, 1436);
    EXPECT_EQ(channel->volume, 29);
    row(Note{49, 0, 0xF3, 0, 0}); // volume-column tone slide, 12 units a tick
    ticks(2);
    EXPECT_EQ(channel->period, 1436 + 24);
}

TEST_F(EffectsTest, VibratoAdvancesOnTicksAndKeepsItsNibbles) {
    strike(0x04, 0x48);
    EXPECT_EQ(channel->period_offset, 0);
    EXPECT_EQ(per_tick(4, &Channel::vibrato_position), Values({0, 4, 8, 12, 16}));
    EXPECT_EQ(channel->period_offset, 255 * 8 >> 5);
    row(Note{0, 0, 0, 0x04, 0x02}); // amount 2, step stays 4
    EXPECT_EQ(channel->period_offset, 255 * 2 >> 5);
    ticks(1);
    EXPECT_EQ(channel->vibrato_position, 20);
    row(Note{0, 0, 0, 0x04, 0x80}); // step 8, amount stays 2
    ticks(1);
    EXPECT_EQ(channel->vibrato_position, 28);
    EXPECT_EQ(channel->period_offset, 97 * 2 >> 5); // sine at phase 28
    row(Note{0, 0, 0, 0x95, 0x00});                 // fine vibrato: a quarter of the depth
    EXPECT_EQ(channel->period_offset, 97 * 2 >> 7);
}

TEST_F(EffectsTest, KeyRestartsOscillatorsUnlessTheirShapeKeepsThePhase) {
    strike(0x04, 0x48);
    ticks(3);
    strike();
    EXPECT_EQ(channel->vibrato_position, 0);
    row(Note{0, 0, 0, 0x0E, 0x46}); // E46: square, keep phase
    row(Note{0, 0, 0, 0x04, 0x00});
    ticks(3);
    strike();
    EXPECT_EQ(channel->vibrato_position, 12);
    row(Note{0, 0, 0, 0x0E, 0x49}); // above 7: ignored
    EXPECT_EQ(channel->vibrato_shape, 6);
}

TEST_F(EffectsTest, TremoloSetsTheVolumeOffset) {
    strike(0x07, 0x88);
    EXPECT_EQ(per_tick(2, &Channel::tremolo_position), Values({0, 8, 16}));
    EXPECT_EQ(channel->volume_offset, 255 * 8 >> 6);
    EXPECT_EQ(channel->amplitude, 16384 * 61 / 64);
    row(Note{0, 0, 0, 0x0E, 0x72}); // E72: square tremolo
    row(Note{0, 0, 0, 0x07, 0x00});
    EXPECT_EQ(channel->volume_offset, -255 * 8 >> 6);
}

TEST_F(EffectsTest, ArpeggioCyclesEveryThreeTicks) {
    strike(0x00, 0x47);
    EXPECT_EQ(per_tick(5, &Channel::semitone_offset), Values({0, 4, 7, 0, 4, 7}));
    row(Note{0, 0, 0, 0x8A, 0x00});
    ticks(2);
    EXPECT_EQ(channel->semitone_offset, 7);
    EXPECT_NEAR(channel->frequency / 8291.0, std::pow(2.0, 7 / 12.0), 0.002);
}

TEST_F(EffectsTest, NoteCutOnItsTickOrOnTheRow) {
    strike(0x0E, 0xC2);
    EXPECT_EQ(per_tick(3, &Channel::volume), Values({30, 30, 0, 0}));
    strike(0x0E, 0xC0);
    EXPECT_EQ(channel->volume, 0);
    EXPECT_EQ(channel->amplitude, 0);
}

TEST_F(EffectsTest, MultiRetriggerRestartsEveryIntervalAndChangesTheVolume) {
    strike(0x1B, 0x83);
    std::vector<int> restarted;
    for (int tick = 1; tick <= 6; ++tick) {
        channel->position = 999;
        ticks(1);
        if (channel->position == 0) restarted.push_back(tick);
    }
    EXPECT_EQ(restarted, std::vector<int>({3, 6}));
    EXPECT_EQ(channel->volume, 30);

    strike(0x1B, 0xF1);
    EXPECT_EQ(per_tick(3, &Channel::volume), Values({30, 60, 64, 64}));
    strike(0x1B, 0x61);
    EXPECT_EQ(per_tick(2, &Channel::volume), Values({30, 20, 13}));
    strike(0x1B, 0x31);
    EXPECT_EQ(per_tick(1, &Channel::volume), Values({30, 26}));
}

TEST_F(EffectsTest, TremorAlternatesAudibleAndSilentTicks) {
    strike(0x1D, 0x21);
    EXPECT_EQ(per_tick(5, &Channel::volume_offset), Values({0, 0, -64, 0, 0, -64}));
    EXPECT_EQ(channel->amplitude, 0);
}

TEST_F(EffectsTest, VolumeGlobalVolumeAndPanningCommandsClamp) {
    strike(0x0C, 0x50);
    EXPECT_EQ(channel->volume, 64);
    strike(0x10, 0x80);
    EXPECT_EQ(replay->global_volume, 64);
    strike(0x11, 0x0F);
    ticks(5);
    EXPECT_EQ(replay->global_volume, 0);
    strike(0x11, 0x30);
    ticks(5);
    EXPECT_EQ(replay->global_volume, 15);
    strike(0x08, 0xF0);
    EXPECT_EQ(channel->panning, 0xF0);
    strike(0x19, 0x40);
    ticks(5);
    EXPECT_EQ(channel->panning, 255);
    strike(0x93, 0x83); // S83: panning 3 x 17
    EXPECT_EQ(channel->panning, 51);
    strike(0x0E, 0xA5); // EA5: fine volume up
    EXPECT_EQ(channel->volume, 35);
    row(Note{0, 0, 0, 0x0E, 0xB0}); // EB0: fine volume down, memory 0 yet
    EXPECT_EQ(channel->volume, 35);
}

TEST_F(EffectsTest, SampleRestartEffectRestartsOnItsTick) {
    strike(0x0E, 0x92);
    channel->position = 500;
    ticks(1);
    EXPECT_EQ(channel->position, 500);
    ticks(1);
    EXPECT_EQ(channel->position, 0);
    EXPECT_EQ(channel->tick_in_row, 0);
}

TEST_F(EffectsTest, KeyOffAndEnvelopePositionEffects) {
    strike(0x14, 0);
    EXPECT_EQ(channel->key_down, 0);
    EXPECT_EQ(channel->amplitude, 0);
    strike(0x15, 7);
    EXPECT_EQ(channel->volume_envelope_tick, 7);
    EXPECT_EQ(channel->panning_envelope_tick, 7);
}

TEST_F(EffectsTest, VolumeColumnCommands) {
    strike(0, 0, 0x55);
    EXPECT_EQ(channel->volume, 64);
    strike(0, 0, 0x2A);
    EXPECT_EQ(channel->volume, 26);
    strike(0, 0, 0xC4);
    EXPECT_EQ(channel->panning, 68);
    strike(0, 0, 0x85);
    EXPECT_EQ(channel->volume, 25);
    strike(0, 0, 0x9F);
    EXPECT_EQ(channel->volume, 45);
    strike(0, 0, 0x6A);
    EXPECT_EQ(per_tick(3, &Channel::volume), Values({30, 20, 10, 0}));
    strike(0, 0, 0x7F);
    EXPECT_EQ(per_tick(3, &Channel::volume), Values({30, 45, 60, 64}));
    row(Note{0, 0, 0xCF, 0, 0});
    row(Note{0, 0, 0xE8, 0, 0});
    EXPECT_EQ(per_tick(1, &Channel::panning), Values({255, 255}));
    row(Note{0, 0, 0xD8, 0, 0});
    EXPECT_EQ(per_tick(1, &Channel::panning), Values({255, 247}));
    row(Note{0, 0, 0xA4, 0, 0});
    row(Note{0, 0, 0xB8, 0, 0});
    EXPECT_EQ(per_tick(4, &Channel::vibrato_position), Values({0, 4, 8, 12, 16}));
    EXPECT_EQ(channel->period_offset, 255 * 8 >> 5);
}

TEST_F(EffectsTest, VolumeColumnActsBeforeTheEffectOnTicks) {
    strike(0x0C, 0x10, 0x70 | 10); // set 16, then volume column +10 a tick
    EXPECT_EQ(channel->volume, 16);
    row(Note{0, 0, 0x6F, 0x0A, 0x40});
    ticks(1); // -15 then +4
    EXPECT_EQ(channel->volume, 5);
}

TEST_F(EffectsTest, NoteDelayOfTheS3mCodeRunsTheVolumeColumnMeanwhile) {
    strike();
    row(Note{61, 0, 0x62, 0x93, 0xD2}); // SD2 with volume slide down 2
    EXPECT_EQ(per_tick(2, &Channel::volume), Values({30, 28, 26}));
    EXPECT_EQ(channel->period, 855);
    row(Note{49, 0, 0x62, 0x0E, 0xD2}); // ED2: nothing runs while waiting
    EXPECT_EQ(per_tick(2, &Channel::volume), Values({26, 26, 26}));
}

TEST(GrowCounter, DropsBackByAPowerOfTwoKeepingLowBitsAndSize) {
    EXPECT_EQ(grow_counter(5, 3), 8);
    EXPECT_EQ(grow_counter((1 << 30) - 1, 1), 1 << 29);
    const std::int32_t wrapped = grow_counter((1 << 30) - 3, 15);
    EXPECT_EQ(wrapped & 63, ((1 << 30) + 12) & 63);
    EXPECT_GE(wrapped, 1 << 29);
}

} // namespace
