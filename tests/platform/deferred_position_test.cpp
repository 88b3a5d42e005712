// Deferred window-position batches: every move lands at EndDeferWindowPos, a
// bad window abandons the batch, and the fault switch makes the start refuse.
#include "window_fixture.h"

namespace {

using DeferredPosition = WindowTest;

RECT rect_of(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

TEST_F(DeferredPosition, TheBatchMovesEveryWindowAtItsEndAndNotBefore) {
    HWND main = make_window(main_style | WS_VISIBLE, 0, 0, 400, 300);
    HWND first = make_window(cell_style, 50, 50, 0, 0, main);
    HWND second = make_window(cell_style, 150, 50, 0, 0, main);

    HDWP batch = BeginDeferWindowPos(2);
    ASSERT_NE(batch, nullptr);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
    EXPECT_EQ(DeferWindowPos(batch, first, nullptr, 40, 45, 20, 10, flags), batch);
    EXPECT_EQ(DeferWindowPos(batch, second, nullptr, 140, 45, 22, 12, flags), batch);
    EXPECT_EQ(rect_of(first).right - rect_of(first).left, 0);
    EXPECT_TRUE(EndDeferWindowPos(batch));

    RECT moved = rect_of(first);
    EXPECT_EQ(moved.left, 40);
    EXPECT_EQ(moved.top, 31 + 45);
    EXPECT_EQ(moved.right - moved.left, 20);
    EXPECT_EQ(rect_of(second).bottom - rect_of(second).top, 12);
    EXPECT_FALSE(EndDeferWindowPos(batch)); // a batch ends once
}

TEST_F(DeferredPosition, AnEmptyBatchEndsCleanly) {
    HDWP batch = BeginDeferWindowPos(0);
    ASSERT_NE(batch, nullptr);
    EXPECT_TRUE(EndDeferWindowPos(batch));
}

TEST_F(DeferredPosition, ADeadWindowAbandonsTheWholeBatch) {
    HWND main = make_window(main_style, 0, 0, 400, 300);
    HWND cell = make_window(cell_style, 50, 50, 0, 0, main);
    HWND gone = make_window(cell_style, 50, 50, 0, 0, main);
    DestroyWindow(gone);

    HDWP batch = BeginDeferWindowPos(2);
    ASSERT_NE(DeferWindowPos(batch, cell, nullptr, 1, 1, 5, 5, SWP_NOZORDER), nullptr);
    EXPECT_EQ(DeferWindowPos(batch, gone, nullptr, 1, 1, 5, 5, SWP_NOZORDER), nullptr);
    EXPECT_FALSE(EndDeferWindowPos(batch));
    EXPECT_EQ(rect_of(cell).right - rect_of(cell).left, 0);
}

TEST_F(DeferredPosition, TheFaultSwitchRefusesTheNextBatchesOnly) {
    headless_refuse_begin_defer_window_pos(1);
    EXPECT_EQ(BeginDeferWindowPos(1), nullptr);
    HDWP batch = BeginDeferWindowPos(1);
    EXPECT_NE(batch, nullptr);
    EndDeferWindowPos(batch);
    EXPECT_EQ(BeginDeferWindowPos(-1), nullptr);
}

} // namespace
