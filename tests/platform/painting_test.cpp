// Painting: update regions and the erase flag, BeginPaint's validation, FillRect
// clipped to the client area (and around children with WS_CLIPCHILDREN), the
// frames the layer draws, and pixels that keep what they showed.
#include "window_fixture.h"

#include <climits>

namespace {

using Painting = WindowTest;

constexpr COLORREF white = 0x00FFFFFF;
constexpr COLORREF red = 0x000000FF; // COLORREF is 0x00BBGGRR
constexpr COLORREF blue = 0x00FF0000;
constexpr std::uint32_t white_rgb = rgb(255, 255, 255);
constexpr std::uint32_t red_rgb = rgb(255, 0, 0);
constexpr std::uint32_t blue_rgb = rgb(0, 0, 255);
constexpr int caption = 31;

// A shown main window at the screen's origin with its first paint done.
class PaintingWithMain : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        main = make_window(main_style | WS_VISIBLE, 0, 0, 400, 300);
        run();
    }
    // A pixel of the main window's client area.
    std::uint32_t client_pixel(int x, int y) const {
        return headless_window_pixel(main, x, caption + y);
    }
    HWND main = nullptr;
};

TEST_F(PaintingWithMain, NewWindowsStartBlackAndTheCaptionIsDrawnByTheLayer) {
    EXPECT_EQ(client_pixel(0, 0), 0u);
    EXPECT_EQ(client_pixel(399, 268), 0u);
    std::uint32_t caption_pixel = headless_window_pixel(main, 200, 2);
    EXPECT_NE(caption_pixel, 0u);
    EXPECT_EQ(headless_window_pixel(main, 5, 28), caption_pixel);
}

TEST_F(Painting, TheCaptionCarriesItsTextAndButtons) {
    HWND titled = make_window(main_style | WS_VISIBLE, 0, 0, 400, 300, nullptr, 0, "HELLO");
    HWND plain = make_window(main_style | WS_VISIBLE, 0, 400, 400, 300, nullptr, 0, "");
    run();
    auto marks = [](HWND window, int left, int right) {
        std::uint32_t bar = headless_window_pixel(window, left, 1);
        int count = 0;
        for (int y = 0; y < caption; ++y)
            for (int x = left; x < right; ++x) count += headless_window_pixel(window, x, y) != bar;
        return count;
    };
    EXPECT_GT(marks(titled, 0, 200), 0);
    EXPECT_EQ(marks(plain, 0, 200), 0);
    EXPECT_GT(marks(plain, 400 - 46, 400), 0);      // close
    EXPECT_GT(marks(plain, 400 - 92, 400 - 46), 0); // minimise
    HWND no_minimise = make_window(WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 400, 300);
    run();
    EXPECT_EQ(marks(no_minimise, 400 - 92, 400 - 46), 0);
}

TEST_F(PaintingWithMain, AFilledCellShowsItsColourInsideABlackBorder) {
    HWND cell = make_window(cell_style, 10, 20, 12, 8, main);
    paint_with(cell, white);
    run();
    EXPECT_EQ(client_pixel(11, 21), white_rgb);
    EXPECT_EQ(client_pixel(20, 26), white_rgb);
    for (int x = 10; x < 22; ++x) {
        EXPECT_EQ(client_pixel(x, 20), 0u);
        EXPECT_EQ(client_pixel(x, 27), 0u);
    }
    EXPECT_EQ(client_pixel(10, 24), 0u);
    EXPECT_EQ(client_pixel(21, 24), 0u);
}

TEST_F(PaintingWithMain, InvalidationAccumulatesIntoOnePaintAndBeginPaintValidates) {
    HWND cell = make_window(cell_style, 0, 0, 102, 102, main);
    std::vector<RECT> painted;
    std::vector<BOOL> erase_flags;
    handler = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != WM_PAINT || window != cell) return false;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        painted.push_back(paint.rcPaint);
        erase_flags.push_back(paint.fErase);
        EndPaint(window, &paint);
        return true;
    };
    run();
    painted.clear();
    erase_flags.clear();
    forget_received();

    RECT first{10, 10, 20, 20};
    RECT second{50, 60, 70, 80};
    InvalidateRect(cell, &first, FALSE);
    InvalidateRect(cell, &second, FALSE);
    run();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].left, 10);
    EXPECT_EQ(painted[0].top, 10);
    EXPECT_EQ(painted[0].right, 70);
    EXPECT_EQ(painted[0].bottom, 80);
    EXPECT_TRUE(received(WM_ERASEBKGND).empty());
    EXPECT_FALSE(erase_flags[0]);

    // One request to erase is enough; no brush means the erase did nothing.
    InvalidateRect(cell, &first, TRUE);
    InvalidateRect(cell, &second, FALSE);
    run();
    ASSERT_EQ(painted.size(), 2u);
    EXPECT_EQ(received(WM_ERASEBKGND, cell).size(), 1u);
    EXPECT_TRUE(erase_flags[1]);

    // A rectangle beyond the client area is clipped to it.
    RECT beyond{90, 90, 500, 500};
    InvalidateRect(cell, &beyond, FALSE);
    run();
    ASSERT_EQ(painted.size(), 3u);
    EXPECT_EQ(painted[2].right, 100);
    EXPECT_EQ(painted[2].bottom, 100);
}

TEST_F(PaintingWithMain, FillRectStaysInsideTheClientAreaAndThePaintRectangle) {
    HWND cell = make_window(cell_style, 10, 10, 12, 12, main);
    HWND neighbour = make_window(cell_style, 30, 10, 12, 12, main);
    paint_with(neighbour, blue);
    bool huge = true;
    handler = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != WM_PAINT || window != cell) return false;
        PAINTSTRUCT paint;
        HDC context = BeginPaint(window, &paint);
        HBRUSH brush = CreateSolidBrush(huge ? red : white);
        RECT everything{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
        EXPECT_EQ(FillRect(context, &everything, brush), 1);
        DeleteObject(brush);
        EndPaint(window, &paint);
        return true;
    };
    run();
    EXPECT_EQ(client_pixel(11, 11), red_rgb);
    EXPECT_EQ(client_pixel(20, 20), red_rgb);
    EXPECT_EQ(client_pixel(10, 10), 0u); // the border
    EXPECT_EQ(client_pixel(9, 15), 0u);  // the main window beside it
    EXPECT_EQ(client_pixel(31, 11), blue_rgb);

    huge = false;
    RECT corner{0, 0, 2, 2};
    InvalidateRect(cell, &corner, FALSE);
    run();
    EXPECT_EQ(client_pixel(11, 11), white_rgb);
    EXPECT_EQ(client_pixel(12, 12), white_rgb);
    EXPECT_EQ(client_pixel(13, 13), red_rgb); // outside the paint rectangle
}

TEST_F(Painting, ClipChildrenKeepsAParentsFillOffItsChildren) {
    for (bool clip_children : {true, false}) {
        headless_reset();
        DWORD style = WS_CAPTION | WS_SYSMENU | WS_VISIBLE | (clip_children ? WS_CLIPCHILDREN : 0);
        HWND parent = make_window(style, 0, 0, 200, 200);
        paint_with(parent, blue);
        make_window(cell_style, 50, 50, 20, 20, parent); // paints nothing itself
        run();
        std::uint32_t inside_child = headless_window_pixel(parent, 60, caption + 60);
        EXPECT_EQ(inside_child, clip_children ? 0u : blue_rgb) << clip_children;
        EXPECT_EQ(headless_window_pixel(parent, 50, caption + 60), 0u); // the child's border
        EXPECT_EQ(headless_window_pixel(parent, 10, caption + 10), blue_rgb);
    }
}

TEST_F(Painting, TheClassBrushErasesTheBackground) {
    static const ATOM registered = [] {
        WNDCLASSEXA window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = DefWindowProcA;
        window_class.hbrBackground = CreateSolidBrush(0x0000FF00);
        window_class.lpszClassName = "LayerTestBrushed";
        return RegisterClassExA(&window_class);
    }();
    ASSERT_NE(registered, 0);
    HWND window = CreateWindowExA(0, "LayerTestBrushed", "", main_style | WS_VISIBLE, 0, 0, 100,
                                  100, nullptr, nullptr, nullptr, nullptr);
    run();
    EXPECT_EQ(headless_window_pixel(window, 50, caption + 30), rgb(0, 255, 0));
}

TEST_F(PaintingWithMain, PixelsNobodyPaintsKeepWhatTheyShowed) {
    HWND cell = make_window(cell_style, 10, 10, 20, 20, main);
    paint_with(cell, red);
    run();
    SetWindowPos(cell, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    run();
    EXPECT_EQ(client_pixel(15, 15), red_rgb); // the place it left
    EXPECT_EQ(client_pixel(105, 105), red_rgb);
    DestroyWindow(cell);
    run();
    EXPECT_EQ(client_pixel(105, 105), red_rgb);
}

TEST_F(PaintingWithMain, RepaintingShowsNewColoursAndRepairsWhatSiblingsDrewOver) {
    // Two cells overlapping by two pixels, as the grid lays them out: the
    // second one's border covers the first one's last client column.
    HWND left = make_window(cell_style, 0, 0, 10, 10, main);
    HWND right = make_window(cell_style, 8, 0, 10, 10, main);
    paint_with(left, white);
    paint_with(right, white);
    run();
    EXPECT_EQ(client_pixel(8, 5), 0u);
    EXPECT_EQ(client_pixel(9, 5), white_rgb);

    InvalidateRect(left, nullptr, FALSE);
    run();
    EXPECT_EQ(client_pixel(8, 5), white_rgb); // the left cell painted its column again

    paint_with(right, blue);
    InvalidateRect(right, nullptr, FALSE);
    InvalidateRect(left, nullptr, FALSE);
    run();
    EXPECT_EQ(client_pixel(12, 5), blue_rgb);
    EXPECT_EQ(client_pixel(5, 5), white_rgb);
}

TEST_F(PaintingWithMain, BrushesAndDeviceContextsAreOnlyValidWhileTheyLive) {
    HWND cell = make_window(cell_style, 0, 0, 10, 10, main);
    HDC kept = nullptr;
    handler = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != WM_PAINT || window != cell) return false;
        PAINTSTRUCT paint;
        kept = BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return true;
    };
    run();
    ASSERT_NE(kept, nullptr);
    HBRUSH brush = CreateSolidBrush(white);
    RECT area{0, 0, 5, 5};
    EXPECT_EQ(FillRect(kept, &area, brush), 0); // after EndPaint
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));
}

TEST_F(PaintingWithMain, InvisibleWindowsGetNoPaint) {
    HWND hidden = make_window(WS_CHILD | WS_BORDER, 0, 0, 10, 10, main);
    paint_with(hidden, red);
    InvalidateRect(hidden, nullptr, TRUE);
    run();
    EXPECT_TRUE(received(WM_PAINT, hidden).empty());
    ShowWindow(hidden, SW_SHOWNORMAL);
    run();
    EXPECT_EQ(received(WM_PAINT, hidden).size(), 1u);
    EXPECT_EQ(client_pixel(5, 5), red_rgb);
}

TEST_F(PaintingWithMain, UpdateWindowPaintsAtOnce) {
    HWND cell = make_window(cell_style, 0, 0, 10, 10, main);
    paint_with(cell, red);
    UpdateWindow(cell);
    EXPECT_EQ(received(WM_PAINT, cell).size(), 1u);
    UpdateWindow(cell); // nothing left to paint
    EXPECT_EQ(received(WM_PAINT, cell).size(), 1u);
}

} // namespace
