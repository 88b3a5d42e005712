// The non-client area the layer draws itself: a one-pixel black frame for
// WS_BORDER, a caption bar with text, minimise and close buttons for
// WS_CAPTION. A WS_CAPTION window has no other frame, so a 1536 x 864 main
// window has a 1536 x 833 client area. Internal to platform/.
#pragma once
#include "platform/core/window_tree.h"

// Draws the window's frame or caption into its top-level surface.
void draw_frame(Window* window);
// WM_NCHITTEST's answer for a screen position.
LRESULT hit_test(const Window* window, int screen_x, int screen_y);

// The caption button (HTMINBUTTON, HTCLOSE) in window coordinates; empty when
// the window has none.
RECT caption_button_rect(const Window* window, LRESULT button);
