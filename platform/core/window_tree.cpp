// Window classes, creation and destruction, and the geometry of the tree.
#include "platform/core/window_tree.h"

#include "platform/core/input.h"
#include "platform/core/message_queue.h"
#include "platform/core/nonclient.h"
#include "platform/core/painting.h"
#include "platform/host.h"
#include <algorithm>
#include <strings.h>
#include <unordered_map>

namespace {

std::vector<std::unique_ptr<WindowClass>> classes;
// Guarded by core_mutex(): PostMessageA looks windows up from any thread.
std::unordered_map<HWND, std::unique_ptr<Window>> windows;
std::vector<Window*> top_levels;
std::uintptr_t next_handle = 0x10010;
ATOM next_atom = 0xC000;
Window* active = nullptr;

const WindowClass* find_class(LPCSTR name) {
    if (!name) return nullptr;
    for (const auto& window_class : classes)
        if (strcasecmp(window_class->name.c_str(), name) == 0) return window_class.get();
    return nullptr;
}

// WM_DESTROY goes to a window before its children.
void send_destroy(HWND handle) {
    Window* window = find_window(handle);
    if (!window) return;
    window->destroying = true;
    send_message(handle, WM_DESTROY, 0, 0);
    window = find_window(handle);
    if (!window) return;
    std::vector<HWND> children;
    for (Window* child : window->children) children.push_back(child->handle);
    for (HWND child : children) send_destroy(child);
}

void release_tree(Window* window) {
    while (!window->children.empty()) release_tree(window->children.back());
    forget_window_messages(window->handle);
    forget_window_input(window->handle);
    discard_paint_state(window);
    if (active == window) activate_another(window);
    std::vector<Window*>& siblings = window->parent ? window->parent->children : top_levels;
    siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    HWND handle = window->handle;
    bool top_level = !window->parent;
    {
        std::lock_guard lock(core_mutex());
        windows.erase(handle);
    }
    if (top_level) host_window_destroyed(handle);
}

} // namespace

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
    return window->window_class->procedure(handle, message, wparam, lparam);
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

// ---- The API ------------------------------------------------------------------------

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* window_class) {
    if (!window_class || window_class->cbSize != sizeof(WNDCLASSEXA) ||
        !window_class->lpszClassName || !window_class->lpfnWndProc)
        return 0;
    if (find_class(window_class->lpszClassName)) return 0;
    classes.push_back(std::make_unique<WindowClass>(WindowClass{
        window_class->lpszClassName, window_class->lpfnWndProc, window_class->hbrBackground}));
    return next_atom++;
}

// The extended style changes nothing: every top-level window is composed in
// one buffer, as WS_EX_COMPOSITED asks.
HWND WINAPI CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y,
                            int width, int height, HWND parent_handle, HMENU, HINSTANCE instance,
                            LPVOID) {
    const WindowClass* window_class = find_class(class_name);
    Window* parent = find_window(parent_handle);
    if (!window_class || ((style & WS_CHILD) && !parent)) return nullptr;
    if (!(style & WS_CHILD)) parent = nullptr; // an owner is not a parent
    if (!parent && !host_can_show_windows()) return nullptr;

    auto created = std::make_unique<Window>();
    Window* window = created.get();
    window->handle = reinterpret_cast<HWND>(next_handle);
    next_handle += 4;
    window->window_class = window_class;
    window->queue = &current_queue();
    window->instance = instance;
    window->style = style & ~DWORD(WS_VISIBLE);
    window->title = title ? title : "";
    window->parent = parent;
    window->rect = placed_rect(x, y, width, height);
    HWND handle = window->handle;
    {
        std::lock_guard lock(core_mutex());
        windows.emplace(handle, std::move(created));
    }
    if (parent) {
        parent->children.push_back(window);
    } else {
        top_levels.push_back(window);
        window->surface = std::make_unique<Surface>();
        surface_fit(window);
    }

    if (send_message(handle, WM_CREATE, 0, 0) == -1) DestroyWindow(handle);
    window = find_window(handle);
    if (!window || window->destroying) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND handle) {
    Window* window = find_window(handle);
    if (!window || window->destroying) return FALSE;
    if (window->parent && is_effectively_visible(window)) {
        invalidate_client(window->parent, &window->rect, true);
    }
    send_destroy(handle);
    window = find_window(handle);
    if (window) release_tree(window);
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND handle, int index) {
    Window* window = find_window(handle);
    if (!window || index != GWLP_HINSTANCE) return 0;
    return reinterpret_cast<LONG_PTR>(window->instance);
}

void destroy_all_windows() {
    while (!top_levels.empty()) {
        Window* window = top_levels.back();
        if (!DestroyWindow(window->handle)) release_tree(window);
    }
}
