// S3M AdLib channels on the FM chip, as the replay drives it: notes at their
// pitch and level on AdLib channels only, key-off, retrigger, new notes,
// volumes, restarts and allocation failures.
#include "base/alloc_faults.h"
#include "tests/player/rules_driver.h"
#include "tests/player/s3m_builder.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr std::uint8_t c4 = 0x40, cut = 254;
constexpr std::uint8_t Q = 17, V = 22;

// AdLib channel 1 and a sample channel. Instrument 1 is AdLib: a sine from the
// carrier at full level, the modulator at its quietest, held while the key is
// down (`sustained`) or decaying, releasing fast; 2 is a looped sample.
std::vector<std::uint8_t> song(std::vector<S3mCell> cells, bool sustained = true) {
    S3mBuilder b;
    b.channels = {16, 0};
    std::fill(b.channels.begin() + 2, b.channels.end(), 255);
    b.patterns = {std::move(cells), {}};
    b.orders = {0, 1};
    b.samples.resize(2);
    b.samples[0].type = 2;
    const auto kind = std::uint8_t(sustained ? 0x21 : 0x01);
    const auto carrier_sustain = std::uint8_t(sustained ? 0x0F : 0xFF);
    b.samples[0].fm_patch = {kind, kind, 0x3F, 0, 0xF0, 0xF6, 0x0F, carrier_sustain, 0, 0, 0, 0};
    b.samples[1].frames = b.samples[1].loop_end = 64;
    b.samples[1].flags = 1;
    b.samples[1].data.assign(64, 0xF0);
    return b.build();
}

// The largest magnitude from frame `from` on, on the left side.
std::int32_t peak(const RulesDriver& r, std::size_t from, std::size_t count = 2000) {
    std::int32_t most = 0;
    for (std::size_t i = from; i < std::min(from + count, r.frames.size() / 2); ++i)
        most = std::max(most, std::abs(r.frames[2 * i]));
    return most;
}

// The left side's pitch over 4000 frames from `from`: whole cycles between
// the first and the last rising zero crossing.
double pitch(const RulesDriver& r, std::size_t from) {
    std::size_t first = 0, last = 0;
    int rises = 0;
    for (std::size_t i = from + 1; i < from + 4000; ++i) {
        if (r.frames[2 * (i - 1)] >= 0 || r.frames[2 * i] < 0) continue;
        if (rises++ == 0) first = i;
        last = i;
    }
    return rises < 2 ? 0.0 : (rises - 1) * 48000.0 / static_cast<double>(last - first);
}

} // namespace

TEST(FmVoices, PlayAdLibNotesAtTheirPitchAndLevelOnAdLibChannelsOnly) {
    RulesDriver r(song({{0, 0, c4, 1}, {1, 0, c4 + 0x10, 1}, {2, 1, c4, 1}, {3, 0, c4, 2}}));
    r.render(6);
    const std::size_t second = r.render(6);
    EXPECT_NEAR(pitch(r, 1000), 261.6, 1.0); // C-4 at C2SPD 8363
    EXPECT_NEAR(pitch(r, second + 1000), 523.3, 1.0);
    // An operator at full level peaks at 16336; the mix takes 1.13 / 4 of it,
    // on both sides alike.
    EXPECT_NEAR(peak(r, 2000), 4614, 50);
    for (std::size_t i = 0; i < 4000; ++i) ASSERT_EQ(r.frames[2 * i], r.frames[2 * i + 1]);
    // An AdLib instrument on a sample channel sounds nothing: the note goes on.
    EXPECT_NEAR(pitch(r, r.render(6) + 1000), 523.3, 1.0);
    // A sample instrument on an AdLib channel sounds nothing, and releases.
    EXPECT_EQ(peak(r, r.render(12) + 6000, 8000), 0);
}

TEST(FmVoices, KeyOffReleasesRetriggerKeepsTheNoteANewNoteRestarts) {
    RulesDriver released(song({{0, 0, c4, 1}, {1, 0, cut, 0}}));
    released.render(6);
    const std::size_t after = released.render(12);
    EXPECT_GT(peak(released, after - 1000), 4000);
    EXPECT_GT(peak(released, after + 20, 20), 0); // a release, not a cut
    EXPECT_EQ(peak(released, after + 8000), 0);

    // A decaying note falls alike with or without Q01, and rises again with
    // a new note.
    RulesDriver plain(song({{0, 0, c4, 1}, {3, 0, c4, 1}}, false));
    RulesDriver retriggered(song({{0, 0, c4, 1, -1, Q, 1}, {1, 0, 255, 0, -1, Q, 1}}, false));
    plain.render(18);
    retriggered.render(18);
    const std::size_t end = 18 * 960 - 2000;
    EXPECT_LT(peak(plain, end), peak(plain, 0) / 2);
    EXPECT_TRUE(std::equal(plain.frames.begin(), plain.frames.begin() + 2 * end,
                           retriggered.frames.begin()));
    EXPECT_GT(peak(plain, plain.render(2) + 200), 4000);
}

TEST(FmVoices, VolumesScaleTheTotalLevelAndRestartsSilenceTheChip) {
    // Volume 32 and global volume 32 each take 31 level steps of 0.75 dB.
    RulesDriver loud(song({{0, 0, c4, 1}}));
    const std::int32_t full = peak(loud, loud.render(6) + 2000);
    for (const S3mCell& soft : {S3mCell{0, 0, c4, 1, 32}, S3mCell{0, 0, c4, 1, -1, V, 32}}) {
        RulesDriver r(song({soft}));
        EXPECT_NEAR(peak(r, r.render(6) + 2000), full * std::pow(10.0, -31 * 0.75 / 20), 20);
    }
    start_sequence_at(loud.replay, 1);
    EXPECT_EQ(peak(loud, loud.render(1)), 0);
}

TEST(FmVoices, NewReplayReleasesEverythingWhenTheChipsAllocationFails) {
    AnyModulePtr module = load_any(song({{0, 0, c4, 1}}));
    for (std::uint64_t n = 1; n <= 5; ++n) {
        mem_fail_nth_allocation(n);
        EXPECT_EQ(new_replay(module.get(), 48000, false), nullptr) << n;
    }
    mem_fail_nth_allocation(0);
    Replay* replay = new_replay(module.get(), 48000, false);
    EXPECT_NE(replay->fm_chip, nullptr);
    replay_dispose(replay);
}
