#include "base/alloc.h"
#include "player/sample_prep.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

// The prepared frames, the extra element included.
std::vector<std::int16_t> prepare(const std::vector<std::uint8_t>& bytes, SampleSource source,
                                  Sample& sample) {
    source.bytes = bytes.data();
    source.length = bytes.size();
    EXPECT_TRUE(prepare_sample(sample, source));
    std::vector<std::int16_t> frames(sample.data,
                                     sample.data + sample.loop_start + sample.loop_length + 1);
    mem_free(sample.data);
    return frames;
}

} // namespace

// Unsigned, 16-bit and stereo data are checked through the S3M and XM
// loaders; what only shows here is how deltas wrap.
TEST(SamplePrep, AddsDeltasWithTheWrapOfTheStoredWidth) {
    Sample sample{};
    SampleSource source{nullptr, 0};
    source.frames = 3;
    source.delta = true;
    // 0x7F + 0x01 is -128, and -128 + 0xFF is 127.
    EXPECT_EQ(prepare({0x7F, 0x01, 0xFF}, source, sample),
              (std::vector<std::int16_t>{32512, -32768, 32512, 0}));
    source.bytes_per_value = 2;
    source.channels = 2;
    EXPECT_EQ(stored_bytes(source), 12u);
}

TEST(SamplePrep, WritesLoopsOutForwards) {
    const std::vector<std::uint8_t> ramp = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Sample sample{};
    SampleSource source{nullptr, 0};
    source.frames = 10;
    source.loop_start = 2;
    source.loop_length = 5;
    // Forward: frames past the loop end are left out, the extra element
    // repeats the loop start.
    std::vector<std::int16_t> frames = prepare(ramp, source, sample);
    EXPECT_EQ(sample.loop_start, 2);
    EXPECT_EQ(sample.loop_length, 5);
    EXPECT_EQ(frames, (std::vector<std::int16_t>{0, 256, 512, 768, 1024, 1280, 1536, 512}));
    // Ping-pong turns at the loop's edges: 2 3 4 5 6 6 5 4 3 2.
    source.ping_pong = true;
    frames = prepare(ramp, source, sample);
    EXPECT_EQ(sample.loop_length, 10);
    for (auto& frame : frames) frame = static_cast<std::int16_t>(frame / 256);
    EXPECT_EQ(frames, (std::vector<std::int16_t>{0, 1, 2, 3, 4, 5, 6, 6, 5, 4, 3, 2, 2}));
    // A loop shorter than 4 frames is repeated until it is not.
    source.ping_pong = false;
    source.loop_length = 3;
    frames = prepare(ramp, source, sample);
    EXPECT_EQ(sample.loop_length, 6);
    for (auto& frame : frames) frame = static_cast<std::int16_t>(frame / 256);
    EXPECT_EQ(frames, (std::vector<std::int16_t>{0, 1, 2, 3, 4, 2, 3, 4, 2}));
}

TEST(SamplePrep, KeepsToTheDataThatIsThere) {
    Sample sample{};
    SampleSource source{nullptr, 0};
    source.frames = 0xFFFFFFFFu;
    source.loop_start = 2;
    source.loop_length = 100;
    // Four frames held of billions announced: the loop ends with the data.
    std::vector<std::int16_t> frames = prepare({1, 2, 3, 4}, source, sample);
    EXPECT_EQ(frames.size(), 7u);
    EXPECT_EQ(sample.loop_start, 2);
    EXPECT_EQ(sample.loop_length, 2 * 2); // 2 frames, repeated
    // A loop starting past the data plays the sample once.
    source.loop_start = 7;
    frames = prepare({1, 2, 3, 4}, source, sample);
    EXPECT_EQ(sample.loop_start, 4);
    EXPECT_EQ(sample.loop_length, 0);
    // Data starting past the end gives an empty sample of one silent element.
    source.offset = 100;
    EXPECT_EQ(prepare({1, 2, 3, 4}, source, sample), std::vector<std::int16_t>{0});
    EXPECT_EQ(sample.loop_start, 0);
}
