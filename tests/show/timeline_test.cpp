// The show timeline driving a real window on the headless host (1920 x 1080
// screen): the slide-in, the grid resize and grow-in, the window bob around a
// hand-over, the scroll-out, and a failed rebuild.
#include "base/alloc_faults.h"
#include "player/sequencer.h"
#include "show/effects.h"
#include "show/show_state.h"
#include "tests/grid/grid_fixture.h"
#include <gtest/gtest.h>

namespace {

struct Timeline : GridFixture {
    Replay replay{};
    ShowState show_state{};
    HWND main_window = nullptr;

    ShowState& show() { return show_state; }

    void SetUp() override {
        replay.order_counter = 2;
        main_window = make_parent(1536, 864);
        show_start(show(), main_window);
    }

    void tick() { show_tick(show(), grid(), &replay, main_window); }
    RECT rect() { return window_rect(main_window); }

    // Ticks until the phase differs from `phase`; returns how many it took.
    int ticks_while(ShowPhase phase) {
        int ticks = 0;
        while (show().phase == phase && ticks < 100000) {
            tick();
            ++ticks;
        }
        return ticks;
    }

    // From the start up to the first effect's EffectRunning.
    void run_to_first_effect() {
        ticks_while(ShowPhase::WindowSlidingIn);
        ticks_while(ShowPhase::GridResizing);
        ticks_while(ShowPhase::GridScalingUp);
        ASSERT_EQ(show().phase, ShowPhase::EffectRunning);
    }
};

TEST_F(Timeline, StartPlacesTheWindowBeyondTheLeftEdge) {
    EXPECT_EQ(show().home_x, 192);
    EXPECT_EQ(show().home_y, 108);
    EXPECT_EQ(show().slide_from_x, -1536);
    EXPECT_EQ(show().phase, ShowPhase::WindowSlidingIn);
    EXPECT_TRUE(show().first_frame);
    EXPECT_EQ(rect(), (RECT{-1536, 108, 0, 108 + 864}));
}

TEST_F(Timeline, SlideInReachesHomeOnIts313thTick) {
    for (int i = 1; i <= 312; ++i) tick();
    EXPECT_EQ(show().phase, ShowPhase::WindowSlidingIn);
    EXPECT_NE(rect().left, 192);
    EXPECT_EQ(rect().top, 108);
    tick();
    EXPECT_EQ(show().phase, ShowPhase::GridResizing);
    EXPECT_EQ(show().slide_time, 5.0f);
    EXPECT_EQ(rect().left, 192);
    EXPECT_EQ(show().target_cols, 16u);
    EXPECT_EQ(show().target_rows, 9u);
}

TEST_F(Timeline, ResizeThenGrowInWhileTheEffectDrawsAtDoubleSpeed) {
    ticks_while(ShowPhase::WindowSlidingIn);
    tick();
    EXPECT_EQ(show().phase, ShowPhase::GridScalingUp);
    EXPECT_EQ(grid().cell_count, 144u);
    EXPECT_TRUE(show().first_frame);
    const float effect_time = show().effect_time;
    // (16 + 9 - 2) x 0.08 + 0.6 = 2.44 s of 0.016 s ticks.
    EXPECT_EQ(ticks_while(ShowPhase::GridScalingUp), 153);
    EXPECT_EQ(show().phase, ShowPhase::EffectRunning);
    EXPECT_FALSE(show().first_frame);
    EXPECT_NEAR(show().effect_time - effect_time, 153 * 0.032f, 1e-3);
    EXPECT_NEAR(show().phase_time, 2.448f, 1e-4);
}

TEST_F(Timeline, GrowInTickWithoutMovesDrawsNothingButCanStillEnd) {
    ticks_while(ShowPhase::WindowSlidingIn);
    tick();                     // rebuild at 16 x 9
    show().phase_time = 100.0f; // every cell long finished
    tick();
    EXPECT_EQ(show().phase, ShowPhase::EffectRunning);
    EXPECT_TRUE(show().first_frame); // the renderer was not called
    for (std::uint8_t shade : grid().shades.values) ASSERT_EQ(shade, 0);
}

TEST_F(Timeline, WindowBobsWithTheBannerAndSettlesAfterTheHandOver) {
    run_to_first_effect();
    // Wait for a fresh flip to frame 1, with time to spare before the next.
    while (!(show().blink_frame == 1 && show().blink_time < 0.1f)) tick();
    EXPECT_EQ(rect().top, 112);
    EXPECT_EQ(rect().left, 192);

    replay.order_counter = 4;
    ::testing::internal::CaptureStderr();
    tick(); // hand-over: the bob follows the effect that just finished
    EXPECT_EQ(show().phase, ShowPhase::GridScalingDown);
    EXPECT_EQ(rect().top, 112);
    tick(); // the GridScalingDown tick leaves GridResizing: no bob
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Effect 0 finished at order 4\nGridScalingDown (skipping to resize)\n");
    EXPECT_EQ(show().phase, ShowPhase::GridResizing);
    EXPECT_EQ(rect().top, 108);
    tick();
    EXPECT_EQ(grid().cell_count, 25u);
    EXPECT_EQ(rect().top, 108);
}

TEST_F(Timeline, ScrollOutReachesTheScreenWidthOnIts501stTick) {
    run_to_first_effect();
    show().effect_index = 3;
    replay.order_counter = 9;
    ::testing::internal::CaptureStderr();
    tick();
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(show().phase, ShowPhase::WindowScrollingOut);
    for (int i = 1; i <= 500; ++i) tick();
    EXPECT_EQ(show().phase, ShowPhase::WindowScrollingOut);
    EXPECT_LT(rect().left, 1920);
    tick();
    EXPECT_EQ(show().phase, ShowPhase::ShowFinished);
    EXPECT_EQ(rect().left, 1920);
    EXPECT_EQ(rect().top, 108);
}

TEST_F(Timeline, FailedRebuildDestroysTheMainWindow) {
    ticks_while(ShowPhase::WindowSlidingIn);
    mem_fail_nth_allocation(1);
    tick();
    mem_fail_nth_allocation(0);
    RECT gone;
    EXPECT_FALSE(GetWindowRect(main_window, &gone));
    EXPECT_EQ(show().phase, ShowPhase::GridScalingUp);
    parent = nullptr; // already destroyed
}

} // namespace
