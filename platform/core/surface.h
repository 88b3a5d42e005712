// The composed surfaces of top-level windows: pixel writes and presentation to
// the host. Internal to platform/.
#pragma once
#include "platform/core/window_tree.h"

// 0x00BBGGRR to the surfaces' 0x00RRGGBB.
inline std::uint32_t rgb_of(COLORREF color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}
// Fills `area` (surface coordinates) of the surface of `writer`'s top-level
// window, leaving out `holes`. Other windows under the written pixels forget
// the colour they knew they showed.
void surface_fill(Window* writer, RECT area, const std::vector<RECT>& holes, std::uint32_t rgb);
// `area` (surface coordinates) of `writer`'s top-level surface was drawn
// pixel by pixel, over what surface_fill wrote there (which accounted for the
// windows under it).
void surface_mark_drawn(Window* writer, RECT area);
// Makes the surface match the window's size: kept pixels stay, new ones are black.
void surface_fit(Window* top_level);
// Hands every changed top-level window of this thread to the host.
void present_changed_windows(ThreadQueue& queue);
