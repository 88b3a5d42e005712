// The narrow interface between the Win32-faithful core and a host.
//
// The core (platform/core) owns windows, message queues, timers, painting,
// composition and the wave devices. A host (platform/headless, platform/sdl,
// platform/web) supplies only what depends on the machine: a clock and a way to wait, the
// screen size, the presentation of composed top-level windows, input, and an
// audio sink. Exactly one host is linked into an executable; the functions
// named host_* are implemented by it. The functions named platform_* are the
// core's entry points for hosts. A host includes this header and nothing else
// of the layer.
#pragma once
#include "platform/win32.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// ---- Implemented by the host ------------------------------------------------

// Monotonic time in microseconds (virtual on the headless host).
std::uint64_t host_time_us();
// Blocks until `deadline_us` (UINT64_MAX: no deadline) or until host_wake().
// Meanwhile the host delivers its input and audio completions through the
// platform_* calls below. The headless host jumps its virtual clock instead;
// the web host sleeps, handing the page its thread meanwhile.
void host_wait_until(std::uint64_t deadline_us);
// Called from any thread after a message was posted, to end a host_wait_until.
void host_wake();
// Called on the message-loop thread before a due timer is taken: the host
// delivers the input and audio completions it already holds, without waiting,
// as host_wait_until would (a loop busy with late timers may not wait for long).
void host_poll();

int host_screen_width();
int host_screen_height();
// Whether top-level windows can be shown at all (false: no display). While
// they cannot, creating one fails; the host has then said why on standard
// error.
bool host_can_show_windows();

// A composed top-level window: its place on the screen, whether it is shown
// (false while hidden or minimised; `minimized` tells a host that can iconify
// its window to do so rather than hide it), and its pixels (0x00RRGGBB, row stride `stride`
// pixels). `dirty` is the part of the window (window coordinates) that changed since the last
// present of this window; it is empty when only the place or visibility changed. `pixels`
// stays valid until the next host_present or host_window_destroyed for the window, and the core
// draws on into it, naming each change at a later present: a host may copy at the present or
// later, when it shows the pixels.
struct HostWindowImage {
    HWND window;
    RECT screen_rect;
    bool visible;
    bool minimized;
    const std::uint32_t* pixels;
    int width;
    int height;
    int stride;
    RECT dirty;
    // The same change in finer pieces, whose union is `dirty`: a host that
    // copies pixels may copy just these.
    const RECT* dirty_parts;
    int dirty_part_count;
    // For each piece, in the order written, the one colour it was filled with
    // whole, or host_mixed_part; a later piece may cover an earlier one. A
    // host whose screen can fill may fill instead of copying. Null: all mixed.
    const std::uint32_t* dirty_part_fills;
};
constexpr std::uint32_t host_mixed_part = 0xFF000000;
// Sets `height` rows of `width` 32-bit pixels, `pitch` bytes apart, to `pixel`,
// for the core and hosts alike: one row stored, the others copied from it (the
// library's copy is several times faster than storing pixel by pixel).
inline void fill_pixel_rows(std::uint32_t* first, std::size_t pitch, int width, int height,
                            std::uint32_t pixel) {
    if (width <= 0 || height <= 0) return;
    std::fill(first, first + width, pixel);
    auto* row = reinterpret_cast<std::uint8_t*>(first);
    for (int y = 1; y < height; ++y)
        std::memcpy(row + std::size_t(y) * pitch, first, std::size_t(width) * sizeof pixel);
}
void host_present(const HostWindowImage& image);
// The top-level window is gone.
void host_window_destroyed(HWND window);

// The audio sink: blocks of 16-bit stereo PCM at 48000 Hz, played in the order
// submitted. For each block played in full the host calls
// platform_audio_block_done (from any thread).
bool host_audio_open();
void host_audio_submit(WAVEHDR* header);
// Drops every queued block without calling platform_audio_block_done; the
// core returns them itself.
void host_audio_reset();
void host_audio_close();

// ---- Implemented by the core, called by hosts --------------------------------

// Keyboard input for the active top-level window: virtual-key code, pressed or
// released, with or without Alt held.
void platform_input_key(UINT virtual_key, bool down, bool alt);
// Mouse input at a screen position: button pressed or released, or a move
// (button_event false).
void platform_input_mouse(int screen_x, int screen_y, bool button_event, bool down);
// The host's own close request for a top-level window (e.g. the desktop's).
void platform_input_close(HWND window);
// The desktop restores a minimised top-level window (e.g. from a task bar).
void platform_input_restore(HWND window);
// A block submitted with host_audio_submit finished playing.
void platform_audio_block_done(WAVEHDR* header);

// Whether the calling thread is inside a window or timer procedure, that is,
// below a call the core made through the program's function pointer. A host
// whose waits unwind the program's stack (the web host) must not unwind such
// a call, which it cannot see into.
bool platform_in_procedure();

// Optional, for hosts that watch the show tick by tick: `hook` is called once
// after each dispatched WM_TIMER, as soon as the repaint it caused has been
// presented (before the next WM_TIMER, the quit message or a wait). Null
// clears it.
void platform_set_tick_presented_hook(void (*hook)());

// ---- Implemented by the core, for hosts that drive the program themselves ----
// (the headless host: a virtual clock, a fresh start between runs, faults)

// Back to the state of a fresh process, except that registered classes stay:
// no windows, queued messages, timers, deferred batches, input in progress or
// armed faults of the core.
void platform_reset();
// Retrieves and dispatches (with TranslateMessage) every message of the
// calling thread, letting the clock run up to `deadline_us` but not beyond.
// Stops early at the quit message and returns true then.
bool platform_run_until(std::uint64_t deadline_us);
// The next `count` calls of BeginDeferWindowPos refuse (return null).
void fault_refuse_begin_defer_window_pos(unsigned count);
