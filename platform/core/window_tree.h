// The layer's window records and the geometry shared by its parts. Internal to
// platform/: the program sees only HWND values.
//
// Coordinates: a top-level window's `rect` is in screen coordinates, a child's
// in its parent's client coordinates. Each top-level window owns one surface
// (its whole window, caption included) into which the window and all its
// descendants draw; "surface coordinates" are relative to the top-level
// window's top-left corner.
#pragma once
#include "platform/core/win32_api.h"
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// ---- Queues (records; message_queue.cpp runs them) -------------------------

// Input as a host reports it, turned into window messages when the owning
// thread retrieves it (hit testing needs that thread's window procedures).
struct RawInput {
    enum Kind { Key, Mouse, Close, Restore } kind;
    UINT virtual_key;
    bool down;
    bool alt;
    int x;
    int y;
    bool button_event;
    HWND window; // Close, Restore
};

struct Timer {
    HWND window;
    UINT_PTR id;
    TIMERPROC procedure;
    std::uint64_t period_us;
    std::uint64_t next_expiry_us;
};

struct ThreadQueue {
    // Guarded by core_mutex(): other threads post here.
    std::deque<MSG> posted;
    // The owning thread's own.
    bool quit_pending = false;
    int quit_code = 0;
    std::vector<Timer> timers;
    int windows_to_paint = 0;
    bool tick_dispatched = false;
};

// Guards every queue's posted messages and input, and the handle table.
std::mutex& core_mutex();

// ---- Windows -------------------------------------------------------------------

struct WindowClass {
    std::string name;
    WNDPROC procedure;
    HBRUSH background;
};

// Pixels of a top-level window, 0x00RRGGBB, row-major with stride `width`.
struct Surface {
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    RECT dirty{};                           // changed since the last present (surface coordinates)
    std::vector<RECT> dirty_parts;          // the pieces of `dirty`, as written
    std::vector<std::uint32_t> dirty_fills; // each piece's one colour, or host_mixed_part
    bool placement_changed = true;          // place or visibility changed since the last present
};

struct Window {
    HWND handle;
    const WindowClass* window_class;
    ThreadQueue* queue;
    HINSTANCE instance;
    DWORD style;
    std::string title;
    Window* parent;
    std::vector<Window*> children; // bottom of the z-order first
    RECT rect;
    bool visible;
    bool minimized;
    bool destroying;

    // Painting.
    RECT update;        // client coordinates; empty when valid
    bool erase_pending; // the update region wants WM_ERASEBKGND
    bool frame_pending; // the non-client area must be drawn again
    bool painting;      // between BeginPaint and EndPaint
    RECT paint_clip;    // client coordinates, while painting
    // The whole visible client area is known to show `shown_color`
    // (0x00RRGGBB), so filling it again with that colour can be skipped.
    bool shows_color;
    std::uint32_t shown_color;
    RECT shown_area; // surface coordinates of that client area

    std::unique_ptr<Surface> surface; // top-level windows only
};

// ---- Rectangles ------------------------------------------------------------------

inline bool rect_empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
RECT rect_intersection(const RECT& a, const RECT& b);
// The bounding rectangle of both; an empty rectangle counts as nothing.
RECT rect_union(const RECT& a, const RECT& b);
RECT rect_offset(const RECT& r, int dx, int dy);
inline bool rect_equal(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
// Whether two rectangles share a pixel, without building their intersection
// (a fill asks it of every window of the tree); an empty one may answer true.
inline bool rects_overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
inline bool rect_contains(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// ---- Lookup and the tree ---------------------------------------------------------

// The live window with this handle, or null (destroyed windows are forgotten).
Window* find_window(HWND handle);
// Top-level windows in creation order (the last one is on top).
const std::vector<Window*>& top_level_windows();
Window* top_level_of(Window* window);
// Sends a message: calls the window's procedure at once. 0 for a dead window.
LRESULT send_message(HWND handle, UINT message, WPARAM wparam, LPARAM lparam);
// Calls a timer's procedure; while it runs, platform_in_procedure() holds as
// it does inside a window procedure.
void call_timer_procedure(TIMERPROC procedure, HWND window, UINT_PTR id, DWORD time);
// Shown, with every ancestor shown, and not inside a minimised window.
bool is_effectively_visible(const Window* window);

// Enters a new window in the handle table and in its parent's children (or
// the top-level windows), on top.
void insert_window(std::unique_ptr<Window> window);
// Takes a window out of the table and the tree, and out of activation.
void erase_window(Window* window);

// Calls `visit` for `window` and every descendant, parents before children,
// children bottom to top.
template <typename Visit> void for_each_in_tree(Window* window, Visit&& visit) {
    visit(window);
    for (Window* child : window->children) for_each_in_tree(child, visit);
}

// ---- Geometry ---------------------------------------------------------------------

// The frame the layer draws: a WS_CAPTION window has a caption bar and no
// other frame, a WS_BORDER window a one-pixel border.
constexpr int caption_height = 31;
constexpr int caption_button_width = 46;

struct FrameInsets {
    int left;
    int top;
    int right;
    int bottom;
};
FrameInsets frame_insets(DWORD style);
// WS_CAPTION is two style bits; both must be set.
inline bool has_caption(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION;
}

// A window rectangle from a place and size as the API takes them, kept to the
// 16-bit coordinate space of Windows so that no later sum can overflow.
RECT placed_rect(int x, int y, int width, int height);
int window_width(const Window* window);
int window_height(const Window* window);
// {0, 0, client width, client height}.
RECT client_rect(const Window* window);
RECT screen_rect(const Window* window);
POINT client_origin_on_screen(const Window* window);
RECT window_rect_on_surface(const Window* window);
POINT client_origin_on_surface(const Window* window);
// The part of the surface where the window's client area can be seen: its
// client rectangle clipped by every ancestor's client area and the surface.
RECT visible_client_on_surface(const Window* window);
// The part of the surface where the window itself (frame included) can be seen.
RECT visible_window_on_surface(const Window* window);

// ---- Activation ---------------------------------------------------------------

// The top-level window that receives keyboard input, or null.
Window* active_window();
void activate(Window* window);
// The active window is going away: the topmost other shown window takes over.
void activate_another(Window* leaving);
