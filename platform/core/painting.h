// Update regions, the order of WM_PAINT and the pixel writes of windows.
// Internal to platform/.
#pragma once
#include "platform/core/window_tree.h"

// Adds `rect` (client coordinates; null: the whole client area) to the
// window's update region. Windows that cannot be seen keep no update region:
// showing them repaints them whole.
void invalidate_client(Window* window, const RECT* rect, bool erase);
// The window and its descendants must be drawn again whole, frames included.
void invalidate_tree(Window* window);
// The window and its descendants drop their pending paints (they were hidden).
void discard_paint_state(Window* window);
// The window and its descendants no longer know what colour they show (they
// moved or their clip changed).
void forget_shown_colors(Window* window);
// The next window of this thread that waits for WM_PAINT, in tree order
// (parents before children, children bottom to top), or null. Pending frames
// met on the way are drawn at once.
Window* next_window_to_paint(ThreadQueue& queue);
