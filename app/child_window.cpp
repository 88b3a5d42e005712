// The cell windows' procedure: the layer keeps no per-window data, so the
// cells find their grid in the application state.
#include "app/app_state.h"

LRESULT hit_test_without_drag(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const LRESULT hit = DefWindowProcA(window, message, wparam, lparam);
    return hit == HTCAPTION ? HTCLIENT : hit;
}

LRESULT CALLBACK ChildWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCHITTEST:
        return hit_test_without_drag(window, message, wparam, lparam);
    case WM_ERASEBKGND:
        return 1; // the paint covers the whole update rectangle
    case WM_PAINT:
        paint_cell(app_state.grid, window);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}
