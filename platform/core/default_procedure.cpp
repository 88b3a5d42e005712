// DefWindowProcA: what Windows does for the messages a procedure passes on.
#include "platform/core/input.h"
#include "platform/core/nonclient.h"
#include "platform/core/window_tree.h"

namespace {

int signed_low(LPARAM value) {
    return short(WORD(value & 0xFFFF));
}
int signed_high(LPARAM value) {
    return short(WORD((value >> 16) & 0xFFFF));
}

LRESULT system_command(HWND handle, WPARAM command) {
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        send_message(handle, WM_CLOSE, 0, 0);
        break;
    case SC_MOVE:
        begin_window_move(handle);
        break;
    case SC_MINIMIZE:
        ShowWindow(handle, SW_MINIMIZE);
        break;
    case SC_RESTORE:
        ShowWindow(handle, SW_RESTORE);
        break;
    }
    return 0;
}

// The class brush paints the background; without one nothing is drawn and the
// pixels keep what they showed.
LRESULT erase_background(Window* window, WPARAM context) {
    HBRUSH brush = window->window_class->background;
    if (!brush) return 0;
    RECT client = client_rect(window);
    return FillRect(reinterpret_cast<HDC>(context), &client, brush) ? 1 : 0;
}

} // namespace

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* window = find_window(handle);
    if (!window) return 0;
    switch (message) {
    case WM_NCHITTEST:
        return hit_test(window, signed_low(lparam), signed_high(lparam));
    case WM_NCLBUTTONDOWN:
        // A move starts only where hit testing said caption.
        if (wparam == HTCAPTION)
            send_message(handle, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lparam);
        else if (wparam == HTCLOSE || wparam == HTMINBUTTON)
            press_caption_button(handle, LRESULT(wparam));
        return 0;
    case WM_NCLBUTTONUP:
        if (release_caption_button(handle, LRESULT(wparam)))
            send_message(handle, WM_SYSCOMMAND, wparam == HTCLOSE ? SC_CLOSE : SC_MINIMIZE, lparam);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes, by way of the system menu's command.
        if (wparam == VK_F4 && (lparam & (LPARAM(1) << 29)))
            PostMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        return system_command(handle, wparam);
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_ERASEBKGND:
        return erase_background(window, wparam);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(handle, &paint);
        EndPaint(handle, &paint);
        return 0;
    }
    }
    return 0;
}
