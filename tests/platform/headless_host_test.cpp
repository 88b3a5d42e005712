// The headless host: the composed virtual screen, PNG output, the virtual
// clock and the tick observer.
#include "tests/common/png_image.h"
#include "window_fixture.h"

#include <cstdio>

namespace {

using HeadlessHost = WindowTest;

constexpr int caption = 31;

TEST_F(HeadlessHost, TheScreenShowsWindowsWhereTheyStandAndTheDesktopElsewhere) {
    HWND lower = make_window(main_style | WS_VISIBLE, 100, 50, 200, 150);
    HWND upper = make_window(main_style | WS_VISIBLE, 250, 100, 200, 150);
    paint_with(lower, 0x000000FF);
    paint_with(upper, 0x00FF0000);
    run();
    EXPECT_EQ(headless_screen_pixel(10, 10), headless_desktop_colour);
    EXPECT_EQ(headless_screen_pixel(150, 50 + caption + 10), rgb(255, 0, 0));
    EXPECT_EQ(headless_screen_pixel(260, 100 + caption + 10), rgb(0, 0, 255)); // on top

    std::vector<std::uint32_t> screen = headless_screen();
    ASSERT_EQ(screen.size(), 1920u * 1080u);
    for (int y : {0, 60, 140, 200, 290}) {
        for (int x : {0, 120, 260, 449, 451}) {
            EXPECT_EQ(screen[std::size_t(y) * 1920 + std::size_t(x)], headless_screen_pixel(x, y));
        }
    }

    ShowWindow(upper, SW_HIDE);
    run();
    EXPECT_EQ(headless_screen_pixel(260, 100 + caption + 10), rgb(255, 0, 0));
    DestroyWindow(lower);
    run();
    EXPECT_EQ(headless_screen_pixel(150, 50 + caption + 10), headless_desktop_colour);
}

TEST_F(HeadlessHost, FindsTheOldestTopLevelWindowStillThere) {
    EXPECT_EQ(headless_first_top_level_window(), nullptr);
    HWND first = make_window(main_style, 0, 0, 100, 100);
    HWND second = make_window(main_style, 0, 0, 100, 100);
    make_window(cell_style, 0, 0, 10, 10, second);
    EXPECT_EQ(headless_first_top_level_window(), first);
    DestroyWindow(first);
    EXPECT_EQ(headless_first_top_level_window(), second);
    DestroyWindow(second);
    EXPECT_EQ(headless_first_top_level_window(), nullptr);
}

TEST_F(HeadlessHost, WindowsOffTheScreenKeepTheirPixels) {
    HWND window = make_window(main_style | WS_VISIBLE, -300, 100, 200, 150);
    paint_with(window, 0x0000FF00);
    run();
    EXPECT_EQ(headless_window_pixel(window, 100, caption + 50), rgb(0, 255, 0));
    EXPECT_EQ(headless_screen_pixel(0, 150), headless_desktop_colour);
    SetWindowPos(window, nullptr, -100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    run();
    EXPECT_EQ(headless_screen_pixel(50, 100 + caption + 50), rgb(0, 255, 0));
}

TEST_F(HeadlessHost, TheScreenAndPicturesSaveAsPngs) {
    headless_set_screen_size(64, 48);
    HWND window = make_window(WS_POPUP | WS_VISIBLE, 8, 8, 16, 16);
    paint_with(window, 0x00123456);
    run();
    const char* path = "/tmp/gridshow_headless_host_test.png";
    ASSERT_TRUE(headless_save_screen_png(path));
    PngImage image = read_png(path);
    ASSERT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 48);
    EXPECT_EQ(image.at(10, 10), 0x563412u); // painted as a COLORREF
    EXPECT_EQ(image.at(0, 0), headless_desktop_colour);

    // Rows lie `stride` pixels apart; what lies between them is not saved.
    const std::uint32_t picture[] = {0x010203, 0x040506, 0xFFFFFF, 0x0A0B0C, 0x0D0E0F, 0xFFFFFF};
    ASSERT_TRUE(headless_save_png(path, picture, 2, 2, 3));
    image = read_png(path);
    std::remove(path);
    EXPECT_EQ(image.pixels, (std::vector<std::uint32_t>{0x010203, 0x040506, 0x0A0B0C, 0x0D0E0F}));
    EXPECT_FALSE(headless_save_png("/nonexistent/picture.png", picture, 2, 2, 3));
}

TEST_F(HeadlessHost, TheClockRunsExactlyAsFarAsAsked) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    SetTimer(window, 1, 10, nullptr);
    std::uint64_t start = headless_now_us();
    EXPECT_FALSE(headless_run_for(1000000));
    EXPECT_EQ(headless_now_us(), start + 1000000);
    EXPECT_GE(received(WM_TIMER).size(), 63u);
    EXPECT_LE(received(WM_TIMER).size(), 64u);
}

TEST_F(HeadlessHost, RunningStopsAtTheQuitMessage) {
    HWND window = make_window(main_style, 0, 0, 100, 100);
    SetTimer(window, 1, 10, nullptr);
    int ticks = 0;
    handler = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_TIMER && ++ticks == 3) PostQuitMessage(0);
        return false;
    };
    EXPECT_TRUE(headless_run_for(1000000));
    EXPECT_EQ(ticks, 3);
}

TEST_F(HeadlessHost, ARepaintReachesTheScreenWholeAfterEveryWindowHasPainted) {
    HWND window = make_window(main_style | WS_VISIBLE, 0, 0, 200, 200, nullptr, WS_EX_COMPOSITED);
    HWND first = make_window(cell_style, 10, 10, 50, 50, window);
    HWND second = make_window(cell_style, 100, 10, 50, 50, window);
    paint_with(first, 0x000000FF);
    paint_with(second, 0x000000FF);
    run();
    std::uint32_t first_while_second_paints = 0;
    handler = [&](HWND painted, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_PAINT && painted == second)
            first_while_second_paints = headless_screen_pixel(30, caption + 30);
        return false;
    };
    paint_with(first, 0x00FF0000);
    paint_with(second, 0x00FF0000);
    InvalidateRect(first, nullptr, FALSE);
    InvalidateRect(second, nullptr, FALSE);
    run();
    EXPECT_EQ(first_while_second_paints, rgb(255, 0, 0));
    EXPECT_EQ(headless_screen_pixel(30, caption + 30), rgb(0, 0, 255));
    EXPECT_EQ(headless_screen_pixel(120, caption + 30), rgb(0, 0, 255));
}

TEST_F(HeadlessHost, TheObserverSeesEachTickOnScreenAndCanInjectInput) {
    HWND window = make_window(main_style | WS_VISIBLE, 0, 0, 200, 200);
    HWND cell = make_window(cell_style, 10, 10, 50, 50, window);
    SetTimer(window, 1, 2, nullptr);
    handler = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message != WM_TIMER) return false;
        std::uint8_t shade = std::uint8_t(received(WM_TIMER).size() * 10);
        paint_with(cell, RGB(shade, shade, shade));
        InvalidateRect(cell, nullptr, FALSE);
        return true;
    };
    std::vector<std::uint64_t> observed;
    std::vector<std::uint32_t> shown;
    headless_set_tick_observer([&](std::uint64_t tick) {
        observed.push_back(tick);
        shown.push_back(headless_screen_pixel(30, caption + 30));
        if (tick == 3) headless_press_key(VK_ESCAPE);
    });
    run(5 * 15625);
    ASSERT_GE(observed.size(), 4u);
    for (std::size_t i = 0; i < observed.size(); ++i) {
        EXPECT_EQ(observed[i], i + 1);
        std::uint8_t shade = std::uint8_t((i + 1) * 10);
        EXPECT_EQ(shown[i], rgb(shade, shade, shade)) << i;
    }
    // The key pressed at tick 3 came before tick 4.
    std::size_t timers_before_key = 0;
    for (const Received& entry : log) {
        if (entry.message == WM_KEYDOWN) break;
        if (entry.message == WM_TIMER) ++timers_before_key;
    }
    EXPECT_EQ(timers_before_key, 3u);
}

} // namespace
