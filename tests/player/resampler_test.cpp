// The output-rate resampler: show mode is mix_tick; every interpolation reads
// the stream a voice plays (zeros before the start and after an unlooped end,
// the loop over and over) at the counted pitch, across ticks, loop seams and
// edges; sinc keeps a tone above the output's Nyquist frequency out; the SSE2
// kernels agree with the plain ones.
#include "player/mixer.h"
#include "player/resample_tables.h"
#include "player/resampler.h"
#include "song_fixture.h"
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

namespace {

using Frames = std::vector<std::int16_t>;
constexpr Resampler interpolations[] = {Resampler::nearest, Resampler::linear, Resampler::cubic,
                                        Resampler::sinc};

// One channel of `key` playing the sample, rendered tick by tick.
struct Voice {
    TestSong song{1};
    ReplayHandle replay;
    Voice(const Frames& frames, int loop_start, int loop_length, Resampler resampler, int key = 49,
          std::int32_t rate = 48000) {
        const int instrument = song.add_instrument(frames, loop_start, loop_length);
        song.set_note(0, 0, 0, Note{std::uint8_t(key), std::uint8_t(instrument), 0, 0, 0});
        replay = start_replay(song, rate);
        replay->resampler = resampler;
    }
    Channel& channel() { return replay->channels[0]; }
    std::uint64_t step() const {
        return (std::uint64_t(replay->channels[0].fine_frequency) << 24) / replay->output_rate;
    }
    // The left side of `ticks` ticks.
    std::vector<std::int32_t> left(int ticks) {
        std::vector<std::int32_t> buffer(mix_buffer_values(replay->output_rate)), out;
        for (int t = 0; t < ticks; ++t) {
            const std::int32_t frames = resample_tick(replay.get(), buffer.data());
            for (std::int32_t j = 0; j < frames; ++j) out.push_back(buffer[2 * j]);
        }
        return out;
    }
};

Frames sine(int length, double period, double level) {
    Frames frames(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        frames[i] = static_cast<std::int16_t>(
            std::lround(level * std::sin(2 * std::numbers::pi * i / period)));
    return frames;
}

// What is left of `values` beside a sine of `cycles` per frame, in dB of the
// sine's level (a least-squares fit of its sine and cosine).
double residual_db(const std::vector<std::int32_t>& values, double cycles) {
    const auto n = static_cast<int>(values.size());
    const auto wave = [&](int i, bool cosine) {
        const double x = 2 * std::numbers::pi * cycles * i;
        return cosine ? std::cos(x) : std::sin(x);
    };
    double ss = 0, sc = 0, cc = 0, vs = 0, vc = 0, rest = 0;
    for (int i = 0; i < n; ++i) {
        const double s = wave(i, false), c = wave(i, true);
        ss += s * s, sc += s * c, cc += c * c, vs += values[i] * s, vc += values[i] * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (vs * cc - vc * sc) / det, b = (vc * ss - vs * sc) / det;
    for (int i = 0; i < n; ++i)
        rest += std::pow(values[i] - a * wave(i, false) - b * wave(i, true), 2);
    return 10 * std::log10(rest / n / ((a * a + b * b) / 2));
}

// Calls f(std::integral_constant<std::int32_t, taps>) for every table's taps.
template <typename F, std::int32_t... counts>
void for_each_taps(std::integer_sequence<std::int32_t, counts...>, F f) {
    (f(std::integral_constant<std::int32_t, counts>{}), ...);
}

// One weighted read by the plain kernel of the table's taps.
std::int16_t weighted_value(const WeightTable& table, const std::int16_t* frame,
                            std::uint64_t fraction) {
    std::int16_t value = 0;
    for_each_taps(TableTaps{}, [&](auto taps) {
        if (table.taps == taps)
            resample_kernels::portable::weighted<taps>(frame, fraction, 0, 1, table.weights,
                                                       &value);
    });
    return value;
}

TEST(ResampleTick, ShowModeIsMixTickBitForBit) {
    const Frames frames = sine(3000, 37.5, 20000);
    for (bool interpolate : {false, true}) {
        Voice fast(frames, 1000, 2000, Resampler::show, 61),
            plain(frames, 1000, 2000, Resampler::show, 61);
        fast.replay->interpolate = plain.replay->interpolate = interpolate;
        std::vector<std::int32_t> a(int_mix_buffer_values), b(int_mix_buffer_values);
        for (int tick = 0; tick < 40; ++tick) {
            ASSERT_EQ(resample_tick(fast.replay.get(), a.data()),
                      mix_tick(plain.replay.get(), b.data()));
            ASSERT_EQ(a, b) << tick;
            ASSERT_EQ(fast.channel().position, plain.channel().position);
        }
    }
}

// Each interpolation against the stream read frame by frame from a padded
// copy, with the same weights: at the sample's start, its end, loop seams,
// loops shorter than the taps, samples shorter than the taps, high steps.
TEST(ResampleTick, EveryInterpolationReadsTheStreamAcrossEdgesAndTicks) {
    struct Case {
        int length, loop_start, loop_length, key;
        std::int32_t rate;
    };
    const Case cases[] = {{300, 300, 0, 49, 48000},   {300, 300, 0, 96, 8000},
                          {5, 5, 0, 61, 48000},       {4, 0, 4, 49, 48000},
                          {4, 0, 4, 96, 8000},        {400, 100, 200, 73, 8000},
                          {400, 100, 200, 61, 48000}, {40, 20, 16, 85, 8000},
                          {3000, 3000, 0, 49, 8000},  {3000, 1000, 2000, 61, 8000}};
    std::mt19937 random(5);
    for (const Case& c : cases) {
        Frames frames(static_cast<std::size_t>(c.length));
        for (auto& f : frames)
            f = static_cast<std::int16_t>(static_cast<int>(random() % 60001) - 30000);
        for (Resampler resampler : interpolations) {
            Voice voice(frames, c.loop_start, c.loop_length, resampler, c.key, c.rate);
            const std::vector<std::int32_t> out = voice.left(12);
            // The stream, from `pad` frames before frame 0.
            const int pad = 64, end = c.loop_start + c.loop_length;
            Frames stream(pad, 0);
            const std::size_t total = out.size() * ((voice.step() >> 32) + 1) + 4 * pad;
            for (int i = 0; stream.size() < total; ++i) {
                const int at =
                    i < end ? i : c.loop_start + (i - c.loop_start) % std::max(c.loop_length, 1);
                stream.push_back(i < end || c.loop_length > 0 ? frames[at] : std::int16_t{0});
            }
            const WeightTable& table =
                resampler == Resampler::cubic ? cubic_table() : sinc_table(voice.step());
            // Weighted reads are at half scale, their gains doubled.
            const std::int32_t gain =
                ((255 - voice.channel().balance) * voice.channel().amplitude >> 8) *
                (resampler >= Resampler::cubic ? 2 : 1);
            for (std::size_t n = 64; n < out.size(); ++n) {
                const std::uint64_t at = voice.step() * n;
                const std::int16_t* frame = stream.data() + pad + (at >> 32);
                std::int16_t value = *frame;
                if (resampler == Resampler::linear)
                    resample_kernels::linear(frame, at & 0xFFFFFFFF, 0, 1, &value);
                if (resampler >= Resampler::cubic)
                    value = weighted_value(table, frame, at & 0xFFFFFFFF);
                if (c.loop_length == 0 && (at >> 32) >= std::uint64_t(c.length)) value = 0;
                ASSERT_EQ(out[n], (value * gain) >> 15)
                    << "case " << &c - cases << ", resampler " << int(resampler) << ", frame " << n;
            }
        }
    }
}

TEST(ResampleTick, LoopedSineComesOutCleanAtItsPitchAndMovesOnAsCounted) {
    // Four periods of 50 frames in the loop; ticks of 960 frames.
    const double floor_db[] = {-25, -60, -75, -70};
    for (Resampler resampler : interpolations) {
        Voice voice(sine(200, 50, 20000), 0, 200, resampler);
        const std::vector<std::int32_t> out = voice.left(50);
        const std::vector<std::int32_t> settled(out.begin() + 960, out.end());
        const double cycles = double(voice.step()) / 4294967296.0 / 50;
        EXPECT_LT(residual_db(settled, cycles), floor_db[int(resampler) - 1]) << int(resampler);
        const std::uint64_t at = voice.step() * 50 * 960;
        const Channel& c = voice.channel();
        EXPECT_EQ(std::tuple(c.position, c.fraction, c.fraction_low),
                  std::tuple((at >> 32) % 200, (at >> 17) & 32767, at & 0x1FFFF));
    }
}

TEST(ResampleTick, SincKeepsOutTonesPastTheOutputNyquistAndPassesTheBandBelow) {
    // At 8000 Hz keys 52, 61 and 73 play about 1.23, 2.07 and 4.1 sample
    // frames per output frame (the tables up to 1.25, 2.5 and 4). Levels
    // are against a tone of a 200-frame period, which every table passes.
    const auto level_db = [](int key, double period, Resampler resampler) {
        const auto power = [&](double of) {
            Voice voice(sine(1000, of, 20000), 0, 1000, resampler, key, 8000);
            const std::vector<std::int32_t> out = voice.left(40);
            double sum = 0;
            for (auto i = out.begin() + 200; i != out.end(); ++i) sum += double(*i) * *i;
            return sum;
        };
        return 10 * std::log10(power(period) / power(200));
    };
    EXPECT_GT(level_db(73, 5, Resampler::nearest), -1); // far above: aliased unfiltered
    EXPECT_LT(level_db(73, 5, Resampler::sinc), -60);
    EXPECT_LT(level_db(61, 20.0 / 9, Resampler::sinc), -60);
    EXPECT_NEAR(level_db(52, 5, Resampler::sinc), 0, 0.1);        // half the output band
    EXPECT_NEAR(level_db(52, 10.0 / 3, Resampler::sinc), 0, 1.0); // 0.74 of it
}

#if defined(GRIDSHOW_SSE2_KERNELS)
TEST(ResampleKernels, Sse2AndPortableWeightedReadsAgree) {
    std::mt19937 random(3);
    Frames frames(1400 * 4 + 200);
    for (int round = 0; round < 200; ++round) {
        // Full-scale alternation makes the sinc overshoot: saturation counts.
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i] = round % 2 ? std::int16_t(i % 2 ? 32767 : -32768) : std::int16_t(random());
        for_each_taps(TableTaps{}, [&](auto taps) {
            const WeightTable& table =
                taps == 4 ? cubic_table() : sinc_table(std::uint64_t(taps) << 29);
            ASSERT_EQ(table.taps, taps);
            const auto count = static_cast<std::int32_t>(random() % 300);
            const std::uint64_t step = (std::uint64_t(random()) << 2) | (random() & 3),
                                at = random();
            Frames plain(count), wide(count);
            resample_kernels::portable::weighted<taps>(frames.data() + 64, at, step, count,
                                                       table.weights, plain.data());
            resample_kernels::sse2::weighted<taps>(frames.data() + 64, at, step, count,
                                                   table.weights, wide.data());
            ASSERT_EQ(plain, wide) << taps << " taps, " << count << " frames";
        });
    }
}
#endif

} // namespace
