// The effect step: drawing below a row's end, the hand-overs with their log
// lines, grid-size changes with the cut to 20, and the end of the sequence.
#include "grid/cell_grid.h"
#include "player/sequencer.h"
#include "show/effects.h"
#include "show/show_state.h"
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

struct EffectStep : ::testing::Test {
    ShowState show{};
    CellGrid grid{}; // no cell windows: the step only draws into the shades
    Replay replay{};

    void SetUp() override {
        show.phase = ShowPhase::EffectRunning;
        show.first_frame = true;
        show.home_x = 192;
        show.slide_from_x = -1536;
        show.slide_time = 5;
        grid.cols = 16;
        grid.rows = 9;
        std::memset(grid.shades.values, 77, sizeof grid.shades.values);
    }

    // One step at `order`; returns what it logged.
    std::string step_at(std::uint32_t order) {
        replay.order_counter = order;
        ::testing::internal::CaptureStderr();
        effect_step(show, grid, &replay);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(EffectStep, DrawsTheCurrentEffectBelowItsEnd) {
    const std::string log = step_at(3);
    EXPECT_EQ(log, "");
    EXPECT_EQ(show.phase, ShowPhase::EffectRunning);
    EXPECT_EQ(show.effect_index, 0u);
    EXPECT_FALSE(show.first_frame);
    EXPECT_EQ(grid.shades.values[0], 0); // the banner cleared its grid
    EXPECT_EQ(grid.shades.values[16], 77);
}

TEST_F(EffectStep, FinishedEffectIsLoggedNotDrawnAndAsksForItsSuccessorsGrid) {
    show.first_frame = false;
    EXPECT_EQ(step_at(4), "Effect 0 finished at order 4\n");
    EXPECT_EQ(grid.shades.values[0], 77);
    EXPECT_TRUE(show.first_frame);
    EXPECT_EQ(show.effect_index, 1u);
    EXPECT_EQ(show.phase, ShowPhase::GridScalingDown);
    EXPECT_EQ(show.target_cols, 5u);
    EXPECT_EQ(show.target_rows, 5u);
}

TEST_F(EffectStep, SameGridSizeHandsOverWithoutResizing) {
    grid.cols = 5;
    grid.rows = 5;
    EXPECT_EQ(step_at(4), "Effect 0 finished at order 4\n");
    EXPECT_EQ(show.phase, ShowPhase::EffectRunning);
    EXPECT_EQ(show.effect_index, 1u);
    // The next tick draws the figure as its first frame.
    EXPECT_EQ(step_at(4), "");
    EXPECT_EQ(grid.shades.values[1 * shade_stride + 2], 255);
    EXPECT_FALSE(show.first_frame);
}

TEST_F(EffectStep, CounterPassingSeveralEndsFinishesOneEffectPerStep) {
    EXPECT_EQ(step_at(6), "Effect 0 finished at order 6\n");
    EXPECT_EQ(show.effect_index, 1u);
    grid.cols = 5; // as the resize leaves it
    grid.rows = 5;
    show.phase = ShowPhase::EffectRunning;
    EXPECT_EQ(step_at(6), "Effect 1 finished at order 6\n");
    EXPECT_EQ(show.effect_index, 2u);
    EXPECT_EQ(show.target_cols, 16u);
    EXPECT_EQ(show.target_rows, 14u);
}

TEST_F(EffectStep, WantedSizeAbove20IsCutButComparedUncut) {
    show.effect_index = 2;
    grid.cols = 16;
    grid.rows = 14;
    EXPECT_EQ(step_at(7), "Effect 2 finished at order 7\n");
    EXPECT_EQ(show.phase, ShowPhase::GridScalingDown);
    EXPECT_EQ(show.target_cols, 20u);
    EXPECT_EQ(show.target_rows, 7u);

    // A 20 x 7 grid still differs from the wanted 24 x 7.
    show.effect_index = 2;
    show.phase = ShowPhase::EffectRunning;
    grid.cols = 20;
    grid.rows = 7;
    step_at(7);
    EXPECT_EQ(show.phase, ShowPhase::GridScalingDown);
    EXPECT_EQ(show.effect_index, 3u);
}

TEST_F(EffectStep, LastEffectFinishedStartsTheScrollOut) {
    show.effect_index = 3;
    grid.cols = 20;
    grid.rows = 7;
    EXPECT_EQ(step_at(9), "Effect 3 finished at order 9\nAnimation sequence finished.\n");
    EXPECT_EQ(show.phase, ShowPhase::WindowScrollingOut);
    EXPECT_EQ(show.effect_index, 3u);
    EXPECT_EQ(show.slide_time, 0.0f);
    EXPECT_EQ(show.slide_from_x, 192);
}

TEST_F(EffectStep, NoReplayStartsTheScrollOut) {
    ::testing::internal::CaptureStderr();
    effect_step(show, grid, nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "No replay or sequence ended, starting scroll out.\n");
    EXPECT_EQ(show.phase, ShowPhase::WindowScrollingOut);
    EXPECT_EQ(show.slide_from_x, 192);
    EXPECT_EQ(show.effect_index, 0u);
    EXPECT_EQ(grid.shades.values[0], 77);
}

TEST(EffectTable, EachEffectStartsWhereThePreviousEnds) {
    EXPECT_EQ(effect_table[0].first_order, 0u);
    for (int i = 1; i < effect_count; ++i)
        EXPECT_EQ(effect_table[i].first_order, effect_table[i - 1].end_order) << i;
}

TEST(EffectTable, FigureGetsAGridItCanDrawOn) {
    ASSERT_EQ(effect_table[1].kind, EffectKind::Figure);
    EXPECT_GE(effect_table[1].grid_cols, 5u);
    EXPECT_GE(effect_table[1].grid_rows, 5u);
}

} // namespace
