// The SDL2 host's clock, waiting and input: the real clock, SDL's event queue
// as the place where the message-loop thread sleeps, and keyboard, mouse and
// desktop close requests turned into the core's platform_input_* calls.
#include "platform/host.h"
#include "platform/sdl/sdl_host.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// Wakes from other threads: on X11 through an eventfd next to the X
// connection, elsewhere through SDL's queue. SDL's own wait on X11 is woken
// by an event sent round through the X server, which keeps the sound waiting
// while the server is busy.
int wake_fd = -1;
Uint32 wake_event_type = 0;
// One wake event in SDL's queue is enough; this keeps other threads from
// flooding it.
std::atomic<bool> wake_queued{false};
int screen_width = 0;
int screen_height = 0;

// How late waits end past their deadline: a late end costs the show a timer
// tick when it exceeds one period of the 64 Hz clock.
std::uint64_t latest_wake_us = 0;
std::uint64_t wakes_late_by_a_tick = 0;
constexpr std::uint64_t tick_period_us = 15625;

// The longest time between two show ticks: how long the show stood still.
std::uint64_t last_tick_us = 0;
std::uint64_t longest_tick_gap_us = 0;

void note_tick() {
    std::uint64_t now = host_time_us();
    if (last_tick_us != 0) longest_tick_gap_us = std::max(longest_tick_gap_us, now - last_tick_us);
    last_tick_us = now;
}

void note_lateness(std::uint64_t late_us) {
    latest_wake_us = std::max(latest_wake_us, late_us);
    if (late_us >= tick_period_us) ++wakes_late_by_a_tick;
}

UINT virtual_key_for(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return UINT('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return UINT('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return UINT(0x70 + (key - SDLK_F1));
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_BACKSPACE:
        return 0x08;
    case SDLK_TAB:
        return 0x09;
    case SDLK_SPACE:
        return 0x20;
    case SDLK_LEFT:
        return 0x25;
    case SDLK_UP:
        return 0x26;
    case SDLK_RIGHT:
        return 0x27;
    case SDLK_DOWN:
        return 0x28;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 0x10;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return 0x11;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    default:
        return 0;
    }
}

void deliver_mouse(std::uint32_t sdl_window_id, int x, int y, bool button_event, bool down) {
    HWND window;
    POINT origin;
    if (!sdl_windows_find(sdl_window_id, &window, &origin)) return;
    platform_input_mouse(origin.x + x, origin.y + y, button_event, down);
}

void handle_window_event(const SDL_WindowEvent& event) {
    HWND window;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        if (sdl_windows_owner(event.windowID, &window)) platform_input_close(window);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        sdl_windows_expose(event.windowID);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        sdl_windows_minimized(event.windowID);
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN: // a desktop without a window manager never minimises
        if (sdl_windows_restored(event.windowID, &window)) platform_input_restore(window);
        break;
    default:
        break;
    }
}

void handle_event(const SDL_Event& event) {
    if (event.type == wake_event_type) {
        wake_queued = false;
        return;
    }
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (UINT key = virtual_key_for(event.key.keysym.sym))
            platform_input_key(key, event.type == SDL_KEYDOWN,
                               (event.key.keysym.mod & KMOD_ALT) != 0);
        break;
    case SDL_MOUSEMOTION:
        deliver_mouse(event.motion.windowID, event.motion.x, event.motion.y, false, false);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        // A click gives the keyboard to the window, as a window manager would.
        if (event.type == SDL_MOUSEBUTTONDOWN) sdl_windows_focus(event.button.windowID);
        if (event.button.button == SDL_BUTTON_LEFT)
            deliver_mouse(event.button.windowID, event.button.x, event.button.y, true,
                          event.type == SDL_MOUSEBUTTONDOWN);
        break;
    case SDL_WINDOWEVENT:
        handle_window_event(event.window);
        break;
    case SDL_SYSWMEVENT: {
        unsigned long x_window;
        SDL_Rect part;
        if (sdl_display_exposed_part(*event.syswm.msg, &x_window, &part))
            sdl_windows_expose_part(x_window, part);
        break;
    }
    case SDL_QUIT: {
        // Ctrl+C or the session ending: close like the desktop would.
        HWND windows[8];
        int count = sdl_windows_list(windows, 8);
        for (int i = 0; i < count; ++i) platform_input_close(windows[i]);
        break;
    }
    default:
        break;
    }
}

// Handles every event that has come; true when there was one.
bool handle_events() {
    SDL_Event event;
    if (!SDL_PollEvent(&event)) return false;
    handle_event(event);
    while (SDL_PollEvent(&event)) handle_event(event);
    return true;
}

// Sleeps until an event, a wake or `timeout_ms` (-1: no limit); true when
// events were handled.
bool wait_for_events(int timeout_ms) {
    int connection = sdl_display_connection_fd();
    if (connection < 0 || wake_fd < 0) {
        SDL_Event event;
        if (!SDL_WaitEventTimeout(&event, timeout_ms)) return false;
        handle_event(event);
        handle_events();
        return true;
    }
    if (handle_events()) return true;
    pollfd sources[2] = {{connection, POLLIN, 0}, {wake_fd, POLLIN, 0}};
    if (poll(sources, 2, timeout_ms) > 0 && (sources[1].revents & POLLIN)) {
        std::uint64_t wakes;
        if (read(wake_fd, &wakes, sizeof wakes) < 0) wakes = 0;
        return true; // the caller looks at what woke it
    }
    return handle_events();
}

} // namespace

bool sdl_host_start() {
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // The window surface through X11's shared memory costs a fraction of what
    // SDL's default texture path costs on a software GL (llvmpipe).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_EVENTS) != 0) return false;
    wake_event_type = SDL_RegisterEvents(1);
    if (wake_event_type == Uint32(-1)) return false;
    if (wake_fd < 0) wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    sdl_display_open();
    // X11's own events tell which part of a window the server lost.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        screen_width = mode.w;
        screen_height = mode.h;
    }
    platform_set_tick_presented_hook(note_tick);
    return true;
}

void sdl_host_report_stats() {
    if (!std::getenv("GRIDSHOW_SDL_STATS")) return;
    std::uint64_t callbacks = 0, dry = 0;
    sdl_audio_stats(&callbacks, &dry);
    std::fprintf(stderr,
                 "sdl host: %llu presents, %llu audio callbacks, %llu ran dry, %llu waits ended "
                 "a tick late, latest by %llu us, longest gap between ticks %llu us\n",
                 (unsigned long long)sdl_windows_present_count(), (unsigned long long)callbacks,
                 (unsigned long long)dry, (unsigned long long)wakes_late_by_a_tick,
                 (unsigned long long)latest_wake_us, (unsigned long long)longest_tick_gap_us);
}

std::uint64_t host_time_us() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return std::uint64_t(duration_cast<microseconds>(steady_clock::now() - start).count());
}

int host_screen_width() {
    return screen_width;
}
int host_screen_height() {
    return screen_height;
}

void host_wake() {
    if (wake_fd >= 0 && sdl_display_connection_fd() >= 0) {
        std::uint64_t one = 1;
        if (write(wake_fd, &one, sizeof one) == sizeof one) return;
    }
    if (wake_queued.exchange(true)) return;
    SDL_Event event{};
    event.type = wake_event_type;
    if (SDL_PushEvent(&event) != 1) wake_queued = false;
}

void host_poll() {
    sdl_audio_deliver_finished();
}

void host_wait_until(std::uint64_t deadline_us) {
    for (;;) {
        if (sdl_audio_deliver_finished() > 0) return;
        std::uint64_t now = host_time_us();
        std::uint64_t next_check = sdl_windows_restore_unminimized(now);
        std::uint64_t until = std::min({deadline_us, sdl_windows_present_if_due(now), next_check});
        if (now >= deadline_us) {
            note_lateness(now - deadline_us);
            return;
        }
        int timeout_ms = -1;
        if (until != UINT64_MAX) {
            std::uint64_t wait_us = until > now ? until - now : 0;
            timeout_ms = int((wait_us + 999) / 1000);
        }
        if (wait_for_events(timeout_ms)) return;
    }
}
