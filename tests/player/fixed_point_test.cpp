#include "player/fixed_point.h"
#include <cmath>
#include <gtest/gtest.h>

namespace {

// The Amiga-scale period of a key with fine tune, as the channels compute it.
std::int32_t amiga_period(std::int32_t key, std::int32_t fine_tune) {
    const std::int32_t q = key * 64 + (fine_tune >> 1);
    return 29021 * fixed_exp2((q * 32768) / -768) >> 15;
}

} // namespace

TEST(Pow2Table, HoldsTwoToEachStepRounded) {
    for (int i = 0; i <= 128; ++i) {
        EXPECT_EQ(32768 + pow2_table[i], std::lround(32768.0 * std::exp2(i / 128.0))) << i;
    }
    EXPECT_EQ(pow2_table[0], 0);
    EXPECT_EQ(pow2_table[128], 32768);
}

TEST(FixedExp2, DoublesPerOctaveAndInterpolatesBetweenTableSteps) {
    EXPECT_EQ(fixed_exp2(0), 32768);
    EXPECT_EQ(fixed_exp2(32768), 65536);
    EXPECT_EQ(fixed_exp2(-32768), 16384);
    EXPECT_EQ(fixed_exp2(16384), 46341);
    EXPECT_EQ(fixed_exp2(-16384), 23170);
    EXPECT_EQ(fixed_exp2(128), 32768 + (128 * (32946 - 32768) >> 8));
    EXPECT_EQ(fixed_exp2(15 * 32768), 1 << 30);
    EXPECT_EQ(fixed_exp2(-15 * 32768), 1);
    EXPECT_EQ(fixed_exp2(-16 * 32768), 0);
    // Within the supported octaves the result never falls as x grows.
    std::int32_t previous = 0;
    for (std::int32_t x = -16 * 32768; x < 16 * 32768; x += 97) {
        const std::int32_t value = fixed_exp2(x);
        ASSERT_GE(value, previous) << x;
        previous = value;
    }
}

TEST(FixedExp2, StaysDefinedBeyondTheSupportedOctaves) {
    EXPECT_EQ(fixed_exp2(-17 * 32768), 0);
    EXPECT_EQ(fixed_exp2(INT32_MIN), 0);
    EXPECT_EQ(fixed_exp2(16 * 32768), INT32_MAX);
    EXPECT_EQ(fixed_exp2(INT32_MAX), INT32_MAX);
}

TEST(FixedLog2, FindsTheSmallestPowerThatReachesItsArgument) {
    EXPECT_EQ(fixed_log2(32768), 0);
    EXPECT_EQ(fixed_log2(65536), 32768);
    EXPECT_EQ(fixed_log2(16384), -32768);
    for (std::int32_t a : {1, 126, 127, 1000, 7732, 32767, 32769, 100000, 1 << 30}) {
        const std::int32_t r = fixed_log2(a);
        EXPECT_GE(fixed_exp2(r), a) << a;
        EXPECT_LT(fixed_exp2(r - 1), a) << a;
    }
}

TEST(FixedExp2, GivesTheAmigaPeriodsOfKeys) {
    EXPECT_EQ(amiga_period(49, 0), 1711);
    EXPECT_EQ(amiga_period(61, 0), 855);
    EXPECT_EQ(amiga_period(1, 0), 27392);
    EXPECT_EQ(8287 * 1712 / amiga_period(49, 0), 8291);
    EXPECT_EQ(8287 * 1712 / amiga_period(61, 0), 16593);
    EXPECT_EQ(8287 * 1712 / amiga_period(1, 0), 517);
    // One octave up halves the period; fine tune lowers it a little.
    EXPECT_NEAR(amiga_period(37, 0), 2 * amiga_period(49, 0), 2);
    EXPECT_LT(amiga_period(49, 112), amiga_period(49, 0));
    EXPECT_GT(amiga_period(49, -128), amiga_period(49, 0));
}
