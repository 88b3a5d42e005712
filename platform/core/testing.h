// What tests and test hosts need of the window core beyond the API.
#pragma once
#include <cstdint>

// Back to the state of a fresh process, except that registered classes stay:
// no windows, queued messages, timers, deferred batches, input in progress or
// armed faults of the core.
void platform_reset();

// Retrieves and dispatches (with TranslateMessage) every message of the
// calling thread, letting the clock run up to `deadline_us` but not beyond.
// Stops early at the quit message and returns true then.
bool platform_run_until(std::uint64_t deadline_us);
