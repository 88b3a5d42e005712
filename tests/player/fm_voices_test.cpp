// S3M AdLib channels on the FM chip, as the replay drives it: notes at their
// pitch and level on AdLib channels only, key-off, retrigger, new notes,
// volumes, restarts and allocation failures.
#include "base/alloc_faults.h"
#include "player/mixer.h"
#include "player/resampler.h"
#include "player/sequencer.h"
#include "tests/player/load_any.h"
#include "tests/player/s3m_builder.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

constexpr std::uint8_t c4 = 0x40, cut = 254;
constexpr std::uint8_t Q = 17, V = 22;

// A sine from the carrier at full level; the modulator at its quietest. Held
// while the key is down (`sustained`) or decaying; releasing fast.
std::array<std::uint8_t, 12> sine_patch(bool sustained) {
    const std::uint8_t kind = sustained ? 0x21 : 0x01;
    const std::uint8_t carrier_sustain = sustained ? 0x0F : 0xFF;
    return {kind, kind, 0x3F, 0x00, 0xF0, 0xF6, 0x0F, carrier_sustain, 0, 0, 0, 0};
}

// AdLib channel 1 and a sample channel; instrument 1 AdLib, 2 a looped sample.
S3mBuilder song(std::vector<S3mCell> cells, bool sustained = true) {
    S3mBuilder b;
    b.channels = {16, 0};
    std::fill(b.channels.begin() + 2, b.channels.end(), 255);
    b.patterns = {std::move(cells), {}};
    b.orders = {0, 1};
    b.samples.resize(2);
    b.samples[0].type = 2;
    b.samples[0].fm_patch = sine_patch(sustained);
    b.samples[1].frames = b.samples[1].loop_end = 64;
    b.samples[1].flags = 1;
    b.samples[1].data.assign(64, 0xF0);
    return b;
}

struct Render {
    AnyModulePtr module;
    Replay* replay;
    std::vector<std::int32_t> frames; // interleaved stereo, all ticks so far

    explicit Render(const S3mBuilder& b)
        : module(load_any(b.build())), replay(new_replay(module.get(), 48000, false)) {
        replay->resampler = Resampler::linear;
    }
    Render(const Render&) = delete;
    Render& operator=(const Render&) = delete;
    ~Render() { replay_dispose(replay); }

    // Renders `ticks` ticks; returns the first frame they start at.
    std::size_t ticks(int ticks) {
        const std::size_t start = frames.size() / 2;
        std::vector<std::int32_t> buffer(mix_buffer_values(48000));
        for (int t = 0; t < ticks; ++t) {
            const std::int32_t n = resample_tick(replay, buffer.data());
            frames.insert(frames.end(), buffer.begin(), buffer.begin() + 2 * n);
        }
        return start;
    }
    // The largest magnitude from frame `from` on, on the left side.
    std::int32_t peak(std::size_t from, std::size_t count = 2000) const {
        std::int32_t most = 0;
        for (std::size_t i = from; i < std::min(from + count, frames.size() / 2); ++i)
            most = std::max(most, std::abs(frames[2 * i]));
        return most;
    }
};

// The left side's pitch over `count` frames from `from`: whole cycles
// between the first and the last rising zero crossing.
double pitch(const Render& r, std::size_t from, std::size_t count) {
    std::size_t first = 0, last = 0;
    int rises = 0;
    for (std::size_t i = from + 1; i < from + count; ++i) {
        if (r.frames[2 * (i - 1)] >= 0 || r.frames[2 * i] < 0) continue;
        if (rises++ == 0) first = i;
        last = i;
    }
    return rises < 2 ? 0.0 : (rises - 1) * 48000.0 / static_cast<double>(last - first);
}

} // namespace

TEST(FmVoices, PlayAdLibNotesAtTheirPitchAndLevelOnAdLibChannelsOnly) {
    Render r(song({{0, 0, c4, 1}, {1, 0, c4 + 0x10, 1}, {2, 1, c4, 1}, {3, 0, c4, 2}}));
    r.ticks(6);
    const std::size_t second = r.ticks(6);
    EXPECT_NEAR(pitch(r, 1000, 4000), 261.6, 1.0); // C-4 at C2SPD 8363
    EXPECT_NEAR(pitch(r, second + 1000, 4000), 523.3, 1.0);
    // An operator at full level peaks at 16336; the mix takes 1.13 / 4 of it,
    // on both sides alike.
    EXPECT_NEAR(r.peak(2000), 4614, 50);
    for (std::size_t i = 0; i < 4000; ++i) ASSERT_EQ(r.frames[2 * i], r.frames[2 * i + 1]);
    // An AdLib instrument on a sample channel sounds nothing: the note goes on.
    const std::size_t third = r.ticks(6);
    EXPECT_NEAR(pitch(r, third + 1000, 4000), 523.3, 1.0);
    // A sample instrument on an AdLib channel sounds nothing, and releases.
    const std::size_t fourth = r.ticks(12);
    EXPECT_EQ(r.peak(fourth + 6000, 8000), 0);
}

TEST(FmVoices, KeyOffReleasesRetriggerKeepsTheNoteANewNoteRestarts) {
    Render released(song({{0, 0, c4, 1}, {1, 0, cut, 0}}));
    released.ticks(6);
    const std::size_t after = released.ticks(12);
    EXPECT_GT(released.peak(after - 1000), 4000);
    EXPECT_GT(released.peak(after + 20, 20), 0); // a release, not a cut
    EXPECT_EQ(released.peak(after + 8000), 0);

    // A decaying note falls alike with or without Q01, and rises again with
    // a new note.
    Render plain(song({{0, 0, c4, 1}, {3, 0, c4, 1}}, false));
    Render retriggered(song({{0, 0, c4, 1, -1, Q, 1}, {1, 0, 255, 0, -1, Q, 1}}, false));
    plain.ticks(18);
    retriggered.ticks(18);
    const std::size_t end = 18 * 960 - 2000;
    EXPECT_LT(plain.peak(end), plain.peak(0) / 2);
    EXPECT_EQ(std::vector<std::int32_t>(plain.frames.begin(), plain.frames.begin() + 2 * end),
              std::vector<std::int32_t>(retriggered.frames.begin(),
                                        retriggered.frames.begin() + 2 * end));
    const std::size_t again = plain.ticks(2);
    EXPECT_GT(plain.peak(again + 200), 4000);
}

TEST(FmVoices, VolumesScaleTheTotalLevelAndRestartsSilenceTheChip) {
    // Volume 32 and global volume 32 each take 31 level steps of 0.75 dB.
    Render loud(song({{0, 0, c4, 1}}));
    Render soft(song({{0, 0, c4, 1, 32}}));
    Render global(song({{0, 0, c4, 1, -1, V, 32}}));
    for (Render* r : {&loud, &soft, &global}) r->ticks(6);
    const double step = std::pow(10.0, -31 * 0.75 / 20);
    EXPECT_NEAR(soft.peak(2000), loud.peak(2000) * step, 20);
    EXPECT_NEAR(global.peak(2000), loud.peak(2000) * step, 20);

    start_sequence_at(loud.replay, 1);
    const std::size_t restarted = loud.ticks(1);
    EXPECT_EQ(loud.peak(restarted), 0);
}

TEST(FmVoices, NewReplayReleasesEverythingWhenTheChipsAllocationFails) {
    AnyModulePtr module = load_any(song({{0, 0, c4, 1}}).build());
    for (std::uint64_t n = 1; n <= 4; ++n) {
        mem_fail_nth_allocation(n);
        EXPECT_EQ(new_replay(module.get(), 48000, false), nullptr) << n;
    }
    mem_fail_nth_allocation(0);
    Replay* replay = new_replay(module.get(), 48000, false);
    EXPECT_NE(replay->fm_chip, nullptr);
    replay_dispose(replay);
}
