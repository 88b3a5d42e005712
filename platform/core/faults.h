// Fault switches of the core. A test host arms them (through its own API);
// the core's calls consult them and fail the way the real system can.
#pragma once

// The next `count` calls of BeginDeferWindowPos refuse (return null).
void fault_refuse_begin_defer_window_pos(unsigned count);
// Consulted by BeginDeferWindowPos: true (and one refusal used up) when this
// call must refuse.
bool fault_take_begin_defer_window_pos_refusal();
