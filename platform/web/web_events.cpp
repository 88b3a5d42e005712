// The browser host's clock, waiting and input. The program's message loop
// blocks in GetMessageA as on the desktop; here the wait gives the browser its
// thread back: emscripten_sleep unwinds the program's stack into the page
// (Asyncify) and rewinds it when the sleep ends, so the page keeps drawing,
// playing and taking input while the program's own code stays as it is.
// Input the page took meanwhile reaches the core when the wait ends.
//
// Asyncify instruments only the functions that reach a sleep through direct
// calls (-sASYNCIFY_IGNORE_INDIRECT keeps the code small): a window or timer
// procedure, called through a pointer, is not among them, and unwinding
// through it would resume the program in the wrong place. A wait inside one
// (the audio teardown's Sleep in WM_DESTROY) therefore keeps the thread and
// only lets the clock run; the page catches up once the procedure returns.
#include "platform/host.h"
#include "platform/web/web_host.h"
#include <algorithm>
#include <cstdint>
#include <emscripten/emscripten.h>

extern "C" {
int web_screen_width();
int web_screen_height();
// Takes the page's oldest input event into `event` (kind and four values);
// false when there is none.
int web_take_input(int* event);
// One tick's work, from the loop's resumption to its repaint on the canvas.
void web_tick_measured(double milliseconds);
}

namespace {

// What the page's input queue holds (see index.html).
enum InputKind { KeyInput = 1, MouseInput = 2, RestoreInput = 3 };

// The longest sleep: input and finished blocks wait at most one tick of the
// 64 Hz system clock to reach the program.
constexpr std::uint64_t longest_sleep_us = 15625;

// The page gets its thread back at least this often, even while the program
// runs behind its timers: two frames, and well within the sound's buffering.
constexpr double longest_busy_ms = 32;

int screen_width = 0;
int screen_height = 0;
bool wake_pending = false;
// When the page last had its thread.
double page_ran_ms = 0;
// When the program last resumed after a wait, or last finished a tick.
double work_started_ms = 0;

bool deliver_input() {
    bool delivered = false;
    int event[5];
    while (web_take_input(event)) {
        delivered = true;
        switch (event[0]) {
        case KeyInput:
            platform_input_key(static_cast<UINT>(event[1]), event[2] != 0, event[3] != 0);
            break;
        case MouseInput:
            platform_input_mouse(event[1], event[2], event[3] != 0, event[4] != 0);
            break;
        case RestoreInput:
            platform_input_restore(from_page_id<HWND>(event[1]));
            break;
        default:
            break;
        }
    }
    return delivered;
}

void tick_presented() {
    double now = emscripten_get_now();
    web_tick_measured(now - work_started_ms);
    work_started_ms = now;
}

} // namespace

void web_host_start() {
    screen_width = web_screen_width();
    screen_height = web_screen_height();
    platform_set_tick_presented_hook(tick_presented);
}

std::uint64_t host_time_us() {
    return static_cast<std::uint64_t>(emscripten_get_now() * 1000.0);
}

int host_screen_width() {
    return screen_width;
}

int host_screen_height() {
    return screen_height;
}

// The page is the display: it can always show the window.
bool host_can_show_windows() {
    return true;
}

// Posts come from the loop's own thread; the next wait returns at once.
void host_wake() {
    wake_pending = true;
}

void host_wait_until(std::uint64_t deadline_us) {
    for (;;) {
        bool delivered = web_audio_deliver_finished() > 0;
        delivered = deliver_input() || delivered;
        if (delivered || wake_pending) break;
        std::uint64_t now = host_time_us();
        if (now >= deadline_us) break;
        if (platform_in_procedure()) continue;
        std::uint64_t sleep_us = std::min(deadline_us - now, longest_sleep_us);
        emscripten_sleep(static_cast<unsigned>((sleep_us + 999) / 1000));
        page_ran_ms = emscripten_get_now();
    }
    wake_pending = false;
    work_started_ms = emscripten_get_now();
}

void host_poll() {
    if (!platform_in_procedure() && emscripten_get_now() - page_ran_ms >= longest_busy_ms) {
        emscripten_sleep(0);
        page_ran_ms = work_started_ms = emscripten_get_now();
    }
    web_audio_deliver_finished();
    deliver_input();
}
