// The channel mixer: tick lengths, what one channel contributes (pitch, loop
// ends, balance), the tick crossfade, the saturating copy, and the fast mixer
// checked frame for frame against a plain per-frame mixer on varied songs.
#include "player/channel_output.h"
#include "player/mixer.h"
#include "song_fixture.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

// The mixer done the plain way, one rendered frame at a time: the yardstick
// that the fast mixer must match bit for bit.
std::int32_t reference_mix_tick(Replay* replay, std::int32_t* buffer) {
    const std::int32_t rate = replay->output_rate;
    const std::int32_t frames = (rate * 5) / (replay->tempo_bpm * 2);
    const std::int32_t rendered = (frames + 65) * 2;
    std::fill(buffer, buffer + 2 * rendered, 0);
    for (std::int32_t c = 0; c < replay->module->channel_count; ++c) {
        Channel& channel = replay->channels[c];
        const Sample& s = *channel.sample;
        const std::int32_t step = (channel.frequency * 4096) / (rate >> 2);
        const std::int32_t loop_end = s.loop_start + s.loop_length;
        if (channel.amplitude > 0) {
            const std::int32_t left = ((255 - channel.balance) * channel.amplitude) >> 8;
            const std::int32_t right = (channel.balance * channel.amplitude) >> 8;
            std::int32_t p = channel.position;
            std::int32_t f = channel.fraction;
            for (std::int32_t k = 0; k < rendered; ++k) {
                if (p >= loop_end) {
                    if (s.loop_length < 2) break;
                    while (p >= loop_end) p -= s.loop_length;
                }
                std::int32_t v = s.data[p];
                if (replay->interpolate) v = s.data[p] + (((s.data[p + 1] - s.data[p]) * f) >> 15);
                buffer[2 * k] += (v * left) >> 15;
                buffer[2 * k + 1] += (v * right) >> 15;
                f += step;
                p += f >> 15;
                f &= 32767;
            }
        }
        const std::int32_t t = step * (2 * frames) + channel.fraction;
        channel.position += t >> 15;
        if (channel.position > s.loop_start) {
            channel.position =
                s.loop_length >= 2
                    ? s.loop_start + (channel.position - s.loop_start) % s.loop_length
                    : s.loop_start;
        }
        channel.fraction = t & 32767;
    }
    for (std::int32_t j = 0; j < frames + 64; ++j) {
        for (int side = 0; side < 2; ++side) {
            buffer[2 * j + side] = (buffer[4 * j + side] >> 2) + (buffer[4 * j + 2 + side] >> 1) +
                                   (buffer[4 * j + 4 + side] >> 2);
        }
    }
    const std::int32_t w = 524288 / rate;
    for (std::int32_t j = 0; j * w < 256; ++j) {
        for (int side = 0; side < 2; ++side) {
            buffer[2 * j + side] = (buffer[2 * j + side] * (j * w) +
                                    replay->crossfade_buffer[2 * j + side] * (256 - j * w)) >>
                                   8;
        }
    }
    std::copy(buffer + 2 * frames, buffer + 2 * frames + crossfade_values,
              replay->crossfade_buffer);
    advance_tick(replay);
    return frames;
}

using Buffer = std::vector<std::int32_t>;

struct Rendered {
    Buffer left;
    Buffer right;
};

// Mixes `ticks` ticks and gathers the output frames.
Rendered render(Replay* replay, int ticks) {
    Buffer buffer(int_mix_buffer_values);
    Rendered out;
    for (int i = 0; i < ticks; ++i) {
        const std::int32_t frames = mix_tick(replay, buffer.data());
        for (std::int32_t j = 0; j < frames; ++j) {
            out.left.push_back(buffer[2 * j]);
            out.right.push_back(buffer[2 * j + 1]);
        }
    }
    return out;
}

int sign_changes(const Buffer& values) {
    int changes = 0;
    for (std::size_t i = 1; i < values.size(); ++i)
        changes += (values[i] < 0) != (values[i - 1] < 0);
    return changes;
}

// One channel of key 49 (8291 Hz) with the given sample, panning and volume.
struct OneVoice {
    TestSong song{1};
    ReplayHandle replay;
    OneVoice(const std::vector<std::int16_t>& frames, int loop_start, int loop_length,
             std::uint8_t key = 49, Note extra = Note{}) {
        const int instrument = song.add_instrument(frames, loop_start, loop_length);
        song.set_note(
            0, 0, 0,
            Note{key, static_cast<std::uint8_t>(instrument), 0, extra.effect, extra.param});
        replay = start_replay(song);
    }
    Channel& channel() { return replay->channels[0]; }
};

TEST(MixTick, TickLengthFollowsTheTempoAndNeverOverrunsTheBuffer) {
    OneVoice voice(std::vector<std::int16_t>(64, 1000), 0, 64);
    Buffer buffer(int_mix_buffer_values + 64, 0x5A5A5A5A);
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {125, 960}, {32, 3750}, {255, 470}, {10, 3750}};
    for (auto [tempo, frames] : cases) {
        voice.replay->tempo_bpm = tempo;
        EXPECT_EQ(mix_tick(voice.replay.get(), buffer.data()), frames) << tempo;
    }
    EXPECT_TRUE(std::all_of(buffer.end() - 64, buffer.end(),
                            [](std::int32_t v) { return v == 0x5A5A5A5A; }));
    // Higher rates need the larger buffer that mix_buffer_values gives.
    for (std::int32_t rate : {96000, 192000}) {
        Buffer large(mix_buffer_values(rate) + 64, 0x5A5A5A5A);
        voice.replay->output_rate = rate;
        voice.replay->tempo_bpm = 32;
        EXPECT_EQ(mix_tick(voice.replay.get(), large.data()), rate * 5 / 64) << rate;
        EXPECT_TRUE(std::all_of(large.end() - 64, large.end(),
                                [](std::int32_t v) { return v == 0x5A5A5A5A; }));
    }
}

TEST(MixTick, HighestPitchAtTheLowestRateOnALongLoopMovesOnAsCounted) {
    // Key 96 with fine tune: the step reaches about a million units per
    // frame at 8000 Hz; a block of reads must still end where it was counted.
    std::vector<std::int16_t> frames(200000);
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<std::int16_t>(i % 977);
    OneVoice voice(frames, 0, 200000, 96);
    voice.replay->output_rate = lowest_output_rate;
    voice.channel().period = 28;
    update_frequency(voice.channel());
    ASSERT_GT(voice.channel().frequency, 500000);
    Buffer buffer(mix_buffer_values(lowest_output_rate));
    for (int tick = 0; tick < 4; ++tick) {
        Channel before = voice.channel();
        const std::int32_t out = mix_tick(voice.replay.get(), buffer.data());
        const std::int64_t step = std::int64_t{before.frequency} * 4096 / (lowest_output_rate >> 2);
        const std::int64_t moved = (step * 2 * out + before.fraction) >> 15;
        EXPECT_EQ(voice.channel().position, (before.position + moved) % 200000) << tick;
        voice.channel().period = 28;
    }
}

TEST(MixTick, ConstantSampleGivesConstantOutputAcrossTicks) {
    OneVoice voice(std::vector<std::int16_t>(700, 12000), 100, 600);
    const Rendered out = render(voice.replay.get(), 12);
    const std::int32_t left = out.left.back();
    const std::int32_t right = out.right.back();
    // Amplitude 16384 is half of unity; channel 0's panning is 51.
    EXPECT_NEAR(left, 12000 * 204 / 512, 4);
    EXPECT_NEAR(right, 12000 * 51 / 512, 4);
    for (std::size_t j = 26; j < out.left.size(); ++j) {
        ASSERT_EQ(out.left[j], left) << j;
        ASSERT_EQ(out.right[j], right) << j;
    }
    for (std::int32_t j = 0; j < 26; ++j) EXPECT_EQ(out.left[j], (left * 10 * j) >> 8); // fade-in
}

TEST(MixTick, LoopedSquareWaveSoundsAtTheKeysFrequency) {
    for (auto [key, hertz] : {std::pair{49, 8291.0 / 32}, std::pair{61, 16593.0 / 32}}) {
        OneVoice voice(square_wave(32, 16000), 0, 32, static_cast<std::uint8_t>(key));
        const Rendered out = render(voice.replay.get(), 100); // two seconds
        EXPECT_NEAR(sign_changes(out.left) / 2.0, 2 * hertz, 2) << key;
    }
}

TEST(MixTick, SampleWithoutLoopStopsAtItsEndAndParksThere) {
    OneVoice voice(std::vector<std::int16_t>(100, 8000), 0, 0);
    const Rendered out = render(voice.replay.get(), 2);
    // 100 frames at a step of 2829/32768 last 1159 rendered frames: output
    // frame 579 still takes the last of them through the filter, 580 none.
    EXPECT_NE(out.left[579], 0);
    for (std::size_t j = 580; j < out.left.size(); ++j) ASSERT_EQ(out.left[j], 0) << j;
    EXPECT_EQ(voice.channel().position, 100);
}

TEST(MixTick, HighPitchPassesTheLoopEndSeveralTimesPerTickAndStaysInTheLoop) {
    std::vector<std::int16_t> frames(20, -3000);
    std::fill(frames.begin() + 10, frames.end(), 9000);
    OneVoice voice(frames, 10, 4, 96); // key 96: the loop is passed hundreds of times a tick
    const Rendered out = render(voice.replay.get(), 3);
    for (std::size_t j = 26; j < out.left.size(); ++j) ASSERT_GT(out.left[j], 0) << j;
    EXPECT_GE(voice.channel().position, 10);
    EXPECT_LT(voice.channel().position, 14);
}

TEST(MixTick, BalanceSplitsTheAmplitudeBetweenTheSides) {
    const auto settled = [](std::uint8_t panning) {
        OneVoice voice(std::vector<std::int16_t>(64, 20000), 0, 64, 49,
                       Note{0, 0, 0, 0x08, panning});
        const Rendered out = render(voice.replay.get(), 2);
        return std::pair{out.left.back(), out.right.back()};
    };
    const auto filtered = [](std::int32_t gain) {
        const std::int32_t x = (20000 * gain) >> 15;
        return (x >> 2) + (x >> 1) + (x >> 2);
    };
    EXPECT_EQ(settled(0), std::pair(filtered(255 * 16384 >> 8), 0));
    EXPECT_EQ(settled(255), std::pair(0, filtered(255 * 16384 >> 8)));
    EXPECT_EQ(settled(128), std::pair(filtered(127 * 16384 >> 8), filtered(128 * 16384 >> 8)));
}

TEST(MixTick, CrossfadeBlendsTheLastTicksLookAheadIntoAVolumeChange) {
    OneVoice voice(std::vector<std::int16_t>(64, 20000), 0, 64, 49, Note{0, 0, 0, 0x0F, 1});
    voice.song.set_note(0, 1, 0, Note{0, 0, 0, 0x0C, 16}); // speed 1: the next tick is row 1
    Buffer buffer(int_mix_buffer_values);
    mix_tick(voice.replay.get(), buffer.data());
    const std::int32_t loud = buffer[2 * 959];
    mix_tick(voice.replay.get(), buffer.data());
    const std::int32_t quiet = buffer[2 * 959];
    EXPECT_NEAR(quiet * 4, loud, 4);
    EXPECT_EQ(buffer[0], loud);
    for (std::int32_t j = 1; j < 26; ++j) {
        EXPECT_EQ(buffer[2 * j], (quiet * 10 * j + loud * (256 - 10 * j)) >> 8) << j;
    }
    EXPECT_EQ(buffer[2 * 26], quiet);
}

TEST(MixTick, SilentChannelAddsNothingButMovesOn) {
    OneVoice voice(std::vector<std::int16_t>(100000, 20000), 0, 0, 49, Note{0, 0, 0, 0x0C, 0});
    Buffer buffer(int_mix_buffer_values, 777); // leftovers of an earlier tick
    const std::int32_t frames = mix_tick(voice.replay.get(), buffer.data());
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 2 * frames,
                            [](std::int32_t v) { return v == 0; }));
    const std::int32_t step = 8291 * 4096 / 12000;
    EXPECT_EQ(voice.channel().position, step * 1920 >> 15);
    EXPECT_EQ(voice.channel().fraction, step * 1920 & 32767);
}

TEST(MixTick, EmptyInstrumentNeverReadsSampleData) {
    TestSong song{1};
    ReplayHandle replay = start_replay(song);
    Channel& channel = replay->channels[0];
    channel.amplitude = 16384;
    channel.frequency = 8000;
    channel.position = 5;
    Buffer buffer(int_mix_buffer_values, 777); // leftovers of an earlier tick
    const std::int32_t frames = mix_tick(replay.get(), buffer.data());
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 2 * frames,
                            [](std::int32_t v) { return v == 0; }));
}

TEST(MixTick, InterpolationOnALoopsLastFrameLeansTowardItsFirst) {
    const auto settled_value = [](bool interpolate) {
        TestSong song{1};
        const int instrument = song.add_instrument({0, 0, 4000, 0, 0, 8000, 0}, 2, 4);
        song.set_note(0, 0, 0, Note{49, static_cast<std::uint8_t>(instrument), 0, 0, 0});
        ReplayHandle replay = start_replay(song, 48000, interpolate);
        Channel& channel = replay->channels[0];
        channel.frequency = 0; // stand still on the loop's last frame, halfway
        channel.position = 5;
        channel.fraction = 16384;
        channel.balance = 0;
        Buffer buffer(int_mix_buffer_values);
        mix_tick(replay.get(), buffer.data());
        return buffer[2 * 900];
    };
    const std::int32_t nearest = settled_value(false);
    const std::int32_t between = settled_value(true);
    EXPECT_NEAR(between * 2, nearest + nearest / 2, 8); // (8000 + 4000) / 2
}

TEST(CopySaturated, ClampsToSixteenBits) {
    const std::vector<std::int32_t> from = {-40000, -32768, -32767, 32766,  32767,  40000, 0,
                                            -1,     1,      12345,  -99999, 99999,  7,     -32769,
                                            32768,  5,      6,      70000,  -70000, 2,     3};
    std::vector<std::int16_t> to(from.size());
    copy_saturated(from.data(), to.data(), from.size());
    const std::vector<std::int16_t> expected = {
        -32768, -32768, -32767, 32766, 32767, 32767, 0,     -1,     1, 12345, -32768,
        32767,  7,      -32768, 32767, 5,     6,     32767, -32768, 2, 3};
    EXPECT_EQ(to, expected);
}

// A busy random song: every channel plays keys across the range with samples
// of every shape, and the effects change pitch, volume, balance, position,
// speed and tempo from row to row.
void fill_random_song(TestSong& song, std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto below = [&random](int n) {
        return static_cast<int>(random() % static_cast<unsigned>(n));
    };
    const auto noise = [&](int length) {
        std::vector<std::int16_t> frames(static_cast<std::size_t>(length));
        for (auto& frame : frames) frame = static_cast<std::int16_t>(below(65536) - 32768);
        return frames;
    };
    song.add_instrument(noise(3000), 1000, 2000, 64);
    song.add_instrument(noise(50), 0, 0, 40);
    song.add_instrument(noise(9), 5, 4, 64);
    song.add_instrument(noise(20000), 0, 20000, 50);
    song.add_instrument(noise(700), 0, 0, 64);
    song.add_instrument(std::vector<std::int16_t>(300, 32767), 100, 200, 64);
    const std::uint8_t effects[] = {0x00, 0x00, 0x00, 0x04, 0x0A, 0x09, 0x03,
                                    0x08, 0x1B, 0x0E, 0x0F, 0x01, 0x02};
    for (int pattern = 0; pattern < song.module.pattern_count; ++pattern) {
        for (int row = 0; row < 64; ++row) {
            for (int c = 0; c < song.module.channel_count; ++c) {
                Note note{};
                if (below(3) > 0) note.key = static_cast<std::uint8_t>(1 + below(96));
                if (below(2) > 0) note.instrument = static_cast<std::uint8_t>(1 + below(6));
                note.effect = effects[below(sizeof effects)];
                note.param = static_cast<std::uint8_t>(below(256));
                if (note.effect == 0x0E)
                    note.param = static_cast<std::uint8_t>(0x90 | below(4)); // E9x
                if (note.effect == 0x0F)
                    note.param =
                        static_cast<std::uint8_t>(below(2) ? 1 + below(6) : 32 + below(224));
                song.set_note(pattern, row, c, note);
            }
        }
    }
}

// Each key, held on a looped noise sample, from long runs of frames that read
// one value up to steps past a whole frame per rendered frame.
TEST(FastAgainstReference, EveryKeyMatchesThePlainMixer) {
    std::mt19937 random(7);
    std::vector<std::int16_t> noise(1500);
    for (auto& frame : noise) frame = static_cast<std::int16_t>(random());
    for (const bool interpolate : {false, true}) {
        for (int key = 1; key <= 96; ++key) {
            TestSong songs[2] = {TestSong{1}, TestSong{1}};
            ReplayHandle replays[2];
            Buffer buffers[2] = {Buffer(int_mix_buffer_values), Buffer(int_mix_buffer_values)};
            for (int i = 0; i < 2; ++i) {
                const int instrument = songs[i].add_instrument(noise, 700, 800);
                songs[i].set_note(0, 0, 0,
                                  Note{static_cast<std::uint8_t>(key),
                                       static_cast<std::uint8_t>(instrument), 0, 0, 0});
                replays[i] = start_replay(songs[i], 48000, interpolate);
            }
            for (int tick = 0; tick < 30; ++tick) {
                const std::int32_t frames = mix_tick(replays[0].get(), buffers[0].data());
                ASSERT_EQ(frames, reference_mix_tick(replays[1].get(), buffers[1].data()));
                ASSERT_TRUE(std::equal(buffers[0].begin(), buffers[0].begin() + 2 * frames,
                                       buffers[1].begin()))
                    << "key " << key << " tick " << tick;
            }
        }
    }
}

// Interpolation, output rate, seed, and the module's mix gain: above 64 the
// louder channels' gains leave the range the fast sums are built for.
struct FastAgainstReference
    : ::testing::TestWithParam<std::tuple<bool, std::int32_t, std::uint32_t, std::int32_t>> {};

TEST_P(FastAgainstReference, MatchesThePlainMixerFrameForFrame) {
    const auto [interpolate, rate, seed, mix_gain] = GetParam();
    TestSong song_fast{4, 3};
    TestSong song_plain{4, 3};
    fill_random_song(song_fast, seed);
    fill_random_song(song_plain, seed);
    song_fast.module.mix_gain = mix_gain;
    song_plain.module.mix_gain = mix_gain;
    ReplayHandle fast = start_replay(song_fast, rate, interpolate);
    ReplayHandle plain = start_replay(song_plain, rate, interpolate);
    Buffer fast_buffer(int_mix_buffer_values);
    Buffer plain_buffer(int_mix_buffer_values);
    for (int tick = 0; tick < 1500; ++tick) {
        const std::int32_t frames = mix_tick(fast.get(), fast_buffer.data());
        ASSERT_EQ(frames, reference_mix_tick(plain.get(), plain_buffer.data())) << tick;
        ASSERT_TRUE(
            std::equal(fast_buffer.begin(), fast_buffer.begin() + 2 * frames, plain_buffer.begin()))
            << "tick " << tick;
        ASSERT_TRUE(std::equal(fast->crossfade_buffer, fast->crossfade_buffer + crossfade_values,
                               plain->crossfade_buffer));
        for (int c = 0; c < 4; ++c) {
            ASSERT_EQ(fast->channels[c].position, plain->channels[c].position) << tick;
            ASSERT_EQ(fast->channels[c].fraction, plain->channels[c].fraction) << tick;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(VariedSongs, FastAgainstReference,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(48000, 44100),
                                            ::testing::Values(1u, 2u, 3u),
                                            ::testing::Values(64, 100)));

} // namespace
