// The headless host's clock, screen and input.
#include "platform/headless/headless.h"

#include "platform/headless/headless_audio.h"
#include "platform/host.h"
#include <algorithm>
#include <cstdio>

namespace {

constexpr int default_screen_width = 1920;
constexpr int default_screen_height = 1080;

std::uint64_t now_us = 0;
int screen_width = default_screen_width;
int screen_height = default_screen_height;
// A top-level window as last presented: the host keeps its own copy of the
// pixels, so that the screen changes only when the core presents.
struct ShownWindow {
    HWND window;
    RECT screen_rect;
    bool visible;
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};
std::vector<ShownWindow> shown; // first presented first (the bottom)
HeadlessTickObserver tick_observer;
std::uint64_t ticks = 0;

ShownWindow* shown_window(HWND window) {
    for (ShownWindow& known : shown)
        if (known.window == window) return &known;
    return nullptr;
}

std::uint32_t window_pixel(const ShownWindow& window, int x, int y) {
    if (x < 0 || y < 0 || x >= window.width || y >= window.height) return 0;
    return window.pixels[std::size_t(y) * std::size_t(window.width) + std::size_t(x)];
}

// Copies what changed: the pieces of the change, or everything when the
// size changed.
void take_pixels(ShownWindow& window, const HostWindowImage& image) {
    RECT whole{0, 0, image.width, image.height};
    const RECT* parts = image.dirty_parts;
    int part_count = image.dirty_part_count;
    if (image.width != window.width || image.height != window.height) {
        window.width = image.width;
        window.height = image.height;
        window.pixels.assign(std::size_t(image.width) * std::size_t(image.height), 0);
        parts = &whole;
        part_count = 1;
    }
    for (int part = 0; part < part_count; ++part) {
        RECT changed{};
        IntersectRect(&changed, &parts[part], &whole);
        for (int y = changed.top; y < changed.bottom; ++y) {
            std::size_t row = std::size_t(y) * std::size_t(window.width);
            const std::uint32_t* from = image.pixels + std::size_t(y) * std::size_t(image.stride) +
                                        std::size_t(changed.left);
            std::copy(from, from + (changed.right - changed.left),
                      window.pixels.data() + row + std::size_t(changed.left));
        }
    }
}

void observe_tick() {
    ++ticks;
    if (tick_observer) tick_observer(ticks);
}

void click(int x, int y) {
    platform_input_mouse(x, y, false, false);
    platform_input_mouse(x, y, true, true);
    platform_input_mouse(x, y, true, false);
}

void click_caption_button(HWND window, LRESULT button) {
    RECT place{};
    if (!GetWindowRect(window, &place)) return;
    const int button_width = GetSystemMetrics(SM_CXSIZE);
    int right = place.right - place.left;
    int left = button == HTCLOSE ? right - button_width : right - 2 * button_width;
    click(place.left + left + button_width / 2, place.top + GetSystemMetrics(SM_CYCAPTION) / 2);
}

} // namespace

// ---- The host interface --------------------------------------------------------------

std::uint64_t host_time_us() {
    return now_us;
}

void host_wait_until(std::uint64_t deadline_us) {
    std::uint64_t until = std::min(deadline_us, headless_audio_next_completion_us());
    if (until == UINT64_MAX) {
        std::fputs("headless: nothing left to wait for (no timer, no sound, no input): "
                   "the program would hang forever\n",
                   stderr);
        ExitProcess(headless_deadlock_exit_code);
    }
    now_us = std::max(now_us, until);
    headless_audio_advance_to(now_us);
}

void host_wake() {}

int host_screen_width() {
    return screen_width;
}
int host_screen_height() {
    return screen_height;
}

bool host_can_show_windows() {
    return true;
}

void host_present(const HostWindowImage& image) {
    ShownWindow* window = shown_window(image.window);
    if (!window) window = &shown.emplace_back(ShownWindow{image.window, {}, false, 0, 0, {}});
    window->screen_rect = image.screen_rect;
    window->visible = image.visible;
    take_pixels(*window, image);
}

void host_window_destroyed(HWND window) {
    std::erase_if(shown, [&](const ShownWindow& known) { return known.window == window; });
}

// ---- Clock ------------------------------------------------------------------------

std::uint64_t headless_now_us() {
    return now_us;
}

bool headless_run_for(std::uint64_t duration_us) {
    return platform_run_until(now_us + duration_us);
}

// ---- Screen -----------------------------------------------------------------------

void headless_set_screen_size(int width, int height) {
    screen_width = width;
    screen_height = height;
}

std::uint32_t headless_screen_pixel(int x, int y) {
    for (auto window = shown.rbegin(); window != shown.rend(); ++window) {
        if (window->visible && PtInRect(&window->screen_rect, POINT{x, y}))
            return window_pixel(*window, x - window->screen_rect.left, y - window->screen_rect.top);
    }
    return headless_desktop_colour;
}

std::vector<std::uint32_t> headless_screen() {
    std::vector<std::uint32_t> screen(std::size_t(screen_width) * std::size_t(screen_height),
                                      headless_desktop_colour);
    for (const ShownWindow& window : shown) {
        if (!window.visible) continue;
        const RECT screen_area{0, 0, screen_width, screen_height};
        RECT part{};
        IntersectRect(&part, &window.screen_rect, &screen_area);
        for (int y = part.top; y < part.bottom; ++y) {
            const std::uint32_t* from =
                window.pixels.data() +
                std::size_t(y - window.screen_rect.top) * std::size_t(window.width) +
                std::size_t(part.left - window.screen_rect.left);
            std::copy(from, from + (part.right - part.left),
                      screen.data() + std::size_t(y) * std::size_t(screen_width) +
                          std::size_t(part.left));
        }
    }
    return screen;
}

std::uint32_t headless_window_pixel(HWND window, int x, int y) {
    const ShownWindow* known = shown_window(window);
    return known ? window_pixel(*known, x, y) : 0;
}

HWND headless_first_top_level_window() {
    // The first window presented and not destroyed since.
    return shown.empty() ? nullptr : shown.front().window;
}

// ---- Input ------------------------------------------------------------------------

void headless_press_key(UINT virtual_key, bool alt) {
    platform_input_key(virtual_key, true, alt);
    platform_input_key(virtual_key, false, alt);
}

void headless_click_close_button(HWND window) {
    click_caption_button(window, HTCLOSE);
}

void headless_click_minimize_button(HWND window) {
    click_caption_button(window, HTMINBUTTON);
}

void headless_drag_caption(HWND window, int dx, int dy) {
    RECT place{};
    if (!GetWindowRect(window, &place)) return;
    int x = place.left + 8;
    int y = place.top + GetSystemMetrics(SM_CYCAPTION) / 2;
    platform_input_mouse(x, y, true, true);
    platform_input_mouse(x + dx, y + dy, false, false);
    platform_input_mouse(x + dx, y + dy, true, false);
}

void headless_restore(HWND window) {
    platform_input_restore(window);
}

void headless_request_close(HWND window) {
    platform_input_close(window);
}

// ---- Watching ticks, faults, a fresh start ----------------------------------------------

void headless_set_tick_observer(HeadlessTickObserver observer) {
    tick_observer = std::move(observer);
    platform_set_tick_presented_hook(observe_tick);
}

void headless_refuse_begin_defer_window_pos(unsigned count) {
    fault_refuse_begin_defer_window_pos(count);
}

void headless_reset() {
    platform_reset();
    shown.clear();
    tick_observer = nullptr;
    ticks = 0;
    screen_width = default_screen_width;
    screen_height = default_screen_height;
}
