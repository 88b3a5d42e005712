// The non-client area the layer draws itself: a one-pixel black frame for
// WS_BORDER, a caption bar with text, minimise and close buttons for
// WS_CAPTION. A WS_CAPTION window has no other frame, so a 1536 x 864 main
// window has a 1536 x 833 client area. Internal to platform/.
#pragma once
#include "platform/core/window_tree.h"

constexpr int caption_height = 31;
constexpr int caption_button_width = 46;

struct FrameInsets {
    int left;
    int top;
    int right;
    int bottom;
};
FrameInsets frame_insets(DWORD style);

// Draws the window's frame or caption into its top-level surface.
void draw_frame(Window* window);
// WM_NCHITTEST's answer for a screen position.
LRESULT hit_test(const Window* window, int screen_x, int screen_y);
// Seven rows of five pixels (bit 4 leftmost) for a caption character; null
// for characters the font lacks (drawn as blanks).
const std::uint8_t* caption_glyph(char character);
constexpr int glyph_width = 5;
constexpr int glyph_height = 7;

// The caption button (HTMINBUTTON, HTCLOSE) in window coordinates; empty when
// the window has none.
RECT caption_button_rect(const Window* window, LRESULT button);
