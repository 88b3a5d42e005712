// Window classes, and the life of a window: creation with WM_CREATE,
// destruction with WM_DESTROY to the window before its children.
#include "platform/core/window_life.h"

#include "platform/core/input.h"
#include "platform/core/message_queue.h"
#include "platform/core/nonclient.h"
#include "platform/core/painting.h"
#include "platform/core/surface.h"
#include "platform/core/window_tree.h"
#include "platform/host.h"
#include <strings.h>

namespace {

std::vector<std::unique_ptr<WindowClass>> classes;
std::uintptr_t next_handle = 0x10010;
ATOM next_atom = 0xC000;

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
    HWND handle = window->handle;
    bool top_level = !window->parent;
    erase_window(window);
    if (top_level) host_window_destroyed(handle);
}

} // namespace

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
    if (!parent) window->surface = std::make_unique<Surface>();
    insert_window(std::move(created));
    if (!parent) surface_fit(window);

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
    while (!top_level_windows().empty()) {
        Window* window = top_level_windows().back();
        if (!DestroyWindow(window->handle)) release_tree(window);
    }
}
