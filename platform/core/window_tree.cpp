// The window records: the handle table, the tree, activation and geometry.
#include "platform/core/window_tree.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Guarded by core_mutex(): PostMessageA looks windows up from any thread.
std::unordered_map<HWND, std::unique_ptr<Window>> windows;
std::vector<Window*> top_levels;
Window* active = nullptr;
// How many window or timer procedures the calling thread is inside.
thread_local int procedures_running = 0;

} // namespace

std::mutex& core_mutex() {
    static std::mutex mutex;
    return mutex;
}

void insert_window(std::unique_ptr<Window> created) {
    Window* window = created.get();
    {
        std::lock_guard lock(core_mutex());
        windows.emplace(window->handle, std::move(created));
    }
    if (window->parent)
        window->parent->children.push_back(window);
    else
        top_levels.push_back(window);
}

void erase_window(Window* window) {
    if (active == window) activate_another(window);
    std::vector<Window*>& siblings = window->parent ? window->parent->children : top_levels;
    siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    std::lock_guard lock(core_mutex());
    windows.erase(window->handle);
}

FrameInsets frame_insets(DWORD style) {
    if (has_caption(style)) return FrameInsets{0, caption_height, 0, 0};
    if (style & WS_BORDER) return FrameInsets{1, 1, 1, 1};
    return FrameInsets{0, 0, 0, 0};
}

// ---- Rectangles ------------------------------------------------------------------

RECT rect_intersection(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return rect_empty(r) ? RECT{} : r;
}

RECT rect_union(const RECT& a, const RECT& b) {
    if (rect_empty(a)) return b;
    if (rect_empty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT rect_offset(const RECT& r, int dx, int dy) {
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// ---- Lookup and the tree ---------------------------------------------------------

Window* find_window(HWND handle) {
    if (!handle) return nullptr;
    auto found = windows.find(handle);
    return found == windows.end() ? nullptr : found->second.get();
}

const std::vector<Window*>& top_level_windows() {
    return top_levels;
}

Window* top_level_of(Window* window) {
    while (window->parent) window = window->parent;
    return window;
}

LRESULT send_message(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* window = find_window(handle);
    if (!window) return 0;
    ++procedures_running;
    LRESULT result = window->window_class->procedure(handle, message, wparam, lparam);
    --procedures_running;
    return result;
}

void call_timer_procedure(TIMERPROC procedure, HWND window, UINT_PTR id, DWORD time) {
    ++procedures_running;
    procedure(window, WM_TIMER, id, time);
    --procedures_running;
}

bool platform_in_procedure() {
    return procedures_running > 0;
}

bool is_effectively_visible(const Window* window) {
    for (; window; window = window->parent) {
        if (!window->visible || window->minimized) return false;
    }
    return true;
}

// ---- Geometry ---------------------------------------------------------------------

RECT placed_rect(int x, int y, int width, int height) {
    constexpr int low = -32768, high = 32767;
    x = std::clamp(x, low, high);
    y = std::clamp(y, low, high);
    return RECT{x, y, x + std::clamp(width, 0, high), y + std::clamp(height, 0, high)};
}

int window_width(const Window* window) {
    return window->rect.right - window->rect.left;
}
int window_height(const Window* window) {
    return window->rect.bottom - window->rect.top;
}

RECT client_rect(const Window* window) {
    FrameInsets insets = frame_insets(window->style);
    int width = window_width(window) - insets.left - insets.right;
    int height = window_height(window) - insets.top - insets.bottom;
    return RECT{0, 0, std::max(width, 0), std::max(height, 0)};
}

RECT screen_rect(const Window* window) {
    if (!window->parent) return window->rect;
    POINT origin = client_origin_on_screen(window->parent);
    return rect_offset(window->rect, origin.x, origin.y);
}

POINT client_origin_on_screen(const Window* window) {
    RECT rect = screen_rect(window);
    FrameInsets insets = frame_insets(window->style);
    return POINT{rect.left + insets.left, rect.top + insets.top};
}

RECT window_rect_on_surface(const Window* window) {
    if (!window->parent) return RECT{0, 0, window_width(window), window_height(window)};
    POINT origin = client_origin_on_surface(window->parent);
    return rect_offset(window->rect, origin.x, origin.y);
}

POINT client_origin_on_surface(const Window* window) {
    RECT rect = window_rect_on_surface(window);
    FrameInsets insets = frame_insets(window->style);
    return POINT{rect.left + insets.left, rect.top + insets.top};
}

namespace {
RECT clip_by_ancestors(const Window* window, RECT rect) {
    for (const Window* ancestor = window->parent; ancestor; ancestor = ancestor->parent) {
        POINT origin = client_origin_on_surface(ancestor);
        rect = rect_intersection(rect, rect_offset(client_rect(ancestor), origin.x, origin.y));
    }
    const Window* top = window;
    while (top->parent) top = top->parent;
    return rect_intersection(rect, RECT{0, 0, top->surface->width, top->surface->height});
}
} // namespace

RECT visible_client_on_surface(const Window* window) {
    POINT origin = client_origin_on_surface(window);
    return clip_by_ancestors(window, rect_offset(client_rect(window), origin.x, origin.y));
}

RECT visible_window_on_surface(const Window* window) {
    return clip_by_ancestors(window, window_rect_on_surface(window));
}

BOOL WINAPI IntersectRect(LPRECT destination, const RECT* first, const RECT* second) {
    if (!destination || !first || !second) return FALSE;
    const RECT common = rect_intersection(*first, *second);
    *destination = rect_empty(common) ? RECT{} : common;
    return !rect_empty(common);
}

BOOL WINAPI PtInRect(const RECT* rect, POINT point) {
    return rect && rect_contains(*rect, point.x, point.y);
}

// ---- Activation ---------------------------------------------------------------

Window* active_window() {
    return active;
}

void activate(Window* window) {
    active = window;
}

void activate_another(Window* leaving) {
    active = nullptr;
    for (Window* window : top_levels) {
        if (window != leaving && window->visible && !window->minimized) active = window;
    }
}
