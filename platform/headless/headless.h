// The headless host: a virtual clock, a virtual screen and simulated input,
// for tests and the gridshow-headless driver. Single-threaded: everything
// runs on the thread that runs the message loop.
//
// The clock only moves when that thread would wait: it jumps to the next timer
// expiry or audio block completion, whichever comes first, so a show runs as
// fast as it computes and always the same way. When there is nothing at all
// to wait for, the program would hang forever: the host reports that on
// standard error and ends the process with headless_deadlock_exit_code.
#pragma once
#include "platform/win32.h"
#include <cstdint>
#include <functional>
#include <vector>

constexpr int headless_deadlock_exit_code = 86;
// What the screen shows where no window is.
constexpr std::uint32_t headless_desktop_colour = 0x3A6EA5;

// ---- Clock ------------------------------------------------------------------------

std::uint64_t headless_now_us();
// Runs the calling thread's messages while the clock advances by `duration_us`
// (0: only what is pending or due now). Returns true when the quit message
// came, which ends the run early.
bool headless_run_for(std::uint64_t duration_us);

// ---- Screen -----------------------------------------------------------------------

// 1920 x 1080 unless set; set it before creating windows.
void headless_set_screen_size(int width, int height);
// The composed screen, 0x00RRGGBB: top-level windows as last presented, later
// ones on top, the desktop colour elsewhere.
std::uint32_t headless_screen_pixel(int x, int y);
std::vector<std::uint32_t> headless_screen(); // row-major, screen width per row
// A pixel of a top-level window as last presented, in window coordinates
// (the window may stand off screen or be hidden); 0 outside it.
std::uint32_t headless_window_pixel(HWND window, int x, int y);
// Writes a 0x00RRGGBB picture, `stride` pixels from one row to the next, as
// an RGB PNG file; false when the file cannot be written.
bool headless_save_png(const char* path, const std::uint32_t* pixels, int width, int height,
                       int stride);
bool headless_save_screen_png(const char* path);
// The oldest top-level window still there (a program's main window); null if none.
HWND headless_first_top_level_window();

// ---- Input (handled when the message loop next runs) ------------------------------

// Presses and releases a key for the active window; with `alt`, as Alt+key.
void headless_press_key(UINT virtual_key, bool alt = false);
void headless_click_close_button(HWND window);
void headless_click_minimize_button(HWND window);
// Presses the pointer on the caption, moves it by (dx, dy), releases it.
void headless_drag_caption(HWND window, int dx, int dy);
// The desktop's restore of a minimised window, and its close request.
void headless_restore(HWND window);
void headless_request_close(HWND window);

// ---- Watching ticks ---------------------------------------------------------------

// Called once after each dispatched WM_TIMER, when its repaint is on the
// screen, with the number of WM_TIMER messages dispatched so far (1 for the
// first). Input given from here is handled before the next tick.
using HeadlessTickObserver = std::function<void(std::uint64_t tick)>;
void headless_set_tick_observer(HeadlessTickObserver observer);

// ---- Faults and a fresh start -----------------------------------------------------

// The next `count` calls of BeginDeferWindowPos refuse.
void headless_refuse_begin_defer_window_pos(unsigned count = 1);
// Destroys every window, empties every queue and disarms every fault of the
// core (registered classes stay); the screen goes back to 1920 x 1080 and the observer is
// cleared. The clock keeps its time.
void headless_reset();
