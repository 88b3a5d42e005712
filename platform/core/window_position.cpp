// Window places, sizes and visibility: SetWindowPos, deferred batches,
// ShowWindow, and the rectangles the program reads back.
#include "platform/core/window_position.h"

#include "platform/core/faults.h"
#include "platform/core/nonclient.h"
#include "platform/core/painting.h"
#include "platform/core/surface.h"
#include "platform/core/window_tree.h"
#include "platform/host.h"
#include <algorithm>
#include <unordered_map>

namespace {

struct DeferredMove {
    HWND window;
    int x;
    int y;
    int width;
    int height;
    UINT flags;
};

std::unordered_map<HDWP, std::vector<DeferredMove>> batches;
std::uintptr_t next_batch = 0x20010;

void uncover(Window* window) {
    if (window->parent && is_effectively_visible(window))
        invalidate_client(window->parent, &window->rect, true);
}

// Children never keep their pixels when they move (as with SWP_NOCOPYBITS):
// the place they leave and the window itself are painted again.
void place_window(Window* window, const RECT& rect, bool redraw) {
    if (rect_equal(rect, window->rect)) return;
    bool resized = rect.right - rect.left != window_width(window) ||
                   rect.bottom - rect.top != window_height(window);
    if (!window->parent) {
        window->rect = rect;
        window->surface->placement_changed = true;
        if (resized) {
            surface_fit(window);
            forget_shown_colors(window);
            invalidate_tree(window);
        }
        return;
    }
    if (redraw) uncover(window);
    window->rect = rect;
    forget_shown_colors(window);
    if (redraw) invalidate_tree(window);
}

void hide(Window* window) {
    uncover(window);
    discard_paint_state(window);
    forget_shown_colors(window);
    window->visible = false;
    if (!window->parent) window->surface->placement_changed = true;
    if (active_window() == window) activate_another(window);
}

void minimize(Window* window) {
    discard_paint_state(window);
    window->visible = true;
    window->minimized = true;
    window->surface->placement_changed = true;
    if (active_window() == window) activate_another(window);
}

void show_normal(Window* window) {
    if (!window->parent) activate(window);
    if (window->visible && !window->minimized) return;
    window->visible = true;
    window->minimized = false;
    if (!window->parent) window->surface->placement_changed = true;
    invalidate_tree(window);
}

} // namespace

BOOL WINAPI SetWindowPos(HWND handle, HWND, int x, int y, int width, int height, UINT flags) {
    Window* window = find_window(handle);
    if (!window) return FALSE;
    if (flags & SWP_NOMOVE) {
        x = window->rect.left;
        y = window->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        width = window_width(window);
        height = window_height(window);
    }
    place_window(window, placed_rect(x, y, width, height), !(flags & SWP_NOREDRAW));
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    Window* window = find_window(handle);
    if (!window) return FALSE;
    BOOL was_visible = window->visible ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        if (window->visible) hide(window);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        if (!window->parent && !window->minimized) minimize(window);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_RESTORE:
        show_normal(window);
        break;
    }
    return was_visible;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
    Window* window = find_window(handle);
    if (!window || !rect) return FALSE;
    *rect = screen_rect(window);
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
    Window* window = find_window(handle);
    if (!window || !rect) return FALSE;
    *rect = client_rect(window);
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return host_screen_width();
    case SM_CYSCREEN:
        return host_screen_height();
    case SM_CYCAPTION:
        return caption_height;
    case SM_CXSIZE:
        return caption_button_width;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    }
    return 0;
}

HDWP WINAPI BeginDeferWindowPos(int window_count) {
    if (window_count < 0 || fault_take_begin_defer_window_pos_refusal()) return nullptr;
    HDWP batch = reinterpret_cast<HDWP>(next_batch);
    next_batch += 4;
    batches[batch].reserve(std::size_t(window_count));
    return batch;
}

// As on Windows, a failed DeferWindowPos abandons the whole batch.
HDWP WINAPI DeferWindowPos(HDWP batch, HWND handle, HWND, int x, int y, int width, int height,
                           UINT flags) {
    auto found = batches.find(batch);
    if (found == batches.end()) return nullptr;
    if (!find_window(handle)) {
        batches.erase(found);
        return nullptr;
    }
    found->second.push_back(DeferredMove{handle, x, y, width, height, flags});
    return batch;
}

// Every move of the batch lands before anything is presented again.
BOOL WINAPI EndDeferWindowPos(HDWP batch) {
    auto found = batches.find(batch);
    if (found == batches.end()) return FALSE;
    std::vector<DeferredMove> moves = std::move(found->second);
    batches.erase(found);
    for (const DeferredMove& move : moves)
        SetWindowPos(move.window, nullptr, move.x, move.y, move.width, move.height, move.flags);
    return TRUE;
}

void forget_deferred_batches() {
    batches.clear();
}
