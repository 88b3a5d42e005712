// Update regions, WM_PAINT order, BeginPaint / EndPaint, solid brushes and
// FillRect.
#include "platform/core/painting.h"

#include "platform/core/nonclient.h"
#include "platform/core/surface.h"
#include <unordered_map>

namespace {

std::unordered_map<HBRUSH, std::uint32_t> brushes; // handle -> 0x00RRGGBB
std::uintptr_t next_brush = 0x30010;

bool needs_paint(const Window* window) {
    return !rect_empty(window->update) || window->frame_pending;
}

// Applies `change` to the window's paint state and keeps its thread's count of
// windows waiting for paint, so that an idle queue need not search the tree.
template <typename Change> void change_paint_state(Window* window, Change&& change) {
    bool before = needs_paint(window);
    change();
    bool after = needs_paint(window);
    if (before != after) window->queue->windows_to_paint += after ? 1 : -1;
}

Window* search_paint(Window* window) {
    if (!window->visible || window->minimized) return nullptr;
    if (window->frame_pending) {
        draw_frame(window);
        change_paint_state(window, [&] { window->frame_pending = false; });
    }
    if (!rect_empty(window->update)) return window;
    for (Window* child : window->children) {
        if (Window* found = search_paint(child)) return found;
    }
    return nullptr;
}

// A device context is its window's handle with the low bit set; it is valid
// between BeginPaint and EndPaint.
HDC device_context_of(const Window* window) {
    return reinterpret_cast<HDC>(reinterpret_cast<std::uintptr_t>(window->handle) | 1);
}

Window* window_of(HDC context) {
    auto bits = reinterpret_cast<std::uintptr_t>(context);
    if (!(bits & 1)) return nullptr;
    Window* window = find_window(reinterpret_cast<HWND>(bits & ~std::uintptr_t(1)));
    return window && window->painting ? window : nullptr;
}

} // namespace

void invalidate_client(Window* window, const RECT* rect, bool erase) {
    if (!is_effectively_visible(window)) return;
    RECT area = rect ? rect_intersection(*rect, client_rect(window)) : client_rect(window);
    if (rect_empty(area)) return;
    change_paint_state(window, [&] {
        window->update = rect_union(window->update, area);
        window->erase_pending = window->erase_pending || erase;
    });
}

void invalidate_tree(Window* window) {
    for_each_in_tree(window, [](Window* member) {
        if (!is_effectively_visible(member)) return;
        change_paint_state(member, [&] { member->frame_pending = true; });
        invalidate_client(member, nullptr, true);
    });
}

void discard_paint_state(Window* window) {
    for_each_in_tree(window, [](Window* member) {
        change_paint_state(member, [&] {
            member->update = RECT{};
            member->erase_pending = false;
            member->frame_pending = false;
        });
    });
}

void forget_shown_colors(Window* window) {
    for_each_in_tree(window, [](Window* member) { member->shows_color = false; });
}

Window* next_window_to_paint(ThreadQueue& queue) {
    if (queue.windows_to_paint == 0) return nullptr;
    for (Window* top_level : top_level_windows()) {
        if (top_level->queue != &queue) continue;
        if (Window* found = search_paint(top_level)) return found;
    }
    return nullptr;
}

// ---- The API ------------------------------------------------------------------------

BOOL WINAPI InvalidateRect(HWND handle, const RECT* rect, BOOL erase) {
    Window* window = find_window(handle);
    if (!window) return FALSE;
    invalidate_client(window, rect, erase != FALSE);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND handle) {
    Window* window = find_window(handle);
    if (!window) return FALSE;
    if (is_effectively_visible(window) && !rect_empty(window->update))
        send_message(handle, WM_PAINT, 0, 0);
    return TRUE;
}

// Validates the update region before WM_ERASEBKGND, so that anything the
// erase handler invalidates waits for the next WM_PAINT.
HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    Window* window = find_window(handle);
    if (!window || !paint) return nullptr;
    if (window->frame_pending && is_effectively_visible(window)) {
        draw_frame(window);
        change_paint_state(window, [&] { window->frame_pending = false; });
    }
    RECT area = rect_intersection(window->update, client_rect(window));
    bool erase = window->erase_pending;
    change_paint_state(window, [&] {
        window->update = RECT{};
        window->erase_pending = false;
    });
    window->painting = true;
    window->paint_clip = area;
    HDC context = device_context_of(window);
    *paint = PAINTSTRUCT{};
    paint->hdc = context;
    paint->rcPaint = area;
    if (erase) {
        LRESULT erased = send_message(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
        paint->fErase = erased ? FALSE : TRUE;
    }
    return context;
}

BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT*) {
    if (Window* window = find_window(handle)) window->painting = false;
    return TRUE;
}

// Draws into the window's client area, clipped to it, to every ancestor's
// client area, to the paint rectangle and, with WS_CLIPCHILDREN, around the
// children. A fill that would only repeat the colour the whole client area
// already shows touches no pixel.
int WINAPI FillRect(HDC context, const RECT* rect, HBRUSH brush) {
    Window* window = window_of(context);
    auto found = brushes.find(brush);
    if (!window || !rect || found == brushes.end()) return 0;
    std::uint32_t rgb = found->second;
    if (!is_effectively_visible(window)) return 1;
    if (window->shows_color && window->shown_color == rgb) return 1;
    POINT origin = client_origin_on_surface(window);
    RECT visible = visible_client_on_surface(window);
    RECT clip = rect_intersection(visible, rect_offset(window->paint_clip, origin.x, origin.y));
    RECT inside = rect_intersection(*rect, client_rect(window)); // before any offset can overflow
    RECT area = rect_intersection(rect_offset(inside, origin.x, origin.y), clip);
    if (rect_empty(area)) return 1;
    std::vector<RECT> holes;
    if (window->style & WS_CLIPCHILDREN) {
        for (const Window* child : window->children) {
            if (!child->visible) continue;
            RECT hole = rect_intersection(visible_window_on_surface(child), area);
            if (!rect_empty(hole)) holes.push_back(hole);
        }
    }
    surface_fill(window, area, holes, rgb);
    window->shows_color = holes.empty() && rect_equal(area, visible);
    window->shown_color = rgb;
    window->shown_area = visible;
    return 1;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    HBRUSH brush = reinterpret_cast<HBRUSH>(next_brush);
    next_brush += 4;
    brushes.emplace(brush, rgb_of(color));
    return brush;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    return brushes.erase(static_cast<HBRUSH>(object)) ? TRUE : FALSE;
}
