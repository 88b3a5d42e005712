// The show's clocks and the slide easing.
#include "show/show_state.h"
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(EaseOutBounce, HitsItsKnownValues) {
    EXPECT_EQ(ease_out_bounce(0.0f), 0.0f);
    EXPECT_EQ(ease_out_bounce(0.5f), 0.765625f);
    EXPECT_EQ(ease_out_bounce(1.0f), 1.0f);
    // Continuous where one arc hands over to the next: the top, 1, on both sides.
    for (float edge : {0.36363637f, 0.72727275f, 0.90909094f}) {
        EXPECT_NEAR(ease_out_bounce(edge), 1.0f, 1e-5) << edge;
        EXPECT_NEAR(ease_out_bounce(std::nextafter(edge, 0.0f)), 1.0f, 1e-5) << edge;
    }
    // The bottoms of the three bounces.
    EXPECT_NEAR(ease_out_bounce(0.54545456f), 0.75f, 1e-6);
    EXPECT_NEAR(ease_out_bounce(0.8181818f), 0.9375f, 1e-6);
    EXPECT_NEAR(ease_out_bounce(0.95454544f), 0.984375f, 1e-6);
}

TEST(EaseOutBounce, StaysWithinZeroAndOne) {
    for (int i = 0; i <= 1000; ++i) {
        const float e = ease_out_bounce(static_cast<float>(i) / 1000.0f);
        EXPECT_GE(e, 0.0f);
        EXPECT_LE(e, 1.0f + 1e-6f);
    }
}

TEST(ShowClocks, BlinkFlipsTwelveAndThirteenTicksApart) {
    ShowState show{};
    std::vector<int> flips;
    std::uint64_t last = show.blink_frame;
    for (int tick = 1; tick <= 75; ++tick) {
        advance_show_clocks(show);
        if (show.blink_frame != last) flips.push_back(tick);
        last = show.blink_frame;
        EXPECT_EQ(show.bob_offset, 4 * static_cast<std::int32_t>(show.blink_frame));
    }
    EXPECT_EQ(flips, (std::vector<int>{13, 25, 38, 50, 63, 75}));
}

TEST(ShowClocks, AdvanceEveryMotionByOneTick) {
    ShowState show{};
    show.banner_picture_x = 25.0f;
    advance_show_clocks(show);
    EXPECT_EQ(show.effect_time, 0.016f);
    EXPECT_EQ(show.banner_scroll, 0.032f);
    EXPECT_EQ(show.banner_picture_x, 25.0f - 0.046400003f);
    EXPECT_EQ(show.blink_time, 0.016f);
    // The phase clocks belong to the phases.
    EXPECT_EQ(show.phase_time, 0.0f);
    EXPECT_EQ(show.slide_time, 0.0f);
}

} // namespace
