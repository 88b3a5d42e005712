// Host input: keys go to the active top-level window, the pointer to the
// window under it after WM_NCHITTEST; a move started by DefWindowProcA makes
// the window follow the pointer until the button is released.
#include "platform/core/input.h"

#include "platform/core/window_tree.h"
#include "platform/host.h"

namespace {

POINT cursor{};
bool button_down = false;
HWND moving = nullptr;
HWND pressed_window = nullptr;
LRESULT pressed_button = HTNOWHERE;

LPARAM pack_point(int x, int y) {
    return LPARAM(DWORD(WORD(x)) | (DWORD(WORD(y)) << 16));
}

Window* child_at(Window* window, int x, int y) {
    POINT origin = client_origin_on_screen(window);
    if (!rect_contains(rect_offset(client_rect(window), origin.x, origin.y), x, y)) return window;
    for (auto child = window->children.rbegin(); child != window->children.rend(); ++child) {
        if ((*child)->visible && rect_contains(screen_rect(*child), x, y))
            return child_at(*child, x, y);
    }
    return window;
}

Window* window_at(int x, int y) {
    const std::vector<Window*>& top_levels = top_level_windows();
    for (auto top = top_levels.rbegin(); top != top_levels.rend(); ++top) {
        if ((*top)->visible && !(*top)->minimized && rect_contains(screen_rect(*top), x, y))
            return child_at(*top, x, y);
    }
    return nullptr;
}

void follow_pointer(int x, int y) {
    if (Window* window = find_window(moving)) {
        SetWindowPos(moving, nullptr, window->rect.left + x - cursor.x,
                     window->rect.top + y - cursor.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}

bool translate_key(const RawInput& input, MSG* message) {
    Window* target = active_window();
    if (!target) return false;
    UINT kind = input.alt ? (input.down ? WM_SYSKEYDOWN : WM_SYSKEYUP)
                          : (input.down ? WM_KEYDOWN : WM_KEYUP);
    LPARAM flags = 1 | (input.alt ? LPARAM(1) << 29 : 0) | (input.down ? 0 : LPARAM(3) << 30);
    *message = MSG{target->handle, kind, input.virtual_key, flags, 0, {}};
    return true;
}

bool translate_pointer(const RawInput& input, MSG* message) {
    if (input.button_event) button_down = input.down;
    if (moving) {
        follow_pointer(input.x, input.y);
        if (input.button_event && !input.down) moving = nullptr;
        cursor = POINT{input.x, input.y};
        return false;
    }
    cursor = POINT{input.x, input.y};
    Window* target = window_at(input.x, input.y);
    if (!target) return false;
    HWND handle = target->handle;
    LRESULT hit = send_message(handle, WM_NCHITTEST, 0, pack_point(input.x, input.y));
    target = find_window(handle);
    if (!target || hit == HTTRANSPARENT) return false;
    if (hit == HTCLIENT) {
        POINT origin = client_origin_on_screen(target);
        UINT kind = !input.button_event ? WM_MOUSEMOVE : input.down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        *message = MSG{handle,
                       kind,
                       WPARAM(button_down ? MK_LBUTTON : 0),
                       pack_point(input.x - origin.x, input.y - origin.y),
                       0,
                       {}};
    } else {
        UINT kind = !input.button_event ? WM_NCMOUSEMOVE
                    : input.down        ? WM_NCLBUTTONDOWN
                                        : WM_NCLBUTTONUP;
        *message = MSG{handle, kind, WPARAM(hit), pack_point(input.x, input.y), 0, {}};
    }
    return true;
}

} // namespace

bool translate_input(const RawInput& input, MSG* message) {
    switch (input.kind) {
    case RawInput::Key:
        return translate_key(input, message);
    case RawInput::Mouse:
        return translate_pointer(input, message);
    case RawInput::Close:
    case RawInput::Restore:
        if (!find_window(input.window)) return false;
        *message = MSG{input.window,
                       WM_SYSCOMMAND,
                       WPARAM(input.kind == RawInput::Close ? SC_CLOSE : SC_RESTORE),
                       0,
                       0,
                       {}};
        return true;
    }
    return false;
}

POINT cursor_position() {
    return cursor;
}

void begin_window_move(HWND window) {
    moving = window;
}

void press_caption_button(HWND window, LRESULT button) {
    pressed_window = window;
    pressed_button = button;
}

bool release_caption_button(HWND window, LRESULT button) {
    bool same = pressed_window == window && pressed_button == button;
    pressed_window = nullptr;
    pressed_button = HTNOWHERE;
    return same;
}

void forget_window_input(HWND window) {
    if (moving == window) moving = nullptr;
    if (pressed_window == window) pressed_window = nullptr;
}

void reset_input_tracking() {
    cursor = POINT{};
    button_down = false;
    moving = nullptr;
    pressed_window = nullptr;
    pressed_button = HTNOWHERE;
}
