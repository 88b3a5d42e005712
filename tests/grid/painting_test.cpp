// Cell windows paint the grey level of their grid position, and tell
// inconsistent grids apart by colour.
#include "tests/grid/grid_fixture.h"
#include <cstring>
#include <gtest/gtest.h>

namespace {

using CellPainting = GridFixture;

TEST_F(CellPainting, ShadesBecomeGreyLevels) {
    make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);
    grow_all();
    grid().shades.values[0] = 0;
    grid().shades.values[1] = 255;
    grid().shades.values[2] = 128;
    grid().shades.values[8 * shade_stride + 15] = 37;
    invalidate_cells(grid());
    headless_run_for(0);
    EXPECT_EQ(cell_pixel(0), 0x000000u);
    EXPECT_EQ(cell_pixel(1), 0xFFFFFFu);
    EXPECT_EQ(cell_pixel(2), 0x808080u);
    EXPECT_EQ(cell_pixel(8 * 16 + 15), 0x252525u);
}

TEST_F(CellPainting, EveryCellIsBlackAfterARebuild) {
    make_parent(1536, 833);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 16, 9), ErrorName::Ok);
    std::memset(grid().shades.values, 200, sizeof grid().shades.values);
    ASSERT_EQ(rebuild_grid(grid(), parent, 5, 5), ErrorName::Ok);
    grow_all();
    headless_run_for(0);
    for (std::uint64_t i = 0; i < grid().cell_count; ++i) EXPECT_EQ(cell_pixel(i), 0u) << i;
}

TEST_F(CellPainting, CellWindowOutsideTheListIsBlue) {
    make_parent(200, 200);
    HWND stray = CreateWindowExA(0, "ChildWindowClass", nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 50,
                                 50, parent, nullptr, instance(), nullptr);
    ASSERT_NE(stray, nullptr);
    headless_run_for(0);
    EXPECT_EQ(headless_window_pixel(parent, 30, 30), 0x0000FFu);
}

TEST_F(CellPainting, EntryBeyondTheRowCountIsRed) {
    make_parent(200, 200);
    ASSERT_EQ(create_grid(grid(), parent, instance(), 2, 2), ErrorName::Ok);
    grow_all();
    grid().rows = 1; // the list now holds a row more than the grid has
    grid().shades.values[0] = 255;
    invalidate_cells(grid());
    headless_run_for(0);
    EXPECT_EQ(cell_pixel(0), 0xFFFFFFu);
    EXPECT_EQ(cell_pixel(1), 0x000000u);
    EXPECT_EQ(cell_pixel(2), 0xFF0000u);
    EXPECT_EQ(cell_pixel(3), 0xFF0000u);
}

} // namespace
