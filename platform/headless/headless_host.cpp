// The headless host's clock, screen and input.
#include "platform/headless/headless.h"

#include "platform/core/faults.h"
#include "platform/core/nonclient.h"
#include "platform/core/testing.h"
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
std::vector<HostWindowImage> images; // first presented first (the bottom)
HeadlessTickObserver tick_observer;
std::uint64_t ticks = 0;

const HostWindowImage* image_of(HWND window) {
    for (const HostWindowImage& image : images)
        if (image.window == window) return &image;
    return nullptr;
}

std::uint32_t image_pixel(const HostWindowImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return 0;
    return image.pixels[std::size_t(y) * std::size_t(image.stride) + std::size_t(x)];
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
    GetWindowRect(window, &place);
    // Not a live window: the button's place is unknown, so click nothing.
    if (place.right == place.left) return;
    int right = place.right - place.left;
    int left = button == HTCLOSE ? right - caption_button_width : right - 2 * caption_button_width;
    click(place.left + left + caption_button_width / 2, place.top + caption_height / 2);
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

void host_present(const HostWindowImage& image) {
    for (HostWindowImage& known : images) {
        if (known.window == image.window) {
            known = image;
            return;
        }
    }
    images.push_back(image);
}

void host_window_destroyed(HWND window) {
    std::erase_if(images, [&](const HostWindowImage& image) { return image.window == window; });
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
    for (auto image = images.rbegin(); image != images.rend(); ++image) {
        if (image->visible && rect_contains(image->screen_rect, x, y))
            return image_pixel(*image, x - image->screen_rect.left, y - image->screen_rect.top);
    }
    return headless_desktop_colour;
}

std::vector<std::uint32_t> headless_screen() {
    std::vector<std::uint32_t> screen(std::size_t(screen_width) * std::size_t(screen_height),
                                      headless_desktop_colour);
    for (const HostWindowImage& image : images) {
        if (!image.visible) continue;
        RECT shown = rect_intersection(image.screen_rect, RECT{0, 0, screen_width, screen_height});
        for (int y = shown.top; y < shown.bottom; ++y) {
            const std::uint32_t* from =
                image.pixels + std::size_t(y - image.screen_rect.top) * std::size_t(image.stride) +
                std::size_t(shown.left - image.screen_rect.left);
            std::copy(from, from + (shown.right - shown.left),
                      screen.data() + std::size_t(y) * std::size_t(screen_width) +
                          std::size_t(shown.left));
        }
    }
    return screen;
}

std::uint32_t headless_window_pixel(HWND window, int x, int y) {
    const HostWindowImage* image = image_of(window);
    return image ? image_pixel(*image, x, y) : 0;
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
    int y = place.top + caption_height / 2;
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
    images.clear();
    tick_observer = nullptr;
    ticks = 0;
    screen_width = default_screen_width;
    screen_height = default_screen_height;
}
