// gridshow on the SDL2 host: the same program as on Windows, no arguments.
#define SDL_MAIN_HANDLED
#include "app/app_main.h"
#include "platform/sdl/sdl_host.h"
#include "platform/win32.h"
#include <cstdio>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

int main() {
    if (!sdl_host_start()) {
        std::fprintf(stderr, "gridshow: cannot start SDL: %s\n", SDL_GetError());
        return 1;
    }
    const UINT exit_code = static_cast<UINT>(app_main());
    sdl_host_report_stats();
#if defined(__SANITIZE_ADDRESS__)
    __lsan_do_leak_check(); // the sanitizer's own check runs only on a return from main
#endif
    // Like the Windows program, the process ends at once with its window and
    // device still open; the system takes them down. Returning would destroy
    // the host's static records while SDL's audio thread and the presenting
    // thread may still be using them.
    ExitProcess(exit_code);
}
