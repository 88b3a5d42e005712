// Presentation on the SDL2 host: each composed top-level window is a
// borderless SDL window at its screen position (one the window manager leaves
// alone, see sdl_display.cpp). The composed pixels are copied into the
// window's surface (on X11 the presenter's image) and shown only at the
// display's refresh rate and only where they changed, because showing a whole
// window costs milliseconds of CPU on a software display.
#include "platform/host.h"
#include "platform/sdl/sdl_host.h"
#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

struct HostWindow {
    HWND window;
    SDL_Window* sdl_window;
    SDL_Surface* surface; // SDL replaces it (blank) when the window's size changes
    Presenter* presenter; // on X11 it shows the pixels instead of SDL's surface
    RECT screen_rect;
    bool visible;
    bool minimized; // its restore goes back to the core
    // While minimised the window is hidden and this window, which the desktop
    // lists as minimised, stands in for it: restoring or closing it restores
    // or closes the show's window.
    SDL_Window* stand_in;
    // When the stand-in was made and the desktop has not yet confirmed that
    // it is minimised (0: nothing pending). A desktop without a window
    // manager never confirms.
    std::uint64_t minimize_asked_us;
    int width;
    int height;
    // The core's latest pixels, valid until its next present of the window;
    // copied only when shown, so that ticks between two refreshes cost one copy.
    const std::uint32_t* pixels;
    int stride;
    // Changed since the last present, window coordinates, in the order
    // written; a part named again leaves an empty entry where it was.
    std::vector<ShownPart> pending;
    std::unordered_map<std::uint64_t, std::size_t> pending_at; // a part's entry, by its place
    std::size_t pending_live;
};

constexpr std::uint64_t minimize_patience_us = 1000000;

// Beyond this many pieces a change is shown as its bounding box: the cells of
// the finest grid stay pieces of their own, each one flat grey.
constexpr std::size_t max_pending_parts = 1024;
constexpr int stand_in_width = 320;
constexpr int stand_in_height = 180;

std::vector<HostWindow> windows;
std::uint64_t last_present_us = 0;
std::uint64_t present_count = 0;
std::uint64_t refresh_interval_us = 0;

std::uint64_t refresh_interval() {
    if (refresh_interval_us == 0) {
        SDL_DisplayMode mode;
        int hz = SDL_GetDesktopDisplayMode(0, &mode) == 0 ? mode.refresh_rate : 0;
        refresh_interval_us = 1000000 / std::uint64_t(hz > 0 ? hz : 60);
    }
    return refresh_interval_us;
}

std::uint64_t place_key(const SDL_Rect& area) {
    return std::uint64_t(std::uint16_t(area.x)) << 48 | std::uint64_t(std::uint16_t(area.y)) << 32 |
           std::uint64_t(std::uint16_t(area.w)) << 16 | std::uint16_t(area.h);
}

void clear_pending(HostWindow& host) {
    host.pending.clear();
    host.pending_at.clear();
    host.pending_live = 0;
}

void keep_pending(HostWindow& host, const ShownPart& part) {
    host.pending_at[place_key(part.area)] = host.pending.size();
    host.pending.push_back(part);
    ++host.pending_live;
}

// Drops the empty entries that parts named again left behind.
void compact_pending(HostWindow& host) {
    std::vector<ShownPart> parts;
    parts.swap(host.pending);
    clear_pending(host);
    for (const ShownPart& part : parts)
        if (!SDL_RectEmpty(&part.area)) keep_pending(host, part);
}

// Adds a changed part; `fill` is its one colour, or host_mixed_part.
void add_pending(HostWindow& host, SDL_Rect change, std::uint32_t fill = host_mixed_part) {
    SDL_Rect whole{0, 0, host.width, host.height};
    if (!SDL_IntersectRect(&change, &whole, &change)) return;
    // A cell that changes on every tick is named once per refresh, where its
    // last change stands in the order of fills.
    auto known = host.pending_at.find(place_key(change));
    if (known != host.pending_at.end() &&
        SDL_RectEquals(&host.pending[known->second].area, &change)) {
        host.pending[known->second].area = SDL_Rect{};
        --host.pending_live;
    }
    keep_pending(host, ShownPart{change, fill});
    if (host.pending.size() > 2 * max_pending_parts) compact_pending(host);
    if (host.pending_live <= max_pending_parts) return;
    // Many pieces cost more to send one by one than their bounding box.
    SDL_Rect bounds{};
    for (const ShownPart& part : host.pending) SDL_UnionRect(&bounds, &part.area, &bounds);
    clear_pending(host);
    keep_pending(host, ShownPart{bounds, host_mixed_part});
}

HostWindow* find_by_handle(HWND window) {
    for (HostWindow& host : windows)
        if (host.window == window) return &host;
    return nullptr;
}

HostWindow* find_by_id(std::uint32_t sdl_window_id) {
    for (HostWindow& host : windows)
        if (SDL_GetWindowID(host.sdl_window) == sdl_window_id) return &host;
    return nullptr;
}

// The show's window whose stand-in has this id.
HostWindow* find_by_stand_in(std::uint32_t sdl_window_id) {
    for (HostWindow& host : windows)
        if (host.stand_in && SDL_GetWindowID(host.stand_in) == sdl_window_id) return &host;
    return nullptr;
}

void drop_stand_in(HostWindow& host) {
    if (host.stand_in) SDL_DestroyWindow(host.stand_in);
    host.stand_in = nullptr;
    host.minimize_asked_us = 0;
}

void set_minimized(HostWindow& host, bool minimized) {
    host.minimized = minimized;
    drop_stand_in(host);
    if (!minimized) return;
    host.minimize_asked_us = std::max<std::uint64_t>(1, host_time_us());
    host.stand_in = sdl_display_show_iconic(stand_in_width, stand_in_height);
}

SDL_Rect sdl_rect(const RECT& rect) {
    return SDL_Rect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Names what changed: the finer pieces when the core gives them, everything
// when the surface is new (SDL replaces it, blank, when the window's size
// changes).
void note_changes(HostWindow& host, const HostWindowImage& image, SDL_Surface* surface) {
    if (!surface) return;
    if (surface != host.surface) {
        host.surface = surface;
        add_pending(host, SDL_Rect{0, 0, image.width, image.height});
    } else if (image.dirty_part_count > 0) {
        for (int i = 0; i < image.dirty_part_count; ++i)
            add_pending(host, sdl_rect(image.dirty_parts[i]),
                        image.dirty_part_fills ? image.dirty_part_fills[i] : host_mixed_part);
    } else if (image.dirty.right > image.dirty.left) {
        add_pending(host, sdl_rect(image.dirty));
    }
}

// SDL's own fill runs several times slower than a plain one on 32-bit pixels.
void fill_area(SDL_Surface* surface, const SDL_Rect& area, std::uint32_t rgb) {
    std::uint32_t pixel = SDL_MapRGB(surface->format, std::uint8_t(rgb >> 16),
                                     std::uint8_t(rgb >> 8), std::uint8_t(rgb));
    if (surface->format->BytesPerPixel != 4) {
        SDL_FillRect(surface, &area, pixel);
        return;
    }
    auto* first = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) +
                                                   std::size_t(area.y) * surface->pitch) +
                  area.x;
    fill_pixel_rows(first, std::size_t(surface->pitch), area.w, area.h, pixel);
}

// Brings the pending parts of `surface` up to the core's pixels, in order:
// the mixed ones copied, the flat ones filled unless the server fills them
// (`fills_flat`: the presenter's image then keeps old pixels there, and the
// presenter never sends them).
std::vector<ShownPart> update_surface(HostWindow& host, SDL_Surface* surface, bool fills_flat) {
    std::vector<ShownPart> parts;
    SDL_Rect bounds{0, 0, std::min(host.width, surface->w), std::min(host.height, surface->h)};
    for (ShownPart part : host.pending) {
        SDL_Rect& area = part.area;
        if (!SDL_IntersectRect(&area, &bounds, &area)) continue;
        if (part.rgb != host_mixed_part) {
            if (!fills_flat) fill_area(surface, area, part.rgb);
        } else {
            const std::uint32_t* source = host.pixels + std::size_t(area.y) * host.stride + area.x;
            auto* target = static_cast<std::uint8_t*>(surface->pixels) +
                           std::size_t(area.y) * surface->pitch +
                           std::size_t(area.x) * surface->format->BytesPerPixel;
            SDL_ConvertPixels(area.w, area.h, SDL_PIXELFORMAT_RGB888, source, host.stride * 4,
                              surface->format->format, target, surface->pitch);
        }
        parts.push_back(part);
    }
    return parts;
}

HostWindow* create_window(const HostWindowImage& image) {
    SDL_Window* sdl_window = sdl_display_create_window(
        image.screen_rect.left, image.screen_rect.top, image.width, image.height);
    if (!sdl_window) return nullptr;
    windows.push_back(HostWindow{image.window,
                                 sdl_window,
                                 nullptr,
                                 sdl_presenter_start(sdl_window, image.width, image.height),
                                 image.screen_rect,
                                 false,
                                 false,
                                 nullptr,
                                 0,
                                 image.width,
                                 image.height,
                                 image.pixels,
                                 image.stride,
                                 {},
                                 {},
                                 0});
    return &windows.back();
}

void show_pending(HostWindow& host) {
    if (host.presenter) {
        std::vector<ShownPart> parts =
            update_surface(host, sdl_presenter_begin_copy(host.presenter), true);
        sdl_presenter_end_copy(host.presenter);
        sdl_presenter_show(host.presenter, parts);
        return;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(host.sdl_window);
    if (!surface) return;
    std::vector<SDL_Rect> areas;
    for (const ShownPart& part : update_surface(host, surface, false)) areas.push_back(part.area);
    SDL_UpdateWindowSurfaceRects(host.sdl_window, areas.data(), int(areas.size()));
}

void present_now(std::uint64_t now_us) {
    for (HostWindow& host : windows) {
        if (host.pending.empty()) continue;
        if (host.visible) {
            show_pending(host);
            ++present_count;
        }
        clear_pending(host);
    }
    last_present_us = now_us;
}

} // namespace

void host_present(const HostWindowImage& image) {
    HostWindow* host = find_by_handle(image.window);
    if (!host && !(host = create_window(image))) return;
    if (image.width != host->width || image.height != host->height) {
        host->width = image.width;
        host->height = image.height;
        SDL_SetWindowSize(host->sdl_window, image.width, image.height);
        if (host->presenter) {
            sdl_presenter_stop(host->presenter);
            host->presenter = sdl_presenter_start(host->sdl_window, image.width, image.height);
            host->surface = nullptr; // the presenter's new image is blank
        }
    }
    if (image.screen_rect.left != host->screen_rect.left ||
        image.screen_rect.top != host->screen_rect.top)
        sdl_display_move(host->sdl_window, image.screen_rect.left, image.screen_rect.top);
    host->screen_rect = image.screen_rect;
    if (image.minimized != host->minimized) set_minimized(*host, image.minimized);
    if (image.visible != host->visible) {
        host->visible = image.visible;
        if (image.visible) {
            SDL_ShowWindow(host->sdl_window);
            sdl_windows_focus(SDL_GetWindowID(host->sdl_window));
        } else {
            SDL_HideWindow(host->sdl_window);
        }
        add_pending(*host, SDL_Rect{0, 0, image.width, image.height});
    }
    host->pixels = image.pixels;
    host->stride = image.stride;
    note_changes(*host, image,
                 host->presenter ? sdl_presenter_surface(host->presenter)
                                 : SDL_GetWindowSurface(host->sdl_window));
    sdl_windows_present_if_due(host_time_us());
}

void host_window_destroyed(HWND window) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->window != window) continue;
        drop_stand_in(*it);
        if (it->presenter) sdl_presenter_stop(it->presenter);
        SDL_DestroyWindow(it->sdl_window);
        windows.erase(it);
        return;
    }
}

std::uint64_t sdl_windows_present_if_due(std::uint64_t now_us) {
    for (HostWindow& host : windows)
        if (host.presenter && sdl_presenter_take_whole_request(host.presenter))
            add_pending(host, SDL_Rect{0, 0, host.width, host.height});
    bool pending = std::any_of(windows.begin(), windows.end(),
                               [](const HostWindow& host) { return !host.pending.empty(); });
    if (!pending) return UINT64_MAX;
    std::uint64_t due = last_present_us + refresh_interval();
    if (now_us < due) return due;
    present_now(now_us);
    return UINT64_MAX;
}

void sdl_windows_minimized(std::uint32_t sdl_window_id) {
    if (HostWindow* host = find_by_stand_in(sdl_window_id)) host->minimize_asked_us = 0;
}

std::uint64_t sdl_windows_restore_unminimized(std::uint64_t now_us) {
    std::uint64_t next = UINT64_MAX;
    for (HostWindow& host : windows) {
        if (host.minimize_asked_us == 0) continue;
        std::uint64_t give_up = host.minimize_asked_us + minimize_patience_us;
        if (now_us < give_up) {
            next = std::min(next, give_up);
            continue;
        }
        host.minimize_asked_us = 0;
        // Nothing lists the window as minimised: bring it back rather than
        // leave it where nothing can restore it.
        if (!host.stand_in || !sdl_display_listed_as_minimized(host.stand_in))
            platform_input_restore(host.window);
    }
    return next;
}

bool sdl_windows_restored(std::uint32_t sdl_window_id, HWND* window) {
    HostWindow* host = find_by_stand_in(sdl_window_id);
    if (!host || !host->minimized) return false;
    host->minimize_asked_us = 0; // the restore is under way
    *window = host->window;
    return true;
}

bool sdl_windows_owner(std::uint32_t sdl_window_id, HWND* window) {
    HostWindow* host = find_by_id(sdl_window_id);
    if (!host) host = find_by_stand_in(sdl_window_id);
    if (!host) return false;
    *window = host->window;
    return true;
}

void sdl_windows_focus(std::uint32_t sdl_window_id) {
    // No window manager hands the keyboard to the show's windows.
    HostWindow* host = find_by_id(sdl_window_id);
    if (host && host->visible) SDL_SetWindowInputFocus(host->sdl_window);
}

bool sdl_windows_find(std::uint32_t sdl_window_id, HWND* window, POINT* screen_origin) {
    HostWindow* host = find_by_id(sdl_window_id);
    if (!host) return false;
    *window = host->window;
    *screen_origin = POINT{host->screen_rect.left, host->screen_rect.top};
    return true;
}

void sdl_windows_expose(std::uint32_t sdl_window_id) {
    HostWindow* host = find_by_id(sdl_window_id);
    if (host && !host->presenter) add_pending(*host, SDL_Rect{0, 0, host->width, host->height});
}

void sdl_windows_expose_part(unsigned long x_window, SDL_Rect part) {
    // A window sliding in from beyond the screen's edge loses only the strip
    // that comes in on each move; showing it whole would cost the server a
    // whole window's pixels per move.
    for (HostWindow& host : windows)
        if (host.presenter && sdl_display_x_window(host.sdl_window) == x_window)
            add_pending(host, part);
}

int sdl_windows_list(HWND* list, int capacity) {
    int count = 0;
    for (const HostWindow& host : windows)
        if (count < capacity) list[count++] = host.window;
    return count;
}

std::uint64_t sdl_windows_present_count() {
    return present_count;
}
