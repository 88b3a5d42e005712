// The SDL2 host's own entry points and the seams between its three files:
// events and waiting (sdl_events.cpp), presentation (sdl_windows.cpp) and the
// audio sink (sdl_audio.cpp).
#pragma once
#include "platform/win32.h"
#include <SDL.h>
#include <cstdint>

// Starts SDL's video (and its event loop); false with SDL's error when it
// cannot. Call before anything else of the host.
bool sdl_host_start();
// When the environment sets GRIDSHOW_SDL_STATS, writes the host's counters
// (presents, audio callbacks, callbacks that ran dry) to standard error.
void sdl_host_report_stats();

// ---- Between the host's files ------------------------------------------------

// Shows whatever changed if a present is due at `now_us`; returns the time at
// which pending changes may next be shown (UINT64_MAX when nothing is pending).
std::uint64_t sdl_windows_present_if_due(std::uint64_t now_us);
// The top-level window behind an SDL window id, with its screen position;
// false when the id is not one of ours.
bool sdl_windows_find(std::uint32_t sdl_window_id, HWND* window, POINT* screen_origin);
// The desktop confirmed that it iconified an SDL window.
void sdl_windows_minimized(std::uint32_t sdl_window_id);
// Restores (through the core) each window whose iconify the desktop has not
// confirmed within a second; returns when the next such check is due
// (UINT64_MAX: none pending). Only from host_wait_until, outside the core.
std::uint64_t sdl_windows_restore_unminimized(std::uint64_t now_us);
// The desktop restored an SDL window: true, with its top-level window, when
// the core still thinks it minimised (its own restore needs no report).
bool sdl_windows_restored(std::uint32_t sdl_window_id, HWND* window);
// Every window must be shown whole again (the display lost its pixels).
void sdl_windows_expose(std::uint32_t sdl_window_id);
// Each known top-level window, for the desktop's request to close them all.
int sdl_windows_list(HWND* windows, int capacity);
std::uint64_t sdl_windows_present_count();

// Hands the blocks that finished playing to the core (on the calling thread);
// returns how many.
int sdl_audio_deliver_finished();
void sdl_audio_stats(std::uint64_t* callbacks, std::uint64_t* dry_callbacks);
