// The SDL2 host's own entry points and the seams between its three files:
// events and waiting (sdl_events.cpp), presentation (sdl_windows.cpp) and the
// audio sink (sdl_audio.cpp).
#pragma once
#include "platform/host.h"
#include "platform/win32.h"
#include <SDL.h>
#include <cstdint>
#include <vector>

// Starts SDL's event loop and the video driver of a display that shows
// windows, if there is one (without, no top-level window can be created);
// false with SDL's error only when SDL itself cannot start. Call before
// anything else of the host.
bool sdl_host_start();
// When the environment sets GRIDSHOW_SDL_STATS, writes the host's counters
// (presents, audio callbacks, callbacks that ran dry, late waits, the longest
// gap between two show ticks) to standard error.
void sdl_host_report_stats();

// ---- Between the host's files ------------------------------------------------

// Opens a video driver that shows windows, if there is one (sdl_host_start
// does); host_can_show_windows then tells.
void sdl_display_open();
// A hidden window for a top-level window of the show, at its screen place;
// on X11 one that the window manager leaves alone.
SDL_Window* sdl_display_create_window(int x, int y, int width, int height);
// The descriptor on which the X server's events arrive, once a window is on
// X11; -1 before and on other drivers. Safe from any thread.
int sdl_display_connection_fd();
// Moves a window without waiting for the window system.
void sdl_display_move(SDL_Window* window, int x, int y);
// A new window that the desktop lists as minimised (task bar, window list),
// as the way back to a minimised show window; null when it cannot be made.
SDL_Window* sdl_display_show_iconic(int width, int height);
// The part of an X11 window that the server asks to have drawn again, from an
// X event that SDL passed on; false for any other event.
bool sdl_display_exposed_part(const SDL_SysWMmsg& message, unsigned long* x_window, SDL_Rect* part);
// The X11 window behind an SDL window; 0 on other drivers.
unsigned long sdl_display_x_window(SDL_Window* window);
// Whether the desktop lists such a window as minimised.
bool sdl_display_listed_as_minimized(SDL_Window* stand_in);

// Shows whatever changed if a present is due at `now_us`; returns the time at
// which pending changes may next be shown (UINT64_MAX when nothing is pending).
std::uint64_t sdl_windows_present_if_due(std::uint64_t now_us);
// The top-level window behind an SDL window id, with its screen position;
// false when the id is not one of ours.
bool sdl_windows_find(std::uint32_t sdl_window_id, HWND* window, POINT* screen_origin);
// The top-level window that an SDL window shows or stands in for (a close
// request for either closes it).
bool sdl_windows_owner(std::uint32_t sdl_window_id, HWND* window);
// Gives the keyboard to a shown SDL window of ours.
void sdl_windows_focus(std::uint32_t sdl_window_id);
// The desktop confirmed that it lists a minimised window's stand-in as
// minimised.
void sdl_windows_minimized(std::uint32_t sdl_window_id);
// Restores (through the core) each window whose iconify the desktop has not
// confirmed within a second; returns when the next such check is due
// (UINT64_MAX: none pending). Only from host_wait_until, outside the core.
std::uint64_t sdl_windows_restore_unminimized(std::uint64_t now_us);
// The desktop restored or showed a minimised window's stand-in: true, with
// the top-level window, when the core still thinks it minimised (its own
// restore needs no report).
bool sdl_windows_restored(std::uint32_t sdl_window_id, HWND* window);
// The display lost a window's pixels: it is shown whole again, unless the
// presenter shows it, which hears of each lost part (sdl_windows_expose_part).
void sdl_windows_expose(std::uint32_t sdl_window_id);
// The X server lost this part of one of our X11 windows.
void sdl_windows_expose_part(unsigned long x_window, SDL_Rect part);
// Each known top-level window, for the desktop's request to close them all.
int sdl_windows_list(HWND* windows, int capacity);
std::uint64_t sdl_windows_present_count();

// Shows an X11 window's pixels from a thread of its own, so that the message
// loop never waits for the X server; null where the window is not on X11 or
// the screen does not take 32-bit 0x00RRGGBB pixels as they are.
struct Presenter;
Presenter* sdl_presenter_start(SDL_Window* window, int width, int height);
// The image to copy changed pixels into (shared with a local X server, else a
// staging copy), held until end_copy.
SDL_Surface* sdl_presenter_begin_copy(Presenter* presenter);
void sdl_presenter_end_copy(Presenter* presenter);
// That image, to tell it from another one; not for writing.
SDL_Surface* sdl_presenter_surface(const Presenter* presenter);
// A changed part of that image; when all its pixels have one colour, the
// server fills it with that colour instead of taking its pixels.
struct ShownPart {
    SDL_Rect area;
    std::uint32_t rgb; // 0x00RRGGBB when flat, else host_mixed_part
};
// Has these parts of that image shown; returns at once. The image may keep
// old pixels where a part is flat; no pixels are ever sent from there.
void sdl_presenter_show(Presenter* presenter, const std::vector<ShownPart>& parts);
// Whether the presenter dropped what waited, so that the whole window is to be
// copied and shown anew; asks once.
bool sdl_presenter_take_whole_request(Presenter* presenter);
// Ends the thread and frees everything; before the window is destroyed.
void sdl_presenter_stop(Presenter* presenter);

// Hands the blocks that finished playing to the core (on the calling thread);
// returns how many.
int sdl_audio_deliver_finished();
void sdl_audio_stats(std::uint64_t* callbacks, std::uint64_t* dry_callbacks);
