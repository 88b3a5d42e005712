// End-of-process work of a host. ExitProcess ends the process at once and
// flushes nothing of the program's; a host that must still finish its own work
// (saving what it captured) registers a hook here. Hooks run on the exiting
// thread, most recently registered first, before the process ends.
#pragma once

using ExitHook = void (*)(unsigned exit_code);

// Registers a hook (from the main thread, before the program runs). False when
// all places are taken.
bool platform_add_exit_hook(ExitHook hook);
