// The parts of the X session helpers that speak Xlib.
#include "tests/sdl/x_session.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>

bool window_manager_announced(const std::string& display_name, int seconds) {
    Display* display = XOpenDisplay(display_name.c_str());
    if (!display) return false;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    bool announced = false;
    for (int i = 0; i < seconds * 10 && !announced; ++i) {
        Atom type;
        int format;
        unsigned long count, left;
        unsigned char* value = nullptr;
        if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                               &type, &format, &count, &left, &value) == Success)
            announced = count == 1;
        if (value) XFree(value);
        if (!announced) usleep(100000);
    }
    XCloseDisplay(display);
    return announced;
}

ShowWindowWatch::ShowWindowWatch(const std::string& display_name, int width, int height)
    : display(XOpenDisplay(display_name.c_str())), width(width), height(height) {
    if (display) {
        auto* connection = static_cast<Display*>(display);
        XSelectInput(connection, DefaultRootWindow(connection), SubstructureNotifyMask);
    }
}

ShowWindowWatch::~ShowWindowWatch() {
    if (display) XCloseDisplay(static_cast<Display*>(display));
}

void ShowWindowWatch::take_events() {
    auto* connection = static_cast<Display*>(display);
    while (connection && XPending(connection)) {
        XEvent event;
        XNextEvent(connection, &event);
        if (event.type == CreateNotify && event.xcreatewindow.width == width &&
            event.xcreatewindow.height == height) {
            window = event.xcreatewindow.window;
            x = event.xcreatewindow.x;
            y = event.xcreatewindow.y;
        } else if (event.type == ConfigureNotify && event.xconfigure.window == window) {
            x = event.xconfigure.x;
            y = event.xconfigure.y;
        } else if (event.type == MapNotify && event.xmap.window == window) {
            mapped = true;
            ++maps;
            unmanaged = unmanaged && event.xmap.override_redirect;
        } else if (event.type == UnmapNotify && event.xunmap.window == window) {
            mapped = false;
        }
        if (mapped) {
            leftmost = std::min(leftmost, x);
            rightmost = std::max(rightmost, x);
        }
    }
}
