#include "window_fixture.h"

WindowTest* WindowTest::current = nullptr;

namespace {

constexpr const char* class_name = "LayerTestWindow";

void paint_in_color(HWND window, COLORREF color) {
    PAINTSTRUCT paint;
    HDC context = BeginPaint(window, &paint);
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(context, &paint.rcPaint, brush);
    DeleteObject(brush);
    EndPaint(window, &paint);
}

LRESULT CALLBACK test_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    WindowTest* test = WindowTest::current;
    if (!test) return DefWindowProcA(window, message, wparam, lparam);
    test->log.push_back(Received{window, message, wparam, lparam});
    LRESULT result = 0;
    if (test->handler && test->handler(window, message, wparam, lparam, result)) return result;
    auto color = test->colors.find(window);
    if (message == WM_PAINT && color != test->colors.end()) {
        paint_in_color(window, color->second);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

} // namespace

void WindowTest::SetUp() {
    headless_reset();
    current = this;
    static const ATOM registered = [] {
        WNDCLASSEXA window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = test_procedure;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = class_name;
        return RegisterClassExA(&window_class);
    }();
    ASSERT_NE(registered, 0);
}

void WindowTest::TearDown() {
    handler = nullptr;
    headless_reset();
    current = nullptr;
}

HWND WindowTest::make_window(DWORD style, int x, int y, int width, int height, HWND parent,
                             DWORD ex_style, const char* title) {
    return CreateWindowExA(ex_style, class_name, title, style, x, y, width, height, parent, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

std::vector<Received> WindowTest::received(UINT message, HWND window) const {
    std::vector<Received> found;
    for (const Received& entry : log) {
        if (entry.message == message && (!window || entry.window == window)) found.push_back(entry);
    }
    return found;
}
