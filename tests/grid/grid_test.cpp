// The cell grid on the headless host: layout, rebuilds, the grow-in and its
// failures.
#include "base/alloc_faults.h"
#include "grid/cell_grid.h"
#include "platform/core/faults.h"
#include "platform/host.h"
#include "tests/grid/grid_fixture.h"
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using CellGridTest = GridFixture;

TEST_F(CellGridTest, LaysOutCellsCentredWithLeftoverPixelsSplit) {
    HWND parent = make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);
    ASSERT_EQ(grid().cell_count, 144u);
    EXPECT_EQ(grid().cols, 16u);
    EXPECT_EQ(grid().rows, 9u);
    // cw 96, ch 92, rw 0, rh 5: ox 0, oy 2.
    const Cell& cell = grid().cells[1 * 16 + 2];
    EXPECT_EQ(cell.x, 192);
    EXPECT_EQ(cell.y, 94);
    EXPECT_EQ(cell.width, 97);
    EXPECT_EQ(cell.height, 93);
    // Born at zero size on the centre of its rectangle.
    EXPECT_EQ(window_rect(cell.window), (RECT{240, 140, 240, 140}));
    const Cell& last = grid().cells[143];
    EXPECT_EQ(last.x, 15 * 96);
    EXPECT_EQ(last.y, 8 * 92 + 2);
}

TEST_F(CellGridTest, CreatesNothingWhenCellsWouldBeThinnerThanAPixel) {
    HWND parent = make_parent(15, 20);
    EXPECT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);
    EXPECT_EQ(grid().cell_count, 0u);
    EXPECT_EQ(create_grid(grid(), parent, instance(), 15, 21), ErrorName::Ok);
    EXPECT_EQ(grid().cell_count, 0u);
    // Exactly one pixel per cell is enough.
    EXPECT_EQ(create_grid(grid(), parent, instance(), 15, 20), ErrorName::Ok);
    EXPECT_EQ(grid().cell_count, 300u);
}

TEST_F(CellGridTest, RebuildReplacesCellsAndClearsEveryShade) {
    HWND parent = make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);
    HWND old_cell = grid().cells[0].window;
    std::memset(grid().shades.values, 200, sizeof grid().shades.values);
    ASSERT_EQ(rebuild_grid(grid(), parent, 5, 5), ErrorName::Ok);
    EXPECT_EQ(grid().cell_count, 25u);
    EXPECT_EQ(grid().cols, 5u);
    EXPECT_EQ(grid().rows, 5u);
    RECT gone;
    EXPECT_FALSE(GetWindowRect(old_cell, &gone));
    for (std::uint8_t shade : grid().shades.values) ASSERT_EQ(shade, 0);
}

TEST_F(CellGridTest, OutOfMemoryWhenTheListCannotGrow) {
    HWND parent = make_parent(1536, 833);
    mem_fail_nth_allocation(1);
    EXPECT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::OutOfMemory);
    mem_fail_nth_allocation(0);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);

    // A smaller grid reuses the storage; a larger one needs new storage.
    mem_fail_nth_allocation(1);
    EXPECT_EQ(rebuild_grid(grid(), parent, 5, 5), ErrorName::Ok);
    mem_fail_nth_allocation(1);
    EXPECT_EQ(rebuild_grid(grid(), parent, 20, 20), ErrorName::OutOfMemory);
    mem_fail_nth_allocation(0);
}

TEST_F(CellGridTest, GrowInRunsAlongTheDiagonals) {
    HWND parent = make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);
    const GrowInStep step = grow_in_step(grid(), 0.3f);
    // Diagonals 0..3 grow (1 + 2 + 3 + 4 cells); diagonal 4 has l = -0.02.
    EXPECT_EQ(step.moved, 10u);
    EXPECT_FALSE(step.finished);
    // Cell (0, 0): u = 0.5, s = 0.96875: 94 x 91, centred on (0, 2) 97 x 93.
    EXPECT_EQ(window_rect(grid().cells[0].window), (RECT{1, 3, 95, 94}));
    const Cell& waiting = grid().cells[0 * 16 + 4];
    EXPECT_EQ(window_rect(waiting.window), (RECT{432, 48, 432, 48}));
}

TEST_F(CellGridTest, GrowInOf16By9LastsUntil244AndStopsAPixelShort) {
    HWND parent = make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);
    float t = 0;
    GrowInStep step{};
    int steps = 0;
    do {
        t += 0.016f;
        step = grow_in_step(grid(), t);
        ++steps;
    } while (!step.finished && steps < 1000);
    EXPECT_TRUE(step.finished);
    EXPECT_EQ(step.moved, 0u);
    EXPECT_GT(t, 2.44f);
    EXPECT_LT(t, 2.44f + 0.016f);
    // Each cell's last growing step has l of about 0.592: one pixel short of
    // the full (width + 1) x (height + 1).
    EXPECT_EQ(window_rect(grid().cells[0].window), (RECT{0, 2, 97, 95}));
}

TEST_F(CellGridTest, StepWithNothingToMoveStillSucceeds) {
    HWND parent = make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 3, 3), ErrorName::Ok);
    const GrowInStep before = grow_in_step(grid(), -1.0f);
    EXPECT_EQ(before.moved, 0u);
    EXPECT_FALSE(before.finished);
    const GrowInStep after = grow_in_step(grid(), 10.0f);
    EXPECT_EQ(after.moved, 0u);
    EXPECT_TRUE(after.finished);
}

TEST_F(CellGridTest, RefusedBatchIsAFatalStop) {
    HWND parent = make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 2, 2), ErrorName::Ok);
    const char* stack_line = "\nUnable to dump stack trace: debug info stripped\n";
    EXPECT_EXIT(
        {
            fault_refuse_begin_defer_window_pos(1);
            grow_in_step(grid(), 0.1f);
        },
        ::testing::ExitedWithCode(3),
        std::string(" panic: BeginDeferWindowPos failed") + stack_line);
    // A move the system refuses (here: of a window gone) abandons the batch.
    EXPECT_EXIT(
        {
            DestroyWindow(grid().cells[0].window);
            grow_in_step(grid(), 0.1f);
        },
        ::testing::ExitedWithCode(3), std::string(" panic: DeferWindowPos failed") + stack_line);
}

TEST_F(CellGridTest, ReleaseLeavesTheListEmpty) {
    HWND parent = make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 4, 4), ErrorName::Ok);
    release_grid(grid());
    EXPECT_EQ(grid().cells, nullptr);
    EXPECT_EQ(grid().cell_count, 0u);
    release_grid(grid()); // twice is harmless
}

} // namespace
