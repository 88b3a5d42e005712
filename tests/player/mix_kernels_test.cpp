// The mixer's SSE2 loops against their plain versions, which any other CPU
// (and the browser build) plays with: on random data, at every length, the
// two must agree bit for bit.
#include "player/mix_kernels.h"
#include <climits>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

#if defined(GRIDSHOW_SSE2_KERNELS)
namespace portable = mix_kernels::portable;
namespace sse2 = mix_kernels::sse2;

std::mt19937 random_source(11);

template <typename Value> std::vector<Value> random_values(std::size_t count, int low, int high) {
    std::vector<Value> values(count);
    for (Value& value : values)
        value = static_cast<Value>(std::uniform_int_distribution<int>(low, high)(random_source));
    return values;
}

TEST(MixKernels, AddVoicesAgreeForEveryVoiceCountLengthAndMode) {
    for (int round = 0; round < 400; ++round) {
        const std::int32_t voices = round % (mix_kernels::max_voices + 1);
        const auto count = random_values<std::int32_t>(1, 0, 2048)[0];
        std::vector<std::int16_t> samples[mix_kernels::max_voices];
        const std::int16_t* values[mix_kernels::max_voices] = {};
        mix_kernels::Gains gains[mix_kernels::max_voices] = {};
        for (std::int32_t v = 0; v < voices; ++v) {
            samples[v] = random_values<std::int16_t>(std::size_t(count), -32768, 32767);
            values[v] = samples[v].data();
            const auto pair = random_values<std::int32_t>(2, -16383, 16383);
            gains[v] = {pair[0], pair[1]};
        }
        auto plain = random_values<std::int32_t>(2 * std::size_t(count), -(1 << 24), 1 << 24);
        auto wide = plain;
        portable::add_voices(values, gains, voices, count, plain.data(), round % 2 == 0);
        sse2::add_voices(values, gains, voices, count, wide.data(), round % 2 == 0);
        ASSERT_EQ(plain, wide) << voices << " voices, " << count << " frames";
    }
}

TEST(MixKernels, DownsampleAndSaturatedCopyAgreeAtEveryLength) {
    for (std::int32_t count = 0; count < 300; ++count) {
        // The filter reads two input frames per output frame and one more.
        auto plain = random_values<std::int32_t>(4 * std::size_t(count) + 4, -(1 << 28), 1 << 28);
        auto wide = plain;
        portable::downsample(plain.data(), count);
        sse2::downsample(wide.data(), count);
        ASSERT_EQ(plain, wide) << count;

        auto from = random_values<std::int32_t>(std::size_t(count), INT_MIN, INT_MAX);
        const std::int32_t edges[] = {INT_MIN, -32769, -32768, -32767, 32766, 32767, 32768};
        for (std::size_t i = 0; i < from.size(); i += 3) from[i] = edges[i % std::size(edges)];
        std::vector<std::int16_t> plain_copy(from.size());
        std::vector<std::int16_t> wide_copy(from.size());
        portable::copy_saturated(from.data(), plain_copy.data(), from.size());
        sse2::copy_saturated(from.data(), wide_copy.data(), from.size());
        ASSERT_EQ(plain_copy, wide_copy) << count;
    }
}
#else
TEST(MixKernels, OnlyThePlainLoopsExistOnThisCpu) {
    GTEST_SKIP() << "no SSE2 to compare with";
}
#endif

} // namespace
