// Windows come and go as on Windows: WM_CREATE and WM_DESTROY run
// synchronously, a failed creation leaves nothing behind, children go with
// their parent; classes, instance handles and the non-client metrics.
#include "window_fixture.h"

#include <climits>

namespace {

using WindowLifecycle = WindowTest;

TEST_F(WindowLifecycle, CreationSendsWmCreateBeforeReturning) {
    HWND seen_during_create = nullptr;
    handler = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_CREATE) seen_during_create = window;
        return false;
    };
    HWND window = make_window(main_style, 10, 20, 300, 200);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(seen_during_create, window);
    EXPECT_EQ(received(WM_DESTROY).size(), 0u);
}

TEST_F(WindowLifecycle, CreationAnsweredWithMinusOneDestroysTheWindowAndReturnsNull) {
    HWND created = nullptr;
    handler = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_CREATE) return false;
        created = window;
        result = -1;
        return true;
    };
    EXPECT_EQ(make_window(main_style, 0, 0, 300, 200), nullptr);
    ASSERT_EQ(received(WM_DESTROY).size(), 1u);
    EXPECT_EQ(received(WM_DESTROY)[0].window, created);
    RECT rect;
    EXPECT_FALSE(GetWindowRect(created, &rect));
}

TEST_F(WindowLifecycle, DestroyWindowInsideWmCreateRunsWmDestroyBeforeItReturns) {
    bool destroyed_before_return = false;
    handler = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_CREATE) return false;
        EXPECT_TRUE(DestroyWindow(window));
        destroyed_before_return = received(WM_DESTROY, window).size() == 1;
        result = -1;
        return true;
    };
    EXPECT_EQ(make_window(main_style, 0, 0, 300, 200), nullptr);
    EXPECT_TRUE(destroyed_before_return);
    EXPECT_EQ(received(WM_DESTROY).size(), 1u);
}

TEST_F(WindowLifecycle, DestroyingAParentDestroysItsChildrenAfterItself) {
    HWND parent = make_window(main_style, 0, 0, 300, 200);
    HWND child = make_window(cell_style, 5, 5, 50, 50, parent);
    HWND grandchild = make_window(cell_style, 1, 1, 10, 10, child);
    ASSERT_TRUE(parent && child && grandchild);

    EXPECT_TRUE(DestroyWindow(parent));
    std::vector<Received> destroyed = received(WM_DESTROY);
    ASSERT_EQ(destroyed.size(), 3u);
    EXPECT_EQ(destroyed[0].window, parent);
    EXPECT_EQ(destroyed[1].window, child);
    EXPECT_EQ(destroyed[2].window, grandchild);
    RECT rect;
    EXPECT_FALSE(GetWindowRect(child, &rect));
    EXPECT_FALSE(DestroyWindow(grandchild));
    EXPECT_FALSE(PostMessageA(child, WM_USER, 0, 0));
}

TEST_F(WindowLifecycle, MessagesPostedToADestroyedWindowAreDropped) {
    HWND window = make_window(main_style, 0, 0, 300, 200);
    PostMessageA(window, WM_USER, 1, 2);
    DestroyWindow(window);
    forget_received();
    run();
    EXPECT_TRUE(received(WM_USER).empty());
}

TEST_F(WindowLifecycle, AChildNeedsAParentAndAClassMustBeRegistered) {
    EXPECT_EQ(make_window(cell_style, 0, 0, 10, 10, nullptr), nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", main_style, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
}

TEST_F(WindowLifecycle, ClassesRegisterOnceWithTheirFullRecord) {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.lpszClassName = "LayerTestWindow"; // the fixture's, already registered
    EXPECT_EQ(RegisterClassExA(&window_class), 0);
    window_class.lpszClassName = "LayerTestOtherClass";
    window_class.cbSize = 48;
    EXPECT_EQ(RegisterClassExA(&window_class), 0);
    window_class.cbSize = sizeof window_class;
    EXPECT_NE(RegisterClassExA(&window_class), 0);
    // Class names are case-insensitive.
    EXPECT_NE(CreateWindowExA(0, "layertestotherclass", "", main_style, 0, 0, 10, 10, nullptr,
                              nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowLifecycle, TheInstanceGivenAtCreationIsReadBack) {
    HWND window = make_window(main_style, 0, 0, 300, 200);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_HINSTANCE),
              reinterpret_cast<LONG_PTR>(GetModuleHandleA(nullptr)));
    EXPECT_EQ(GetWindowLongPtrA(nullptr, GWLP_HINSTANCE), 0);
}

TEST_F(WindowLifecycle, TheMainWindowsStylesLeaveA1536By833ClientAreaAt1536By864) {
    HWND main = make_window(main_style, 192, 108, 1536, 864, nullptr, WS_EX_COMPOSITED);
    RECT client;
    ASSERT_TRUE(GetClientRect(main, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 1536);
    EXPECT_EQ(client.bottom, 833);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 864 - 833);
}

TEST_F(WindowLifecycle, ABorderTakesOnePixelOnEachSide) {
    HWND main = make_window(main_style, 0, 0, 400, 300);
    HWND cell = make_window(cell_style, 10, 20, 98, 94, main);
    RECT client;
    GetClientRect(cell, &client);
    EXPECT_EQ(client.right, 96);
    EXPECT_EQ(client.bottom, 92);
    HWND empty = make_window(cell_style, 10, 20, 0, 0, main);
    GetClientRect(empty, &client);
    EXPECT_EQ(client.right, 0);
    EXPECT_EQ(client.bottom, 0);
}

TEST_F(WindowLifecycle, WindowRectanglesAreInScreenCoordinatesEvenOffScreen) {
    HWND main = make_window(main_style, -1536, 108, 1536, 864);
    HWND cell = make_window(cell_style, 240, 140, 0, 0, main);
    RECT rect;
    ASSERT_TRUE(GetWindowRect(main, &rect));
    EXPECT_EQ(rect.left, -1536);
    EXPECT_EQ(rect.top, 108);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 972);
    ASSERT_TRUE(GetWindowRect(cell, &rect));
    EXPECT_EQ(rect.left, -1536 + 240);
    EXPECT_EQ(rect.top, 108 + 31 + 140);
    EXPECT_EQ(rect.right, rect.left);
}

TEST_F(WindowLifecycle, SetWindowPosHonoursNoSizeAndNoMove) {
    HWND main = make_window(main_style, 0, 0, 400, 300);
    SetWindowPos(main, nullptr, -400, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT rect;
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.left, -400);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right - rect.left, 400);
    SetWindowPos(main, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.left, -400);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 100);
}

TEST_F(WindowLifecycle, ExtremePlacesAndSizesStayInTheCoordinateSpace) {
    HWND main = make_window(main_style, 0, 0, 400, 300);
    HWND cell = make_window(cell_style, INT_MAX, INT_MIN, INT_MAX, -5, main);
    ASSERT_NE(cell, nullptr);
    RECT rect;
    GetClientRect(cell, &rect);
    EXPECT_EQ(rect.bottom, 0);
    SetWindowPos(main, nullptr, INT_MIN, INT_MAX, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.left, -32768);
    EXPECT_EQ(rect.top, 32767);
    EXPECT_EQ(rect.right - rect.left, 400);
    GetWindowRect(cell, &rect);
    EXPECT_EQ(rect.left, -32768 + 32767);
}

TEST_F(WindowLifecycle, ScreenMetricsComeFromTheHost) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    headless_set_screen_size(1366, 768);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1366);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

} // namespace
