// The headless host's audio sink on the virtual clock: 48000 frames per second,
// blocks back to back, a dry queue resuming at the next submission, and a
// record of every played sample that can be saved as WAV.
#include "platform/headless/headless_audio.h"
#include "platform/host.h"
#include "tests/platform/pcm_block.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::int16_t> played() {
    std::uint64_t count = 0;
    const std::int16_t* samples = headless_audio_played(&count);
    return {samples, samples + count};
}

// Moves the virtual clock to `when_us` through the host's own wait.
void wait_until(std::uint64_t when_us) {
    while (host_time_us() < when_us) host_wait_until(when_us);
}

class HeadlessAudio : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host_audio_open()); }
    void TearDown() override {
        host_audio_reset();
        host_audio_close();
    }
};

} // namespace

TEST_F(HeadlessAudio, ABlockCompletesWhenItsFramesHavePlayedAtTheOutputRate) {
    PcmBlock block(4800, 0);
    const std::uint64_t start_us = host_time_us();
    host_audio_submit(&block.header);
    EXPECT_EQ(headless_audio_next_completion_us(), start_us + 100000);

    headless_audio_advance_to(start_us + 99999);
    EXPECT_TRUE(played().empty());
    EXPECT_EQ(headless_audio_next_completion_us(), start_us + 100000);

    headless_audio_advance_to(start_us + 100000);
    EXPECT_EQ(played(), block.samples);
    EXPECT_EQ(headless_audio_next_completion_us(), UINT64_MAX);
}

TEST_F(HeadlessAudio, BlocksPlayBackToBackWithoutDriftingOverALongRun) {
    // 4096 frames are 85333.33 µs; 3 × 375 of them are exactly 96 s.
    PcmBlock blocks[] = {PcmBlock(4096, 0), PcmBlock(4096, 1), PcmBlock(4096, 2)};
    const std::uint64_t start_us = host_time_us();
    std::uint64_t completions = 0;
    for (int round = 0; round < 375; ++round) {
        for (PcmBlock& block : blocks) host_audio_submit(&block.header);
        for (int i = 0; i < 3; ++i) {
            ++completions;
            const std::uint64_t exact_us =
                start_us + (completions * 4096 * 1000000 + 47999) / 48000;
            ASSERT_EQ(headless_audio_next_completion_us(), exact_us) << completions;
            wait_until(exact_us);
        }
        ASSERT_EQ(headless_audio_next_completion_us(), UINT64_MAX);
    }
    EXPECT_EQ(host_time_us() - start_us, 96000000u);
    EXPECT_EQ(played().size(), 375u * 3 * 8192);
}

TEST_F(HeadlessAudio, ADryQueueResumesPlayingWhenTheNextBlockArrives) {
    PcmBlock first(480, 0);
    PcmBlock second(480, 100);
    host_audio_submit(&first.header);
    wait_until(headless_audio_next_completion_us());
    const std::uint64_t resume_us = host_time_us() + 50000;
    wait_until(resume_us);
    host_audio_submit(&second.header);
    EXPECT_EQ(headless_audio_next_completion_us(), resume_us + 10000);
    wait_until(resume_us + 10000);
    std::vector<std::int16_t> both = first.samples;
    both.insert(both.end(), second.samples.begin(), second.samples.end());
    EXPECT_EQ(played(), both);
}

TEST_F(HeadlessAudio, AResetKeepsWhatWasPlayedOfTheCurrentBlockAndDropsTheRest) {
    PcmBlock current(4800, 0);
    PcmBlock next(4800, 0);
    host_audio_submit(&current.header);
    host_audio_submit(&next.header);
    wait_until(host_time_us() + 25000); // a quarter of the first block
    host_audio_reset();
    EXPECT_EQ(headless_audio_next_completion_us(), UINT64_MAX);
    EXPECT_EQ(played(), std::vector<std::int16_t>(current.samples.begin(),
                                                  current.samples.begin() + 1200 * 2));
}

TEST_F(HeadlessAudio, OpeningStartsANewRecordAndTheRecordSavesAsWav) {
    PcmBlock block(240, -120);
    host_audio_submit(&block.header);
    wait_until(headless_audio_next_completion_us());
    ASSERT_EQ(played().size(), 480u);

    const std::string path = "/tmp/gridshow_headless_audio_" + std::to_string(getpid()) + ".wav";
    ASSERT_TRUE(headless_audio_save_wav(path.c_str()));
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    ASSERT_EQ(bytes.size(), 44u + 960u);
    std::vector<std::int16_t> data(480);
    std::copy(bytes.begin() + 44, bytes.end(), reinterpret_cast<char*>(data.data()));
    EXPECT_EQ(data, block.samples);

    host_audio_close();
    ASSERT_TRUE(host_audio_open());
    EXPECT_TRUE(played().empty());
}
