// Input and messages that test the program's guard: storms of keys in one
// tick, and window messages that no system would send it.
#pragma once
#include "platform/win32.h"
#include "tools/gridshow-headless/options.h"

// Hundreds of key presses (down and up) for the active window, handled when
// the message loop next runs; with `escapes`, Escape and Alt+F4 among them.
void press_key_storm(bool escapes);
// Posts the messages of `kind` to the main window (and, for timers, to every
// cell window).
void post_hostile_messages(PostKind kind, HWND main_window);
