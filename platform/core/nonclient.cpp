// Frames and caption bars, drawn by the layer into the top-level surface, and
// hit testing by position.
#include "platform/core/nonclient.h"

#include "platform/core/caption_font.h"
#include "platform/core/surface.h"
#include <algorithm>

namespace {

constexpr std::uint32_t caption_background = 0x2B2B2B;
constexpr std::uint32_t caption_ink = 0xF0F0F0;
constexpr std::uint32_t border_colour = 0x000000;
constexpr int text_scale = 2;
constexpr int text_left = 10;
constexpr int glyph_advance = (glyph_width + 1) * text_scale;

// Writes one pixel of caption ink, if it lies inside `clip`. The bar under it
// has already gone through surface_fill; draw_caption then marks it drawn.
void put_ink(Surface& surface, const RECT& clip, int x, int y) {
    if (rect_contains(clip, x, y))
        surface.pixels[std::size_t(y) * std::size_t(surface.width) + std::size_t(x)] = caption_ink;
}

void draw_caption_text(Surface& surface, const RECT& clip, const std::string& text, int left,
                       int top) {
    int x = left;
    for (char character : text) {
        if (x >= clip.right) return;
        if (const std::uint8_t* rows = caption_glyph(character)) {
            for (int row = 0; row < glyph_height; ++row) {
                for (int column = 0; column < glyph_width; ++column) {
                    if (!(rows[row] & (0x10 >> column))) continue;
                    for (int dy = 0; dy < text_scale; ++dy)
                        for (int dx = 0; dx < text_scale; ++dx)
                            put_ink(surface, clip, x + column * text_scale + dx,
                                    top + row * text_scale + dy);
                }
            }
        }
        x += glyph_advance;
    }
}

void draw_caption(Window* window, const RECT& outer, const RECT& visible) {
    RECT bar = rect_intersection(
        RECT{outer.left, outer.top, outer.right, outer.top + caption_height}, visible);
    if (rect_empty(bar)) return;
    surface_fill(window, bar, {}, caption_background);
    Surface& surface = *top_level_of(window)->surface;

    RECT minimize = rect_offset(caption_button_rect(window, HTMINBUTTON), outer.left, outer.top);
    RECT close = rect_offset(caption_button_rect(window, HTCLOSE), outer.left, outer.top);
    RECT text_clip = bar;
    if (!rect_empty(close)) text_clip.right = std::min(text_clip.right, close.left);
    if (!rect_empty(minimize)) text_clip.right = std::min(text_clip.right, minimize.left);
    int text_top = outer.top + (caption_height - glyph_height * text_scale) / 2;
    draw_caption_text(surface, text_clip, window->title, outer.left + text_left, text_top);

    if (!rect_empty(minimize)) {
        int centre_x = (minimize.left + minimize.right) / 2;
        for (int x = centre_x - 5; x < centre_x + 5; ++x) put_ink(surface, bar, x, outer.top + 20);
    }
    if (!rect_empty(close)) {
        int centre_x = (close.left + close.right) / 2;
        int centre_y = outer.top + caption_height / 2;
        for (int i = 0; i < 10; ++i) {
            put_ink(surface, bar, centre_x - 5 + i, centre_y - 5 + i);
            put_ink(surface, bar, centre_x - 5 + i, centre_y + 4 - i);
        }
    }
    surface_mark_drawn(window, bar);
}

void draw_border(Window* window, const RECT& outer, const RECT& visible) {
    const RECT strips[] = {
        {outer.left, outer.top, outer.right, outer.top + 1},
        {outer.left, outer.bottom - 1, outer.right, outer.bottom},
        {outer.left, outer.top + 1, outer.left + 1, outer.bottom - 1},
        {outer.right - 1, outer.top + 1, outer.right, outer.bottom - 1},
    };
    for (const RECT& strip : strips) {
        RECT shown = rect_intersection(strip, visible);
        if (!rect_empty(shown)) surface_fill(window, shown, {}, border_colour);
    }
}

} // namespace

void draw_frame(Window* window) {
    if (!is_effectively_visible(window)) return;
    RECT outer = window_rect_on_surface(window);
    RECT visible = visible_window_on_surface(window);
    if (rect_empty(visible)) return;
    if (has_caption(window->style))
        draw_caption(window, outer, visible);
    else if (window->style & WS_BORDER)
        draw_border(window, outer, visible);
}

LRESULT hit_test(const Window* window, int screen_x, int screen_y) {
    RECT outer = screen_rect(window);
    if (!rect_contains(outer, screen_x, screen_y)) return HTNOWHERE;
    POINT origin = client_origin_on_screen(window);
    if (rect_contains(rect_offset(client_rect(window), origin.x, origin.y), screen_x, screen_y))
        return HTCLIENT;
    if (!has_caption(window->style) || screen_y >= outer.top + caption_height) return HTBORDER;
    int x = screen_x - outer.left;
    int y = screen_y - outer.top;
    if (rect_contains(caption_button_rect(window, HTCLOSE), x, y)) return HTCLOSE;
    if (rect_contains(caption_button_rect(window, HTMINBUTTON), x, y)) return HTMINBUTTON;
    return HTCAPTION;
}

// Buttons stand at the caption's right end: close outermost, minimise left of
// it; both need the system menu, as on Windows.
RECT caption_button_rect(const Window* window, LRESULT button) {
    if (!has_caption(window->style) || !(window->style & WS_SYSMENU)) return RECT{};
    int width = window_width(window);
    if (button == HTCLOSE) return RECT{width - caption_button_width, 0, width, caption_height};
    if (button == HTMINBUTTON && (window->style & WS_MINIMIZEBOX))
        return RECT{width - 2 * caption_button_width, 0, width - caption_button_width,
                    caption_height};
    return RECT{};
}
