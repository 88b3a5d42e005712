// The WAV writer: a canonical 44-byte header with the final sizes, samples in
// little-endian order, and no file left behind when writing fails.
#include "base/wav_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string scratch_path(const char* name) {
    return "/tmp/gridshow_wav_test_" + std::to_string(getpid()) + "_" + name + ".wav";
}

std::vector<unsigned char> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t u32_at(const std::vector<unsigned char>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t u16_at(const std::vector<unsigned char>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

bool file_exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

} // namespace

TEST(WavFile, WritesTheHeaderOfStereo16BitPcmAndTheSamples) {
    const std::string path = scratch_path("whole");
    const std::int16_t samples[] = {1, -1, 32767, -32768, 0x1234, 0};
    ASSERT_TRUE(wav_write_file(path.c_str(), samples, 6, 48000, 2));
    const auto bytes = file_bytes(path);
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(u32_at(bytes, 4), 36u + 12u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32_at(bytes, 16), 16u);
    EXPECT_EQ(u16_at(bytes, 20), 1u);      // PCM
    EXPECT_EQ(u16_at(bytes, 22), 2u);      // channels
    EXPECT_EQ(u32_at(bytes, 24), 48000u);  // frames per second
    EXPECT_EQ(u32_at(bytes, 28), 192000u); // bytes per second
    EXPECT_EQ(u16_at(bytes, 32), 4u);      // bytes per frame
    EXPECT_EQ(u16_at(bytes, 34), 16u);     // bits per sample
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(u32_at(bytes, 40), 12u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(static_cast<std::int16_t>(u16_at(bytes, 44 + 2 * i)), samples[i]) << i;
    }
    std::remove(path.c_str());
}

TEST(WavFile, StreamedPiecesAddUpInTheFinalSizes) {
    const std::string path = scratch_path("streamed");
    WavFile wav;
    ASSERT_TRUE(wav_open(wav, path.c_str(), 22050, 1));
    std::vector<std::int16_t> piece(1000, 7);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(wav_append(wav, piece.data(), piece.size()));
    ASSERT_TRUE(wav_finish(wav));
    const auto bytes = file_bytes(path);
    ASSERT_EQ(bytes.size(), 44u + 6000u);
    EXPECT_EQ(u32_at(bytes, 4), 36u + 6000u);
    EXPECT_EQ(u32_at(bytes, 28), 44100u);
    EXPECT_EQ(u16_at(bytes, 32), 2u);
    EXPECT_EQ(u32_at(bytes, 40), 6000u);
    std::remove(path.c_str());
}

TEST(WavFile, LeavesNoFileBehindWhenItCannotBeFinished) {
    EXPECT_FALSE(wav_write_file("/nonexistent-directory/out.wav", nullptr, 0, 48000, 2));

    const std::string path = scratch_path("abandoned");
    WavFile wav;
    ASSERT_TRUE(wav_open(wav, path.c_str(), 48000, 2));
    const std::int16_t frame[] = {1, 2};
    wav_append(wav, frame, 2);
    wav_abandon(wav);
    EXPECT_FALSE(file_exists(path));
    EXPECT_FALSE(wav_append(wav, frame, 2)) << "an abandoned file takes nothing more";
}

TEST(WavFile, OverwritesALongerFileInPlaceAndCutsItToSize) {
    const std::string path = scratch_path("overwritten");
    std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
    const std::int16_t frames[] = {1, -1, 2, -2};
    ASSERT_TRUE(wav_write_file(path.c_str(), frames, 4, 48000, 2));
    const std::vector<unsigned char> bytes = file_bytes(path);
    ASSERT_EQ(bytes.size(), 44u + 8u);
    EXPECT_EQ(u32_at(bytes, 40), 8u);
    EXPECT_EQ(static_cast<std::int16_t>(u16_at(bytes, 46)), -1);
    std::remove(path.c_str());
}

TEST(WavFile, StreamsToAPipeWithTheLargestSizesAndNeverRemovesIt) {
    const std::string path = scratch_path("fifo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    WavFile wav;
    ASSERT_TRUE(wav_open(wav, path.c_str(), 48000, 2));
    const std::int16_t frame[] = {1, 2};
    wav_append(wav, frame, 2);
    EXPECT_TRUE(wav_finish(wav));
    std::vector<unsigned char> bytes(64);
    bytes.resize(static_cast<std::size_t>(read(reader, bytes.data(), bytes.size())));
    close(reader);
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(u32_at(bytes, 4), 0xFFFFFFFFu) << "the sizes of a stream are not known";
    EXPECT_EQ(u32_at(bytes, 40), 0xFFFFFFFFu);
    EXPECT_TRUE(file_exists(path));
    std::remove(path.c_str());
}
