// The SDL2 host's display: which video driver shows the windows, and the
// window-system calls that must never wait for a window manager.
//
// A window manager keeps the windows it manages on the screen and carries out
// their moves when it likes, and SDL's own move on X11 waits (up to a tenth of
// a second each) until the manager has carried it out; the show's window
// leaves the screen on purpose and moves on every tick. So on X11 the show's
// window is one the manager does not manage (override-redirect): it goes
// wherever it is put, is moved without waiting, and takes the keyboard focus
// itself, since no manager hands it over.
#include "platform/host.h"
#include "platform/sdl/sdl_host.h"
#include <SDL_syswm.h>
#include <X11/Xutil.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

bool showing = false;
char why_not[128] = "";
// The X connection's descriptor once a window is on X11 (-1 before and
// elsewhere); read by other threads.
std::atomic<int> connection_fd{-1};

// SDL's drivers that draw into memory only.
bool shows_windows(const char* driver) {
    for (const char* name : {"dummy", "offscreen", "evdev"})
        if (SDL_strcasecmp(driver, name) == 0) return false;
    return true;
}

// Tries each driver that shows windows, in SDL's order. Wayland's library
// writes to standard error when it finds no compositor, so it is tried only
// where a Wayland session says where its compositor is. SDL_VIDEODRIVER in
// the environment overrides the choice.
void open_video() {
    for (int i = 0; i < SDL_GetNumVideoDrivers() && !SDL_WasInit(SDL_INIT_VIDEO); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (!shows_windows(driver)) continue;
        if (std::strcmp(driver, "wayland") == 0 && !std::getenv("WAYLAND_DISPLAY")) continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        SDL_InitSubSystem(SDL_INIT_VIDEO);
    }
    const char* current = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    const char* display = std::getenv("DISPLAY");
    if (current && shows_windows(current))
        showing = true;
    else if (current)
        std::snprintf(why_not, sizeof why_not, "the video driver \"%s\" shows no windows", current);
    else if ((!display || !*display) && !std::getenv("WAYLAND_DISPLAY"))
        std::snprintf(why_not, sizeof why_not, "DISPLAY is not set");
    else
        std::snprintf(why_not, sizeof why_not, "cannot open display %s",
                      display ? display : std::getenv("WAYLAND_DISPLAY"));
}

// The X11 connection and window behind an SDL window; false on other drivers.
bool x11_window(SDL_Window* window, Display** display, Window* x_window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    *display = info.info.x11.display;
    *x_window = info.info.x11.window;
    return true;
}

} // namespace

void sdl_display_open() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) open_video();
}

bool host_can_show_windows() {
    if (!showing) std::fprintf(stderr, "No display to show the window on: %s.\n", why_not);
    return showing;
}

SDL_Window* sdl_display_create_window(int x, int y, int width, int height) {
    SDL_SetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT, "1");
    SDL_Window* window = SDL_CreateWindow("gridshow", x, y, width, height,
                                          SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    SDL_SetHint(SDL_HINT_X11_FORCE_OVERRIDE_REDIRECT, "0");
    Display* display;
    Window x_window;
    if (window && x11_window(window, &display, &x_window))
        connection_fd = ConnectionNumber(display);
    return window;
}

void sdl_display_move(SDL_Window* window, int x, int y) {
    Display* display;
    Window x_window;
    if (!x11_window(window, &display, &x_window)) {
        SDL_SetWindowPosition(window, x, y);
        return;
    }
    // Sent, not waited for: nobody but the server takes part.
    XMoveWindow(display, x_window, x, y);
    XFlush(display);
}

SDL_Window* sdl_display_show_iconic(int width, int height) {
    SDL_Window* stand_in =
        SDL_CreateWindow("gridshow", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                         height, SDL_WINDOW_HIDDEN);
    Display* display;
    Window x_window;
    if (!stand_in || !x11_window(stand_in, &display, &x_window)) {
        if (stand_in) {
            SDL_ShowWindow(stand_in);
            SDL_MinimizeWindow(stand_in);
        }
        return stand_in;
    }
    // Mapped in the iconic state: the manager lists it without ever showing
    // it, and nothing waits for the manager to take it.
    XWMHints* hints = XGetWMHints(display, x_window);
    XWMHints iconic{};
    XWMHints* wanted = hints ? hints : &iconic;
    wanted->flags |= StateHint;
    wanted->initial_state = IconicState;
    XSetWMHints(display, x_window, wanted);
    if (hints) XFree(hints);
    XMapWindow(display, x_window);
    XFlush(display);
    return stand_in;
}

bool sdl_display_listed_as_minimized(SDL_Window* stand_in) {
    Display* display;
    Window x_window;
    if (!x11_window(stand_in, &display, &x_window))
        return (SDL_GetWindowFlags(stand_in) & SDL_WINDOW_MINIMIZED) != 0;
    // SDL reports nothing for a window it never showed: ask the server
    // whether the manager keeps it iconic (answered by the server alone).
    Atom wm_state = XInternAtom(display, "WM_STATE", False);
    Atom type;
    int format;
    unsigned long count, left;
    unsigned char* value = nullptr;
    bool iconic = XGetWindowProperty(display, x_window, wm_state, 0, 1, False, wm_state, &type,
                                     &format, &count, &left, &value) == Success &&
                  count == 1 && format == 32 &&
                  reinterpret_cast<const long*>(value)[0] == IconicState;
    if (value) XFree(value);
    return iconic;
}

bool sdl_display_exposed_part(const SDL_SysWMmsg& message, unsigned long* x_window,
                              SDL_Rect* part) {
    if (message.subsystem != SDL_SYSWM_X11) return false;
    const XEvent& event = message.msg.x11.event;
    if (event.type != Expose) return false;
    const XExposeEvent& exposed = event.xexpose;
    *x_window = exposed.window;
    *part = SDL_Rect{exposed.x, exposed.y, exposed.width, exposed.height};
    return true;
}

unsigned long sdl_display_x_window(SDL_Window* window) {
    Display* display;
    Window x_window;
    return x11_window(window, &display, &x_window) ? x_window : 0;
}

int sdl_display_connection_fd() {
    return connection_fd;
}
