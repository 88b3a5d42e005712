// gridshow on the SDL2 host: the same program as on Windows, no arguments.
#define SDL_MAIN_HANDLED
#include "app/app_main.h"
#include "platform/sdl/sdl_host.h"
#include <cstdio>

int main() {
    if (!sdl_host_start()) {
        std::fprintf(stderr, "gridshow: cannot start SDL: %s\n", SDL_GetError());
        return 1;
    }
    int exit_code = app_main();
    sdl_host_report_stats();
    // Like the Windows program, the process ends with its window and device
    // still open; the system takes them down.
    return exit_code;
}
