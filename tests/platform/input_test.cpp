// Input as the program meets it: keys for the active window, Alt+F4 and the
// close button as SC_CLOSE, caption drags that move a window only where hit
// testing said caption, minimise and restore.
#include "platform/host.h"
#include "window_fixture.h"

namespace {

constexpr int caption = 31;

class Input : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        main = make_window(main_style | WS_VISIBLE, 100, 100, 400, 300, nullptr, 0, "Input test");
        run();
        forget_received();
    }
    RECT place() const {
        RECT rect{};
        GetWindowRect(main, &rect);
        return rect;
    }
    bool alive() const { return place().right != 0; }
    // The main window's own answer to WM_NCHITTEST: a caption counts as client.
    void caption_as_client() {
        handler = [this](HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
            if (message != WM_NCHITTEST || window != main) return false;
            result = DefWindowProcA(window, message, wparam, lparam);
            if (result == HTCAPTION) result = HTCLIENT;
            return true;
        };
    }
    HWND main = nullptr;
};

TEST_F(Input, KeysGoToTheActiveWindow) {
    HWND cell = make_window(cell_style, 0, 0, 50, 50, main);
    run();
    headless_press_key(VK_ESCAPE);
    run();
    ASSERT_EQ(received(WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(received(WM_KEYDOWN)[0].window, main);
    EXPECT_EQ(received(WM_KEYDOWN)[0].wparam, WPARAM(VK_ESCAPE));
    EXPECT_TRUE(received(WM_KEYDOWN, cell).empty());
}

TEST_F(Input, AltF4ClosesThroughTheSystemCommand) {
    headless_press_key(VK_F4, true);
    run();
    ASSERT_EQ(received(WM_SYSKEYDOWN).size(), 1u);
    ASSERT_EQ(received(WM_SYSCOMMAND).size(), 1u);
    EXPECT_EQ(received(WM_SYSCOMMAND)[0].wparam & 0xFFF0, WPARAM(SC_CLOSE));
    EXPECT_EQ(received(WM_CLOSE).size(), 1u);
    EXPECT_EQ(received(WM_DESTROY).size(), 1u);
    EXPECT_FALSE(alive());
}

TEST_F(Input, F4WithoutAltIsJustAKey) {
    headless_press_key(VK_F4);
    run();
    EXPECT_EQ(received(WM_KEYDOWN).size(), 1u);
    EXPECT_TRUE(received(WM_SYSCOMMAND).empty());
    EXPECT_TRUE(alive());
}

TEST_F(Input, TheCloseButtonClosesThroughTheSystemCommand) {
    headless_click_close_button(main);
    run();
    ASSERT_EQ(received(WM_NCLBUTTONDOWN).size(), 1u);
    EXPECT_EQ(received(WM_NCLBUTTONDOWN)[0].wparam, WPARAM(HTCLOSE));
    ASSERT_EQ(received(WM_SYSCOMMAND).size(), 1u);
    EXPECT_EQ(received(WM_SYSCOMMAND)[0].wparam & 0xFFF0, WPARAM(SC_CLOSE));
    EXPECT_FALSE(alive());
}

TEST_F(Input, APressOnCloseReleasedElsewhereClosesNothing) {
    RECT rect = place();
    platform_input_mouse(rect.right - 20, rect.top + 10, true, true);
    platform_input_mouse(rect.left + 50, rect.top + 10, true, false);
    run();
    EXPECT_TRUE(received(WM_SYSCOMMAND).empty());
    EXPECT_TRUE(alive());
}

TEST_F(Input, TheDesktopsCloseRequestIsAnScClose) {
    headless_request_close(main);
    run();
    EXPECT_FALSE(alive());
}

TEST_F(Input, DraggingTheCaptionMovesAWindowThatLeavesHitTestingAlone) {
    headless_drag_caption(main, 40, -30);
    run();
    ASSERT_EQ(received(WM_SYSCOMMAND).size(), 1u);
    EXPECT_EQ(received(WM_SYSCOMMAND)[0].wparam & 0xFFF0, WPARAM(SC_MOVE));
    EXPECT_EQ(place().left, 140);
    EXPECT_EQ(place().top, 70);
}

TEST_F(Input, ACaptionAnsweredAsClientIsNotDragged) {
    caption_as_client();
    headless_drag_caption(main, 40, 30);
    run();
    EXPECT_EQ(place().left, 100);
    EXPECT_EQ(place().top, 100);
    EXPECT_EQ(received(WM_LBUTTONDOWN, main).size(), 1u);
    EXPECT_TRUE(received(WM_SYSCOMMAND).empty());
}

TEST_F(Input, ASwallowedMoveCommandMovesNothing) {
    handler = [](HWND, UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
        if (message != WM_SYSCOMMAND || (wparam & 0xFFF0) != SC_MOVE) return false;
        result = 0;
        return true;
    };
    headless_drag_caption(main, 40, 30);
    run();
    EXPECT_EQ(place().left, 100);
}

TEST_F(Input, MinimiseHidesTheWindowAndRestoreBringsItBack) {
    caption_as_client(); // the buttons still work, as for the program's window
    paint_with(main, 0x00FFFFFF);
    InvalidateRect(main, nullptr, FALSE);
    run();
    const int x = 300, y = 250;
    EXPECT_EQ(headless_screen_pixel(x, y), rgb(255, 255, 255));

    headless_click_minimize_button(main);
    run();
    EXPECT_EQ(headless_screen_pixel(x, y), headless_desktop_colour);
    EXPECT_EQ(place().left, 100); // it keeps its place
    headless_press_key(VK_ESCAPE);
    run();
    EXPECT_TRUE(received(WM_KEYDOWN).empty()); // no active window while minimised

    headless_restore(main);
    run();
    EXPECT_EQ(headless_screen_pixel(x, y), rgb(255, 255, 255));
    headless_press_key(VK_ESCAPE);
    run();
    EXPECT_EQ(received(WM_KEYDOWN, main).size(), 1u);
}

TEST_F(Input, ThePointerReachesTheChildUnderItInClientCoordinates) {
    HWND cell = make_window(cell_style, 10, 20, 50, 50, main);
    run();
    int x = 100 + 10 + 1 + 5;
    int y = 100 + caption + 20 + 1 + 7;
    platform_input_mouse(x, y, true, true);
    platform_input_mouse(x, y, true, false);
    run();
    std::vector<Received> presses = received(WM_LBUTTONDOWN);
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].window, cell);
    EXPECT_EQ(presses[0].lparam, LPARAM(5 | (7 << 16)));
    EXPECT_EQ(received(WM_LBUTTONUP, cell).size(), 1u);
}

TEST_F(Input, HitTestingAnswersByPosition) {
    RECT rect = place();
    auto hit = [&](int x, int y) {
        return DefWindowProcA(main, WM_NCHITTEST, 0, LPARAM(WORD(x) | (DWORD(WORD(y)) << 16)));
    };
    EXPECT_EQ(hit(rect.left + 10, rect.top + 10), HTCAPTION);
    EXPECT_EQ(hit(rect.right - 10, rect.top + 10), HTCLOSE);
    EXPECT_EQ(hit(rect.right - 60, rect.top + 10), HTMINBUTTON);
    EXPECT_EQ(hit(rect.left + 10, rect.top + caption), HTCLIENT);
    EXPECT_EQ(hit(rect.left - 1, rect.top + 10), HTNOWHERE);
    HWND off_screen = make_window(main_style, -500, 10, 400, 300);
    EXPECT_EQ(
        DefWindowProcA(off_screen, WM_NCHITTEST, 0, LPARAM(WORD(-490) | (DWORD(WORD(20)) << 16))),
        HTCAPTION);
}

} // namespace
