// Host input turned into window messages, and the pointer tracking that
// DefWindowProcA starts (moves by the caption, caption buttons). Internal to
// platform/.
#pragma once
#include "platform/core/window_tree.h"

// Turns one raw input into the message to return from GetMessageA; false when
// it yields none (a move in progress swallows the pointer, nothing is hit, ...).
bool translate_input(const RawInput& input, MSG* message);
POINT cursor_position();

// The window follows the pointer until the button is released.
void begin_window_move(HWND window);
void press_caption_button(HWND window, LRESULT button);
// True when the button released is the one pressed on the same window.
bool release_caption_button(HWND window, LRESULT button);

void forget_window_input(HWND window);
void reset_input_tracking();
