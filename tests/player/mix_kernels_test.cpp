// The mixer's SSE2 loops against their plain versions on random data: the
// plain ones are what any other CPU (and the browser build) plays with, so
// the two must agree bit for bit, at every length, not only multiples of 8.
#include "player/mix_kernels.h"
#include <climits>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

#if defined(__SSE2__)
namespace portable = mix_kernels::portable;
namespace sse2 = mix_kernels::sse2;

std::mt19937 random_source(11);

std::int32_t between(std::int32_t low, std::int32_t high) {
    return std::uniform_int_distribution<std::int32_t>(low, high)(random_source);
}

std::vector<std::int32_t> random_values(std::size_t count, std::int32_t low, std::int32_t high) {
    std::vector<std::int32_t> values(count);
    for (auto& value : values) value = between(low, high);
    return values;
}

TEST(MixKernels, AddVoicesAgreeForEveryVoiceCountLengthAndMode) {
    for (int round = 0; round < 400; ++round) {
        const std::int32_t voices = round % (mix_kernels::max_voices + 1);
        const std::int32_t count = between(0, 2048);
        const bool overwrite = round % 2 == 0;
        std::vector<std::int16_t> samples[mix_kernels::max_voices];
        const std::int16_t* values[mix_kernels::max_voices] = {};
        mix_kernels::Gains gains[mix_kernels::max_voices] = {};
        for (std::int32_t v = 0; v < voices; ++v) {
            for (std::int32_t value : random_values(std::size_t(count), -32768, 32767))
                samples[v].push_back(static_cast<std::int16_t>(value));
            values[v] = samples[v].data();
            gains[v] = {between(0, 16383), between(0, 16383)};
        }
        std::vector<std::int32_t> plain = random_values(2 * std::size_t(count), -1 << 24, 1 << 24);
        std::vector<std::int32_t> wide = plain;
        portable::add_voices(values, gains, voices, count, plain.data(), overwrite);
        sse2::add_voices(values, gains, voices, count, wide.data(), overwrite);
        ASSERT_EQ(plain, wide) << voices << " voices, " << count << " frames";
    }
}

TEST(MixKernels, DownsampleAgreesAtEveryLength) {
    for (std::int32_t frames = 0; frames < 300; ++frames) {
        // The filter reads two input frames per output frame and one more.
        std::vector<std::int32_t> plain =
            random_values(4 * std::size_t(frames) + 4, -(1 << 28), 1 << 28);
        std::vector<std::int32_t> wide = plain;
        portable::downsample(plain.data(), frames);
        sse2::downsample(wide.data(), frames);
        ASSERT_EQ(plain, wide) << frames;
    }
}

TEST(MixKernels, CopySaturatedAgreesOnTheWholeRangeAndItsEdges) {
    const std::int32_t edges[] = {INT_MIN, -40000, -32769, -32768, -32767, -1,
                                  0,       32766,  32767,  32768,  40000,  INT_MAX};
    for (std::size_t count = 0; count < 300; ++count) {
        std::vector<std::int32_t> from = random_values(count, INT_MIN, INT_MAX);
        for (std::size_t i = 0; i < count; i += 3) from[i] = edges[i % std::size(edges)];
        std::vector<std::int16_t> plain(count);
        std::vector<std::int16_t> wide(count);
        portable::copy_saturated(from.data(), plain.data(), count);
        sse2::copy_saturated(from.data(), wide.data(), count);
        ASSERT_EQ(plain, wide) << count;
    }
}
#else
TEST(MixKernels, OnlyThePlainLoopsExistOnThisCpu) {
    GTEST_SKIP() << "no SSE2 to compare with";
}
#endif

} // namespace
