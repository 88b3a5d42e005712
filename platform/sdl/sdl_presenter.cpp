// Showing a window's pixels on X11 from a thread of its own. SDL's present
// waits until the X server has taken the whole picture in, which takes tens
// or hundreds of milliseconds when the server is busy (a compositing window
// manager, a loaded machine) and would hold up the message loop that also
// refills the sound. Here the loop only copies the changed pixels into a
// staging image and names the changed parts; this thread sends them over a
// connection of its own and waits for the server, and changes that arrive
// meanwhile are sent together the next time.
#include "platform/sdl/sdl_host.h"
#include <SDL_syswm.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct Presenter {
    Display* display; // this thread's own connection
    Window window;
    GC gc;
    XImage* image; // over `shown`
    int width;
    int height;
    std::vector<std::uint32_t> staging; // written by the message loop under `lock`
    std::vector<std::uint32_t> shown;   // read by the thread alone
    SDL_Surface* surface;               // over `staging`
    std::mutex lock;
    std::condition_variable wake;
    std::vector<SDL_Rect> changed;
    bool stopping;
    std::thread thread;
};

namespace {

constexpr std::size_t max_waiting_parts = 64;

void copy_rows(const std::vector<std::uint32_t>& from, std::vector<std::uint32_t>& to, int stride,
               const SDL_Rect& part) {
    for (int row = part.y; row < part.y + part.h; ++row) {
        std::size_t start = std::size_t(row) * std::size_t(stride) + std::size_t(part.x);
        std::copy_n(from.begin() + std::ptrdiff_t(start), part.w,
                    to.begin() + std::ptrdiff_t(start));
    }
}

void present_changes(Presenter* presenter) {
    std::vector<SDL_Rect> parts;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(presenter->lock);
            presenter->wake.wait(
                guard, [&] { return presenter->stopping || !presenter->changed.empty(); });
            if (presenter->stopping) return;
            parts.swap(presenter->changed);
            presenter->changed.clear();
            for (const SDL_Rect& part : parts)
                copy_rows(presenter->staging, presenter->shown, presenter->width, part);
        }
        for (const SDL_Rect& part : parts)
            XPutImage(presenter->display, presenter->window, presenter->gc, presenter->image,
                      part.x, part.y, part.x, part.y, unsigned(part.w), unsigned(part.h));
        // Waits here, not in the loop, until the server has caught up.
        XSync(presenter->display, False);
    }
}

// Whether the screen takes our 0x00RRGGBB pixels as they are.
bool takes_our_pixels(Display* display) {
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    return DefaultDepth(display, DefaultScreen(display)) == 24 && visual->red_mask == 0xFF0000 &&
           visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
}

} // namespace

Presenter* sdl_presenter_start(SDL_Window* window, int width, int height) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    Display* display = XOpenDisplay(DisplayString(info.info.x11.display));
    if (!display) return nullptr;
    if (!takes_our_pixels(display)) {
        XCloseDisplay(display);
        return nullptr;
    }
    auto* presenter = new Presenter{display, info.info.x11.window,
                                    nullptr, nullptr,
                                    width,   height,
                                    {},      {},
                                    nullptr, {},
                                    {},      {},
                                    false,   {}};
    std::size_t pixels = std::size_t(width) * std::size_t(height);
    presenter->staging.assign(pixels, 0);
    presenter->shown.assign(pixels, 0);
    presenter->gc = XCreateGC(display, presenter->window, 0, nullptr);
    presenter->image = XCreateImage(display, DefaultVisual(display, DefaultScreen(display)), 24,
                                    ZPixmap, 0, reinterpret_cast<char*>(presenter->shown.data()),
                                    unsigned(width), unsigned(height), 32, width * 4);
    presenter->surface = SDL_CreateRGBSurfaceWithFormatFrom(
        presenter->staging.data(), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
    if (!presenter->image || !presenter->surface) {
        sdl_presenter_stop(presenter);
        return nullptr;
    }
    // Our pixels are in the host's byte order; Xlib converts if the server's differs.
    presenter->image->byte_order = SDL_BYTEORDER == SDL_LIL_ENDIAN ? LSBFirst : MSBFirst;
    presenter->thread = std::thread(present_changes, presenter);
    return presenter;
}

SDL_Surface* sdl_presenter_begin_copy(Presenter* presenter) {
    presenter->lock.lock();
    return presenter->surface;
}

void sdl_presenter_end_copy(Presenter* presenter) {
    presenter->lock.unlock();
}

void sdl_presenter_show(Presenter* presenter, const std::vector<SDL_Rect>& parts) {
    {
        std::lock_guard<std::mutex> guard(presenter->lock);
        presenter->changed.insert(presenter->changed.end(), parts.begin(), parts.end());
        if (presenter->changed.size() > max_waiting_parts) {
            // The server is behind: send the bounding box of it all at once.
            SDL_Rect bounds = presenter->changed.front();
            for (const SDL_Rect& part : presenter->changed) SDL_UnionRect(&bounds, &part, &bounds);
            presenter->changed.assign(1, bounds);
        }
    }
    presenter->wake.notify_one();
}

void sdl_presenter_stop(Presenter* presenter) {
    if (presenter->thread.joinable()) {
        {
            std::lock_guard<std::mutex> guard(presenter->lock);
            presenter->stopping = true;
        }
        presenter->wake.notify_one();
        presenter->thread.join();
    }
    if (presenter->surface) SDL_FreeSurface(presenter->surface);
    if (presenter->image) {
        presenter->image->data = nullptr; // the pixels belong to `shown`
        XDestroyImage(presenter->image);
    }
    if (presenter->gc) XFreeGC(presenter->display, presenter->gc);
    XCloseDisplay(presenter->display);
    delete presenter;
}
