#include "app/app_main.h"
#include "app/app_state.h"
#include "base/diagnostics.h"

namespace {

constexpr const char* main_caption =
    "gridshow - for everyone who still watches the scroller to the end";
constexpr DWORD main_style = WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void register_class(const char* name, WNDPROC procedure, HINSTANCE instance) {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = name;
    // A failure shows up as a failure to create the main window.
    RegisterClassExA(&window_class);
}

} // namespace

int app_main() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    register_class("ParentWindowClass", ParentWindowProc, instance);
    register_class("ChildWindowClass", ChildWindowProc, instance);

    int screen_width = GetSystemMetrics(SM_CXSCREEN);
    int screen_height = GetSystemMetrics(SM_CYSCREEN);
    int width = static_cast<int>(static_cast<float>(screen_width) * screen_fraction);
    int height = static_cast<int>(static_cast<float>(screen_height) * screen_fraction);
    HWND window = CreateWindowExA(WS_EX_COMPOSITED, "ParentWindowClass", main_caption, main_style,
                                  (screen_width - width) / 2, (screen_height - height) / 2, width,
                                  height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        diag_line("Failed to create main window\n");
        report_fatal_error(ErrorName::WindowCreationError);
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // Whatever the quit code: the show's own end leaves the window to process exit.
    return 0;
}
