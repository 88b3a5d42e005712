// Showing a window's pixels on X11 from a thread of its own. SDL's present
// waits until the X server has taken the whole picture in, which takes tens
// or hundreds of milliseconds when the server is busy (a compositing window
// manager, a loaded machine) and would hold up the message loop that also
// refills the sound. Here the loop only copies the changed pixels and names
// the changed parts; this thread sends them over a connection of its own and
// waits for the server, and changes that arrive meanwhile are sent together
// the next time. A part of one colour goes as a fill of that colour, which
// the loop need not copy. On a local display the loop copies straight into
// the image in memory shared with the server, which takes it from there: a
// part the server reads while the loop writes it may show a mix of two ticks,
// and the part is sent again with the newer pixels. Elsewhere the loop copies
// into a staging image that this thread copies into the one it sends.
#include "platform/sdl/sdl_host.h"
#include <SDL_syswm.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <thread>
#include <vector>

struct Presenter {
    Display* display; // this thread's own connection
    Window window;
    GC gc;
    XImage* image;          // what the thread shows: in shared memory, or over `shown`
    XShmSegmentInfo shared; // shmaddr is null when the memory is not shared
    int width;
    int height;
    std::vector<std::uint32_t> staging; // without shared memory: written by the loop under `lock`
    std::vector<std::uint32_t> shown;
    SDL_Surface* surface; // what the loop writes: the shared image, or `staging`
    std::mutex lock;
    std::condition_variable wake;
    std::vector<ShownPart> changed;
    bool stopping;
    // Too much waited: the loop is to name the whole window, copied anew.
    bool wants_whole;
    std::thread thread;
};

namespace {

// While the server is behind, changes wait; past this many pieces, the whole
// window is sent instead.
constexpr std::size_t max_waiting_parts = 4096;

// Copies a part of the staging image into the image the thread shows.
void copy_rows(const Presenter* presenter, const SDL_Rect& part) {
    XImage* image = presenter->image;
    for (int row = part.y; row < part.y + part.h; ++row) {
        const std::uint32_t* from =
            presenter->staging.data() + std::size_t(row) * std::size_t(presenter->width);
        auto* to = reinterpret_cast<std::uint32_t*>(
            image->data + std::size_t(row) * std::size_t(image->bytes_per_line));
        std::copy_n(from + part.x, part.w, to + part.x);
    }
}

void put_part(const Presenter* presenter, const SDL_Rect& part) {
    auto width = unsigned(part.w);
    auto height = unsigned(part.h);
    if (presenter->shared.shmaddr)
        XShmPutImage(presenter->display, presenter->window, presenter->gc, presenter->image, part.x,
                     part.y, part.x, part.y, width, height, False);
    else
        XPutImage(presenter->display, presenter->window, presenter->gc, presenter->image, part.x,
                  part.y, part.x, part.y, width, height);
}

// Has the server fill the flat parts, in order, a request per run of one
// colour; they go before any pixels, which are the newest and so may cover
// what an older fill left.
void fill_parts(Presenter* presenter, const std::vector<ShownPart>& parts) {
    std::vector<XRectangle> run;
    std::uint32_t colour = 0;
    auto send_run = [&] {
        if (run.empty()) return;
        XSetForeground(presenter->display, presenter->gc, colour);
        XFillRectangles(presenter->display, presenter->window, presenter->gc, run.data(),
                        int(run.size()));
        run.clear();
    };
    for (const ShownPart& part : parts) {
        if (part.rgb == host_mixed_part) continue;
        if (part.rgb != colour) send_run();
        colour = part.rgb;
        run.push_back(XRectangle{short(part.area.x), short(part.area.y),
                                 static_cast<unsigned short>(part.area.w),
                                 static_cast<unsigned short>(part.area.h)});
    }
    send_run();
}

void present_changes(Presenter* presenter) {
    std::vector<ShownPart> parts;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(presenter->lock);
            presenter->wake.wait(
                guard, [&] { return presenter->stopping || !presenter->changed.empty(); });
            if (presenter->stopping) return;
            parts.swap(presenter->changed);
            presenter->changed.clear();
            if (!presenter->shared.shmaddr)
                for (const ShownPart& part : parts)
                    if (part.rgb == host_mixed_part) copy_rows(presenter, part.area);
        }
        fill_parts(presenter, parts);
        for (const ShownPart& part : parts)
            if (part.rgb == host_mixed_part) put_part(presenter, part.area);
        // Waits here, not in the loop, until the server has caught up (and
        // is done with the shared image).
        XSync(presenter->display, False);
    }
}

// Whether the screen takes our 0x00RRGGBB pixels as they are.
bool takes_our_pixels(Display* display) {
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    return DefaultDepth(display, DefaultScreen(display)) == 24 && visual->red_mask == 0xFF0000 &&
           visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
}

bool attach_refused = false;
int note_attach_refused(Display*, XErrorEvent*) {
    attach_refused = true;
    return 0;
}

// An image in memory shared with the server; false, holding nothing, where
// the server cannot share memory with us.
bool share_image(Presenter* presenter, Visual* visual) {
    Display* display = presenter->display;
    if (!XShmQueryExtension(display)) return false;
    XImage* image = XShmCreateImage(display, visual, 24, ZPixmap, nullptr, &presenter->shared,
                                    unsigned(presenter->width), unsigned(presenter->height));
    if (!image) return false;
    XShmSegmentInfo& shared = presenter->shared;
    shared.shmid =
        shmget(IPC_PRIVATE, std::size_t(image->bytes_per_line) * std::size_t(image->height),
               IPC_CREAT | 0600);
    void* memory = shared.shmid < 0 ? nullptr : shmat(shared.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) memory = nullptr;
    shared.shmaddr = image->data = static_cast<char*>(memory);
    shared.readOnly = False;
    attach_refused = memory == nullptr;
    if (memory) {
        // A server elsewhere refuses, with an error that must not end us.
        XErrorHandler previous = XSetErrorHandler(note_attach_refused);
        XShmAttach(display, &shared);
        XSync(display, False);
        XSetErrorHandler(previous);
    }
    // Freed by the system once both sides have let go of it.
    if (shared.shmid >= 0) shmctl(shared.shmid, IPC_RMID, nullptr);
    if (attach_refused) {
        if (memory) shmdt(memory);
        shared.shmaddr = image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    presenter->image = image;
    return true;
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
    auto* presenter = new Presenter{};
    presenter->display = display;
    presenter->window = info.info.x11.window;
    presenter->width = width;
    presenter->height = height;
    std::size_t pixels = std::size_t(width) * std::size_t(height);
    presenter->gc = XCreateGC(display, presenter->window, 0, nullptr);
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    void* written = nullptr;
    int pitch = width * 4;
    if (share_image(presenter, visual)) {
        written = presenter->image->data;
        pitch = presenter->image->bytes_per_line; // a new segment comes zero-filled
    } else {
        presenter->staging.assign(pixels, 0);
        presenter->shown.assign(pixels, 0);
        presenter->image = XCreateImage(display, visual, 24, ZPixmap, 0,
                                        reinterpret_cast<char*>(presenter->shown.data()),
                                        unsigned(width), unsigned(height), 32, width * 4);
        written = presenter->staging.data();
    }
    presenter->surface = SDL_CreateRGBSurfaceWithFormatFrom(written, width, height, 32, pitch,
                                                            SDL_PIXELFORMAT_RGB888);
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

SDL_Surface* sdl_presenter_surface(const Presenter* presenter) {
    return presenter->surface;
}

void sdl_presenter_show(Presenter* presenter, const std::vector<ShownPart>& parts) {
    {
        std::lock_guard<std::mutex> guard(presenter->lock);
        std::vector<ShownPart>& changed = presenter->changed;
        changed.insert(changed.end(), parts.begin(), parts.end());
        // The server is far behind. The image is stale where the server
        // filled, so no bounding box of what waits can be sent from it.
        if (changed.size() > max_waiting_parts) {
            changed.clear();
            presenter->wants_whole = true;
        }
    }
    presenter->wake.notify_one();
}

bool sdl_presenter_take_whole_request(Presenter* presenter) {
    std::lock_guard<std::mutex> guard(presenter->lock);
    bool wanted = presenter->wants_whole;
    presenter->wants_whole = false;
    return wanted;
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
    if (presenter->shared.shmaddr) {
        XShmDetach(presenter->display, &presenter->shared);
        shmdt(presenter->shared.shmaddr);
    }
    if (presenter->image) {
        presenter->image->data = nullptr; // shared memory or `shown`
        XDestroyImage(presenter->image);
    }
    if (presenter->gc) XFreeGC(presenter->display, presenter->gc);
    XCloseDisplay(presenter->display);
    delete presenter;
}
