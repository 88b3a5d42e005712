// Presentation on the browser host: the page's canvas is the screen. Each
// top-level window keeps a copy of its pixels in the canvas's byte order
// (R, G, B, A); a present converts only the parts that changed and hands
// the page the window's place and those parts, which it puts on the canvas.
#include "platform/host.h"
#include "platform/web/web_host.h"
#include <algorithm>
#include <cstdint>
#include <vector>
#include <wasm_simd128.h>

extern "C" {
// `frame` holds the widths of the window's frame (left, top, right, bottom)
// around its client area; `rects` holds `rect_count` changed parts as x, y,
// width, height in window coordinates; `pixels` is the whole window, `width`
// pixels a row.
void web_present(int window, int x, int y, int width, int height, int visible, int minimized,
                 const int* frame, const std::uint32_t* pixels, const int* rects, int rect_count);
void web_window_gone(int window);
}

namespace {

struct ShownWindow {
    HWND window;
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

// More pieces than this cost the page more to put one by one than their
// bounding box does (a whole grid repainting at once).
constexpr int max_parts = 32;

std::vector<ShownWindow> shown;
std::vector<int> changed_parts; // x, y, width, height per part

// 0x00RRGGBB as the canvas's bytes R, G, B, A: the little-endian word 0xAABBGGRR.
std::uint32_t canvas_pixel(std::uint32_t rgb) {
    return 0xFF000000u | (rgb & 0xFFu) << 16 | (rgb & 0xFF00u) | (rgb >> 16 & 0xFFu);
}

// `part` inside the window, or an empty rectangle.
RECT clipped(const ShownWindow& shown_window, RECT part) {
    RECT inside{std::max(0, static_cast<int>(part.left)), std::max(0, static_cast<int>(part.top)),
                std::min(shown_window.width, static_cast<int>(part.right)),
                std::min(shown_window.height, static_cast<int>(part.bottom))};
    return inside.left < inside.right && inside.top < inside.bottom ? inside : RECT{};
}

// One row of `count` pixels, four at a time in a 128-bit vector: each
// little-endian word's bytes B, G, R, 0 become R, G, B, 255.
void convert_row(const std::uint32_t* from, std::uint32_t* to, int count) {
    const v128_t opaque = wasm_i32x4_splat(static_cast<std::int32_t>(0xFF000000u));
    int x = 0;
    for (; x + 4 <= count; x += 4) {
        const v128_t rgb = wasm_v128_load(from + x);
        const v128_t swapped =
            wasm_i8x16_shuffle(rgb, rgb, 2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
        wasm_v128_store(to + x, wasm_v128_or(swapped, opaque));
    }
    for (; x < count; ++x) to[x] = canvas_pixel(from[x]);
}

// Converts `part` (clipped, perhaps empty) into the window's canvas copy.
void copy_part(ShownWindow& shown_window, const HostWindowImage& image, RECT part) {
    for (int y = part.top; y < part.bottom; ++y) {
        const std::uint32_t* from = image.pixels + std::size_t(y) * std::size_t(image.stride);
        std::uint32_t* to = shown_window.pixels.data() + std::size_t(y) * std::size_t(image.width);
        convert_row(from + part.left, to + part.left, static_cast<int>(part.right - part.left));
    }
}

// Names `part` (clipped) among the parts the page puts on the canvas.
void show_part(RECT part) {
    if (part.left == part.right) return;
    changed_parts.insert(changed_parts.end(),
                         {static_cast<int>(part.left), static_cast<int>(part.top),
                          static_cast<int>(part.right - part.left),
                          static_cast<int>(part.bottom - part.top)});
}

void copy_and_show(ShownWindow& shown_window, const HostWindowImage& image, RECT part) {
    part = clipped(shown_window, part);
    copy_part(shown_window, image, part);
    show_part(part);
}

ShownWindow& shown_window_for(HWND window) {
    for (ShownWindow& known : shown)
        if (known.window == window) return known;
    return shown.emplace_back(ShownWindow{window, 0, 0, {}});
}

} // namespace

void host_present(const HostWindowImage& image) {
    ShownWindow& window = shown_window_for(image.window);
    changed_parts.clear();
    if (image.width != window.width || image.height != window.height) {
        window.width = image.width;
        window.height = image.height;
        window.pixels.assign(std::size_t(image.width) * std::size_t(image.height), 0);
        copy_and_show(window, image, RECT{0, 0, image.width, image.height});
    } else if (image.dirty_part_count > max_parts) {
        // Only the pieces are converted (in a repainting grid the frames and
        // the cells that kept their grey are not), but the page puts their
        // bounding box.
        for (int i = 0; i < image.dirty_part_count; ++i)
            copy_part(window, image, clipped(window, image.dirty_parts[i]));
        show_part(clipped(window, image.dirty));
    } else {
        for (int i = 0; i < image.dirty_part_count; ++i)
            copy_and_show(window, image, image.dirty_parts[i]);
    }
    // The frame is as wide on the left, the right and the bottom; a caption
    // adds to the top.
    RECT client{};
    GetClientRect(image.window, &client);
    const int side = (image.width - client.right) / 2;
    const int frame[4] = {side, image.height - client.bottom - side, side, side};
    web_present(page_id(image.window), image.screen_rect.left, image.screen_rect.top, image.width,
                image.height, image.visible, image.minimized, frame, window.pixels.data(),
                changed_parts.data(), static_cast<int>(changed_parts.size() / 4));
}

void host_window_destroyed(HWND window) {
    for (auto it = shown.begin(); it != shown.end(); ++it) {
        if (it->window != window) continue;
        shown.erase(it);
        web_window_gone(page_id(window));
        return;
    }
}
