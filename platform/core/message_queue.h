// Per-thread message queues, timers and raw input. Internal to platform/.
#pragma once
#include "platform/core/win32_api.h"
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// Input as a host reports it, turned into window messages when the owning
// thread retrieves it (hit testing needs that thread's window procedures).
struct RawInput {
    enum Kind { Key, Mouse, Close, Restore } kind;
    UINT virtual_key;
    bool down;
    bool alt;
    int x;
    int y;
    bool button_event;
    HWND window; // Close, Restore
};

struct Timer {
    HWND window;
    UINT_PTR id;
    TIMERPROC procedure;
    std::uint64_t period_us;
    std::uint64_t next_expiry_us;
};

struct ThreadQueue {
    // Guarded by core_mutex(): other threads post here.
    std::deque<MSG> posted;
    // The owning thread's own.
    bool quit_pending = false;
    int quit_code = 0;
    std::vector<Timer> timers;
    int windows_to_paint = 0;
    bool tick_dispatched = false;
};

// Guards every queue's posted messages and input, and the handle table.
std::mutex& core_mutex();
ThreadQueue& current_queue();

// Drops everything queued for the window and its timers (it is being destroyed).
void forget_window_messages(HWND window);
// Queues host input. The thread of the active window (any thread while no
// window is active) turns it into messages.
void post_input(const RawInput& input);
// Empties every queue, timer and quit request (a fresh start for tests).
void reset_all_queues();
