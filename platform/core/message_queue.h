// Per-thread message queues, timers and raw input. Internal to platform/.
#pragma once
#include "platform/core/window_tree.h"

ThreadQueue& current_queue();

// Drops everything queued for the window and its timers (it is being destroyed).
void forget_window_messages(HWND window);
// Empties every queue, timer and quit request (a fresh start for tests).
void reset_all_queues();
